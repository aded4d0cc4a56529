#include "app/Help.h"
#include "app/HelpNative.h"

#include "tables/Folders.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QUrl>
#include <QVariant>
#include <QWidget>

namespace help {

namespace {
QString& fileName() {
    static QString name = QStringLiteral("VELTRA.chm");
    return name;
}
} // namespace

void setHelpFile(const QString& name) {
    fileName() = name;
}

QString helpFile() {
    return fileName();
}

QString pageForContext(int context) {
    switch (context) {
    case 1:
        return QStringLiteral("herramienta.html");
    case 2:
        return QStringLiteral("cursos.html");
    case 3:
        return QStringLiteral("plantillas.html");
    case 4:
        return QStringLiteral("importar.html");
    case 5:
        return QStringLiteral("exportar.html");
    case 6:
        return QStringLiteral("mensajes.html");
    default:
        return QString();
    }
}

QString contentsPage() {
    return QStringLiteral("index.html");
}

int contextOf(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        bool ok = false;
        const int context = w->property("helpContext").toInt(&ok);
        if (ok && context > 0)
            return context;
    }
    return 0;
}

} // namespace help

SystemHelpViewer::SystemHelpViewer(std::function<void(const QString&)> report, QWidget* owner,
                                   QString programDir)
    : report_(std::move(report)), owner_(owner), programDir_(std::move(programDir)) {}

void SystemHelpViewer::showContext(int context) {
    const QString page = help::pageForContext(context);
    if (page.isEmpty())
        showPage(help::contentsPage(), true);
    else
        showPage(page, false);
}

void SystemHelpViewer::showContents() {
    showPage(help::contentsPage(), true);
}

void SystemHelpViewer::showPage(const QString& page, bool contents) {
    const QString dir = programDir_.isEmpty() ? tables::programFolder() : programDir_;
    const QString chm = QDir(dir).filePath(help::helpFile());
    const bool haveChm = QFileInfo(chm).isFile();

    if (haveChm && help::native::showCompiled(chm, page, contents, owner_))
        return;
    if (!haveChm && !help::native::htmlWithoutCompiled()) {
        report_(QStringLiteral("No se encuentra el archivo de ayuda %1")
                    .arg(QDir::toNativeSeparators(chm)));
        return;
    }

    const QString html = QDir(dir).filePath(QStringLiteral("help/") + page);
    if (!QFileInfo(html).isFile()) {
        report_(QStringLiteral("No se encuentra el archivo de ayuda %1")
                    .arg(QDir::toNativeSeparators(haveChm ? html : chm)));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(html)))
        report_(QStringLiteral("No hay ningún programa para mostrar la ayuda en este equipo.\n"
                               "La página de ayuda es:\n%1\n"
                               "Se abre con cualquier navegador web: "
                               "arrastre el archivo a su ventana o ábralo desde su menú "
                               "Archivo.")
                    .arg(QDir::toNativeSeparators(html)));
}

HelpKeyFilter::HelpKeyFilter(HelpViewer& viewer, QObject* parent)
    : QObject(parent), viewer_(viewer) {
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
}

HelpKeyFilter::~HelpKeyFilter() {
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

bool HelpKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier)
        return false;
    // The first widget to see the key is the one that has it; its context decides.
    const int context = help::contextOf(static_cast<QWidget*>(watched));
    if (context > 0)
        viewer_.showContext(context);
    else
        viewer_.showContents();
    return true;
}
