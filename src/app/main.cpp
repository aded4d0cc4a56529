#include "app/EmbeddingNative.h"
#include "app/Help.h"
#include "app/Look.h"
#include "app/MainForm.h"
#include "app/Translation.h"
#include "text/Allocator.h"

#include <QApplication>

int main(int argc, char** argv) {
    text::tuneAllocator();
    embedding::native::prepare(argc == 3);
    QApplication app(argc, argv);
    // The main window ends the program itself (closeEvent). Embedded, it is no top-level
    // window for Qt, so closing the last dialog of a run must not end the program mid-run.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(QStringLiteral("VeltraTempolan"));
    QApplication::setApplicationVersion(QStringLiteral(VT_VERSION));
    installSpanishQtTexts(app);
    applyLook(app);
    help::setHelpFile(QStringLiteral("VELTRA.chm"));

    ShellOptions options;
    options.parameters = QApplication::arguments().mid(1);
    TMForm MForm(std::move(options));
    MForm.show();
    return app.exec();
}
