// A disk that fails (full, answering with errors, or the process killed at a system call)
// while an import, a restore or the next run's recovery works: the working folder is left
// as it was or as the whole run left it, every table reads, and the copies still restore.

#include "ReliabilityFixture.h"
#include "SyscallFaults.h"

#include "run/Safekeeping.h"
#include "text/SystemError.h"

namespace {

using namespace reliability;

QStringList restoreArgs(const QString& work) {
    return {QStringLiteral("restore"), QStringLiteral("--workdir"), work};
}

// The school imported whole; another school's import (one subject renamed) on top of it
// is what the faulted runs attempt.
class DiskFaults : public SchoolTest {
protected:
    QMap<QString, QByteArray> before;   // the school's tables
    QMap<QString, QByteArray> imported; // the other document's, imported whole
    QString codes;
    QString other;

    void SetUp() override {
        SchoolTest::SetUp();
        importSchool();
        codes = dir.filePath(QStringLiteral("codigos.csv"));
        writeFile(codes, "CLAVE,NIVEL,CURSO\n500,ESO,1\n600,ESO,2\n");
        QByteArray text = schoolDocument();
        text.replace("Lengua", "Lenguas");
        other = dir.filePath(QStringLiteral("VELTRA/otro.xml"));
        writeFile(other, text);
        before = tablesNow();
        ASSERT_EQ(tool(importArgs()).exitCode, 0);
        imported = tablesNow();
        ASSERT_EQ(tool(restoreArgs(work)).exitCode, 0);
        ASSERT_TRUE(tablesNow() == before);
    }

    ToolResult tool(const QStringList& args) const { return runProcess(batchTool(), args); }

    QStringList importArgs() const {
        return {QStringLiteral("import"),    other,
                QStringLiteral("--workdir"), work,
                QStringLiteral("--catalog"), catalogPath(),
                QStringLiteral("--codes"),   codes,
                QStringLiteral("--frames"),  QStringLiteral("M1")};
    }
    QStringList exportArgs() const {
        return {QStringLiteral("export"), document, QStringLiteral("--workdir"), work};
    }

    // The tables, the typed codes aside (they outlive a run that does not finish).
    QMap<QString, QByteArray> tablesNow() const { return snapshotButCodes(work); }
    // The header's date of last update aside.
    bool isWholeImport() const {
        const QMap<QString, QByteArray> now = tablesNow();
        if (now.keys() != imported.keys())
            return false;
        for (auto it = imported.cbegin(); it != imported.cend(); ++it) {
            if (now.value(it.key()).mid(4) != it.value().mid(4))
                return false;
        }
        return true;
    }

    // An import killed when it opens ASIGT (step 8): the tables half one school, half the
    // other, the copies in EN_CURSO.
    void killImportHalfway() {
        const QMap<QString, QByteArray> state = wholeTree(work);
        bool found = false;
        const ToolResult r = runWithFault(
            batchTool(), importArgs(), syscallFault("openat", "ASIGT.DBF", "KILL", "EN_CURSO\")"),
            [&] { putTree(work, state); }, &found);
        ASSERT_TRUE(found);
        ASSERT_TRUE(r.killed);
        ASSERT_TRUE(QFileInfo::exists(run::backupFolder(work) + QStringLiteral("/EN_CURSO")));
        ASSERT_FALSE(tablesNow() == before);
    }

    // What is left after the faulted run and the next one: the tables as before, or the
    // whole import (which restore then undoes); every table reads; and nothing was said in
    // the system's English.
    void expectBeforeOrWhole(const ToolResult& faulted) {
        const ToolResult next = tool(exportArgs());
        EXPECT_TRUE(englishSystemText(faulted.said()).isEmpty()) << faulted.said().toStdString();
        EXPECT_TRUE(englishSystemText(next.said()).isEmpty()) << next.said().toStdString();
        expectEveryTableReads(work);
        if (tablesNow() == before)
            return;
        EXPECT_TRUE(isWholeImport())
            << "half one school, half the other: " << faulted.said().toStdString() << " / "
            << next.said().toStdString();
        const ToolResult back = tool(restoreArgs(work));
        EXPECT_EQ(back.exitCode, 0) << back.said().toStdString();
        EXPECT_TRUE(tablesNow() == before) << "restore did not bring the school back";
    }
};

// ---- One system call failing, where the bookkeeping is most exposed ----------------------

enum class Start { Completed, Killed, AfterOtherImport };
enum class Command { Import, Export, Restore };

struct FaultCase {
    const char* name;
    Start start;
    Command command;
    SyscallFault fault;
    int exitCode;        // of the faulted run; -1: any
    const char* said;    // a text the faulted run says; empty: nothing required
    const char* notSaid; // a text it must not say
};

const FaultCase kFaults[] = {
    // The copies' record cannot be written: the run does not start.
    {"ManifestWriteFails", Start::Completed, Command::Import,
     syscallFault("pwrite64", "MANIFIESTO", "ENOSPC"), 1, "espacio", ""},
    // Nor when the folder cannot be listed as the copies are taken.
    {"ListingFailsWhileCopying", Start::Completed, Command::Import,
     syscallFault("getdents64", "TLTEMP>", "EIO", "PREPARANDO\", 0777"), 1, "", "espacio"},
    // What the run wrote cannot be recorded: it is undone.
    {"DoneRecordWriteFails", Start::Completed, Command::Import,
     syscallFault("pwrite64", "HECHO", "ENOSPC"), 1, "espacio", ""},
    // The disk full from step 8 on: putting back needs no space.
    {"DiskFullFromStep8On", Start::Completed, Command::Import,
     syscallFault("pwrite64", "ASIGT.DBF", "ENOSPC", "", true), 1, "espacio", ""},
    // The disk stops answering opens from step 8 on.
    {"OpensFailFromStep8On", Start::Completed, Command::Import,
     syscallFault("openat", "ASIGT.DBF", "EIO", "EN_CURSO\")", true), 1, "disco", "espacio"},
    // Once the tables are recorded whole the import has completed, whatever fails after.
    {"RenamingTheCopiesAfterTheEndFails", Start::Completed, Command::Import,
     syscallFault("rename", "EN_CURSO\", \"", "EIO", "HECHO"), 0, "enteras", ""},
    // The next run cannot read the record of a killed import: it puts nothing back.
    {"RecoveryCannotReadTheManifest", Start::Killed, Command::Export,
     syscallFault("pread64", "EN_CURSO/MANIFIESTO", "EIO"), 1, "", "se han repuesto"},
    // Nor does an export that cannot open the lock file run over a killed import.
    {"ExportCannotOpenTheLock", Start::Killed, Command::Export,
     syscallFault("openat", "BLOQUEO", "EIO"), 1, "BLOQUEO", ""},
    // restore cannot read its record: it refuses, and ANTERIOR is kept.
    {"RestoreCannotReadTheManifest", Start::AfterOtherImport, Command::Restore,
     syscallFault("pread64", "ANTERIOR/MANIFIESTO", "EIO"), 1, "", "Repuestas"},
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

class OneFault : public DiskFaults, public testing::WithParamInterface<FaultCase> {};

TEST_P(OneFault, LeavesTheFolderAsBeforeOrWhole) {
    if (!haveStrace())
        GTEST_SKIP() << "strace is not installed";
    const FaultCase& c = GetParam();
    if (c.start == Start::Killed) {
        ASSERT_NO_FATAL_FAILURE(killImportHalfway());
    }
    if (c.start == Start::AfterOtherImport) {
        ASSERT_EQ(tool(importArgs()).exitCode, 0);
    }
    const QStringList args = c.command == Command::Import   ? importArgs()
                             : c.command == Command::Export ? exportArgs()
                                                            : restoreArgs(work);
    const QMap<QString, QByteArray> state = wholeTree(work);
    bool found = false;
    const ToolResult r = runWithFault(
        batchTool(), args, c.fault,
        [&] {
            putTree(work, state);
            QFile::remove(output);
        },
        &found);
    ASSERT_TRUE(found) << "the call to fail was not met";
    if (c.exitCode >= 0) {
        EXPECT_EQ(r.exitCode, c.exitCode) << r.said().toStdString();
    }
    if (*c.said) {
        EXPECT_TRUE(r.said().contains(QString::fromUtf8(c.said))) << r.said().toStdString();
    }
    if (*c.notSaid) {
        EXPECT_FALSE(r.said().contains(QString::fromUtf8(c.notSaid))) << r.said().toStdString();
    }
    if (c.command == Command::Export && c.exitCode != 0) {
        EXPECT_FALSE(QFileInfo::exists(output)) << "a document from half-imported tables";
    }

    if (c.command == Command::Restore) {
        // Refused: the tables of the other import stand, and ANTERIOR still restores.
        EXPECT_TRUE(isWholeImport());
        const ToolResult again = tool(restoreArgs(work));
        EXPECT_EQ(again.exitCode, 0) << again.said().toStdString();
        EXPECT_TRUE(tablesNow() == before);
        return;
    }
    expectBeforeOrWhole(r);
}

INSTANTIATE_TEST_SUITE_P(Bookkeeping, OneFault, testing::ValuesIn(kFaults),
                         [](const auto& p) { return std::string(p.param.name); });

// ---- Recovery checks what it puts back --------------------------------------------------

TEST_F(DiskFaults, RecoveryRefusesCopiesTakenInAnotherFolder) {
    if (!haveStrace())
        GTEST_SKIP() << "strace is not installed";
    // Another school's folder (a copy of this one, with its own identity) with a killed
    // import; its copies brought in here.
    const QString elsewhere = dir.filePath(QStringLiteral("OTRA"));
    QMap<QString, QByteArray> copied = wholeTree(work);
    copied.remove(QStringLiteral("VELTRA_RESPALDO/IDENTIDAD"));
    putTree(elsewhere, copied);
    const QString mine = work;
    work = elsewhere;
    ASSERT_NO_FATAL_FAILURE(killImportHalfway());
    work = mine;
    ASSERT_TRUE(tablesNow() == before);
    ASSERT_TRUE(QDir().rename(elsewhere + QStringLiteral("/VELTRA_RESPALDO/EN_CURSO"),
                              run::backupFolder(work) + QStringLiteral("/EN_CURSO")));

    const ToolResult r = tool(exportArgs());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("otra carpeta"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("restore --force"))) << r.err.toStdString();
    EXPECT_TRUE(tablesNow() == before);
}

TEST_F(DiskFaults, RecoveryRefusesToUndoAChangeMadeAfterTheCrash) {
    if (!haveStrace())
        GTEST_SKIP() << "strace is not installed";
    ASSERT_NO_FATAL_FAILURE(killImportHalfway());
    // DIASHORAST, which the killed run had not reached, worked on in Tempolan since.
    const QString dias = work + QStringLiteral("/DIASHORAST.DBF");
    const QByteArray changed = readFile(dias) + "x";
    writeFile(dias, changed);

    ToolResult r = tool(exportArgs());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("DIASHORAST"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("restore --force"))) << r.err.toStdString();
    EXPECT_EQ(readFile(dias), changed);

    r = tool(restoreArgs(work) + QStringList{QStringLiteral("--force")});
    EXPECT_EQ(r.exitCode, 0) << r.said().toStdString();
    EXPECT_TRUE(tablesNow() == before);
}

TEST_F(DiskFaults, RecoveryUndoesWhatTheKilledRunDid) {
    if (!haveStrace())
        GTEST_SKIP() << "strace is not installed";
    ASSERT_NO_FATAL_FAILURE(killImportHalfway());
    const ToolResult r = tool(exportArgs());
    EXPECT_TRUE(r.said().contains(QStringLiteral("no terminó"))) << r.said().toStdString();
    EXPECT_TRUE(tablesNow() == before);
}

// ---- CURSOST2 and linked tables ---------------------------------------------------------

TEST_F(DiskFaults, DecliningTheRecoveryInAnImportThatDoesNotFinishKeepsTheCodes) {
    const QByteArray codes2 = readFile(work + QStringLiteral("/CURSOST2.DBF"));
    ASSERT_FALSE(codes2.isEmpty());
    const Outcome o = importRun(other, work, catalogPath(), [](ScriptedHost& host) {
        host.onCursos = [](CursosLogic& dialog) {
            dialog.recover(false); // CURSOST2 deleted
            dialog.forceExit();    // and left without a code typed
        };
    });
    EXPECT_NE(o.resultValue, 1);
    EXPECT_EQ(readFile(work + QStringLiteral("/CURSOST2.DBF")), codes2);
    EXPECT_TRUE(tablesNow() == before);
}

TEST_F(DiskFaults, ATableThatIsALinkIsRefusedAndStaysALink) {
    const QString aulat = work + QStringLiteral("/AULAT.DBF");
    const QString target = dir.filePath(QStringLiteral("aulas.dbf"));
    ASSERT_TRUE(QFile::rename(aulat, target));
    ASSERT_TRUE(QFile::link(target, aulat));
    const QByteArray held = readFile(target);
    const ToolResult r = tool(importArgs());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("enlace simbólico"))) << r.err.toStdString();
    EXPECT_TRUE(QFileInfo(aulat).isSymLink());
    EXPECT_EQ(readFile(target), held);
}

// ---- The catalogue in any letter case ---------------------------------------------------

TEST_F(DiskFaults, ACatalogueSpeltInLowerCaseIsFound) {
    const QString folder = dir.filePath(QStringLiteral("programa"));
    QDir().mkpath(folder);
    ASSERT_TRUE(QFile::copy(catalogPath(), folder + QStringLiteral("/veltmaterias.dbf")));
    const Outcome o = importRun(other, work, folder + QStringLiteral("/VELTMATERIAS.DBF"));
    EXPECT_TRUE(o.completed()) << o.shown() << o.errors.join(u' ').toStdString();
}

// ---- System errors in Spanish, with the advice that fits --------------------------------

TEST(SystemErrors, ReasonAndAdviceInSpanish) {
    struct Case {
        int code;
        const char* reason;
        const char* advice; // empty: none
    };
    const Case cases[] = {
        {ENOSPC, "no queda espacio en el disco", "espacio"},
        {EIO, "error de entrada/salida del disco", "unidad de red"},
        {EACCES, "permiso denegado", "permiso"},
        {EROFS, "solo lectura", "permiso"},
        {EMFILE, "demasiados archivos abiertos", "Cierre"},
        {ENAMETOOLONG, "demasiado largo", ""},
        {ENOENT, "no existe", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const std::error_code code(c.code, std::generic_category());
        EXPECT_TRUE(text::systemReason(code).contains(QString::fromUtf8(c.reason)))
            << text::systemReason(code).toStdString();
        const QString advice = text::systemAdvice(code);
        if (*c.advice) {
            EXPECT_TRUE(advice.contains(QString::fromUtf8(c.advice))) << advice.toStdString();
        } else {
            EXPECT_TRUE(advice.isEmpty()) << advice.toStdString();
        }
        EXPECT_TRUE(englishSystemText(text::systemReasonAndAdvice(code)).isEmpty());
    }
    // EIO is no matter of space.
    EXPECT_FALSE(text::systemAdvice(std::error_code(EIO, std::generic_category()))
                     .contains(QStringLiteral("espacio")));
}

} // namespace
