#pragma once

#include "exchange/ExchangeDocument.h"
#include "run/RunHost.h"
#include "run/RunReport.h"

#include <functional>
#include <optional>

// The frame both runs share: the chooser, the check of the chosen file, the busy cursor,
// the error report and the completion. What differs between the runs is their body.
namespace run {

// How a run's body ended when it did not end by an error.
enum class Ending {
    Completed,      // "Proceso finalizado", result value 1, buttons disabled
    Stopped,        // ended early with its own message; the window stays open
    StoppedClosing, // ended early by the user's choice; the window closes, no message
};

// What a body works with.
class Run {
public:
    Run(RunHost& h, RunState& s, const RunFolders& f, exchange::Document& d)
        : host(h), state(s), folders(f), held(d) {}

    RunHost& host;
    RunState& state;
    const RunFolders& folders;
    exchange::Document& held; // the documents the run loads, kept until the next run
    QString detail;           // informative text of the completion message, if any
    RunReport report;         // what the run left out or defaulted, noted as it goes

    // The busy cursor, from now to the end of the run.
    void showBusy() {
        if (!busy_)
            busy_.emplace(host);
    }
    void hideBusy() { busy_.reset(); }

private:
    std::optional<BusyCursor> busy_;
};

using Body = std::function<Ending(Run&)>;

// What a run needs of the working folder while it works. Either way it is the only run
// there: another one is refused at once, touching nothing.
enum class FolderUse {
    Writes,    // it must be able to write there (the import)
    ReadsOnly, // it only reads: where the folder cannot be written, no lock is needed
    Unlocked,  // nothing of the working folder (the frame on its own, in tests)
};

// Runs a body in the frame: after the chosen file is checked, the working folder is
// locked and what a killed run left is finished, then the body runs. Errors end the run
// through host.reportError.
void runInFrame(RunHost& host, RunState& state, const RunFolders& folders, exchange::Document& held,
                FolderUse use, const Body& body);

// Whether the path names a regular file (not a folder, a FIFO or a device), following
// links: the only kind of file a run reads as its document.
bool isRegularFile(const QString& path);

} // namespace run
