// Faults from outside the tool: a working folder that is missing, a disk that fills up,
// tables held by another program, missing or damaged tables and catalogue, documents that
// are not XML. Each run ends with a Spanish message naming what failed, and every table
// left in the working folder still reads.

#include "ReliabilityFixture.h"

#include "tables/NativeFile.h"
#include "tables/TableIo.h"

#include <QCoreApplication>
#include <QFile>
#include <iostream>
#include <optional>
#include <string>

namespace {

using namespace reliability;

constexpr const char* kHolderEnv = "VT_RELIABILITY_HOLDER";

// Runs in the other process, standing in for Tempolan: VT_RELIABILITY_HOLDER =
// folder|table|shared or exclusive. Holds the table until standard input closes.
TEST(TableHolder, DISABLED_Hold) {
    const QStringList args = qEnvironmentVariable(kHolderEnv).split(u'|');
    if (args.size() != 3)
        GTEST_SKIP() << "only run by the tests below";
    tables::Table t;
    t.open(args[0], args[1],
           args[2] == QLatin1String("exclusive") ? tables::OpenMode::Exclusive
                                                 : tables::OpenMode::Shared);
    std::cout << "@@held" << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
    }
}

// Another process holding a table until the object goes.
class OtherProcessHolding {
public:
    OtherProcessHolding(const QString& folder, const QString& table, bool exclusive) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kHolderEnv),
                   QStringList{folder, table,
                               exclusive ? QStringLiteral("exclusive") : QStringLiteral("shared")}
                       .join(u'|'));
        proc_.setProcessEnvironment(env);
        proc_.setProgram(QCoreApplication::applicationFilePath());
        proc_.setArguments({QStringLiteral("--gtest_also_run_disabled_tests"),
                            QStringLiteral("--gtest_filter=TableHolder.DISABLED_Hold")});
        proc_.start();
        QByteArray out;
        while (!out.contains("@@held") && proc_.waitForReadyRead(20000))
            out += proc_.readAllStandardOutput();
        held_ = out.contains("@@held");
    }
    ~OtherProcessHolding() {
        proc_.closeWriteChannel();
        if (!proc_.waitForFinished(20000))
            proc_.kill();
        proc_.waitForFinished(5000);
    }
    OtherProcessHolding(const OtherProcessHolding&) = delete;
    OtherProcessHolding& operator=(const OtherProcessHolding&) = delete;
    bool held() const { return held_; }

private:
    QProcess proc_;
    bool held_ = false;
};

TEST_F(SchoolTest, SchoolImportsAndExports) {
    importSchool();
    expectEveryTableReads(work);
    const Outcome o = exportRun(document, work);
    EXPECT_TRUE(o.completed()) << o.shown();
    EXPECT_TRUE(exchange::Document::load(output).ok());
}

TEST_F(SchoolTest, MissingWorkingFolder) {
    const QString missing = dir.filePath(QStringLiteral("NOHAY"));
    expectEndedWith(importRun(document, missing),
                    {QStringLiteral("No existe la carpeta de trabajo"), QStringLiteral("NOHAY"),
                     QStringLiteral("No se ha importado nada")});
    expectEndedWith(exportRun(document, missing),
                    {QStringLiteral("No existe la carpeta de trabajo"), QStringLiteral("NOHAY")});
    EXPECT_FALSE(QFileInfo::exists(missing));
    EXPECT_FALSE(QFileInfo::exists(output));
}

// The disk fills up at one write after another of a whole import: whichever write it is,
// the run ends naming the table and the reason, and every table left reads. A write that
// fails puts half of its bytes on the disk first, as a full disk does.
TEST_F(SchoolTest, DiskFullAtEveryPointOfAnImport) {
    std::optional<tables::detail::ScopedIoHooks> diskHooks; // the disk's faults, while set
    int writes = 0;
    diskHooks.emplace(
        tables::detail::IoHooks::writes([&](tables::detail::NativeFile& f, qint64 offset,
                                            const char* data, qint64 size, QString* error) {
            ++writes;
            return f.nativeWriteAt(offset, data, size, error);
        }));
    ASSERT_TRUE(importRun(document, work).completed());
    diskHooks.reset();
    ASSERT_GT(writes, 20);

    const QStringList tablesOfTheImport{
        "PERIODOS", "CURSOST", "CURSOST2",   "ASIGNOMT",   "ASIGNOMT2", "PROFT",     "AULAT",
        "GRUPOST",  "ASIGT",   "DIASHORAST", "ORIGENES_C", "NIVELES_C", "CUR_NIV_C", "AUTORIZA_C"};
    const int step = std::max(1, writes / 60);
    bool retried = false;
    for (int failAt = 1; failAt <= writes; failAt += (failAt + step > writes ? 1 : step)) {
        SCOPED_TRACE(failAt);
        const QString folder = dir.filePath(QStringLiteral("lleno%1").arg(failAt));
        QDir().mkpath(folder);
        int n = 0;
        diskHooks.emplace(
            tables::detail::IoHooks::writes([&](tables::detail::NativeFile& f, qint64 offset,
                                                const char* data, qint64 size, QString* error) {
                if (++n < failAt)
                    return f.nativeWriteAt(offset, data, size, error);
                if (n == failAt && size > 1)
                    f.nativeWriteAt(offset, data, size / 2, error);
                *error = QStringLiteral("no queda espacio en el disco");
                return false;
            }));
        const Outcome o = importRun(document, folder);
        diskHooks.reset();
        expectEndedWith(o, {QStringLiteral("no queda espacio en el disco")});
        const QString said = o.errors.value(0);
        EXPECT_TRUE(std::any_of(tablesOfTheImport.begin(), tablesOfTheImport.end(),
                                [&](const QString& t) { return said.contains(t); }))
            << said.toStdString();
        expectEveryTableReads(folder);
        if (!retried && failAt >= writes / 2) {
            retried = true;
            // With room again, the same import over what was left completes.
            EXPECT_TRUE(importRun(document, folder).completed());
            expectEveryTableReads(folder);
        }
        if (HasFailure())
            break; // one failing point says enough
    }
}

// A file whose header never reached the disk is not left behind as a table.
TEST_F(SchoolTest, TableWhoseHeaderCannotBeWrittenIsNotLeft) {
    std::optional<tables::detail::ScopedIoHooks> diskHooks; // the disk's faults, while set
    diskHooks.emplace(tables::detail::IoHooks::writes(
        [](tables::detail::NativeFile&, qint64, const char*, qint64, QString* error) {
            *error = QStringLiteral("permiso denegado");
            return false;
        }));
    const Outcome o = importRun(document, work);
    diskHooks.reset();
    expectEndedWith(o, {QStringLiteral("PERIODOS"), QStringLiteral("permiso denegado")});
    EXPECT_FALSE(tables::FileExists(QDir(work).filePath(QStringLiteral("PERIODOS.DBF"))));
    expectEveryTableReads(work);
}

struct HeldCase {
    const char* name;
    bool importing; // else exporting
    const char* table;
    bool exclusive; // how the other program holds it
};

class HeldTable : public SchoolTest, public ::testing::WithParamInterface<HeldCase> {};

// Another program holds one table: the run stops there naming it, writes nothing more,
// and the table is as the other program left it.
TEST_P(HeldTable, RunStopsNamingTheTable) {
    const HeldCase& c = GetParam();
    importSchool();
    const QString table = QString::fromLatin1(c.table);
    const QString path = QDir(work).filePath(table + QStringLiteral(".DBF"));
    const QByteArray before = readFile(path);
    Outcome o;
    {
        OtherProcessHolding other(work, table, c.exclusive);
        ASSERT_TRUE(other.held());
        o = c.importing ? importRun(document, work) : exportRun(document, work);
    }
    expectEndedWith(o, {table, QStringLiteral("otro programa")});
    EXPECT_EQ(readFile(path), before);
    EXPECT_FALSE(QFileInfo::exists(output));
    expectEveryTableReads(work);
}

INSTANTIATE_TEST_SUITE_P(Table, HeldTable,
                         ::testing::Values(HeldCase{"ImportProft", true, "PROFT", true},
                                           HeldCase{"ImportPeriodos", true, "PERIODOS", false},
                                           HeldCase{"ExportSoluc", false, "SOLUC", true},
                                           HeldCase{"ExportGrupost", false, "GRUPOST", false},
                                           HeldCase{"ExportAsigt", false, "ASIGT", true}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(SchoolTest, MissingSoluc) {
    importSchool();
    tables::DeleteTable(work, QStringLiteral("SOLUC"));
    const auto before = snapshot(work);
    expectEndedWith(exportRun(document, work),
                    {QStringLiteral("No existe la tabla SOLUC"), QStringLiteral("TLTEMP")});
    EXPECT_FALSE(QFileInfo::exists(output));
    EXPECT_EQ(snapshot(work), before);
    expectEveryTableReads(work);
}

struct CatalogCase {
    const char* name;
    QByteArray (*bytes)(const QByteArray& good); // null: no file
    const char* said;
};

class BadCatalog : public SchoolTest, public ::testing::WithParamInterface<CatalogCase> {};

// The subject catalogue is checked before the first step: the run ends naming it, with
// nothing touched.
TEST_P(BadCatalog, SubjectsStepStopsNamingIt) {
    const CatalogCase& c = GetParam();
    const QString catalog = dir.filePath(QStringLiteral("programa/VELTMATERIAS.DBF"));
    if (c.bytes)
        writeFile(catalog, c.bytes(readFile(catalogPath())));
    const Outcome o = importRun(document, work, catalog);
    expectEndedWith(o, {QStringLiteral("VELTMATERIAS.DBF"), QString::fromUtf8(c.said)});
    EXPECT_FALSE(tables::FileExists(QDir(work).filePath(QStringLiteral("CURSOST.DBF"))));
    EXPECT_FALSE(tables::FileExists(QDir(work).filePath(QStringLiteral("PROFT.DBF"))));
    expectEveryTableReads(work);
}

QByteArray setLe32(QByteArray b, int at, quint32 v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xFF);
    return b;
}

QByteArray setLe16(QByteArray b, int at, int v) {
    b[at] = char(v & 0xFF);
    b[at + 1] = char((v >> 8) & 0xFF);
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, BadCatalog,
    ::testing::Values(
        CatalogCase{"Missing", nullptr, "No se encuentra el catálogo de materias"},
        CatalogCase{"Empty", [](const QByteArray&) { return QByteArray(); }, "truncado"},
        CatalogCase{"NotATable",
                    [](const QByteArray&) { return QByteArray("Materia;Código\nLengua;LEN\n"); },
                    "no es una tabla dBase válida"},
        CatalogCase{"CutShort", [](const QByteArray& b) { return b.left(b.size() / 2); },
                    "no cabe en el archivo"},
        CatalogCase{"CountTooLarge", [](const QByteArray& b) { return setLe32(b, 4, 0x7FFFFFFF); },
                    "el número de registros"},
        CatalogCase{"RecordLengthTooShort", [](const QByteArray& b) { return setLe16(b, 10, 2); },
                    "la longitud de registro"}),
    [](const auto& p) { return std::string(p.param.name); });

struct LyingCase {
    const char* name;
    const char* table;
    bool importing;
    QByteArray (*lie)(const QByteArray& good);
    const char* said; // empty: the run may complete
};

class LyingHeader : public SchoolTest, public ::testing::WithParamInterface<LyingCase> {};

// A table whose header claims more records, or other record lengths, than the file holds:
// refused with its name, or read within the file's bytes; never a crash.
TEST_P(LyingHeader, RefusedOrReadWithinTheFile) {
    const LyingCase& c = GetParam();
    importSchool();
    const QString path = QDir(work).filePath(QString::fromLatin1(c.table) + QStringLiteral(".DBF"));
    const QByteArray lied = c.lie(readFile(path));
    writeFile(path, lied);
    const Outcome o = c.importing ? importRun(document, work) : exportRun(document, work);
    if (*c.said) {
        expectEndedWith(o, {QString::fromLatin1(c.table), QString::fromUtf8(c.said)});
        EXPECT_EQ(readFile(path), lied) << "a table that cannot be read is not written";
    } else {
        EXPECT_TRUE(o.completed() || o.errors.size() == 1) << o.shown();
    }
    // Only the lying table itself may still be refused.
    tables::DeleteTable(work, QString::fromLatin1(c.table));
    expectEveryTableReads(work);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LyingHeader,
    ::testing::Values(LyingCase{"SolucCountTooLarge", "SOLUC", false,
                                [](const QByteArray& b) { return setLe32(b, 4, 1000); },
                                "el número de registros (1000) no cabe"},
                      LyingCase{"SolucCountHuge", "SOLUC", false,
                                [](const QByteArray& b) { return setLe32(b, 4, 0xFFFFFFFF); },
                                "el número de registros"},
                      LyingCase{"SolucCountTooSmall", "SOLUC", false,
                                [](const QByteArray& b) { return setLe32(b, 4, 0); }, ""},
                      LyingCase{"SolucRecordLengthTooShort", "SOLUC", false,
                                [](const QByteArray& b) { return setLe16(b, 10, 5); },
                                "la longitud de registro"},
                      LyingCase{"SolucRecordLengthLonger", "SOLUC", false,
                                [](const QByteArray& b) { return setLe16(b, 10, b[10] + 3); }, ""},
                      LyingCase{"SolucHeaderLengthBeyondTheFile", "SOLUC", false,
                                [](const QByteArray& b) { return setLe16(b, 8, 60000); },
                                "la longitud de la cabecera"},
                      LyingCase{"PeriodosCountTooLarge", "PERIODOS", false,
                                [](const QByteArray& b) { return setLe32(b, 4, 5000); }, "no cabe"},
                      LyingCase{"Cursost2CountTooLarge", "CURSOST2", true,
                                [](const QByteArray& b) { return setLe32(b, 4, 5000); },
                                "no cabe"}),
    [](const auto& p) { return std::string(p.param.name); });

struct DocumentCase {
    const char* name;
    QByteArray (*bytes)();
    const char* said;
};

class BadDocument : public SchoolTest, public ::testing::WithParamInterface<DocumentCase> {};

// A chosen file that is no readable document: both runs refuse it naming the file, and
// the working folder stays byte for byte as it was.
TEST_P(BadDocument, RefusedNamingTheFileWithNothingWritten) {
    const DocumentCase& c = GetParam();
    importSchool();
    writeFile(document, c.bytes());
    const auto before = snapshot(work);

    const Outcome imported = importRun(document, work);
    expectEndedWith(imported, {QStringLiteral("datos.xml"), QString::fromUtf8(c.said),
                               QStringLiteral("No se ha importado nada")});
    const Outcome exported = exportRun(document, work);
    expectEndedWith(exported, {QStringLiteral("datos.xml"), QString::fromUtf8(c.said)});

    EXPECT_EQ(snapshot(work), before);
    EXPECT_FALSE(QFileInfo::exists(output));
    expectEveryTableReads(work);
}

INSTANTIATE_TEST_SUITE_P(
    Document, BadDocument,
    ::testing::Values(
        DocumentCase{"NotXml", [] { return QByteArray("CLAVE;NOMBRE\n500;1º ESO\n"); },
                     "no es un documento XML bien formado"},
        DocumentCase{"Empty", [] { return QByteArray(); }, "no es un documento XML"},
        DocumentCase{"TruncatedMidElement",
                     [] {
                         const QByteArray s = schoolDocument();
                         return s.left(s.indexOf("<dato nombre_dato=\"X_EMPLEADO\"") + 12);
                     },
                     "no es un documento XML bien formado"},
        DocumentCase{"UnknownEncoding",
                     [] {
                         QByteArray s = schoolDocument();
                         return s.replace("ISO-8859-1", "X-KLINGON-9");
                     },
                     "X-KLINGON-9"},
        DocumentCase{"BinaryGarbage",
                     [] { return QByteArray("\x00\xff\xfe\x01<\x80\x81", 7).repeated(100); },
                     "no es un documento XML"}),
    [](const auto& p) { return std::string(p.param.name); });

} // namespace
