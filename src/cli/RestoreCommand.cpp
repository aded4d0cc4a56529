#include "cli/Cli.h"
#include "run/Safekeeping.h"
#include "tables/Folders.h"
#include "text/RunError.h"

#include <QDir>
#include <QFileInfo>

namespace cli {

int runRestore(const QStringList& args, Streams io) {
    const Options opts(args, {QStringLiteral("workdir")}, {QStringLiteral("force")});
    if (!opts.ok() || !opts.positional().isEmpty())
        return usageError(io,
                          opts.ok() ? QStringLiteral("restore no lleva documento.") : opts.error());
    const QString workDir = opts.value(QStringLiteral("workdir"), tables::workingFolder());
    if (workDir.isEmpty())
        return usageError(io, QStringLiteral("--workdir necesita una carpeta."));
    if (!QFileInfo(workDir).isDir()) {
        io.err << tables::missingWorkingFolder(workDir) << '\n';
        return RunFailed;
    }
    try {
        const run::FolderLock lock(workDir, run::FolderLock::Need::Required);
        const bool force = opts.has(QStringLiteral("force"));
        bool undone = false;
        const QString line = run::finishInterrupted(workDir, force, &undone);
        if (!line.isEmpty())
            io.out << line << '\n';
        // An import that did not finish is the last one: undoing it is the restore.
        if (undone)
            return Done;
        const run::RestoreResult r = run::restoreLastImport(workDir, force);
        (r.restored ? io.out : io.err) << r.message << '\n';
        if (!r.warning.isEmpty())
            io.err << r.warning << '\n';
        return r.restored ? Done : RunFailed;
    } catch (const RunError& e) {
        io.err << e.message() << '\n';
        return RunFailed;
    }
}

} // namespace cli
