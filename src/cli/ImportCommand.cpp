#include "cli/Answers.h"
#include "cli/CliHost.h"
#include "exchange/ExchangeDocument.h"
#include "import/ImportRun.h"
#include "run/RunError.h"
#include "tables/Folders.h"
#include "tables/Table.h"

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

// One line per finished step saying what it wrote, printed as soon as the step has
// finished, so that a run that ends early still tells which tables are new.
class ReportingHost : public CliHost {
public:
    ReportingHost(Streams io, QString document, QString workDir)
        : CliHost(io, std::move(document)), out_(io.out), workDir_(std::move(workDir)) {}

    void stepFinished(int index) override {
        const ImportStepInfo& s = importSteps().at(size_t(index));
        QStringList parts;
        if (s.name == QLatin1String("CrearActividades")) {
            // The activities step appends to the subjects' table: it is credited with what
            // it added.
            parts << QStringLiteral("ASIGNOMT +%1")
                         .arg(rows(rowsOf(workDir_, QStringLiteral("ASIGNOMT")) - subjectRows_));
        } else if (s.name == QLatin1String("CrearCatalogos") &&
                   rowsOf(workDir_, QStringLiteral("ORIGENES_C")) < 0) {
            parts << QStringLiteral("el documento no trae ORIGENES: ORIGENES_C borrada, "
                                    "NIVELES_C, CUR_NIV_C y AUTORIZA_C sin tocar");
        } else {
            for (const QString& name : s.writes) {
                const int n = rowsOf(workDir_, name);
                if (name == QLatin1String("ASIGNOMT"))
                    subjectRows_ = n;
                if (n >= 0)
                    parts << name + u' ' + rows(n);
            }
        }
        out_ << QStringLiteral("%1. %2: %3\n").arg(index + 1).arg(s.name, parts.join(u", "))
             << Qt::flush;
    }

private:
    QTextStream& out_;
    QString workDir_;
    int subjectRows_ = 0;
};

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

    ReportingHost host(io, doc, folders.workDir);
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
    host.runState = &state;
    exchange::Document held;
    // The frame choice is settled on the loaded document before the first step deletes
    // anything: the window's dialog cannot be left without a valid choice, so a run must
    // not stop at the ninth step for want of one, with most tables already rebuilt.
    BExportarClick(host, state, folders, held, [&](const exchange::Document& loaded) {
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
