#include "cli/CliHost.h"
#include "export/ExportRun.h"
#include "tables/Folders.h"

#include <QDir>
#include <QFileInfo>

namespace cli {

int runExport(const QStringList& args, Streams io) {
    const Options opts(args, {QStringLiteral("workdir")}, {});
    if (!opts.ok() || opts.positional().size() != 1) {
        io.err << (opts.ok() ? QStringLiteral("Indique un documento.") : opts.error()) << '\n'
               << usageText();
        return Usage;
    }
    const QString doc = QFileInfo(opts.positional().first()).absoluteFilePath();
    RunFolders folders;
    folders.workDir = opts.value(QStringLiteral("workdir"), workingFolder());

    CliHost host(io, doc);
    MainState state;
    exchange::Document held;
    BImportarClick(host, state, folders, held);
    const int code = host.exitCode(state);
    if (code == Done) {
        const QFileInfo in(doc);
        io.out
            << QDir(in.absolutePath()).filePath(QStringLiteral("ResultadoTempolan") + in.fileName())
            << '\n';
    }
    return code;
}

} // namespace cli
