#include "run/RunFrame.h"

#include "run/Safekeeping.h"
#include "text/RunError.h"

#include <QFileInfo>

namespace run {

bool isRegularFile(const QString& path) {
    // QFileInfo::isFile() holds for regular files (and links to them) only: a folder, a
    // FIFO, a socket or a device is none, so a run never blocks reading one.
    return !path.isEmpty() && QFileInfo(path).isFile();
}

void runInFrame(RunHost& host, RunState& state, const RunFolders& folders, exchange::Document& held,
                FolderUse use, const Body& body) {
    if (std::optional<QString> chosen = host.chooseDocument())
        state.filenameXML = *chosen;

    if (!isRegularFile(state.filenameXML)) {
        host.showMessage(QStringLiteral("No existe archivo"));
        if (state.embedded) {
            state.resultValue = -1;
            host.closeMainWindow();
        }
        return;
    }

    Ending ending = Ending::Stopped;
    QString detail;
    try {
        std::optional<FolderLock> lock;
        // A missing working folder is the body's to report, in its own words.
        if (use != FolderUse::Unlocked && QFileInfo(folders.workDir).isDir()) {
            lock.emplace(folders.workDir, use == FolderUse::Writes ? FolderLock::Need::Required
                                                                   : FolderLock::Need::IfWritable);
            if (lock->ownsLock()) {
                const QString line = finishInterrupted(folders.workDir);
                if (!line.isEmpty())
                    host.showMessage(line);
            }
        }
        Run r(host, state, folders, held);
        ending = body(r);
        detail = r.detail;
        if (ending == Ending::Completed)
            detail = finishReport(host, r.report, detail);
        // The cursor comes back before any message or closing.
    } catch (const RunError& e) {
        host.reportError(e.message());
        return;
    } catch (const std::exception& e) {
        host.reportError(QString::fromLocal8Bit(e.what()));
        return;
    }

    switch (ending) {
    case Ending::Stopped:
        return;
    case Ending::StoppedClosing:
        host.closeMainWindow();
        return;
    case Ending::Completed:
        break;
    }
    state.resultValue = 1;
    if (!detail.isEmpty())
        host.setMessageDetail(detail);
    host.showMessage(QStringLiteral("Proceso finalizado"));
    host.disableRunButtons();
    if (state.embedded)
        host.closeMainWindow();
}

} // namespace run
