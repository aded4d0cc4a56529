#include "cli/Cli.h"
#include "text/Allocator.h"

#include <QCoreApplication>
#include <cstdio>

namespace {

// Qt's own diagnostics are English texts for developers (a failed stat() on a bad disk,
// say); what they are about reaches the user as our Spanish message of the failure that
// follows. Only what ends the program is let through.
void onlyFatalQtMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char** argv) {
    text::tuneAllocator();
    qInstallMessageHandler(onlyFatalQtMessages);
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    cli::Streams io{out, err};

    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        err << cli::usageText();
        return cli::Usage;
    }
    // Help asked for anywhere, also after a command ("import --help"), is not an error.
    for (const QString& a : args)
        if (a == QLatin1String("--help") || a == QLatin1String("-h") ||
            (a == QLatin1String("help") && a == args.first())) {
            out << cli::usageText();
            return cli::Done;
        }
    const QString command = args.takeFirst();
    if (command == QLatin1String("import"))
        return cli::runImport(args, io);
    if (command == QLatin1String("export"))
        return cli::runExport(args, io);
    if (command == QLatin1String("check"))
        return cli::runCheck(args, io);
    if (command == QLatin1String("restore"))
        return cli::runRestore(args, io);
    if (command == QLatin1String("table"))
        return cli::runTable(args, io);
    return cli::usageError(io, QStringLiteral("Orden desconocida: %1").arg(command));
}
