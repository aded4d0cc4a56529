#include "cli/Answers.h"
#include "cli/StepLinesHost.h"
#include "exchange/ExchangeDocument.h"
#include "import/ImportRun.h"
#include "run/RunReport.h"
#include "run/Safekeeping.h"
#include "tables/Folders.h"
#include "tables/Table.h"
#include "text/Clipper.h"
#include "text/RunError.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>

// `check` runs the import itself, with the same answers, on a scratch copy of the working
// folder's tables, and tells what it met; the working folder is left as it was.
namespace cli {

namespace {

// The data groups the steps read, in the order they read them.
QStringList groupsRead() {
    QStringList groups;
    for (const ImportStepInfo& s : importSteps())
        for (const QString& g : s.reads)
            if (!groups.contains(g))
                groups << g;
    return groups;
}

void copyFile(const QString& from, const QString& to) {
    QFile::remove(to);
    QFile source(from);
    if (!source.copy(to))
        throw RunError(QStringLiteral("No se puede copiar %1 para la comprobación: %2")
                           .arg(QDir::toNativeSeparators(from), source.errorString()));
}

// The working folder as the import would find it: its files, and the copies of a run
// killed in the middle, which the import puts back before anything else. The bookkeeping
// of finished runs and the lock stay behind.
void copyWorkingFolder(const QString& workDir, const QString& scratch) {
    const QDir from(workDir);
    for (const QFileInfo& f : from.entryInfoList(QDir::Files | QDir::Hidden | QDir::System))
        if (f.isFile())
            copyFile(f.filePath(), QDir(scratch).filePath(f.fileName()));
    const QString backup = run::backupFolder(workDir);
    const QString unfinished = QDir(backup).filePath(QStringLiteral("EN_CURSO"));
    if (!QFileInfo(unfinished).isDir())
        return;
    const QString to = run::backupFolder(scratch);
    QDirIterator it(unfinished, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = QDir(to).filePath(QDir(backup).relativeFilePath(path));
        QDir().mkpath(QFileInfo(target).absolutePath());
        copyFile(path, target);
    }
}

// Answers the import from the options and keeps what the run says instead of printing it.
class CheckHost : public StepLinesHost {
public:
    using StepLinesHost::StepLinesHost;

    QStringList errors;  // what ended the run
    QStringList notes;   // other messages of the run
    QStringList missing; // answers the run stopped for
    QStringList lacking; // course-offer keys without level or course
    std::optional<run::RunReport> report;

    void showMessage(const QString& text) override {
        if (!runState || runState->resultValue != 1)
            notes << text;
    }
    void reportError(const QString& text) override {
        failed = true;
        if (!needsAnswer)
            errors << text;
    }
    void runReported(const run::RunReport& r, const QString&) override { report = r; }
};

// "record_skipped: 2 (EMPLEADOS 4, DEPENDENCIAS 3)": each of the run's kinds with where
// its items are.
void printReport(QTextStream& out, const run::RunReport& report) {
    for (const run::ReportKind k : run::kindsOf(report.run)) {
        QStringList where;
        for (const run::ReportItem& i : report.items())
            if (i.kind == k)
                where << QStringLiteral("%1 %2")
                             .arg(i.group.isEmpty() ? i.table : i.group)
                             .arg(i.record);
        out << "  " << run::kindName(k) << ": " << where.size();
        if (!where.isEmpty())
            out << " (" << where.join(QStringLiteral(", ")) << ')';
        out << '\n';
    }
}

} // namespace

int runCheck(const QStringList& args, Streams io) {
    ImportOptions o;
    if (const auto failed = readImportOptions(args, io, o))
        return *failed;
    const QString& path = o.document;
    const QString& workDir = o.workDir;

    QStringList errors;  // what would end the run with an error
    QStringList missing; // answers the run would stop for
    QStringList notes;
    QTextStream& out = io.out;
    try {
        // What only reading the document tells.
        const exchange::Document doc = exchange::Document::load(path);
        out << "Documento: " << QDir::toNativeSeparators(path) << '\n';
        if (!doc.ok()) {
            out << "  no es un documento XML que se pueda importar: " << doc.errorString()
                << "\nLa importación no se haría: el documento no se puede leer.\n";
            return RunFailed;
        }
        const QString enc = doc.encoding();
        out << "  XML bien formado, codificación "
            << (enc.isEmpty() ? QStringLiteral("UTF-8 (sin declaración)") : enc) << '\n';
        out << "Grupos de datos:\n";
        for (const QString& seq : groupsRead())
            out << QStringLiteral("  %1: %2 registros\n").arg(seq).arg(doc.recordsOf(seq).size());
        if (catalogueProblem(o.catalogPath).isEmpty()) {
            const QFileInfo ci(o.catalogPath);
            tables::Table t;
            t.open(ci.absolutePath(), ci.fileName(), tables::OpenMode::Shared);
            out << "Catálogo de materias: " << QDir::toNativeSeparators(o.catalogPath) << ", "
                << t.rowCount() << " materias\n";
        }
        const FrameChoice choice = chooseFrames(doc, o.frames);
        out << "Marcos horarios:\n";
        QHash<QString, int> slotCount;
        for (const auto& s : doc.recordsOf(QStringLiteral("TRAMOS_HORARIOS")))
            slotCount[PlantillasLogic::frameCode(exchange::itemValue(exchange::dataItems(s), 4))]++;
        QStringList chosen;
        for (const PlantillasLogic::Frame& f : choice.frames) {
            out << QStringLiteral("  %1 \"%2\": %3 tramos\n")
                       .arg(f.code, f.name)
                       .arg(slotCount.value(PlantillasLogic::frameCode(f.code)));
            for (const QString& given : o.frames)
                if (AllTrim(given) == AllTrim(f.code))
                    chosen << AllTrim(f.code);
        }
        if (choice.answered)
            out << "  Se aplicarían: " << chosen.join(QStringLiteral(", ")) << '\n';

        // No import may change the tables while they are checked and copied.
        std::optional<run::FolderLock> lock;
        if (QFileInfo(workDir).isDir())
            lock.emplace(workDir, run::FolderLock::Need::IfWritable);
        if (!lock)
            errors << tables::missingWorkingFolder(workDir) + u'.';
        else
            // The import stops here, before it copies anything aside.
            errors << problemsBeforeImport(doc, path, RunFolders{workDir, o.catalogPath});
        if (errors.isEmpty()) {
            const QTemporaryDir scratch;
            if (!scratch.isValid())
                throw RunError(
                    QStringLiteral(
                        "No se puede crear una carpeta temporal para la comprobación: %1")
                        .arg(scratch.errorString()));
            const QString scratchWork = scratch.filePath(QStringLiteral("TLTEMP"));
            const QString scratchDoc =
                scratch.filePath(QStringLiteral("doc/") + QFileInfo(path).fileName());
            QDir().mkpath(scratchWork);
            QDir().mkpath(QFileInfo(scratchDoc).absolutePath());
            copyWorkingFolder(workDir, scratchWork);
            copyFile(path, scratchDoc);

            out << "Pasos de la importación, sobre una copia de las tablas de trabajo:\n"
                << Qt::flush;
            CheckHost host(io, scratchDoc, scratchWork);
            host.recoverAnswer = o.recover;
            // The copies of a killed run name the working folder they were taken in, not
            // this scratch copy, which the run's own recovery would then refuse: they are
            // put back here as the import will put them back there.
            if (QFileInfo(QDir(run::backupFolder(scratchWork)).filePath(QStringLiteral("EN_CURSO")))
                    .isDir()) {
                const QString line = run::finishInterrupted(scratchWork, true);
                if (!line.isEmpty())
                    host.notes << line;
            }
            host.onCursos = [&](CursosLogic& dialog) {
                dialog.recover(o.recover);
                dialog.applyCodes(o.codes);
                host.lacking = dialog.keysLackingCodes();
                if (host.lacking.isEmpty()) {
                    dialog.completeOk();
                    return;
                }
                host.needsAnswer = true;
                host.missing << QStringLiteral("nivel y curso de %1 ofertas de curso (--codes)")
                                    .arg(host.lacking.size());
                dialog.forceExit();
            };
            host.onPlantillas = [&](PlantillasLogic& dialog) {
                if (dialog.chooseByCodes(o.frames).status != PlantillasLogic::Choice::Ok) {
                    host.needsAnswer = true;
                    host.missing << QStringLiteral("los marcos horarios (--frames)");
                    throw RunError(QStringLiteral("DIASHORAST: no se eligieron los Marcos "
                                                  "Horarios"));
                }
            };
            run::RunState state;
            host.runState = &state;
            exchange::Document held;
            ::runImport(host, host, state, RunFolders{scratchWork, o.catalogPath}, held,
                        [&](const exchange::Document& loaded) {
                            const FrameChoice c = chooseFrames(loaded, o.frames);
                            if (c.asked && !c.answered) {
                                host.needsAnswer = true;
                                host.missing << QStringLiteral("los marcos horarios (--frames)");
                                host.notes << c.problem;
                                throw RunError(c.problem);
                            }
                        });

            // Messages name the scratch copy; the user knows the real folders.
            const auto real = [&](QString s) {
                s.replace(QDir::toNativeSeparators(scratchWork), QDir::toNativeSeparators(workDir));
                s.replace(QDir::toNativeSeparators(scratchDoc), QDir::toNativeSeparators(path));
                return s;
            };
            for (const QString& e : host.errors)
                errors << real(e);
            for (const QString& n : host.notes)
                notes << real(n);
            missing << host.missing;
            if (!host.lacking.isEmpty()) {
                const QString source = o.codes.isEmpty() ? QStringLiteral("CURSOST2")
                                       : o.recover       ? QStringLiteral("CURSOST2 y --codes")
                                                         : QStringLiteral("--codes");
                out << "Ofertas de curso sin nivel o curso tras " << source << " ("
                    << host.lacking.size() << "): " << host.lacking.join(QStringLiteral(", "))
                    << '\n';
            }
            if (host.report) {
                out << "Informe de la importación (lo que dejaría fuera o con un valor por "
                       "defecto):\n";
                printReport(out, *host.report);
            }
        }
    } catch (const RunError& e) {
        io.err << e.message() << '\n';
        return RunFailed;
    }

    for (const QString& n : notes)
        out << "  " << n << '\n';
    for (const QString& e : errors)
        out << "ERROR  " << QString(e).replace(u'\n', QStringLiteral("\n       ")) << '\n';
    for (const QString& m : missing)
        out << "FALTA  " << m << '\n';
    if (errors.isEmpty() && missing.isEmpty()) {
        out << "La importación llegaría a su fin.\n";
        return Done;
    }
    if (errors.isEmpty())
        out << "La importación se detendría por falta de respuesta: dé "
            << missing.join(QStringLiteral(" y ")) << ".\n";
    else
        out << "La importación no llegaría a su fin.\n";
    return RunFailed;
}

} // namespace cli
