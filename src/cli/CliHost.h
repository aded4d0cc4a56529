#pragma once

#include "cli/Cli.h"
#include "import/ImportQuestions.h"
#include "run/RunHost.h"
#include "run/RunReport.h"
#include "text/SystemError.h"

#include <QDir>
#include <QSaveFile>

#include <functional>

namespace cli {

// The runs' user interface without a screen: the document comes from the command line,
// messages go to standard output, errors to standard error, and the import's questions
// are answered from options.
class CliHost : public RunHost, public ImportQuestions {
public:
    CliHost(Streams io, QString document) : io_(io), document_(std::move(document)) {}

    std::function<void(CursosLogic&)> onCursos;
    std::function<void(PlantillasLogic&)> onPlantillas;
    bool recoverAnswer = true;
    QString reportPath; // --report: the JSON report goes there

    bool failed = false;      // an error ended the run
    bool needsAnswer = false; // the run stopped for an answer the options did not give
    bool closed = false;
    // The run's state: a message shown once the run has completed is its completion
    // message and goes to standard output; any other ended the run short of it.
    const run::RunState* runState = nullptr;

    std::optional<QString> chooseDocument() override { return document_; }
    void showMessage(const QString& text) override {
        QTextStream& to = runState && runState->resultValue == 1 ? io_.out : io_.err;
        to << text << '\n' << Qt::flush;
    }
    bool askOkCancel(const QString&, const QString&) override { return recoverAnswer; }
    // The import stops here only for a missing answer, which has been explained already.
    void importLeft(const QString&) override {}
    void reportError(const QString& text) override {
        failed = true;
        if (!needsAnswer) // the answer that is missing was already explained
            io_.err << text << '\n' << Qt::flush;
    }
    void setBusy(bool) override {}
    bool recoverSavedCodes() override { return recoverAnswer; }
    void askCourseCodes(CursosLogic& dialog) override {
        if (onCursos)
            onCursos(dialog);
    }
    void askFrames(PlantillasLogic& dialog) override {
        if (onPlantillas)
            onPlantillas(dialog);
    }
    void closeMainWindow() override { closed = true; }
    void disableRunButtons() override {}
    // One line on standard error when anything was left out or warned about, and the
    // JSON report where --report asks for it. The exit code does not depend on either.
    void runReported(const run::RunReport& report, const QString& sentence) override {
        if (!sentence.isEmpty())
            io_.err << sentence << '\n' << Qt::flush;
        if (reportPath.isEmpty())
            return;
        QSaveFile f(reportPath);
        const QByteArray json = report.toJson();
        if (!f.open(QIODevice::WriteOnly) || f.write(json) != json.size() || !f.commit())
            io_.err << "No se ha podido escribir el informe "
                    << QDir::toNativeSeparators(reportPath) << ": "
                    << text::inOurWords(f.errorString()) << '\n'
                    << Qt::flush;
    }

    // The exit code a finished run earns.
    int exitCode(const run::RunState& state) const {
        if (needsAnswer)
            return NeedsAnswer;
        if (failed)
            return RunFailed;
        return state.resultValue == 1 ? Done : RunFailed;
    }

private:
    Streams io_;
    QString document_;
};

} // namespace cli
