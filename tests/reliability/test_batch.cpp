// The batch tool as a separate process: a working folder it may not write, and a second
// instance of the tool holding tables while the first runs.

#include "ReliabilityFixture.h"

#include <QFile>
#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace {

using namespace reliability;

using BatchResult = testing_support::ToolRun;

// Runs veltra-tempolan; as an unprivileged user when asked and when we are root, since
// root writes wherever it likes.
BatchResult batch(const QStringList& args, bool unprivileged = false) {
    testing_support::BatchRun how;
    how.unprivileged = unprivileged;
    return testing_support::runBatchTool(args, how);
}

class Batch : public SchoolTest {
protected:
    QString codes;

    void SetUp() override {
        SchoolTest::SetUp();
        ASSERT_TRUE(QFileInfo(batchTool()).isExecutable()) << batchTool().toStdString();
        codes = dir.filePath(QStringLiteral("codigos.csv"));
        writeFile(codes, "CLAVE,NIVEL,CURSO\n500,ESO,1\n600,ESO,2\n");
        // Readable by the unprivileged user too.
        QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFile::ReadOther |
                                              QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup);
    }

    QStringList importArgs() const {
        return {QStringLiteral("import"),    document,
                QStringLiteral("--workdir"), work,
                QStringLiteral("--catalog"), catalogPath(),
                QStringLiteral("--codes"),   codes,
                QStringLiteral("--frames"),  QStringLiteral("M1")};
    }
};

TEST_F(Batch, ImportAndExportComplete) {
    const BatchResult imported = batch(importArgs());
    EXPECT_EQ(imported.code, 0) << imported.err.toStdString();
    importSchool(); // adds SOLUC
    const BatchResult exported =
        batch({QStringLiteral("export"), document, QStringLiteral("--workdir"), work});
    EXPECT_EQ(exported.code, 0) << exported.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(output));
}

// A working folder the tool may not write: the first table it would rebuild is named with
// the reason, and every table stays as it was.
TEST_F(Batch, ReadOnlyWorkingFolder) {
#ifdef Q_OS_WIN
    GTEST_SKIP() << "Windows ignores the read-only mark of a folder; its permissions are access "
                    "lists, which Wine does not enforce";
#else
    importSchool();
    if (geteuid() != 0) {
        for (const QString& f : QDir(work).entryList(QDir::Files))
            QFile::setPermissions(QDir(work).filePath(f),
                                  QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        QFile::setPermissions(work, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                        QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    }
    const auto before = snapshot(work);
    const BatchResult r = batch(importArgs(), true);
    QFile::setPermissions(work, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    for (const QString& f : QDir(work).entryList(QDir::Files))
        QFile::setPermissions(QDir(work).filePath(f), QFile::ReadOwner | QFile::WriteOwner);

    EXPECT_EQ(r.code, 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("No se puede escribir en la carpeta de trabajo")) &&
                r.err.contains(work))
        << r.err.toStdString();
    EXPECT_EQ(snapshot(work), before);
    expectEveryTableReads(work);
#endif
}

// While this process holds a table as the export does, another instance of the tool
// cannot rebuild it; while the course dialog holds CURSOST, another cannot export.
TEST_F(Batch, TwoInstancesNeverBothWriteATable) {
    importSchool();
    {
        const QByteArray before = readFile(QDir(work).filePath(QStringLiteral("GRUPOST.DBF")));
        tables::Table held;
        held.open(work, QStringLiteral("GRUPOST"), tables::OpenMode::Exclusive);
        const BatchResult r = batch(importArgs());
        EXPECT_EQ(r.code, 1);
        EXPECT_TRUE(r.err.contains(QStringLiteral("GRUPOST.DBF está abierta en otro programa")))
            << r.err.toStdString();
        QStringList checkArgs = importArgs();
        checkArgs[0] = QStringLiteral("check");
        const BatchResult c = batch(checkArgs);
        EXPECT_EQ(c.code, 1);
        EXPECT_TRUE(c.out.contains(QStringLiteral("GRUPOST.DBF está abierta en otro programa")))
            << c.out.toStdString();
        held.close();
        EXPECT_EQ(readFile(QDir(work).filePath(QStringLiteral("GRUPOST.DBF"))), before);
    }

    BatchResult during;
    BatchResult checkDuring; // check copies the tables: never while an import writes them
    const Outcome o = importRun(document, work, catalogPath(), [&](ScriptedHost& host) {
        const auto answer = host.onCursos;
        host.onCursos = [&, answer](CursosLogic& dialog) {
            dialog.recover(true);
            during = batch({QStringLiteral("export"), document, QStringLiteral("--workdir"), work});
            QStringList checkArgs = importArgs();
            checkArgs[0] = QStringLiteral("check");
            checkDuring = batch(checkArgs);
            answer(dialog);
        };
    });
    EXPECT_TRUE(o.completed()) << o.shown();
    EXPECT_EQ(during.code, 1);
    EXPECT_TRUE(during.err.contains(QStringLiteral("Otra transformación está usando la carpeta")))
        << during.err.toStdString();
    EXPECT_EQ(checkDuring.code, 1);
    EXPECT_TRUE(
        checkDuring.err.contains(QStringLiteral("Otra transformación está usando la carpeta")))
        << checkDuring.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(output));
    expectEveryTableReads(work);
}

struct BatchCase {
    const char* name;
    const char* command;
    void (*prepare)(const QString& work);
    const char* said;
    const char* damaged = ""; // a table the case damages on purpose
};

class BatchFailure : public Batch, public ::testing::WithParamInterface<BatchCase> {};

TEST_P(BatchFailure, EndsWithCodeOneAndTheMessage) {
    const BatchCase& c = GetParam();
    importSchool();
    c.prepare(work);
    const QStringList args =
        QString::fromLatin1(c.command) == QLatin1String("import")
            ? importArgs()
            : QStringList{QStringLiteral("export"), document, QStringLiteral("--workdir"), work};
    const BatchResult r = batch(args);
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.said))) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(output));
    if (*c.damaged)
        tables::DeleteTable(work, QString::fromLatin1(c.damaged));
    if (QFileInfo(work).isDir())
        expectEveryTableReads(work);
}

INSTANTIATE_TEST_SUITE_P(
    Case, BatchFailure,
    ::testing::Values(BatchCase{"ExportWithoutSoluc", "export",
                                [](const QString& w) {
                                    tables::DeleteTable(w, QStringLiteral("SOLUC"));
                                },
                                "No existe la tabla SOLUC"},
                      BatchCase{"ExportWithoutWorkingFolder", "export",
                                [](const QString& w) { QDir(w).removeRecursively(); },
                                "No existe la carpeta de trabajo"},
                      BatchCase{"ImportWithoutWorkingFolder", "import",
                                [](const QString& w) { QDir(w).removeRecursively(); },
                                "No existe la carpeta de trabajo"},
                      BatchCase{"ExportWithDamagedPeriodos", "export",
                                [](const QString& w) {
                                    writeFile(QDir(w).filePath(QStringLiteral("PERIODOS.DBF")),
                                              "PERIODOS");
                                },
                                "PERIODOS.DBF no es una tabla dBase válida", "PERIODOS"}),
    [](const auto& p) { return std::string(p.param.name); });

} // namespace
