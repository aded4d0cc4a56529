#include "cli/Answers.h"
#include "cli/StepLinesHost.h"
#include "exchange/ExchangeDocument.h"
#include "import/ImportRun.h"
#include "tables/Folders.h"
#include "text/RunError.h"

#include <QDir>
#include <QFileInfo>

namespace cli {

int runImport(const QStringList& args, Streams io) {
    ImportOptions o;
    if (const auto failed = readImportOptions(args, io, o))
        return *failed;
    if (!QFileInfo(o.workDir).isDir()) {
        io.err << tables::missingWorkingFolder(o.workDir) << '\n';
        return RunFailed;
    }
    const QString& doc = o.document;
    const RunFolders folders{o.workDir, o.catalogPath};
    const CodesByKey& codes = o.codes;
    const QStringList& frames = o.frames;
    const bool recover = o.recover;

    StepLinesHost host(io, doc, folders.workDir);
    host.recoverAnswer = recover;
    host.reportPath = o.reportPath;
    host.onCursos = [&](CursosLogic& dialog) {
        dialog.recover(recover);
        dialog.applyCodes(codes);
        const QStringList lacking = dialog.keysLackingCodes();
        if (!lacking.isEmpty()) {
            host.needsAnswer = true;
            io.err << "Ofertas de curso sin NIVEL o CURSO (dé sus códigos con --codes): "
                   << lacking.join(QStringLiteral(", "))
                   << "\nLa importación se ha detenido en CURSOST, como al forzar la salida.\n"
                   << Qt::flush;
            dialog.forceExit();
            return;
        }
        dialog.completeOk();
    };
    host.onPlantillas = [&](PlantillasLogic& dialog) {
        const auto outcome = dialog.chooseByCodes(frames);
        if (outcome.status == PlantillasLogic::Choice::Ok)
            return;
        // Settled before the run; reached only if the document changed meanwhile.
        host.needsAnswer = true;
        io.err << "Elija uno o dos marcos horarios con --frames:\n"
               << frameList(dialog.frames()) << Qt::flush;
        throw RunError(QStringLiteral("DIASHORAST: no se eligieron los Marcos Horarios"));
    };

    run::RunState state;
    host.runState = &state;
    exchange::Document held;
    // The frame choice is settled on the loaded document before the first step deletes
    // anything: the window's dialog cannot be left without a valid choice, so a run must
    // not stop at the ninth step for want of one, with most tables already rebuilt.
    ::runImport(host, host, state, folders, held, [&](const exchange::Document& loaded) {
        const FrameChoice choice = chooseFrames(loaded, frames);
        if (choice.asked && !choice.answered) {
            host.needsAnswer = true;
            io.err << choice.problem << "\nMarcos horarios del documento:\n"
                   << frameList(choice.frames) << "No se ha importado nada.\n"
                   << Qt::flush;
            throw RunError(choice.problem);
        }
    });
    return host.exitCode(state);
}

} // namespace cli
