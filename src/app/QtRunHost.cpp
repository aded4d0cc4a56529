#include "app/QtRunHost.h"

#include "app/MainForm.h"
#include "import/dialogs/Cursos.h"
#include "import/dialogs/Plantihoras.h"
#include "tables/Folders.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <memory>
#include <utility>

namespace {

// While a box or dialog waits for the user, the pointer must not show the hourglass.
class NormalCursor {
public:
    explicit NormalCursor(int busy) : active_(busy > 0) {
        if (active_)
            QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~NormalCursor() {
        if (active_)
            QApplication::restoreOverrideCursor();
    }
    NormalCursor(const NormalCursor&) = delete;
    NormalCursor& operator=(const NormalCursor&) = delete;

private:
    bool active_;
};

void setDefaultHelpContext(QWidget& dialog, int context) {
    if (!dialog.property("helpContext").isValid())
        dialog.setProperty("helpContext", context);
}

} // namespace

QString messageTitle() {
    return QCoreApplication::applicationName();
}

QFileDialog* createOpenDialogXML(QWidget* parent, const QString& workDir) {
    auto* dialog =
        new QFileDialog(parent, QStringLiteral("Seleccione el Archivo XML obtenido de VELTRA"),
                        QDir(workDir).filePath(QStringLiteral("veltra")), QStringLiteral("*.xml"));
    dialog->setObjectName(QStringLiteral("OpenDialogXML"));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setDefaultSuffix(QStringLiteral("xml"));
    return dialog;
}

QtRunHost::QtRunHost(TMForm& mainWindow) : main_(mainWindow) {}

// Inside Tempolan's window the main window is not a top-level window of its own, and a
// dialog cannot be transient for it: the dialogs then stand alone.
QWidget* QtRunHost::dialogParent() const {
    return main_.state().embedded ? nullptr : &main_;
}

std::optional<QString> QtRunHost::chooseDocument() {
    NormalCursor normal(busy_);
    std::unique_ptr<QFileDialog> dialog(createOpenDialogXML(dialogParent(), workingFolder()));
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return std::nullopt;
    return QFileInfo(dialog->selectedFiles().constFirst()).absoluteFilePath();
}

void QtRunHost::showMessage(const QString& text) {
    NormalCursor normal(busy_);
    QMessageBox box(QMessageBox::NoIcon, messageTitle(), text, QMessageBox::Ok, dialogParent());
    addDetail(box);
    box.exec();
}

bool QtRunHost::askOkCancel(const QString& caption, const QString& text) {
    NormalCursor normal(busy_);
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                    dialogParent());
    box.setDefaultButton(QMessageBox::Ok);
    addDetail(box);
    return box.exec() == QMessageBox::Ok;
}

void QtRunHost::reportError(const QString& text) {
    NormalCursor normal(busy_);
    QMessageBox box(QMessageBox::Critical, messageTitle(), text, QMessageBox::Ok, dialogParent());
    addDetail(box);
    box.exec();
}

void QtRunHost::setBusy(bool busy) {
    if (busy) {
        ++busy_;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (busy_ > 0) {
        --busy_;
        QApplication::restoreOverrideCursor();
    }
}

void QtRunHost::showCursos(CursosLogic& logic) {
    NormalCursor normal(busy_);
    TControlCursos dlg(logic, dialogParent());
    setDefaultHelpContext(dlg, 1);
    dlg.exec();
}

void QtRunHost::showPlantillas(PlantillasLogic& logic) {
    NormalCursor normal(busy_);
    TPlantillas dlg(logic, dialogParent());
    setDefaultHelpContext(dlg, 3);
    dlg.exec();
}

void QtRunHost::closeMainWindow() {
    main_.close();
}

void QtRunHost::disableRunButtons() {
    main_.disableRunButtons();
}

void QtRunHost::stepStarted(int index, int count, const QString& label) {
    main_.showProgress(QStringLiteral("Paso %1 de %2: %3").arg(index + 1).arg(count).arg(label));
}

void QtRunHost::stepFinished(int index) {
    (void)index;
    main_.keepPainted();
}

void QtRunHost::setMessageDetail(const QString& detail) {
    detail_ = detail;
}

void QtRunHost::addDetail(QMessageBox& box) {
    if (!detail_.isEmpty())
        box.setInformativeText(std::exchange(detail_, QString()));
}
