// The batch front end run as the executable it is: exit codes, what it prints, and what it
// leaves in the working folder.

#include "TestSupport.h"
#include "exchange/ExchangeDocument.h"
#include "import/ImportRun.h"
#include "tables/Table.h"
#include "tables/WorkingTables.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using testing_support::readFile;
using testing_support::writeFile;

template <class Case> std::string caseName(const testing::TestParamInfo<Case>& p) {
    return p.param.name;
}

// ---------------------------------------------------------------------------------------
// Running the executable

using Outcome = testing_support::ToolRun;
using testing_support::batchTool;
using testing_support::snapshot;

Outcome runCli(const QStringList& args, const QString& home) {
    return testing_support::runBatchTool(args, home);
}

// ---------------------------------------------------------------------------------------
// Documents

using Rows = QList<QStringList>;

QByteArray group(const char* seq, const QStringList& names, const Rows& rows) {
    QString x = QStringLiteral("<grupo_datos seq=\"%1\" registros=\"%2\">")
                    .arg(QLatin1String(seq))
                    .arg(rows.size());
    for (const QStringList& row : rows) {
        x += QStringLiteral("<grupo_datos>");
        for (int k = 0; k < row.size(); ++k)
            x += QStringLiteral("<dato nombre_dato=\"%1\">%2</dato>")
                     .arg(names.value(k, QStringLiteral("D%1").arg(k)), row.at(k).toHtmlEscaped());
        x += QStringLiteral("</grupo_datos>");
    }
    x += QStringLiteral("</grupo_datos>");
    return x.toUtf8();
}

// A small school as Veltra exports it; every list can be changed by a test.
struct School {
    QStringList year{"2024", "01/09/2024", "30/06/2025"};
    Rows courses{{"500", "1º E.S.O."}, {"600", "2º E.S.O."}};
    Rows subjects{{"500", "Matemáticas", "M500"},
                  {"500", "Lengua Castellana y Literatura", "L500"},
                  {"600", "Matemáticas", "M600"}};
    Rows activities{{"N", "GUA", "Guardia", "", ""}};
    Rows teachers{{"1001", "01/09/2015", "Ciencias", "Ana", "García", "Pérez"},
                  {"1002", "15/10/2016", "Letras", "Luis", "Martín", "Gómez"},
                  {"1003", "01/09/2020", "Ciencias", "Eva", "Ruiz", "Sanz"}};
    Rows rooms{{"A1", "Aula 1"}, {"LAB", "Laboratorio"}};
    Rows units{{"U1", "1º ESO A", "500"}, {"U2", "1º ESO B", "500"}, {"U3", "2º ESO A", "600"}};
    Rows frames{{"M1", "Mañana", "01/09/2024", "30/06/2025"}};
    Rows slots{{"T1", "1ª hora", "480", "535", "M1"},
               {"T2", "2ª hora", "535", "590", "M1"},
               {"T3", "3ª hora", "620", "675", "M1"}};
    Rows origenes{{"7", "CONC", "Concertado"}, {"8", "PUB", "Público"}};
    Rows niveles{{"40", "ESO", "Educación Secundaria Obligatoria"}};
    Rows cursosNiveles{{"500", "40"}, {"600", "40"}};
    Rows autorizaciones{{"9001", "1", "7", "40"}};

    QByteArray xml() const {
        QByteArray x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<SERVICIO modulo=\"EXPORTACION\" tipo=\"E\" autor=\"VELTRA\">"
                       "<BLOQUE_DATOS>";
        x += "<grupo_datos seq=\"ANNO_ACADEMICO\">";
        const QStringList yearNames{"C_ANNO", "F_INICIO", "F_FIN"};
        for (int k = 0; k < year.size(); ++k)
            x += QStringLiteral("<dato nombre_dato=\"%1\">%2</dato>")
                     .arg(yearNames.value(k), year.at(k))
                     .toUtf8();
        x += "</grupo_datos>";
        x += group("CURSOS_DEL_CENTRO", {"X_OFERTAMATRIG", "D_OFERTAMATRIG"}, courses);
        x += group("MATERIAS", {"X_OFERTAMATRIG", "D_MATERIAC", "X_MATERIAOMG"}, subjects);
        x += group("ACTIVIDADES", {"L_REGULAR", "C_ACTIVIDAD", "D_ACTIVIDAD", "L_U", "L_M"},
                   activities);
        x +=
            group("EMPLEADOS",
                  {"X_EMPLEADO", "F_TOMAPOS", "D_DEPARTAMENTO", "NOMBRE", "APELLIDO1", "APELLIDO2"},
                  teachers);
        x += group("DEPENDENCIAS", {"X_DEPENDENCIA", "D_DEPENDENCIA"}, rooms);
        x += group("UNIDADES", {"X_UNIDAD", "T_NOMBRE", "X_OFERTAMATRIG"}, units);
        x += group("JORNADAS_ESCOLARES", {"X_JORNADA", "D_JORNADA", "F_INICIO", "F_FIN"}, frames);
        x += group("TRAMOS_HORARIOS", {"X_TRAMO", "T_HORCEN", "N_INICIO", "N_FIN", "X_JORNADA"},
                   slots);
        x += group("ORIGENES", {"X_CATORIHOR", "C_ORIHOR", "D_ORIHOR"}, origenes);
        x += group("NIVELES", {"X_NIVCONPAGLEG", "C_NIVCON", "D_NIVCON"}, niveles);
        x += group("CURSOS_NIVELES", {"X_OFERTAMATRIG", "X_NIVCONPAGLEG"}, cursosNiveles);
        x += group("AUTORIZACIONES",
                   {"X_ORIHORACTETP", "X_ACTIVIDAD", "X_CATORIHOR", "X_NIVCONPAGLEG"},
                   autorizaciones);
        x += "</BLOQUE_DATOS></SERVICIO>\n";
        return x;
    }

    // Three frames: morning (two slots), afternoon (two slots, earlier in the list than
    // its start suggests) and evening (one slot).
    void threeFrames() {
        frames = {{"MAN", "Mañana", "01/09/2024", "30/06/2025"},
                  {"TAR", "Tarde", "01/09/2024", "30/06/2025"},
                  {"NOC", "Noche", "01/09/2024", "30/06/2025"}};
        slots = {{"T1", "1ª mañana", "480", "535", "MAN"},
                 {"T2", "1ª tarde", "900", "955", "TAR"},
                 {"T3", "2ª mañana", "535", "590", "MAN"},
                 {"T4", "1ª noche", "1200", "1255", "NOC"},
                 {"T5", "2ª tarde", "955", "1010", "TAR"}};
    }
};

// ---------------------------------------------------------------------------------------
// Tables through the table store

using tables::FieldDef;
using tables::FieldType;

void writeTable(const QString& folder, const QString& name, const QList<FieldDef>& fields,
                const Rows& rows) {
    QDir().mkpath(folder);
    tables::DeleteTable(folder, name);
    tables::CreateTable(folder, name, fields);
    tables::Table t;
    t.open(folder, name, tables::OpenMode::Exclusive);
    for (const QStringList& row : rows) {
        t.append();
        for (int k = 0; k < row.size(); ++k)
            t.setText(fields.at(k).name, row.at(k));
        t.post();
    }
    t.close();
}

// One field of every row, in table order; {"<sin tabla>"} when the file is missing.
QStringList column(const QString& folder, const QString& name, const QString& field) {
    if (!QFileInfo::exists(QDir(folder).filePath(name + QStringLiteral(".DBF"))))
        return {QStringLiteral("<sin tabla>")};
    tables::Table t;
    t.open(folder, name);
    QStringList values;
    for (t.first(); !t.atEnd(); t.next())
        values << t.text(field);
    return values;
}

bool tableExists(const QString& folder, const QString& name) {
    return QFileInfo::exists(QDir(folder).filePath(name + QStringLiteral(".DBF")));
}

// CLAVE -> NIVEL/CURSO of a CURSOST-like table.
QMap<QString, QString> codesOf(const QString& folder, const QString& name) {
    QMap<QString, QString> codes;
    if (!tableExists(folder, name))
        return codes;
    tables::Table t;
    t.open(folder, name);
    for (t.first(); !t.atEnd(); t.next())
        codes.insert(t.text(QStringLiteral("CLAVE")),
                     t.text(QStringLiteral("NIVEL")) + u'/' + t.text(QStringLiteral("CURSO")));
    return codes;
}

// Saved codes as a previous import leaves them: key, level, course.
void writeCursost2(const QString& folder, const Rows& saved) {
    Rows rows;
    for (const QStringList& s : saved)
        rows << QStringList{"", "", s.at(1), s.at(2), s.at(0), "Estudios " + s.at(0)};
    writeTable(folder, tables::CURSOST2::kName, tables::CURSOST2::fields(), rows);
}

// ---------------------------------------------------------------------------------------
// Fixture: a scratch home with TLTEMP, the document, a subject catalogue and codes

class Cli : public testing::Test {
protected:
    QTemporaryDir home;
    QString work;
    QString doc;
    QString catalog;
    School school;

    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        ASSERT_TRUE(QFileInfo(batchTool()).isExecutable())
            << "falta el ejecutable " << batchTool().toStdString();
        work = home.filePath(QStringLiteral("TLTEMP"));
        QDir().mkpath(work);
        doc = home.filePath(QStringLiteral("TLTEMP/VELTRA/veltra.xml"));
        catalog = home.filePath(QStringLiteral("programa/VELTMATERIAS.DBF"));
        writeTable(QFileInfo(catalog).absolutePath(), tables::VELTMATERIAS::kName,
                   tables::VELTMATERIAS::fields(),
                   {{"Matemáticas", "MAT", "MATEMAT"},
                    {"Lengua Castellana y Literatura", "LCL", "LENGUA"}});
    }

    void writeDocument() { writeFile(doc, school.xml()); }

    QString writeCodes(const QByteArray& csv) {
        const QString path = home.filePath(QStringLiteral("codigos.csv"));
        writeFile(path, csv);
        return path;
    }

    Outcome run(const QStringList& args) { return runCli(args, home.path()); }

    // import DOC with the test's catalogue and working folder, plus extra options.
    Outcome import(const QStringList& extra = {}) {
        return run(QStringList{"import", doc, "--workdir", work, "--catalog", catalog} + extra);
    }
    Outcome check(const QStringList& extra = {}) {
        return run(QStringList{"check", doc, "--workdir", work, "--catalog", catalog} + extra);
    }
};

const QByteArray kAllCodes = "CLAVE,NIVEL,CURSO\n500,ESO,1\n600,ESO,2\n";

// ---------------------------------------------------------------------------------------
// Help and usage

TEST_F(Cli, HelpExplainsEveryCommandAndTheExitCodes) {
    for (const QStringList& args : {QStringList{"--help"}, QStringList{"-h"}, QStringList{"help"},
                                    QStringList{"import", "--help"}}) {
        const Outcome o = run(args);
        EXPECT_EQ(o.code, 0) << o;
        for (const char* text :
             {"import DOC", "--workdir", "--catalog", "--recover", "--no-recover", "--codes",
              "CLAVE,NIVEL,CURSO", "--frames", "export DOC", "check DOC", "table FICHERO_O_NOMBRE",
              "--format csv|json", "Códigos de salida", "  3  "})
            EXPECT_TRUE(o.out.contains(QString::fromUtf8(text))) << text << '\n' << o;
        EXPECT_TRUE(o.err.isEmpty()) << o;
    }
}

struct UsageCase {
    const char* name;
    QStringList args; // "DOC" stands for an existing document, "WORK" for the folder
    const char* says;
};

class Usage : public Cli, public testing::WithParamInterface<UsageCase> {};

TEST_P(Usage, ExitsWithTwoAndSaysWhy) {
    writeDocument();
    QStringList args = GetParam().args;
    args.replaceInStrings(QStringLiteral("DOC"), doc);
    args.replaceInStrings(QStringLiteral("WORK"), work);
    const auto before = snapshot(work);
    const Outcome o = run(args);
    EXPECT_EQ(o.code, 2) << o;
    EXPECT_TRUE(o.err.contains(QString::fromUtf8(GetParam().says))) << o;
    EXPECT_TRUE(o.out.isEmpty()) << o;
    EXPECT_EQ(snapshot(work), before) << "wrong usage touches nothing";
}

INSTANTIATE_TEST_SUITE_P(
    Table, Usage,
    testing::Values(
        UsageCase{"NoArguments", {}, "Uso: veltra-tempolan"},
        UsageCase{"UnknownCommand", {"importar", "DOC"}, "Orden desconocida: importar"},
        UsageCase{"ImportWithoutDocument", {"import", "--workdir", "WORK"}, "documento"},
        UsageCase{"ImportTwoDocuments", {"import", "DOC", "DOC"}, "documento"},
        UsageCase{"UnknownOption", {"import", "DOC", "--marcos", "A"}, "--marcos"},
        UsageCase{"MissingValue", {"import", "DOC", "--frames"}, "--frames"},
        UsageCase{"EmptyWorkdir", {"import", "DOC", "--workdir="}, "--workdir necesita un valor"},
        UsageCase{"CheckEmptyCodes", {"check", "DOC", "--codes="}, "--codes necesita un valor"},
        UsageCase{
            "ExportEmptyWorkdir", {"export", "DOC", "--workdir="}, "--workdir necesita un valor"},
        UsageCase{"FlagWithValue", {"import", "DOC", "--recover=si"}, "--recover=si"},
        UsageCase{
            "RecoverAndNoRecover", {"import", "DOC", "--recover", "--no-recover"}, "--no-recover"},
        UsageCase{"ExportWithoutDocument", {"export"}, "documento"},
        UsageCase{"CheckWithoutDocument", {"check", "--workdir", "WORK"}, "documento"},
        UsageCase{"TableWithoutName", {"table"}, "tabla"},
        UsageCase{"TableUnknownFormat", {"table", "PROFT", "--format", "xml"}, "xml"},
        UsageCase{"ExportUnknownOption", {"export", "DOC", "--codes", "x.csv"}, "--codes"}),
    caseName<UsageCase>);

struct CodesFileCase {
    const char* name;
    QByteArray csv; // empty: the file does not exist
    const char* says;
};

class BadCodesFile : public Cli, public testing::WithParamInterface<CodesFileCase> {};

// A codes file that cannot be used is a usage error, found before anything is deleted.
TEST_P(BadCodesFile, ExitsWithTwoNamingTheFile) {
    writeDocument();
    writeTable(work, QStringLiteral("PERIODOS"), {{"CURSOANNO", FieldType::Text, 4}}, {{"1999"}});
    const QString path = GetParam().csv.isEmpty() ? home.filePath(QStringLiteral("no.csv"))
                                                  : writeCodes(GetParam().csv);
    const auto before = snapshot(work);
    for (const char* command : {"import", "check"}) {
        const Outcome o =
            run({command, doc, "--workdir", work, "--catalog", catalog, "--codes", path});
        EXPECT_EQ(o.code, 2) << command << '\n' << o;
        EXPECT_TRUE(o.err.contains(path)) << o;
        EXPECT_TRUE(o.err.contains(QString::fromUtf8(GetParam().says))) << o;
    }
    EXPECT_EQ(snapshot(work), before);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadCodesFile,
    testing::Values(CodesFileCase{"Missing", {}, "No se puede leer"},
                    CodesFileCase{"WrongHeader", "CLAVE,NIVEL\n500,ESO\n", "línea 1"},
                    CodesFileCase{"MixedSeparators", "CLAVE;NIVEL;CURSO\n500,ESO,1\n", "línea 2"},
                    CodesFileCase{"LevelTooLong", "CLAVE,NIVEL,CURSO\n500,ESOABC,1\n",
                                  "el NIVEL «ESOABC» de la clave 500 tiene más de 5"},
                    CodesFileCase{"CourseTooLong", "CLAVE;NIVEL;CURSO\n600;ESO;1234\n",
                                  "el CURSO «1234» de la clave 600 tiene más de 3"},
                    CodesFileCase{"KeyTwice", "CLAVE,NIVEL,CURSO\n500,ESO,1\n 500 ,ESO,2\n",
                                  "línea 3: la clave 500 ya se dio en la línea 2"},
                    CodesFileCase{"TwoFields", "CLAVE,NIVEL,CURSO\n500,ESO,1\n600,ESO\n",
                                  "línea 3"},
                    CodesFileCase{"OnlyBlankLines", "\n\n", "falta la cabecera"}),
    caseName<CodesFileCase>);

// ---------------------------------------------------------------------------------------
// Missing document or folder

struct NoFileCase {
    const char* name;
    const char* command;
};

class NoFile : public Cli, public testing::WithParamInterface<NoFileCase> {};

TEST_P(NoFile, ExitsWithOneAndSaysSo) {
    writeTable(work, QStringLiteral("PERIODOS"), {{"CURSOANNO", FieldType::Text, 4}}, {{"1999"}});
    const auto before = snapshot(work);
    const QString missing = home.filePath(QStringLiteral("no-existe.xml"));
    const Outcome o = run({GetParam().command, missing, "--workdir", work});
    EXPECT_EQ(o.code, 1) << o;
    EXPECT_TRUE(o.err.contains(QStringLiteral("No existe archivo"))) << o;
    EXPECT_TRUE(o.err.contains(QStringLiteral("no-existe.xml"))) << o;
    EXPECT_EQ(snapshot(work), before);

    // A folder is not a document either.
    const Outcome folder = run({GetParam().command, work, "--workdir", work});
    EXPECT_EQ(folder.code, 1) << folder;
    EXPECT_TRUE(folder.err.contains(QStringLiteral("No existe archivo"))) << folder;
}

INSTANTIATE_TEST_SUITE_P(Table, NoFile,
                         testing::Values(NoFileCase{"Import", "import"},
                                         NoFileCase{"Export", "export"},
                                         NoFileCase{"Check", "check"}),
                         caseName<NoFileCase>);

TEST_F(Cli, MissingWorkingFolderEndsWithOne) {
    writeDocument();
    const QString missing = home.filePath(QStringLiteral("no-hay-carpeta"));
    for (const char* command : {"import", "export"}) {
        const Outcome o = run({command, doc, "--workdir", missing});
        EXPECT_EQ(o.code, 1) << command << '\n' << o;
        EXPECT_TRUE(o.err.contains(QStringLiteral("no-hay-carpeta"))) << o;
    }
    const Outcome c = run({"check", doc, "--workdir", missing});
    EXPECT_EQ(c.code, 1) << c;
    EXPECT_TRUE(c.out.contains(QStringLiteral("ERROR  No existe la carpeta de trabajo"))) << c;
    EXPECT_FALSE(QFileInfo::exists(missing));
}

TEST_F(Cli, MalformedDocumentEndsWithOneAndTouchesNothing) {
    writeFile(doc, "<SERVICIO><BLOQUE_DATOS>");
    writeTable(work, QStringLiteral("PERIODOS"), {{"CURSOANNO", FieldType::Text, 4}}, {{"1999"}});
    const auto before = snapshot(work);
    const Outcome c = check();
    EXPECT_EQ(c.code, 1) << c;
    EXPECT_TRUE(c.out.contains(QStringLiteral("no es un documento XML"))) << c;
    const Outcome i = import({"--codes", writeCodes(kAllCodes)});
    EXPECT_EQ(i.code, 1) << i;
    EXPECT_TRUE(i.err.contains(QStringLiteral("No se ha importado nada"))) << i;
    EXPECT_EQ(snapshot(work), before);
}

// ---------------------------------------------------------------------------------------
// A complete import

TEST_F(Cli, ImportPrintsOneLinePerStepWithTheRowsWritten) {
    writeDocument();
    const Outcome o = import({"--codes", writeCodes(kAllCodes)});
    ASSERT_EQ(o.code, 0) << o;
    const QStringList lines = o.out.split(u'\n', Qt::SkipEmptyParts);
    const QStringList expected{
        "1. CrearPeriodos: PERIODOS 1 fila",
        "2. CrearCursos: CURSOST 2 filas, CURSOST2 2 filas",
        "3. CrearAsignaturas: ASIGNOMT 2 filas, ASIGNOMT2 3 filas",
        "4. CrearActividades: ASIGNOMT +1 fila",
        "5. CrearProfesores: PROFT 3 filas",
        "6. CrearAulas: AULAT 2 filas",
        "7. CrearGrupos: GRUPOST 3 filas",
        "8. CrearAsignaciones: ASIGT 5 filas", // two subjects x two units, one x one
        "9. CrearDiasHoras: DIASHORAST 21 filas",
        "10. CrearCatalogos: ORIGENES_C 2 filas, NIVELES_C 1 fila, CUR_NIV_C 2 filas, "
        "AUTORIZA_C 1 fila",
        "Proceso finalizado"};
    EXPECT_EQ(lines, expected) << o;
    EXPECT_TRUE(o.err.isEmpty()) << o;
    EXPECT_EQ(column(work, "GRUPOST", "ABREV"), (QStringList{"ESO1A", "ESO1B", "ESO2A"}));
    EXPECT_EQ(column(work, "PROFT", "X_EMPLEADO"), (QStringList{"1001", "1002", "1003"}));
}

// Without --workdir the working folder is the window's: TLTEMP.
TEST_F(Cli, DefaultWorkingFolderIsTltemp) {
    writeDocument();
    const Outcome o = run({"import", doc, "--catalog", catalog, "--codes", writeCodes(kAllCodes)});
    ASSERT_EQ(o.code, 0) << o;
    EXPECT_EQ(column(work, "PROFT", "X_EMPLEADO"), (QStringList{"1001", "1002", "1003"}));

    const Outcome t = run({"table", "proft", "--format", "csv"});
    ASSERT_EQ(t.code, 0) << t;
    EXPECT_TRUE(t.out.contains(QStringLiteral("X_EMPLEADO C 10"))) << t;
    EXPECT_TRUE(t.out.contains(QStringLiteral(",1002,"))) << t;
}

// ---------------------------------------------------------------------------------------
// Course codes: recovered, given, missing

struct CodesCase {
    const char* name;
    Rows saved;                     // CURSOST2 before the run; empty: no file
    QByteArray csv;                 // empty: no --codes
    bool noRecover;                 // --no-recover
    int exit;                       // expected exit code
    QString lacking;                // keys listed on standard error when exit is 3
    QMap<QString, QString> cursost; // CURSOST codes after the run
    bool cursost2Left;              // CURSOST2.DBF exists after the run
};

class Codes : public Cli, public testing::WithParamInterface<CodesCase> {};

TEST_P(Codes, RecoveredGivenOrMissing) {
    const CodesCase& c = GetParam();
    school.courses = {{"500", "1º E.S.O."}, {"600", "2º E.S.O."}, {"700", "1º Bach."}};
    school.units = {{"U1", "1º ESO A", "500"}, {"U2", "2º ESO A", "600"}, {"U3", "1B", "700"}};
    writeDocument();
    if (!c.saved.isEmpty())
        writeCursost2(work, c.saved);
    QStringList extra;
    if (!c.csv.isEmpty())
        extra << "--codes" << writeCodes(c.csv);
    if (c.noRecover)
        extra << "--no-recover";

    const Outcome o = import(extra);
    EXPECT_EQ(o.code, c.exit) << o;
    if (c.exit == 3) {
        // Stopped as a forced exit does: nothing of the run stays but the codes that were
        // complete, saved for the next import.
        EXPECT_FALSE(tableExists(work, "CURSOST"));
        const auto saved = CursosLogic::savedCodes(work);
        for (auto it = c.cursost.cbegin(); it != c.cursost.cend(); ++it) {
            const QStringList parts = it.value().split(u'/');
            if (!CursosLogic::isMissing(parts.value(0)) &&
                !CursosLogic::isMissing(parts.value(1))) {
                EXPECT_EQ(saved.value(it.key()).nivel, parts.value(0)) << it.key().toStdString();
            }
        }
    } else {
        EXPECT_EQ(codesOf(work, "CURSOST"), c.cursost);
        EXPECT_EQ(tableExists(work, "CURSOST2"), c.cursost2Left);
    }
    if (c.exit == 3) {
        EXPECT_TRUE(o.err.contains(QStringLiteral("sin NIVEL o CURSO (dé sus códigos con "
                                                  "--codes): ") +
                                   c.lacking + u'\n'))
            << o;
        // Stopped in the second step, as a forced exit does: the later tables are not built.
        EXPECT_TRUE(o.out.startsWith(QStringLiteral("1. CrearPeriodos"))) << o;
        EXPECT_FALSE(o.out.contains(QStringLiteral("2. CrearCursos"))) << o;
        EXPECT_FALSE(tableExists(work, "ASIGNOMT"));
        EXPECT_FALSE(o.out.contains(QStringLiteral("Proceso finalizado"))) << o;
    } else {
        // A complete OK saves every key's codes for the next import.
        const auto saved = codesOf(work, "CURSOST2");
        for (auto it = c.cursost.cbegin(); it != c.cursost.cend(); ++it)
            EXPECT_EQ(saved.value(it.key()), it.value()) << it.key().toStdString();
        EXPECT_TRUE(o.out.contains(QStringLiteral("Proceso finalizado"))) << o;
    }
}

const QMap<QString, QString> kRecovered{{"500", "ESO/1"}, {"600", "ESO/2"}, {"700", "BCT/1"}};

INSTANTIATE_TEST_SUITE_P(
    Table, Codes,
    testing::Values(
        CodesCase{
            "AllRecovered",
            {{"500", "ESO", "1"}, {"600", "ESO", "2"}, {"700", "BCT", "1"}, {"999", "X", "9"}},
            {},
            false,
            0,
            {},
            kRecovered,
            true},
        CodesCase{"AllFromCsv",
                  {},
                  "CLAVE,NIVEL,CURSO\n500,ESO,1\n600,ESO,2\n700,BCT,1\n",
                  false,
                  0,
                  {},
                  kRecovered,
                  true},
        // As a spreadsheet set to Spanish saves it: semicolons, Windows-1252.
        CodesCase{"SemicolonsInWindows1252",
                  {},
                  "CLAVE;NIVEL;CURSO\r\n500;ESPA\xD1;1\r\n600;ESO;2\r\n700;BCT;\xBA\r\n",
                  false,
                  0,
                  {},
                  {{"500", "ESPAÑ/1"}, {"600", "ESO/2"}, {"700", "BCT/º"}},
                  true},
        CodesCase{"Utf8WithoutBom",
                  {},
                  "CLAVE,NIVEL,CURSO\n500,ESPAÑ,1\n600,ESO,2\n700,BCT,º\n",
                  false,
                  0,
                  {},
                  {{"500", "ESPAÑ/1"}, {"600", "ESO/2"}, {"700", "BCT/º"}},
                  true},
        // BOM, CRLF, header in another case, quotes and blanks around values.
        CodesCase{
            "CsvQuotedWithBomAndCrlf",
            {},
            "\xEF\xBB\xBF"
            "clave, nivel ,Curso\r\n\"500\",\"ESO\",1\r\n 600 ,ESO,\"2\"\r\n\r\n700,BCT,1\r\n",
            false,
            0,
            {},
            kRecovered,
            true},
        CodesCase{"CsvOverRecovered",
                  {{"500", "ESO", "1"}, {"600", "XXX", "9"}},
                  "CLAVE,NIVEL,CURSO\n600,ESO,2\n700,BCT,1\n",
                  false,
                  0,
                  {},
                  kRecovered,
                  true},
        CodesCase{"PartlyRecoveredRestMissing",
                  {{"600", "ESO", "2"}},
                  {},
                  false,
                  3,
                  "500, 700",
                  {{"500", "/"}, {"600", "ESO/2"}, {"700", "/"}},
                  true},
        CodesCase{"BlankLevelCountsAsMissing",
                  {},
                  "CLAVE,NIVEL,CURSO\n500,ESO,1\n600,\" \",2\n700,BCT,1\n",
                  false,
                  3,
                  "600",
                  {{"500", "ESO/1"}, {"600", "/2"}, {"700", "BCT/1"}},
                  false},
        // Declining the recovery deletes the saved codes at once, as Cancel does.
        CodesCase{"NoRecoverDeletesSavedCodes",
                  {{"500", "ESO", "1"}, {"600", "ESO", "2"}, {"700", "BCT", "1"}},
                  {},
                  true,
                  3,
                  "500, 600, 700",
                  {{"500", "/"}, {"600", "/"}, {"700", "/"}},
                  false},
        CodesCase{"NoRecoverWithCsv",
                  {{"500", "OLD", "9"}},
                  "CLAVE,NIVEL,CURSO\n500,ESO,1\n600,ESO,2\n700,BCT,1\n",
                  true,
                  0,
                  {},
                  kRecovered,
                  true},
        CodesCase{"NothingAnywhere",
                  {},
                  {},
                  false,
                  3,
                  "500, 600, 700",
                  {{"500", "/"}, {"600", "/"}, {"700", "/"}},
                  false}),
    caseName<CodesCase>);

// A key longer than CURSOST.CLAVE is stored cut; the codes file may give it whole.
TEST_F(Cli, CodesMatchLongKeysAsStored) {
    school.courses = {{"12345678901234", "Curso de clave larga"}};
    school.units = {{"U1", "Unidad", "12345678901234"}};
    school.subjects = {{"12345678901234", "Matemáticas", "M1"}};
    writeDocument();
    const Outcome o = import({"--codes", writeCodes("CLAVE,NIVEL,CURSO\n12345678901234,BCT,1\n")});
    EXPECT_EQ(o.code, 0) << o;
    EXPECT_EQ(codesOf(work, "CURSOST"), (QMap<QString, QString>{{"1234567890", "BCT/1"}}));
}

// ---------------------------------------------------------------------------------------
// Time frames

struct FramesCase {
    const char* name;
    const char* frames; // nullptr: no --frames
    int exit;
    const char* says;         // on standard error when exit is 3
    QStringList marcoxml;     // distinct MARCOXML values of DIASHORAST, in table order
    QStringList rankedByCode; // "CODE=MARCO" for each chosen frame
};

class Frames : public Cli, public testing::WithParamInterface<FramesCase> {};

TEST_P(Frames, ChosenFromTheCommandLine) {
    const FramesCase& c = GetParam();
    school.threeFrames();
    writeDocument();
    writeTable(work, QStringLiteral("DIASHORAST"), {{"DIHO", FieldType::Text, 10}}, {{"anterior"}});
    QStringList extra{"--codes", writeCodes(kAllCodes)};
    if (c.frames)
        extra << "--frames" << QString::fromUtf8(c.frames);
    const auto before = snapshot(work);

    const Outcome o = import(extra);
    EXPECT_EQ(o.code, c.exit) << o;
    if (c.exit == 3) {
        EXPECT_TRUE(o.err.contains(QString::fromUtf8(c.says))) << o;
        for (const char* frame : {"MAN  Mañana", "TAR  Tarde", "NOC  Noche"})
            EXPECT_TRUE(o.err.contains(QString::fromUtf8(frame))) << frame << '\n' << o;
        EXPECT_TRUE(o.err.contains(QStringLiteral("No se ha importado nada"))) << o;
        EXPECT_EQ(snapshot(work), before) << "the choice is settled before any table goes";
        return;
    }
    QStringList codes;
    QStringList ranks;
    const QStringList marcoxml = column(work, "DIASHORAST", "MARCOXML");
    const QStringList marco = column(work, "DIASHORAST", "MARCO");
    for (int i = 0; i < marcoxml.size(); ++i) {
        if (!codes.contains(marcoxml.at(i))) {
            codes << marcoxml.at(i);
            ranks << marcoxml.at(i) + u'=' + marco.at(i);
        }
    }
    EXPECT_EQ(codes, c.marcoxml);
    EXPECT_EQ(ranks, c.rankedByCode);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Frames,
    testing::Values(
        FramesCase{"Missing", nullptr, 3, "elija uno o dos con --frames", {}, {}},
        FramesCase{"Empty", "", 3, "elija uno o dos con --frames", {}, {}},
        FramesCase{"Unknown", "MAN,XYZ", 3, "desconocidos en --frames: XYZ", {}, {}},
        FramesCase{"Three", "MAN,TAR,NOC", 3, "Demasiados marcos horarios", {}, {}},
        FramesCase{"CaseMatters", "man", 3, "desconocidos en --frames: man", {}, {}},
        FramesCase{"One", "TAR", 0, "", {"TAR"}, {"TAR=0"}},
        FramesCase{"TwoInDocumentOrder", "MAN,TAR", 0, "", {"MAN", "TAR"}, {"MAN=0", "TAR=1"}},
        FramesCase{"TwoReordered", "TAR,MAN", 0, "", {"MAN", "TAR"}, {"MAN=0", "TAR=1"}},
        FramesCase{"BlanksAroundCodes", " NOC , MAN ", 0, "", {"MAN", "NOC"}, {"MAN=0", "NOC=1"}},
        FramesCase{"RepeatedCode", "NOC,NOC", 3, "repite el marco horario NOC", {}, {}},
        FramesCase{"EmptyCode", "MAN,", 3, "--frames MAN, tiene un código vacío", {}, {}},
        FramesCase{
            "ThreeWithOneRepeated", "MAN,TAR,MAN", 3, "repite el marco horario MAN", {}, {}}),
    caseName<FramesCase>);

// The order of the codes on the command line makes no difference to what is written.
TEST_F(Cli, ReorderedFramesGiveTheSameTables) {
    school.threeFrames();
    writeDocument();
    const QString codes = writeCodes(kAllCodes);
    QStringList dumps;
    for (const char* frames : {"NOC,TAR", "TAR,NOC"}) {
        const Outcome o = import({"--codes", codes, "--frames", frames});
        ASSERT_EQ(o.code, 0) << o;
        const Outcome t = run({"table", "DIASHORAST", "--workdir", work});
        ASSERT_EQ(t.code, 0) << t;
        dumps << t.out;
    }
    EXPECT_EQ(dumps.at(0), dumps.at(1));
    EXPECT_TRUE(dumps.at(0).contains(QStringLiteral("11,T2,1,,1,1ª tarde,15:00,15:55,55,0,TAR")))
        << dumps.at(0).toStdString();
}

// ---------------------------------------------------------------------------------------
// Values that end the run

struct FatalCase {
    const char* name;
    std::function<void(School&)> spoil;
    const char* reported; // the line check prints, after "ERROR  "
    const char* lastStep; // the last step line the import prints
    const char* kept;     // a table the run had written before it ended
    const char* absent;   // a table of a later step, never built; nullptr: none
};

class Fatal : public Cli, public testing::WithParamInterface<FatalCase> {};

TEST_P(Fatal, CheckNamesTheValueAndImportStopsAfterTheEarlierTables) {
    const FatalCase& c = GetParam();
    c.spoil(school);
    writeDocument();
    const QString codes = writeCodes(kAllCodes);

    const auto before = snapshot(work);
    const Outcome ch = check({"--codes", codes});
    EXPECT_EQ(ch.code, 1) << ch;
    EXPECT_TRUE(ch.out.contains(QStringLiteral("ERROR  ") + QString::fromUtf8(c.reported) + u'\n'))
        << ch;
    EXPECT_TRUE(ch.out.contains(QStringLiteral("La importación no llegaría a su fin."))) << ch;
    EXPECT_EQ(snapshot(work), before) << "check writes nothing";

    const Outcome im = import({"--codes", codes});
    EXPECT_EQ(im.code, 1) << im;
    EXPECT_FALSE(im.err.isEmpty()) << im;
    EXPECT_FALSE(im.out.contains(QStringLiteral("Proceso finalizado"))) << im;
    // The import happens whole or not at all: the tables are as before (the codes typed
    // aside, kept for the next import).
    auto now = snapshot(work);
    now.remove(QStringLiteral("CURSOST2.DBF"));
    auto then = before;
    then.remove(QStringLiteral("CURSOST2.DBF"));
    EXPECT_EQ(now, then) << c.kept;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Fatal,
    testing::Values(
        FatalCase{
            "CatalogueIdentifier",
            [](School& s) {
                s.niveles << QStringList{"4x", "BACH", "Bachillerato"};
            },
            "NIVELES_C: el dato 0 del registro 2 del grupo NIVELES no es un número entero: '4x'",
            "9. CrearDiasHoras", "ORIGENES_C", "CUR_NIV_C"},
        FatalCase{"CatalogueIdentifierMarkingEmpty",
                  [](School& s) {
                      s.niveles << QStringList{"-2147483648", "BACH", "Bachillerato"};
                  },
                  "NIVELES_C: el dato 0 del registro 2 del grupo NIVELES, '-2147483648', no cabe "
                  "en el campo X_NIVCONPAGLEG: ese valor marca un campo vacío. "
                  "Corrija el identificador en Veltra.",
                  "9. CrearDiasHoras", "ORIGENES_C", "CUR_NIV_C"},
        FatalCase{"EmptyAuthorisationActivity",
                  [](School& s) {
                      s.autorizaciones = {{"9001", "", "7", "40"}};
                  },
                  "AUTORIZA_C: el dato 1 del registro 1 del grupo AUTORIZACIONES no es un número "
                  "entero: ''",
                  "9. CrearDiasHoras", "CUR_NIV_C", nullptr},
        FatalCase{"ShortCatalogueRecord",
                  [](School& s) {
                      s.autorizaciones = {{"9001", "1"}};
                  },
                  "AUTORIZA_C: el dato 2 del registro 1 del grupo AUTORIZACIONES no es un número "
                  "entero: ''",
                  "9. CrearDiasHoras", "CUR_NIV_C", nullptr},
        FatalCase{"SlotBegin", [](School& s) { s.slots[1][2] = "8h55"; },
                  "DIASHORAST: el inicio del registro 2 del grupo TRAMOS_HORARIOS no es un "
                  "número entero de minutos: '8h55'",
                  "8. CrearAsignaciones", "ASIGT", "ORIGENES_C"}),
    caseName<FatalCase>);

TEST_F(Cli, CheckOfASoundDocumentReportsWhatTheImportWouldMeet) {
    school.threeFrames();
    school.slots << QStringList{"T9", "sin marco elegido", "x", "y", "NOC"};
    school.teachers << QStringList{"1009"}; // a single item: passed over
    writeDocument();
    writeCursost2(work, {{"500", "ESO", "1"}});
    const auto before = snapshot(work);

    // The frames of a bad slot are not chosen: its values are never read.
    const Outcome ok =
        check({"--frames", "TAR,MAN", "--codes", writeCodes("CLAVE,NIVEL,CURSO\n600,ESO,2\n")});
    EXPECT_EQ(ok.code, 0) << ok;
    for (const char* line :
         {"  XML bien formado, codificación UTF-8\n", "  EMPLEADOS: 4 registros\n",
          "  CURSOS_DEL_CENTRO: 2 registros\n", "  MAN \"Mañana\": 2 tramos\n",
          "  TAR \"Tarde\": 2 tramos\n", "  NOC \"Noche\": 2 tramos\n",
          "  Se aplicarían: MAN, TAR\n", "2. CrearCursos: CURSOST 2 filas, CURSOST2 2 filas\n",
          "9. CrearDiasHoras: DIASHORAST 28 filas\n", "  record_skipped: 1 (EMPLEADOS 4)\n",
          "La importación llegaría a su fin.\n"})
        EXPECT_TRUE(ok.out.contains(QString::fromUtf8(line))) << line << '\n' << ok;
    EXPECT_FALSE(ok.out.contains(QStringLiteral("ERROR"))) << ok;

    // Without the answers it says the first the import would stop for, as the import does.
    const Outcome bare = check();
    EXPECT_EQ(bare.code, 1) << bare;
    for (const char* line :
         {"  El documento tiene 3 marcos horarios: elija uno o dos con --frames.\n",
          "FALTA  los marcos horarios (--frames)\n",
          "La importación se detendría por falta de respuesta: dé los marcos "
          "horarios (--frames).\n"})
        EXPECT_TRUE(bare.out.contains(QString::fromUtf8(line))) << line << '\n' << bare;
    EXPECT_FALSE(bare.out.contains(QStringLiteral("1. CrearPeriodos"))) << bare;

    const Outcome noCodes = check({"--frames", "NOC"});
    EXPECT_EQ(noCodes.code, 1) << noCodes;
    for (const char* line : {"1. CrearPeriodos: PERIODOS 1 fila\n",
                             "Ofertas de curso sin nivel o curso tras CURSOST2 (1): 600\n",
                             "FALTA  nivel y curso de 1 ofertas de curso (--codes)\n"})
        EXPECT_TRUE(noCodes.out.contains(QString::fromUtf8(line))) << line << '\n' << noCodes;
    EXPECT_FALSE(noCodes.out.contains(QStringLiteral("2. CrearCursos"))) << noCodes;

    // The bad slot is read once its frame is chosen.
    const Outcome badSlot =
        check({"--frames", "NOC", "--codes", writeCodes("CLAVE,NIVEL,CURSO\n600,ESO,2\n")});
    EXPECT_EQ(badSlot.code, 1) << badSlot;
    EXPECT_TRUE(badSlot.out.contains(
        QStringLiteral("ERROR  DIASHORAST: el inicio del registro 6 del grupo TRAMOS_HORARIOS no "
                       "es un número entero de minutos: 'x'\n")))
        << badSlot;
    EXPECT_TRUE(badSlot.out.contains(QStringLiteral("La importación no llegaría a su fin.\n")))
        << badSlot;
    EXPECT_EQ(snapshot(work), before) << "check writes nothing";
}

TEST_F(Cli, CheckWantsTheSubjectCatalogue) {
    writeDocument();
    const Outcome o = run({"check", doc, "--workdir", work, "--catalog",
                           home.filePath(QStringLiteral("no/VELTMATERIAS.DBF")), "--codes",
                           writeCodes(kAllCodes)});
    EXPECT_EQ(o.code, 1) << o;
    EXPECT_TRUE(o.out.contains(QStringLiteral("ERROR  No se encuentra el catálogo de materias")))
        << o;
    EXPECT_FALSE(o.out.contains(QStringLiteral("1. CrearPeriodos"))) << o;
}

// ---------------------------------------------------------------------------------------
// check foretells the import

struct ForetoldCase {
    const char* name;
    std::function<void(School&)> change;
    QByteArray codes; // the --codes file
    QStringList options;
};

class Foretold : public Cli, public testing::WithParamInterface<ForetoldCase> {};

// check runs on a copy of the folder; the import that follows, on the same folder with the
// same answers, must do what check said, and check must have left the folder untouched.
TEST_P(Foretold, CheckAgreesWithTheImportItemByItem) {
    const ForetoldCase& c = GetParam();
    if (c.change)
        c.change(school);
    writeDocument();
    writeCursost2(work, {{"600", "BACH", "1"}});
    const QStringList options = QStringList{"--codes", writeCodes(c.codes)} + c.options;
    const auto before = snapshot(work);
    const Outcome ch = check(options);
    EXPECT_EQ(snapshot(work), before) << "check writes nothing\n" << ch;
    const QString json = home.filePath(QStringLiteral("informe.json"));
    const Outcome im = import(options + QStringList{"--report", json});
    testing_support::expectCheckAgreesWithImport(ch, im, json);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Foretold,
    testing::Values(
        ForetoldCase{"Sound", {}, kAllCodes, {}},
        ForetoldCase{"NoSchoolYear", [](School& s) { s.year = {"2024"}; }, kAllCodes, {}},
        // Stored as '?' in CURSOST: its units and subjects must still find it.
        ForetoldCase{"KeyOutsideWindows1252",
                     [](School& s) {
                         s.courses[0][0] = QStringLiteral("5\u01500");
                         s.units[0][2] = s.units[1][2] = s.subjects[0][0] = s.subjects[1][0] =
                             s.courses[0][0];
                     },
                     "CLAVE,NIVEL,CURSO\n5\xC5\x90"
                     "0,ESO,1\n600,ESO,2\n",
                     {}},
        ForetoldCase{"LeftOutAndDefaulted",
                     [](School& s) {
                         s.rooms.append({"Z"});
                         s.units << QStringList{"U9", "Sin oferta", "999"};
                         s.subjects << QStringList{"700", "Música", "MU700"};
                     },
                     kAllCodes,
                     {}},
        ForetoldCase{
            "TwoFrames", [](School& s) { s.threeFrames(); }, kAllCodes, {"--frames", "TAR,MAN"}},
        ForetoldCase{"FramesMissing", [](School& s) { s.threeFrames(); }, kAllCodes, {}},
        ForetoldCase{
            "FrameUnknown", [](School& s) { s.threeFrames(); }, kAllCodes, {"--frames", "TAR,XX"}},
        ForetoldCase{"MissingCodes", {}, "CLAVE,NIVEL,CURSO\n500,ESO,1\n", {"--no-recover"}},
        ForetoldCase{"CodesRecovered", {}, "CLAVE,NIVEL,CURSO\n500,ESO,1\n", {}},
        ForetoldCase{"IdentifierMarkingEmpty",
                     [](School& s) {
                         s.niveles << QStringList{"-2147483648", "BACH", "Bachillerato"};
                     },
                     kAllCodes,
                     {}},
        ForetoldCase{"SlotBegin", [](School& s) { s.slots[1][2] = "8h55"; }, kAllCodes, {}}),
    caseName<ForetoldCase>);

// ---------------------------------------------------------------------------------------
// export

TEST_F(Cli, ExportPrintsThePathOfTheDocumentWritten) {
    writeDocument();
    ASSERT_EQ(import({"--codes", writeCodes(kAllCodes)}).code, 0);

    // Without Tempolan's timetable the export cannot run.
    const Outcome none = run({"export", doc, "--workdir", work});
    EXPECT_EQ(none.code, 1) << none;
    EXPECT_FALSE(none.err.isEmpty()) << none;

    const QString abrev = column(work, "PROFT", "ABREV").value(0);
    const QString grupo = column(work, "GRUPOST", "ABREV").value(0);
    const QString asig = column(work, "ASIGNOMT2", "COD").value(0);
    writeTable(work, tables::SOLUC::kName, tables::SOLUC::fields(tables::SOLUC::DayAndSlot::Text),
               {{abrev, "1", "1", "0", asig, "", grupo, "A1", "CONC"},
                {abrev, "2", "2", "0", "#GUA", "#GUA", "", "", ""}});

    const Outcome o = run({"export", doc, "--workdir", work});
    ASSERT_EQ(o.code, 0) << o;
    const QString output = QFileInfo(doc).absolutePath() + "/ResultadoTempolanveltra.xml";
    EXPECT_TRUE(o.out.endsWith(output + u'\n')) << o;
    ASSERT_TRUE(QFileInfo::exists(output));
    const exchange::Document result = exchange::Document::loadTree(output);
    ASSERT_TRUE(result.ok()) << result.errorString().toStdString();
    QStringList employees;
    for (const auto& n : result.select(
             "/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq=\"HORARIOS_REGULARES\"]/grupo_datos/"
             "dato[@nombre_dato=\"X_EMPLEADO\"]"))
        employees << n.text();
    EXPECT_EQ(employees, (QStringList{"1001", "1002", "1003"}));

    // Without PERIODOS it stops with its message, on standard error like every error.
    QFile::remove(output);
    ASSERT_TRUE(QFile::remove(work + "/PERIODOS.DBF"));
    const Outcome noPeriods = run({"export", doc, "--workdir", work});
    EXPECT_EQ(noPeriods.code, 1) << noPeriods;
    EXPECT_TRUE(noPeriods.err.contains(QStringLiteral("PERIODOS.DBF No encontrado"))) << noPeriods;
    EXPECT_TRUE(noPeriods.out.isEmpty()) << noPeriods;
    EXPECT_FALSE(QFileInfo::exists(output));
}

TEST_F(Cli, WhatWasLeftOutGoesToStandardErrorAndToTheJsonReport) {
    school.rooms.append({"Z"}); // one item only: passed over
    school.teachers.append({"", "01/09/2021", "Letras", "Sin", "Clave", "X"});
    writeDocument();
    const QString folder = QFileInfo(doc).absolutePath();
    const QString importJson = home.filePath("importacion.json");

    const Outcome c = check({"--codes", writeCodes(kAllCodes)});
    EXPECT_TRUE(c.out.contains("record_skipped: 1 (DEPENDENCIAS 3)")) << c;
    EXPECT_TRUE(c.out.contains("unit_without_course: 0")) << c;

    const Outcome i = import({"--codes", writeCodes(kAllCodes), "--report", importJson});
    ASSERT_EQ(i.code, 0) << i;
    EXPECT_EQ(i.err, "1 aviso que conviene revisar (1 elemento no se ha transferido). Detalles "
                     "en el informe:\n" +
                         QDir::toNativeSeparators(folder + "/InformeImportacionveltra.txt") + "\n")
        << i;
    const QJsonObject imp = QJsonDocument::fromJson(readFile(importJson)).object();
    EXPECT_EQ(imp["run"].toString(), "import");
    EXPECT_EQ(imp["counts"].toObject(), (QJsonObject{{"record_skipped", 1},
                                                     {"unit_without_course", 0},
                                                     {"subject_without_group", 0}}));
    ASSERT_EQ(imp["items"].toArray().size(), 1);
    const QJsonObject item = imp["items"].toArray()[0].toObject();
    EXPECT_EQ(item["group"].toString(), "DEPENDENCIAS");
    EXPECT_EQ(item["record"].toInt(), 3);
    EXPECT_FALSE(item.contains("table"));

    writeTable(work, tables::SOLUC::kName, tables::SOLUC::fields(tables::SOLUC::DayAndSlot::Text),
               {});
    const QString exportJson = home.filePath("exportacion.json");
    const Outcome e = run({"export", doc, "--workdir", work, "--report", exportJson});
    ASSERT_EQ(e.code, 0) << e;
    EXPECT_TRUE(e.err.startsWith("1 aviso que conviene revisar (1 elemento no se ha "
                                 "transferido). Detalles en el informe:\n"))
        << e;
    const QJsonObject exp = QJsonDocument::fromJson(readFile(exportJson)).object();
    EXPECT_EQ(exp["run"].toString(), "export");
    EXPECT_EQ(exp["counts"].toObject()["teacher_without_employee"].toInt(), 1);
    EXPECT_EQ(exp["items"].toArray()[0].toObject()["record"].toInt(), 4);
    EXPECT_TRUE(QFileInfo::exists(folder + "/ResultadoTempolanveltra.txt"));

    // Nothing to report: no line, and the older text report goes.
    school.rooms.removeLast();
    school.teachers.removeLast();
    writeDocument();
    const Outcome again = import({"--codes", writeCodes(kAllCodes), "--report", importJson});
    ASSERT_EQ(again.code, 0) << again;
    EXPECT_TRUE(again.err.isEmpty()) << again;
    EXPECT_FALSE(QFileInfo::exists(folder + "/InformeImportacionveltra.txt"));
    EXPECT_TRUE(QJsonDocument::fromJson(readFile(importJson))["items"].toArray().isEmpty());
}

// ---------------------------------------------------------------------------------------
// table on files written by a genuine dBase engine

struct FixtureCase {
    const char* name;
    const char* file;
    const char* level;
    int rows;
    QStringList fields;           // "NAME T LEN[.DEC]" that must be listed
    QMap<QString, QString> first; // values of the first row
};

class EngineTables : public Cli, public testing::WithParamInterface<FixtureCase> {
protected:
    QString path;
    void SetUp() override {
        Cli::SetUp();
        path = testing_support::fixturesDir() + QStringLiteral("/dbase/") +
               QString::fromUtf8(GetParam().file);
        ASSERT_TRUE(QFileInfo::exists(path)) << "missing fixture " << path.toStdString();
    }
};

TEST_P(EngineTables, Csv) {
    const FixtureCase& c = GetParam();
    const Outcome o = run({"table", path});
    ASSERT_EQ(o.code, 0) << o;
    const QStringList lines = o.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 3) << o;
    EXPECT_EQ(lines.at(0), QStringLiteral("# %1: dBase nivel %2, %3 filas")
                               .arg(QFileInfo(path).completeBaseName(), QString::fromUtf8(c.level))
                               .arg(c.rows));
    const QStringList described = lines.at(1).mid(2).split(QStringLiteral(", "));
    for (const QString& f : c.fields)
        EXPECT_TRUE(described.contains(f)) << f.toStdString() << '\n' << o;
    EXPECT_EQ(lines.size(), 3 + c.rows) << "header, field list, names and one line per row";
    const QStringList names = lines.at(2).split(u',');
    const QStringList values = lines.at(3).split(u',');
    ASSERT_EQ(names.size(), described.size());
    for (auto it = c.first.cbegin(); it != c.first.cend(); ++it) {
        const qsizetype k = names.indexOf(it.key());
        ASSERT_GE(k, 0) << it.key().toStdString();
        EXPECT_EQ(values.value(k), it.value()) << it.key().toStdString();
    }
}

TEST_P(EngineTables, Json) {
    const FixtureCase& c = GetParam();
    const Outcome o = run({"table", path, "--format", "json"});
    ASSERT_EQ(o.code, 0) << o;
    QJsonParseError error;
    const QJsonObject all = QJsonDocument::fromJson(o.out.toUtf8(), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << o;
    EXPECT_EQ(all.value("nivel").toString(), QString::fromUtf8(c.level));
    QStringList described;
    for (const auto& v : all.value("campos").toArray()) {
        const QJsonObject f = v.toObject();
        QString d = QStringLiteral("%1 %2 %3")
                        .arg(f.value("nombre").toString(), f.value("tipo").toString())
                        .arg(f.value("ancho").toInt());
        if (f.value("decimales").toInt() > 0)
            d += QStringLiteral(".%1").arg(f.value("decimales").toInt());
        described << d;
    }
    for (const QString& f : c.fields)
        EXPECT_TRUE(described.contains(f)) << f.toStdString();
    const QJsonArray rows = all.value("filas").toArray();
    ASSERT_EQ(rows.size(), c.rows);
    const QJsonObject first = rows.at(0).toObject();
    EXPECT_EQ(first.size(), described.size());
    for (auto it = c.first.cbegin(); it != c.first.cend(); ++it)
        EXPECT_EQ(first.value(it.key()).toString(), it.value()) << it.key().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, EngineTables,
    testing::Values(
        FixtureCase{
            "Level7Sales",
            "level7_sales.dbf",
            "7",
            26,
            {"PC_DL I 4", "DATUMF D 8", "SARZE C 10", "KOD_DPH N 6", "CENA_P O 8", "RABAT C 1"},
            {{"PC_DL", "392049"},
             {"PC_FAKT", ""},
             {"KOD_ZBO_CE", "32546"},
             {"SARZE", "52239"},
             {"KOD_DPH", "14"},
             {"EXP", "20130430"},
             {"POCET_VYD", "1"},
             {"CENA_P", "180.6"},
             {"CENA_K", "205.88"}}},
        FixtureCase{"Level7SalesWithoutEndByte",
                    "level7_sales_no_eof.dbf",
                    "7",
                    26,
                    {"PC_DL I 4", "CENA_K O 8"},
                    {{"PC_DL", "392049"}, {"CENA_K", "205.88"}}},
        FixtureCase{
            "Level7Products",
            "level7_products.dbf",
            "7",
            24,
            {"KOD_UA I 4", "CENA_V O 8", "KOD_PRI C 8", "RECEPT L 1", "DATUM_R D 8"},
            {{"KOD_UA", ""}, {"CENA_V", "0"}, {"KOD_ZBO_CE", "32546"}, {"KOD_PRI", "169886"}}},
        FixtureCase{"Level5Products",
                    "level5_products.dbf",
                    "III-5",
                    16,
                    {"KOD_ZBO_CE N 11", "CENA_V N 15.2", "KOD_PRI C 8", "DATUM_R D 8",
                     "HMOT1 N 9.2", "RECEPT L 1"},
                    {{"KOD_ZBO_CE", "35656"}, {"CENA_V", "0.00"}, {"KOD_PRI", "25686"}}}),
    caseName<FixtureCase>);

TEST_F(Cli, TableThatDoesNotExistEndsWithOne) {
    const Outcome o = run({"table", "NOHAY", "--workdir", work});
    EXPECT_EQ(o.code, 1) << o;
    EXPECT_TRUE(o.err.contains(QStringLiteral("NOHAY"))) << o;
    EXPECT_TRUE(o.out.isEmpty()) << o;
}

// A value holding the separator or a quote stays one CSV field.
TEST_F(Cli, TableQuotesCsvValues) {
    writeTable(work, QStringLiteral("AULAT"),
               {{"ABREV", FieldType::Text, 10}, {"NOMBRE", FieldType::Text, 80}},
               {{"A1", "Aula \"grande\", planta 1"}, {"A2", "Ñandú"}});
    const Outcome o = run({"table", "AULAT.DBF", "--workdir", work});
    ASSERT_EQ(o.code, 0) << o;
    EXPECT_TRUE(o.out.endsWith(
        QStringLiteral("ABREV,NOMBRE\nA1,\"Aula \"\"grande\"\", planta 1\"\nA2,Ñandú\n")))
        << o;
}

// ---------------------------------------------------------------------------------------
// The sample school shipped with the program

TEST_F(Cli, SampleSchoolImportsAndExportsEveryTeacher) {
    const QString sample = QStringLiteral(VT_SOURCE_DIR) + QStringLiteral("/samples/escuela");
    if (!QFileInfo::exists(sample + QStringLiteral("/veltra.xml")))
        GTEST_SKIP() << "no sample school in this tree";
    // A copy, since the export writes beside the document.
    const QString copy = home.filePath(QStringLiteral("escuela/veltra.xml"));
    writeFile(copy, readFile(sample + QStringLiteral("/veltra.xml")));
    const exchange::Document source = exchange::Document::load(copy);
    ASSERT_TRUE(source.ok());
    QStringList frames;
    for (const auto& f : source.recordsOf(QStringLiteral("JORNADAS_ESCOLARES")))
        frames << exchange::itemValue(exchange::dataItems(f), 0);
    QStringList args{"import", copy,      "--workdir",
                     work,     "--codes", sample + QStringLiteral("/codes.csv")};
    if (frames.size() >= 2)
        args << "--frames" << frames.mid(0, 2).join(u',');
    const Outcome im = run(args); // the catalogue beside the program
    ASSERT_EQ(im.code, 0) << im;

    ASSERT_TRUE(QFile::copy(sample + QStringLiteral("/SOLUC.DBF"),
                            QDir(work).filePath(QStringLiteral("SOLUC.DBF"))));
    const Outcome ex = run({"export", copy, "--workdir", work});
    ASSERT_EQ(ex.code, 0) << ex;
    const QString output = home.filePath(QStringLiteral("escuela/ResultadoTempolanveltra.xml"));
    EXPECT_TRUE(ex.out.endsWith(output + u'\n')) << ex;

    QSet<QString> keys;
    for (const auto& t : source.recordsOf(QStringLiteral("EMPLEADOS"))) {
        const QString key = exchange::itemValue(exchange::dataItems(t), 0);
        if (!key.isEmpty())
            keys.insert(key);
    }
    ASSERT_FALSE(keys.isEmpty());
    const exchange::Document result = exchange::Document::loadTree(output);
    ASSERT_TRUE(result.ok()) << result.errorString().toStdString();
    for (const char* seq : {"HORARIOS_NO_REGULARES", "HORARIOS_REGULARES"}) {
        QSet<QString> written;
        for (const auto& n : result.select(
                 QStringLiteral("/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq=\"%1\"]/grupo_datos/"
                                "dato[@nombre_dato=\"X_EMPLEADO\"]")
                     .arg(QLatin1String(seq))))
            written.insert(n.text());
        EXPECT_EQ(written, keys) << seq;
    }
}

} // namespace
