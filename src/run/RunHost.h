#pragma once

#include <QString>
#include <optional>

namespace run {
class RunReport;

// What a front end keeps from one run to the next and lends each run: the window holds
// one for its life, the batch front end one per run.
struct RunState {
    QString filenameXML;    // the document chosen last through the chooser
    qint32 resultValue = 0; // what Tempolan.ini receives in embedded mode: 0, 1 or -1
    bool embedded = false;
};
} // namespace run

// Folders a run works with.
struct RunFolders {
    QString workDir;     // Tempolan's working tables
    QString catalogPath; // VELTMATERIAS.DBF (import only)
};

// The only way the runs reach the user. The window, the batch front end and the tests
// each provide one.
class RunHost {
public:
    virtual ~RunHost() = default;

    // The document chooser; nullopt when the user cancels.
    virtual std::optional<QString> chooseDocument() = 0;
    // A message box with an OK button.
    virtual void showMessage(const QString& text) = 0;
    // A warning message box with OK and Cancel; true for OK.
    virtual bool askOkCancel(const QString& caption, const QString& text) = 0;
    // The application's error report: the error's own text.
    virtual void reportError(const QString& text) = 0;
    virtual void setBusy(bool busy) = 0;

    // What the main window offers the runs.
    virtual void closeMainWindow() = 0;
    virtual void disableRunButtons() = 0;

    // Progress of a run: step `index` (from 0) of `count` starts, with a short label such
    // as "profesores"; and has finished. Nothing to show by default.
    virtual void stepStarted(int index, int count, const QString& label) {
        (void)index, (void)count, (void)label;
    }
    virtual void stepFinished(int index) { (void)index; }

    // The user left the import through a dialog's way out (it ends with nothing changed):
    // the window says so before it closes.
    virtual void importLeft(const QString& message) { showMessage(message); }

    // Further detail for the next message box (its informative text): where a completed
    // run left its document. The message's own text stays as it is.
    virtual void setMessageDetail(const QString& detail) { (void)detail; }

    // What a completed run left out or filled with a default, once the run has written
    // its text report beside the document; `sentence` is what the completion message
    // says of it (empty when there is nothing to report). Nothing to do by default.
    virtual void runReported(const run::RunReport& report, const QString& sentence) {
        (void)report, (void)sentence;
    }
};

// A user who is never asked anything: for work that runs the steps or their dialogs'
// logic without anybody to answer (benchmarks, answers checked in advance).
class SilentRunHost : public RunHost {
public:
    std::optional<QString> chooseDocument() override { return std::nullopt; }
    void showMessage(const QString&) override {}
    bool askOkCancel(const QString&, const QString&) override { return false; }
    void reportError(const QString&) override {}
    void setBusy(bool) override {}
    void closeMainWindow() override {}
    void disableRunButtons() override {}
};

// Shows the busy cursor for as long as it lives, on every way out.
class BusyCursor {
public:
    explicit BusyCursor(RunHost& host) : host_(host) { host_.setBusy(true); }
    ~BusyCursor() { host_.setBusy(false); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    RunHost& host_;
};
