#include "cli/Answers.h"
#include "cli/CliHost.h"
#include "exchange/ExchangeDocument.h"
#include "import/ImportRun.h"
#include "import/ImportSteps.h"
#include "tables/Folders.h"
#include "tables/Table.h"
#include "text/RunError.h"

#include <QDir>
#include <QFileInfo>

namespace cli {

namespace {

// Rows of a working table, or -1 when its file does not exist.
int rowsOf(const QString& workDir, const QString& name) {
    if (!tables::FileExists(QDir(workDir).filePath(name + QStringLiteral(".DBF"))))
        return -1;
    tables::Table t;
    t.open(workDir, name, tables::OpenMode::Shared);
    return t.rowCount();
}

QString rows(int n) {
    return n == 1 ? QStringLiteral("1 fila") : QStringLiteral("%1 filas").arg(n);
}

// The ten steps, each followed by one line saying what it wrote, printed as soon as the
// step has finished, so that a run that ends early still tells which tables are new.
std::vector<ImportStep> reportingSteps(const QString& workDir, QTextStream& out) {
    struct Step {
        const char* name;
        ImportStep run;
        QStringList tables;
    };
    const auto plain = [](void (*f)(ImportContext&)) {
        return ImportStep([f](ImportContext& ctx) {
            f(ctx);
            return false;
        });
    };
    const QList<Step> steps{
        {"CrearPeriodos", plain(CrearPeriodos), {"PERIODOS"}},
        {"CrearCursos", CrearCursos, {"CURSOST", "CURSOST2"}},
        {"CrearAsignaturas", plain(CrearAsignaturas), {"ASIGNOMT", "ASIGNOMT2"}},
        {"CrearActividades", plain(CrearActividades), {"ASIGNOMT"}},
        {"CrearProfesores", plain(CrearProfesores), {"PROFT"}},
        {"CrearAulas", plain(CrearAulas), {"AULAT"}},
        {"CrearGrupos", plain(CrearGrupos), {"GRUPOST"}},
        {"CrearAsignaciones", plain(CrearAsignaciones), {"ASIGT"}},
        {"CrearDiasHoras", plain(CrearDiasHoras), {"DIASHORAST"}},
        {"CrearCatalogos",
         plain(CrearCatalogos),
         {"ORIGENES_C", "NIVELES_C", "CUR_NIV_C", "AUTORIZA_C"}},
    };
    // The activities step appends to the subjects' table: it is credited with what it added.
    auto subjectRows = std::make_shared<int>(0);
    std::vector<ImportStep> wrapped;
    for (int i = 0; i < steps.size(); ++i) {
        const Step s = steps.at(i);
        wrapped.push_back([s, i, workDir, &out, subjectRows](ImportContext& ctx) {
            if (s.run(ctx))
                return true; // forced exit: the step wrote nothing to report
            const QString step = QString::fromLatin1(s.name);
            QStringList parts;
            if (step == QLatin1String("CrearActividades")) {
                parts << QStringLiteral("ASIGNOMT +%1")
                             .arg(rows(rowsOf(workDir, QStringLiteral("ASIGNOMT")) - *subjectRows));
            } else if (step == QLatin1String("CrearCatalogos") &&
                       rowsOf(workDir, QStringLiteral("ORIGENES_C")) < 0) {
                parts << QStringLiteral("el documento no trae ORIGENES: ORIGENES_C borrada, "
                                        "NIVELES_C, CUR_NIV_C y AUTORIZA_C sin tocar");
            } else {
                for (const QString& name : s.tables) {
                    const int n = rowsOf(workDir, name);
                    if (name == QLatin1String("ASIGNOMT"))
                        *subjectRows = n;
                    if (n >= 0)
                        parts << name + u' ' + rows(n);
                }
            }
            out << QStringLiteral("%1. %2: %3\n").arg(i + 1).arg(step, parts.join(u", "))
                << Qt::flush;
            return false;
        });
    }
    return wrapped;
}

} // namespace

int runImport(const QStringList& args, Streams io) {
    ImportOptions o;
    if (const auto failed = readImportOptions(args, io, o))
        return *failed;
    if (!QFileInfo(o.workDir).isDir()) {
        io.err << "No existe la carpeta de trabajo " << QDir::toNativeSeparators(o.workDir) << '\n';
        return RunFailed;
    }
    const QString& doc = o.document;
    const RunFolders folders{o.workDir, o.catalogPath};
    const CodesByKey& codes = o.codes;
    const QStringList& frames = o.frames;
    const bool recover = o.recover;

    CliHost host(io, doc);
    host.recoverAnswer = recover;
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
            dialog.BitBtn2Click();
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

    MainState state;
    exchange::Document held;
    // The frame choice is settled on the loaded document before the first step deletes
    // anything: the window's dialog cannot be left without a valid choice, so a run must
    // not stop at the ninth step for want of one, with most tables already rebuilt.
    std::vector<ImportStep> steps = reportingSteps(folders.workDir, io.out);
    steps.insert(steps.begin(), [&](ImportContext& ctx) {
        const FrameChoice choice = chooseFrames(ctx.doc, frames);
        if (choice.asked && !choice.answered) {
            host.needsAnswer = true;
            io.err << choice.problem << "\nMarcos horarios del documento:\n"
                   << frameList(choice.frames) << "No se ha importado nada.\n"
                   << Qt::flush;
            throw RunError(choice.problem);
        }
        return false;
    });
    BExportarClick(host, state, folders, held, steps);
    return host.exitCode(state);
}

} // namespace cli
