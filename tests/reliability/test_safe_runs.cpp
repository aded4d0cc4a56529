// An import happens whole or not at all, one run at a time per working folder, and the
// tables of the last import can be put back.

#include "ReliabilityFixture.h"

#include "run/Safekeeping.h"
#include "tables/TableIo.h"
#include "tables/WorkingTables.h"

#include <QElapsedTimer>
#include <QThread>
#ifndef Q_OS_WIN
#include <optional>
#include <sys/stat.h>
#endif

namespace {

using namespace reliability;

using BatchResult = testing_support::ToolRun;

BatchResult batch(const QStringList& args) {
    return testing_support::runBatchTool(args, testing_support::BatchRun{});
}

// A folder with the tables of a completed import of the school, then the tables the
// next import starts from; every test checks them against what they were.
class SafeRun : public SchoolTest {
protected:
    QMap<QString, QByteArray> before;
    QString codes;

    void SetUp() override {
        SchoolTest::SetUp();
        importSchool();
        codes = dir.filePath(QStringLiteral("codigos.csv"));
        writeFile(codes, "CLAVE,NIVEL,CURSO\n500,ESO,1\n600,ESO,2\n");
        before = snapshotButCodes(work);
    }

    QMap<QString, QByteArray> nowButCodes() const { return snapshotButCodes(work); }

    void expectUntouched() const {
        const QMap<QString, QByteArray> now = nowButCodes();
        EXPECT_EQ(now.keys(), before.keys());
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            EXPECT_TRUE(now.value(it.key()) == it.value()) << it.key().toStdString();
    }

    QStringList importArgs(const QString& doc) const {
        return {QStringLiteral("import"),    doc,
                QStringLiteral("--workdir"), work,
                QStringLiteral("--catalog"), catalogPath(),
                QStringLiteral("--codes"),   codes,
                QStringLiteral("--frames"),  QStringLiteral("M1")};
    }

    // The school document with one change, written beside the original.
    QString documentWith(const QByteArray& from, const QByteArray& to) {
        QByteArray text = schoolDocument();
        EXPECT_TRUE(text.contains(from)) << from.toStdString();
        text.replace(from, to);
        const QString path = dir.filePath(QStringLiteral("VELTRA/otro.xml"));
        writeFile(path, text);
        return path;
    }
};

// ---- Failures an import meets on the way leave every table as it was ----------------

TEST_F(SafeRun, DiskFullInTheAssignmentsStepPutsEveryTableBack) {
    std::optional<tables::detail::ScopedIoHooks> diskHooks; // the disk's faults, while set
    // Step 8 writes ASIGT: its first row fails as on a full disk.
    diskHooks.emplace(
        tables::detail::IoHooks::writes([](tables::detail::NativeFile& f, qint64 offset,
                                           const char* data, qint64 size, QString* error) {
            if (f.path().endsWith(QLatin1String("ASIGT.DBF"), Qt::CaseInsensitive) && offset > 0) {
                *error = QStringLiteral("No queda espacio en el disco");
                return false;
            }
            return f.nativeWriteAt(offset, data, size, error);
        }));
    const Outcome o = importRun(document, work);
    diskHooks.reset();
    expectEndedWith(o, {QStringLiteral("espacio")});
    expectUntouched();
    expectEveryTableReads(work);
}

TEST_F(SafeRun, TablesThatCannotGoBackAtOnceAreSaidAndPutBackByTheNextRun) {
    std::optional<tables::detail::ScopedIoHooks> diskHooks; // the disk's faults, while set
    // The disk fills in step 8, and a folder has taken the place of AULAT.DBF, so the
    // rollback cannot put that table back.
    const QString aulat = work + QStringLiteral("/AULAT.DBF");
    diskHooks.emplace(
        tables::detail::IoHooks::writes([&](tables::detail::NativeFile& f, qint64 offset,
                                            const char* data, qint64 size, QString* error) {
            if (f.path().endsWith(QLatin1String("ASIGT.DBF"), Qt::CaseInsensitive) && offset > 0) {
                QFile::remove(aulat);
                QDir().mkpath(aulat + QStringLiteral("/dentro"));
                *error = QStringLiteral("No queda espacio en el disco");
                return false;
            }
            return f.nativeWriteAt(offset, data, size, error);
        }));
    const Outcome o = importRun(document, work);
    diskHooks.reset();
    // Both faults are told: the one that stopped the run first.
    ASSERT_EQ(o.errors.size(), 1);
    const QString said = o.errors.first();
    EXPECT_LT(said.indexOf(QStringLiteral("espacio")), said.indexOf(QStringLiteral("reponer")))
        << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("AULAT.DBF"))) << said.toStdString();

    ASSERT_TRUE(QDir(aulat).removeRecursively());
    EXPECT_TRUE(run::finishInterrupted(work).contains(QStringLiteral("no terminó")));
    expectUntouched();
    expectEveryTableReads(work);
}

TEST_F(SafeRun, ForcedExitPutsTheTablesBackAndKeepsTheTypedCodes) {
    const Outcome o = importRun(document, work, catalogPath(), [](ScriptedHost& host) {
        host.onCursos = [](CursosLogic& dialog) {
            dialog.recover(false);
            // One offer gets both codes, the other only a level.
            dialog.applyCodes(
                {{QStringLiteral("500"), {QStringLiteral("BACH"), QStringLiteral("2")}},
                 {QStringLiteral("600"), {QStringLiteral("ESO"), QString()}}});
            dialog.forceExit();
        };
    });
    EXPECT_EQ(o.resultValue, 0);
    EXPECT_FALSE(o.messages.contains(QStringLiteral("Proceso finalizado")));
    expectUntouched();
    const auto saved = CursosLogic::savedCodes(work);
    EXPECT_EQ(saved.value(QStringLiteral("500")).nivel, QStringLiteral("BACH"));
    EXPECT_EQ(saved.value(QStringLiteral("500")).curso, QStringLiteral("2"));
    // Declining the saved codes is undone with the rest of the import; a row lacking a code
    // does not overwrite what was saved for it before.
    EXPECT_EQ(saved.value(QStringLiteral("600")).nivel, QStringLiteral("ESO"));
    EXPECT_EQ(saved.value(QStringLiteral("600")).curso, QStringLiteral("2"));
}

struct RefusedCase {
    const char* name;
    QByteArray from; // change to the school document; empty: the document as it is
    QByteArray to;
    const char* said;
};

class Refused : public SafeRun, public testing::WithParamInterface<RefusedCase> {};

TEST_P(Refused, BeforeAnythingIsTouched) {
    const RefusedCase& c = GetParam();
    const QString doc = c.from.isEmpty() ? document : documentWith(c.from, c.to);
    const Outcome o = importRun(doc, work);
    expectEndedWith(o, {QString::fromUtf8(c.said)});
    EXPECT_EQ(o.errors.value(0).count(QStringLiteral("No se ha importado nada")), 1);
    expectUntouched();
}

const RefusedCase kRefused[] = {
    {"OwnExport", "modulo=\"EXPORTACION\" tipo=\"E\" autor=\"VELTRA\"",
     "modulo=\"HORARIOS\" tipo=\"I\" autor=\"TEMPOLAN\"",
     "lo ha escrito la exportación hacia Veltra"},
    {"DefaultNamespace", "<SERVICIO", "<SERVICIO xmlns=\"urn:otro\"", "SERVICIO/BLOQUE_DATOS"},
    {"OtherRoot", "BLOQUE_DATOS>", "OTRO_BLOQUE>", "SERVICIO/BLOQUE_DATOS"},
    {"CatalogueIdentifier", "<dato nombre_dato=\"X_CATORIHOR\">7<",
     "<dato nombre_dato=\"X_CATORIHOR\">siete<", "'siete'"},
};

INSTANTIATE_TEST_SUITE_P(Document, Refused, testing::ValuesIn(kRefused),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(SafeRun, ABrokenOrMissingCatalogueIsRefusedFirst) {
    const QString broken = dir.filePath(QStringLiteral("ROTO.DBF"));
    writeFile(broken, QByteArray("\x04\x7a", 2));
    for (const QString& catalog : {broken, dir.filePath(QStringLiteral("NOHAY.DBF"))}) {
        const Outcome o = importRun(document, work, catalog);
        expectEndedWith(o, {QStringLiteral("catálogo de materias"), QFileInfo(catalog).fileName()});
        expectUntouched();
    }
}

TEST_F(SafeRun, AHeldTableIsRefusedFirst) {
    tables::Table held;
    held.open(work, QStringLiteral("PROFT"), tables::OpenMode::Exclusive);
    const Outcome o = importRun(document, work);
    held.close();
    expectEndedWith(o, {QStringLiteral("PROFT"), QStringLiteral("otro programa")});
    expectUntouched();
}

// ---- One run at a time ------------------------------------------------------------

TEST_F(SafeRun, ARunMeetingAnotherIsRefusedAtOnceTouchingNothing) {
    // Another run holds the folder: this process for the window's runs, another process
    // for the batch front end.
    std::optional<run::FolderLock> other;
    other.emplace(work, run::FolderLock::Need::Required);
    const Outcome imported = importRun(document, work);
    expectEndedWith(imported, {QStringLiteral("Otra transformación"), work});
    const Outcome exported = exportRun(document, work);
    expectEndedWith(exported, {QStringLiteral("Otra transformación")});
    EXPECT_FALSE(QFileInfo::exists(output));
    const BatchResult b = batch(importArgs(document));
    EXPECT_EQ(b.code, 1) << b.err.toStdString();
    EXPECT_TRUE(b.err.contains(QStringLiteral("Otra transformación"))) << b.err.toStdString();
    expectUntouched();

    other.reset(); // the lock goes with its holder
    EXPECT_TRUE(importRun(document, work).completed());
}

TEST_F(SafeRun, TwoImportsStartedTogetherLeaveTheTablesOfOne) {
    const QString other = documentWith("Lengua", "Lenguas");
    QProcess a, b;
    a.start(batchTool(), importArgs(document));
    b.start(batchTool(), importArgs(other));
    ASSERT_TRUE(a.waitForFinished(120000));
    ASSERT_TRUE(b.waitForFinished(120000));
    const QString errA = QString::fromUtf8(a.readAllStandardError());
    const QString errB = QString::fromUtf8(b.readAllStandardError());
    ASSERT_TRUE(a.exitCode() == 0 || b.exitCode() == 0) << errA.toStdString() << errB.toStdString();
    for (const auto& [code, err] : {std::pair{a.exitCode(), errA}, std::pair{b.exitCode(), errB}}) {
        if (code != 0) {
            EXPECT_TRUE(err.contains(QStringLiteral("Otra transformación"))) << err.toStdString();
        }
    }
    // The tables are those of one whole import, of one document or the other.
    const QMap<QString, QByteArray> mixed = nowButCodes();
    const auto sameAsImportOf = [&](const QString& doc) {
        const BatchResult again = batch(importArgs(doc));
        EXPECT_EQ(again.code, 0) << again.err.toStdString();
        const QMap<QString, QByteArray> single = nowButCodes();
        for (auto it = single.cbegin(); it != single.cend(); ++it) {
            // The header's date of last update aside.
            if (mixed.value(it.key()).mid(4) != it.value().mid(4))
                return false;
        }
        return single.keys() == mixed.keys();
    };
    EXPECT_TRUE(sameAsImportOf(document) || sameAsImportOf(other));
}

// ---- A run killed in the middle ----------------------------------------------------

TEST_F(SafeRun, AnImportKilledAnywhereIsUndoneByTheNextRun) {
    const QString doc = documentWith("Lengua", "Lenguas");
    const QStringList restore{QStringLiteral("restore"), QStringLiteral("--workdir"), work};
    // The tables a whole import of the document leaves, for a kill that comes too late.
    ASSERT_EQ(batch(importArgs(doc)).code, 0);
    const QMap<QString, QByteArray> imported = nowButCodes();
    ASSERT_EQ(batch(restore).code, 0);
    const auto isWholeImport = [&] {
        const QMap<QString, QByteArray> now = nowButCodes();
        if (now.keys() != imported.keys())
            return false;
        for (auto it = imported.cbegin(); it != imported.cend(); ++it) {
            // The header's date of last update aside.
            if (now.value(it.key()).mid(4) != it.value().mid(4))
                return false;
        }
        return true;
    };
    for (int delayMs : {0, 5, 20, 60, 150}) {
        SCOPED_TRACE(delayMs);
        QProcess p;
        p.start(batchTool(), importArgs(doc));
        ASSERT_TRUE(p.waitForStarted());
        // Wait until the copies are taken, then let it go on a little.
        const QString marker = run::backupFolder(work) + QStringLiteral("/EN_CURSO");
        QElapsedTimer t;
        t.start();
        while (!QFileInfo::exists(marker) && p.state() == QProcess::Running && t.elapsed() < 60000)
            QThread::usleep(200);
        QThread::msleep(delayMs);
        p.kill(); // SIGKILL, or TerminateProcess on Windows: no chance to tidy up
        p.waitForFinished(60000);
        const bool finished = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;

        if (finished) {
            // It completed before the kill: put the school back for the next round.
            ASSERT_EQ(batch(restore).code, 0);
            continue;
        }
        // The next run, an export here, finishes the job before anything else.
        const BatchResult next =
            batch({QStringLiteral("export"), document, QStringLiteral("--workdir"), work});
        const QString said = next.out + next.err;
        if (said.contains(QStringLiteral("terminó, pero"))) {
            // Killed after it had finished, before tidying its copies: the import stands.
            ASSERT_EQ(batch(restore).code, 0);
            continue;
        }
        if (!said.contains(QStringLiteral("no terminó"))) {
            // Killed after its last word to the disk, before the process ended: the
            // import stands whole, and nothing was left to finish.
            EXPECT_TRUE(isWholeImport()) << said.toStdString();
            ASSERT_EQ(batch(restore).code, 0);
            continue;
        }
        expectUntouched();
        expectEveryTableReads(work);
    }
}

// A run killed in the middle is undone by the next import before its first step; check
// foretells that on its copy and leaves the half-written folder for that import.
TEST_F(SafeRun, CheckForetellsTheUndoingOfAKilledRunAndLeavesItToTheImport) {
    const QString inProgress = run::backupFolder(work) + QStringLiteral("/EN_CURSO");
    const QString kept = dir.filePath(QStringLiteral("EN_CURSO"));
    {
        // What a kill after the copies leaves: the copies of a run not finished, and a
        // table half rewritten.
        run::TableSafekeeping copies(work, {QStringLiteral("PROFT")});
        copies.beforeStep({QStringLiteral("PROFT")}); // the step that was rewriting it
        ASSERT_TRUE(QDir().mkpath(kept));
        for (const QString& f : QDir(inProgress).entryList(QDir::Files))
            ASSERT_TRUE(QFile::copy(inProgress + u'/' + f, kept + u'/' + f));
    }
    ASSERT_TRUE(QDir().mkpath(inProgress));
    for (const QString& f : QDir(kept).entryList(QDir::Files))
        ASSERT_TRUE(QFile::copy(kept + u'/' + f, inProgress + u'/' + f));
    writeFile(QDir(work).filePath(QStringLiteral("PROFT.DBF")), "a medio escribir");
    const QMap<QString, QByteArray> killed = snapshot(work);

    QStringList checkArgs = importArgs(document);
    checkArgs[0] = QStringLiteral("check");
    const BatchResult c = batch(checkArgs);
    EXPECT_EQ(c.code, 0) << c.out.toStdString() << c.err.toStdString();
    EXPECT_TRUE(c.out.contains(QStringLiteral("no terminó"))) << c.out.toStdString();
    EXPECT_TRUE(c.out.contains(QStringLiteral("5. CrearProfesores: PROFT ")))
        << c.out.toStdString();
    EXPECT_EQ(snapshot(work), killed);
    EXPECT_TRUE(QFileInfo(inProgress).isDir()) << "check leaves the undoing to the import";

    const BatchResult i = batch(importArgs(document));
    EXPECT_EQ(i.code, 0) << i.err.toStdString();
    EXPECT_TRUE((i.out + i.err).contains(QStringLiteral("no terminó"))) << i.err.toStdString();
}

// ---- restore ---------------------------------------------------------------------

TEST_F(SafeRun, RestorePutsBackTheTablesBeforeTheLastImportAndCanBeUndone) {
    const QString other = documentWith("Lengua", "Lenguas");
    ASSERT_EQ(batch(importArgs(other)).code, 0);
    const QMap<QString, QByteArray> afterImport = nowButCodes();
    const QStringList restore{QStringLiteral("restore"), QStringLiteral("--workdir"), work};

    BatchResult r = batch(restore);
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("PROFT"))) << r.out.toStdString();
    expectUntouched();

    r = batch(restore); // the restore undone
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(nowButCodes() == afterImport);

    // Worked on in Tempolan since: refused, naming the table, unless forced.
    writeFile(work + QStringLiteral("/AULAT.DBF"),
              readFile(work + QStringLiteral("/AULAT.DBF")) + "x");
    r = batch(restore);
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("AULAT"))) << r.err.toStdString();
    EXPECT_EQ(batch(restore + QStringList{QStringLiteral("--force")}).code, 0);
    expectUntouched();
}

TEST(Restore, NothingToRestoreSaysSo) {
    QTemporaryDir dir;
    const BatchResult r =
        batch({QStringLiteral("restore"), QStringLiteral("--workdir"), dir.path()});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("No hay nada que reponer"))) << r.err.toStdString();
}

// ---- Files that are no tables, and an empty PERIODOS -------------------------------------

// A FIFO would hang whoever opens it to read; Windows has none, a folder stands in there.
TEST_F(SafeRun, ASpecialFileNamedLikeATableIsRefusedWithoutOpeningIt) {
    const QString periodos = work + QStringLiteral("/PERIODOS.DBF");
    QFile::remove(periodos);
#ifdef Q_OS_WIN
    ASSERT_TRUE(QDir().mkdir(periodos));
#else
    ASSERT_EQ(::mkfifo(QFile::encodeName(periodos).constData(), 0600), 0);
#endif
    before = nowButCodes();
    const BatchResult r = batch(importArgs(document)); // a hang would end at the time-out
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("PERIODOS.DBF"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("no es un archivo normal"))) << r.err.toStdString();
}

TEST_F(SafeRun, ExportFromAnEmptyPeriodosWritesNothing) {
    tables::DeleteTable(work, tables::PERIODOS::kName);
    tables::CreateTable(work, tables::PERIODOS::kName, tables::PERIODOS::fields());
    const Outcome o = exportRun(document, work);
    EXPECT_TRUE(o.messages.contains(
        QStringLiteral("ATENCIÓN - PERIODOS.DBF está vacío - Importe de nuevo XML de VELTRA.")))
        << o.shown();
    EXPECT_EQ(o.resultValue, 0);
    EXPECT_FALSE(QFileInfo::exists(output));
}

} // namespace
