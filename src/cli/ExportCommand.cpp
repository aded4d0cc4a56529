#include "cli/CliHost.h"
#include "export/ExportRun.h"
#include "tables/Folders.h"

#include <QDir>
#include <QFileInfo>

namespace cli {

int runExport(const QStringList& args, Streams io) {
    const Options opts(args, {QStringLiteral("workdir"), QStringLiteral("report")}, {});
    if (!opts.ok() || opts.positional().size() != 1) {
        return usageError(
            io, (opts.ok() ? QStringLiteral("Indique un único documento.") : opts.error()));
    }
    if (const QString why = opts.emptyPath({QStringLiteral("workdir")}); !why.isEmpty())
        return usageError(io, why);
    const QString doc = QFileInfo(opts.positional().first()).absoluteFilePath();
    if (!QFileInfo(doc).isFile()) {
        io.err << "No existe archivo: " << QDir::toNativeSeparators(doc) << '\n';
        return RunFailed;
    }
    RunFolders folders;
    folders.workDir = opts.value(QStringLiteral("workdir"), tables::workingFolder());
    if (!QFileInfo(folders.workDir).isDir()) {
        io.err << tables::missingWorkingFolder(folders.workDir) << '\n';
        return RunFailed;
    }

    CliHost host(io, doc);
    host.reportPath = opts.value(QStringLiteral("report"));
    run::RunState state;
    host.runState = &state;
    exchange::Document held;
    ::runExport(host, state, folders, held);
    const int code = host.exitCode(state);
    if (code == Done)
        io.out << QDir::toNativeSeparators(RutaResultado(doc)) << '\n';
    return code;
}

} // namespace cli
