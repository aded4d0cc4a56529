#include "app/QtRunHost.h"

#include "app/MainForm.h"
#include "import/CursosLogic.h"
#include "import/dialogs/Cursos.h"
#include "import/dialogs/Plantihoras.h"
#include "run/RunReport.h"
#include "tables/Folders.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTreeView>
#include <QUrl>
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

// The chooser's dates as a Spanish office reads them, whatever the system's regional
// settings: day, month, year.
class SpanishDates : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::DisplayRole && index.column() == 3) {
            if (const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel()))
                return QLocale(QLocale::Spanish, QLocale::Spain)
                    .toString(files->lastModified(mapToSource(index)),
                              QStringLiteral("dd/MM/yyyy HH:mm"));
        }
        return QIdentityProxyModel::data(index, role);
    }
};

// Inside the screen, however large the fonts: the side list of places goes first when
// room is short, then every column and button stays within reach.
void fitChooser(QFileDialog& dialog) {
    const QScreen* s = dialog.screen();
    if (!s)
        return;
    const QSize room = s->availableGeometry().size() - QSize(16, 40);
    if (auto* sidebar = dialog.findChild<QWidget*>(QStringLiteral("sidebar"));
        sidebar && dialog.sizeHint().width() > room.width())
        sidebar->hide();
    for (QWidget* w : dialog.findChildren<QWidget*>())
        if (w->minimumWidth() > room.width() / 2)
            w->setMinimumWidth(room.width() / 2);
    if (auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        tree->setMinimumSize(60, 40);
        tree->header()->setStretchLastSection(false);
        tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    }
    dialog.setMinimumSize(dialog.minimumSizeHint().boundedTo(room));
    dialog.resize(dialog.sizeHint().expandedTo(QSize(640, 420)).boundedTo(room));
}

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
    dialog->setProxyModel(new SpanishDates(dialog));
    fitChooser(*dialog);
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
    std::unique_ptr<QFileDialog> dialog(
        createOpenDialogXML(dialogParent(), tables::workingFolder()));
    const bool chosen = dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty();
    const QString path = chosen ? dialog->selectedFiles().constFirst() : QString();
    // The chooser goes now, and the window is painted again where it was, before a long
    // load keeps the event loop away.
    dialog.reset();
    main_.repaintNow();
    if (!chosen)
        return std::nullopt;
    return QFileInfo(path).absoluteFilePath();
}

void QtRunHost::showMessage(const QString& text) {
    NormalCursor normal(busy_);
    QMessageBox box(QMessageBox::NoIcon, messageTitle(), text, QMessageBox::Ok, dialogParent());
    addDetail(box);
    // The completion message of a run that wrote a report offers to open it.
    QPushButton* open = nullptr;
    const QString report = std::exchange(reportPath_, QString());
    if (!report.isEmpty() && QFileInfo(report).isFile()) {
        open = box.addButton(QStringLiteral("&Abrir el informe"), QMessageBox::ActionRole);
        open->setObjectName(QStringLiteral("BotonAbrirInforme"));
        box.setDefaultButton(QMessageBox::Ok);
    }
    box.exec();
    if (open && box.clickedButton() == open &&
        !QDesktopServices::openUrl(QUrl::fromLocalFile(report))) {
        QMessageBox none(QMessageBox::Information, messageTitle(),
                         QStringLiteral("No se ha podido abrir el informe. Está en:\n%1\nSe "
                                        "abre con el Bloc de notas o cualquier editor de texto.")
                             .arg(QDir::toNativeSeparators(report)),
                         QMessageBox::Ok, dialogParent());
        none.exec();
    }
}

bool QtRunHost::askOkCancel(const QString& caption, const QString& text) {
    NormalCursor normal(busy_);
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                    dialogParent());
    box.setDefaultButton(QMessageBox::Ok);
    addDetail(box);
    return box.exec() == QMessageBox::Ok;
}

bool QtRunHost::askKeepOrDrop(const QString& caption, const QString& text, const QString& keep,
                              const QString& drop) {
    NormalCursor normal(busy_);
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::NoButton, dialogParent());
    QPushButton* keepButton = box.addButton(keep, QMessageBox::AcceptRole);
    QPushButton* dropButton = box.addButton(drop, QMessageBox::DestructiveRole);
    keepButton->setObjectName(QStringLiteral("BotonConservar"));
    dropButton->setObjectName(QStringLiteral("BotonDescartar"));
    // Escape and the close box give the answer that loses nothing.
    box.setDefaultButton(keepButton);
    box.setEscapeButton(keepButton);
    addDetail(box);
    box.exec();
    return box.clickedButton() != dropButton;
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

bool QtRunHost::recoverSavedCodes() {
    return askKeepOrDrop(CursosLogic::kRecoveryCaption, CursosLogic::kRecoveryText,
                         CursosLogic::kRecoverButton, CursosLogic::kNoRecoverButton);
}

void QtRunHost::askCourseCodes(CursosLogic& logic) {
    NormalCursor normal(busy_);
    TControlCursos dlg(logic, dialogParent());
    setDefaultHelpContext(dlg, 1);
    dlg.exec();
}

void QtRunHost::askFrames(PlantillasLogic& logic) {
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

void QtRunHost::runReported(const run::RunReport& report, const QString& sentence) {
    reportPath_ = sentence.isEmpty() ? QString() : report.textPath();
}

void QtRunHost::addDetail(QMessageBox& box) {
    if (!detail_.isEmpty())
        box.setInformativeText(std::exchange(detail_, QString()));
}
