#include "import/ImportRun.h"

#include "exchange/ExchangeNames.h"
#include "import/ImportChecks.h"
#include "import/ImportSteps.h"
#include "run/RunFrame.h"
#include "run/Safekeeping.h"
#include "tables/Folders.h"
#include "tables/WorkingTables.h"
#include "text/Allocator.h"
#include "text/RunError.h"

#include <QDir>
#include <QFileInfo>
#include <exception>

namespace {

template <void (*Step)(ImportContext&)> bool plain(ImportContext& ctx) {
    Step(ctx);
    return false;
}

// Every step deletes its tables before it writes them: without the working folder the
// first one would fail on a file it cannot create, so say what is missing instead.
void requireWorkingFolder(const QString& workDir) {
    if (QFileInfo(workDir).isDir())
        return;
    const QString why =
        QStringLiteral("%1.\nNo se ha importado nada.").arg(tables::missingWorkingFolder(workDir));
    throw RunError(why);
}

const QString kNothingImported =
    QStringLiteral("\nNo se ha importado nada: las tablas de trabajo siguen como estaban.");

// The working tables the steps delete and write again, CURSOST2 included: declining the
// saved codes deletes it, and that too is undone with the rest (or by `restore`).
QStringList tablesRewritten() {
    QStringList names;
    for (const ImportStepInfo& s : importSteps())
        for (const QString& t : s.writes)
            if (!names.contains(t))
                names << t;
    return names;
}

const QString kForcedExitMessage =
    QStringLiteral("Importación interrumpida: no se ha importado nada.\n"
                   "Las tablas de trabajo siguen como estaban antes de la importación; los "
                   "niveles y cursos que ha escrito se han guardado para la próxima vez.");

std::vector<ImportStep> runnersOf(const std::vector<ImportStepInfo>& table) {
    std::vector<ImportStep> steps;
    for (const ImportStepInfo& s : table)
        steps.push_back(s.run);
    return steps;
}

} // namespace

const std::vector<ImportStepInfo>& importSteps() {
    namespace t = tables;
    namespace g = exchange::groups;
    const auto group = [](const char* name) { return QString::fromLatin1(name); };
    static const std::vector<ImportStepInfo> steps{
        {"CrearPeriodos",
         "periodos",
         plain<CrearPeriodos>,
         {t::PERIODOS::kName},
         {group(g::kFrames)}},
        {"CrearCursos",
         "cursos",
         CrearCursos,
         {t::CURSOST::kName, t::CURSOST2::kName},
         {group(g::kCourses)}},
        {"CrearAsignaturas",
         "materias",
         plain<CrearAsignaturas>,
         {t::ASIGNOMT::kName, t::ASIGNOMT2::kName},
         {group(g::kSubjects)}},
        {"CrearActividades",
         "actividades",
         plain<CrearActividades>,
         {t::ASIGNOMT::kName},
         {group(g::kActivities)}},
        {"CrearProfesores",
         "profesores",
         plain<CrearProfesores>,
         {t::PROFT::kName},
         {group(g::kStaff)}},
        {"CrearAulas", "aulas", plain<CrearAulas>, {t::AULAT::kName}, {group(g::kRooms)}},
        {"CrearGrupos", "grupos", plain<CrearGrupos>, {t::GRUPOST::kName}, {group(g::kUnits)}},
        {"CrearAsignaciones",
         "asignaciones",
         plain<CrearAsignaciones>,
         {t::ASIGT::kName},
         {group(g::kSubjects)}},
        {"CrearDiasHoras",
         "días y horas",
         CrearDiasHoras,
         {t::DIASHORAST::kName},
         {group(g::kFrames), group(g::kSlots)}},
        {"CrearCatalogos",
         "catálogos",
         plain<CrearCatalogos>,
         {t::ORIGENES_C::kName, t::NIVELES_C::kName, t::CUR_NIV_C::kName, t::AUTORIZA_C::kName},
         {group(g::kOrigins), group(g::kLevels), group(g::kCourseLevels),
          group(g::kAuthorisations)}},
    };
    return steps;
}

namespace {

// The text an exception carries, for putting it beside another.
QString messageOf(const std::exception_ptr& fault) {
    try {
        std::rethrow_exception(fault);
    } catch (const RunError& e) {
        return e.message();
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("Error desconocido.");
    }
}

void runSteps(RunHost& host, ImportQuestions& questions, run::RunState& state,
              const RunFolders& folders, exchange::Document& held,
              const std::vector<ImportStep>& steps, bool realSteps,
              const DocumentCheck& beforeSteps) {
    const run::FolderUse use = realSteps ? run::FolderUse::Writes : run::FolderUse::Unlocked;
    run::runInFrame(host, state, folders, held, use, [&](run::Run& r) {
        r.report.run = QStringLiteral("import");
        r.report.document = state.filenameXML;
        // What is kept of the document takes about twice its size, the tables a few
        // megabytes.
        const text::BulkMemory memory(QFileInfo(state.filenameXML).size() * 2 + (8 << 20));
        exchange::Document doc = exchange::Document::load(state.filenameXML);
        // An unreadable document would leave every step with nothing to read, and each
        // step deletes its tables before reading: refuse it while nothing is touched.
        if (!doc.ok()) {
            QString why = doc.errorString();
            if (why.isEmpty())
                why = QStringLiteral("El archivo XML '%1' no es un documento XML bien formado")
                          .arg(QDir::toNativeSeparators(state.filenameXML));
            throw RunError(why + kNothingImported);
        }
        held = std::move(doc);
        if (realSteps) {
            requireWorkingFolder(folders.workDir);
            const QStringList problems = problemsBeforeImport(held, state.filenameXML, folders);
            if (!problems.isEmpty())
                throw RunError(problems.join(u'\n') + kNothingImported);
        }
        if (beforeSteps)
            beforeSteps(held);

        r.showBusy();
        // Every table the steps rewrite is kept aside first: the import happens whole or
        // not at all.
        std::optional<run::TableSafekeeping> kept;
        if (realSteps)
            kept.emplace(folders.workDir, tablesRewritten());
        ImportContext ctx{held, host, questions, folders.workDir, folders.catalogPath};
        ctx.report = &r.report;
        const int count = int(steps.size());
        const auto& table = importSteps();
        bool coursesAnswered = false;
        // What the user typed in the course dialog outlives a run that does not finish:
        // read before the tables go back, saved into the CURSOST2 put back.
        QList<CursosLogic::Row> typed;
        const auto noteTypedCodes = [&] {
            if (realSteps && coursesAnswered)
                typed = CursosLogic::typedRows(folders.workDir);
        };
        const auto keepTypedCodes = [&] {
            if (realSteps)
                CursosLogic::saveTypedRows(folders.workDir, typed);
        };
        try {
            for (int i = 0; i < count; ++i) {
                const bool isCourses =
                    i < int(table.size()) && table[size_t(i)].name == QLatin1String("CrearCursos");
                const QString label = i < int(table.size()) ? table[size_t(i)].label : QString();
                if (kept && i < int(table.size()))
                    kept->beforeStep(table[size_t(i)].writes);
                host.stepStarted(i, count, label);
                const bool forcedExit = steps[size_t(i)](ctx);
                coursesAnswered = coursesAnswered || isCourses;
                if (forcedExit) {
                    noteTypedCodes();
                    if (kept)
                        kept->rollback();
                    keepTypedCodes();
                    r.hideBusy();
                    host.importLeft(kForcedExitMessage);
                    return run::Ending::StoppedClosing;
                }
                host.stepFinished(i);
            }
            if (kept) {
                // A completed import stays completed: what failed after is said beside.
                if (const QString warning = kept->commit(); !warning.isEmpty())
                    host.showMessage(warning);
            }
        } catch (...) {
            const std::exception_ptr fault = std::current_exception();
            try {
                noteTypedCodes();
            } catch (...) {
                // The tables go back all the same; the codes are lost only with them.
            }
            if (kept) {
                try {
                    kept->rollback();
                } catch (const RunError& notBack) {
                    // What stopped the run is what the user must mend; the tables that
                    // could not go back now are put back by the next run.
                    throw RunError(QStringLiteral("%1\n\nAdemás, no se han podido reponer "
                                                  "todavía las tablas de trabajo: %2 La próxima "
                                                  "transformación terminará de reponerlas.")
                                       .arg(messageOf(fault), notBack.message()));
                }
            }
            try {
                keepTypedCodes();
            } catch (...) {
                // What stopped the run is what the user must hear of.
            }
            throw;
        }
        r.hideBusy();
        return run::Ending::Completed;
    });
}

} // namespace

void runImport(RunHost& host, ImportQuestions& questions, run::RunState& state,
               const RunFolders& folders, exchange::Document& held,
               const DocumentCheck& beforeSteps) {
    runSteps(host, questions, state, folders, held, runnersOf(importSteps()), true, beforeSteps);
}

void runImport(RunHost& host, ImportQuestions& questions, run::RunState& state,
               const RunFolders& folders, exchange::Document& held,
               const std::vector<ImportStep>& steps) {
    runSteps(host, questions, state, folders, held, steps, false, {});
}
