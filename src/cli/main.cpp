#include "cli/Cli.h"
#include "text/Allocator.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    tuneAllocator();
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    cli::Streams io{out, err};

    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || args.first() == QLatin1String("--help") ||
        args.first() == QLatin1String("-h") || args.first() == QLatin1String("help")) {
        out << cli::usageText();
        return args.isEmpty() ? cli::Usage : cli::Done;
    }
    const QString command = args.takeFirst();
    if (command == QLatin1String("import"))
        return cli::runImport(args, io);
    if (command == QLatin1String("export"))
        return cli::runExport(args, io);
    if (command == QLatin1String("check"))
        return cli::runCheck(args, io);
    if (command == QLatin1String("table"))
        return cli::runTable(args, io);
    err << QStringLiteral("Orden desconocida: %1\n\n").arg(command) << cli::usageText();
    return cli::Usage;
}
