#include "cli/Cli.h"
#include "text/Allocator.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    text::tuneAllocator();
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
