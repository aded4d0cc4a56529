#include "app/Help.h"
#include "app/MainForm.h"
#include "text/Allocator.h"

#include <QApplication>
#include <QByteArray>

int main(int argc, char** argv) {
    tuneAllocator();
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // Placing the window inside Tempolan's needs X11; Wayland cannot do it.
    if (argc == 3 && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArray("xcb"));
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VeltraTempolan"));
    QApplication::setApplicationVersion(QStringLiteral(VT_VERSION));
    help::setHelpFile(QStringLiteral("VELTRA.chm"));

    ShellOptions options;
    options.parameters = QApplication::arguments().mid(1);
    TMForm MForm(std::move(options));
    MForm.show();
    return app.exec();
}
