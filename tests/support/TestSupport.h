#pragma once

#include "import/ImportQuestions.h"
#include "run/RunHost.h"
#include "run/RunReport.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <ostream>

// Readable QString values in gtest failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace testing_support {

// tests/fixtures of this checkout.
QString fixturesDir();

// Writes bytes to a file, creating folders; fails the test on error.
void writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

// The batch front end built beside the tests.
QString batchTool();

// What snapshot() takes in besides the files Tempolan reads.
struct SnapshotScope {
    bool bookkeeping = false; // the tool's own VELTRA_RESPALDO
    bool folders = false;     // subfolders, as entries of their own with no bytes
    bool hidden = false;      // hidden files
};

// Every file under a folder, name (relative, with '/') -> bytes, to see that nothing
// changed.
QMap<QString, QByteArray> snapshot(const QString& dir, SnapshotScope scope = {});

// What one run of the batch front end gave.
struct ToolRun {
    int code = -1; // -2: it crashed or was killed
    QString out;
    QString err;
};

// How the batch front end is run.
struct BatchRun {
    // TLTEMP and HOME point into it, so that the default working folder is never the real
    // one; empty: the environment as it is.
    QString home;
    QString cwd;               // the current folder when empty
    int timeoutMs = 120000;    // then it is killed and says so in `err`
    bool unprivileged = false; // as nobody when we are root (POSIX): folder permissions count
};
ToolRun runBatchTool(const QStringList& args, const BatchRun& how);
inline ToolRun runBatchTool(const QStringList& args, const QString& home, const QString& cwd = {},
                            int timeoutMs = 120000) {
    return runBatchTool(args, BatchRun{home, cwd, timeoutMs, false});
}
std::ostream& operator<<(std::ostream& os, const ToolRun& o);

// What `check` foretold against what `import` then did with the same options on the same
// folder: the same step lines, the same ending (done, an error and its text, an answer
// missing) and, when the import finished, the same report items, kind by kind and record
// by record. `importJson` is the import's --report file. Adds a test failure per
// disagreement.
void expectCheckAgreesWithImport(const ToolRun& check, const ToolRun& import,
                                 const QString& importJson);

} // namespace testing_support

// A run host with scripted answers that records what the run showed; it answers the
// import's questions too (the recovery question as an OK/Cancel one).
class ScriptedHost : public RunHost, public ImportQuestions {
public:
    std::deque<std::optional<QString>> documents; // answers to the chooser, in order
    std::deque<bool> answers;                     // answers to OK/Cancel questions
    std::function<void(CursosLogic&)> onCursos;
    std::function<void(PlantillasLogic&)> onPlantillas;

    QStringList messages;  // every message, question caption and error, in order
    QStringList errors;    // error reports only
    QStringList questions; // question texts
    int busyDepth = 0;
    int closed = 0;
    int buttonsDisabled = 0;
    int cursosShown = 0;
    int plantillasShown = 0;

    std::optional<QString> chooseDocument() override;
    void showMessage(const QString& text) override;
    bool askOkCancel(const QString& caption, const QString& text) override;
    void reportError(const QString& text) override;
    void setBusy(bool busy) override;
    bool recoverSavedCodes() override;
    void askCourseCodes(CursosLogic& dialog) override;
    void askFrames(PlantillasLogic& dialog) override;
    void closeMainWindow() override { ++closed; }
    void disableRunButtons() override { ++buttonsDisabled; }

    QStringList details;                  // informative texts of the messages
    std::optional<run::RunReport> report; // the last completed run's report
    QString reportSentence;               // what the completion message said of it
    void setMessageDetail(const QString& detail) override { details << detail; }
    QStringList steps; // "n/count label" of every step started
    void stepStarted(int index, int count, const QString& label) override {
        steps << QStringLiteral("%1/%2 %3").arg(index + 1).arg(count).arg(label);
    }
    void runReported(const run::RunReport& r, const QString& sentence) override {
        report = r;
        reportSentence = sentence;
    }
};
