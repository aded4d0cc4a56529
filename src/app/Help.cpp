#include "app/Help.h"

#include "tables/Folders.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <QVariant>
#include <QWidget>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

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

#ifdef Q_OS_WIN
namespace {
using HtmlHelpFn = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
constexpr UINT kDisplayTopic = 0x0000;
constexpr UINT kDisplayToc = 0x0001;

// The HTML Help control is loaded when first needed, not linked.
HtmlHelpFn htmlHelp() {
    static HMODULE lib = LoadLibraryW(L"hhctrl.ocx");
    static HtmlHelpFn fn =
        lib ? reinterpret_cast<HtmlHelpFn>(GetProcAddress(lib, "HtmlHelpW")) : nullptr;
    return fn;
}
} // namespace
#endif

void SystemHelpViewer::showPage(const QString& page, bool contents) {
    const QString dir = programDir_.isEmpty() ? programFolder() : programDir_;
    const QString chm = QDir(dir).filePath(help::helpFile());
    const bool haveChm = QFileInfo(chm).isFile();

#ifdef Q_OS_WIN
    if (!haveChm) {
        report_(QStringLiteral("No se encuentra el archivo de ayuda %1")
                    .arg(QDir::toNativeSeparators(chm)));
        return;
    }
    if (HtmlHelpFn fn = htmlHelp()) {
        const HWND owner = owner_ ? reinterpret_cast<HWND>(owner_->winId()) : nullptr;
        const QString native = QDir::toNativeSeparators(chm);
        if (contents) {
            fn(owner, reinterpret_cast<LPCWSTR>(native.utf16()), kDisplayToc, 0);
        } else {
            const QString topic = native + QStringLiteral("::/") + page;
            fn(owner, reinterpret_cast<LPCWSTR>(topic.utf16()), kDisplayTopic, 0);
        }
        return;
    }
#else
    Q_UNUSED(contents);
    if (haveChm) {
        for (const char* viewer : {"xchm", "kchmviewer", "uchmviewer"}) {
            const QString exe = QStandardPaths::findExecutable(QString::fromLatin1(viewer));
            if (!exe.isEmpty() && QProcess::startDetached(exe, {chm}))
                return;
        }
    }
#endif

    const QString html = QDir(dir).filePath(QStringLiteral("help/") + page);
    if (!QFileInfo(html).isFile()) {
        report_(QStringLiteral("No se encuentra el archivo de ayuda %1")
                    .arg(QDir::toNativeSeparators(haveChm ? html : chm)));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(html)))
        report_(
            QStringLiteral("No se puede abrir la ayuda %1").arg(QDir::toNativeSeparators(html)));
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
