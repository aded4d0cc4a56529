#include "SubjectFixtures.h"

#include "import/ImportSteps.h"
#include "tables/Table.h"
#include "tables/WorkingTables.h"

#include <gtest/gtest.h>

using namespace subject_fixtures;

namespace {

// Groups of three course offers; those of O1 are not next to each other.
void writeGroups(const QString& workDir) {
    writeTextTable(workDir, tables::GRUPOST::kName, tables::GRUPOST::fields(),
                   {
                       {"ESO1A", "", "ESO", "1", "A", "U1", "O1", "1º ESO", "0"},
                       {"ESO2A", "", "ESO", "2", "A", "U4", "O2", "2º ESO", "0"},
                       {"ESO1B", "", "ESO", "1", "B", "U2", "O1", "1º ESO", "0"},
                       {"ESO1C", "", "ESO", "1", "C", "U3", "O1", "1º ESO", "0"},
                       {"BACH1A", "", "BACH", "1", "A", "U5", "O4", "1º BACH", "0"},
                   });
}

const QStringList kAsigtKeys = {"CASIG", "CGRUP", "NIVEL",      "CURSO",
                                "GRUPO", "CLAVE", "CLAVECURSO", "CLAVEGRUPO"};

TEST(CrearAsignaciones, OneRowPerGroupOfTheCourseOffer) {
    const QString long85 = QStringLiteral("Optativa ") + QString(76, QChar(u'x'));
    const QString h79 = QString(79, QChar(u'h'));
    StepRun run;
    writeGroups(run.workDir);
    writeTextTable(run.workDir, tables::ASIGNOMT::kName, tables::ASIGNOMT::fields(),
                   {
                       {"LCL", "Lengua Cas", "Lengua Castellana y Literatura", ""},
                       {"Cs", "Ciencias s", "Ciencias sociales", ""},
                       {"CS", "Ciencias S", "Ciencias Sociales", ""},
                       {"", "Sin código", "Sin código", ""},
                       {"SINC", "Sin código", "Sin código", ""},
                       {"LARGA", "Optativa x", long85, ""},
                       {"H79", "hhhhhhhhhh", h79, ""},
                       {"MUS", "Música", "  Música", ""},
                       {"#TUT", "Tutoría le", "Tutoría lectiva", "#TUT"},
                       // Stored with "?" for what Windows-1252 cannot hold.
                       {"LCH", "Lengua Chi", "Lengua China 中文", ""},
                       {"FIS", "Física ?", "Física Ω", ""},
                   });

    const struct {
        const char* name;
        Record record;
        QList<QStringList> rows;
    } cases[] = {
        {"three groups in table order",
         materia("O1", "Lengua Castellana y Literatura", "M1"),
         {{"LCL", "ESO1A", "ESO", "1", "A", "M1", "O1", "U1"},
          {"LCL", "ESO1B", "ESO", "1", "B", "M1", "O1", "U2"},
          {"LCL", "ESO1C", "ESO", "1", "C", "M1", "O1", "U3"}}},
        {"same subject in another offer",
         materia("O2", "Lengua Castellana y Literatura", "M1"),
         {{"LCL", "ESO2A", "ESO", "2", "A", "M1", "O2", "U4"}}},
        {"found whatever the case of a to z",
         materia("O2", "CIENCIAS SOCIALES", "M2"),
         {{"Cs", "ESO2A", "ESO", "2", "A", "M2", "O2", "U4"}}},
        {"the first of two equal names",
         materia("O2", "Ciencias Sociales", "M3"),
         {{"Cs", "ESO2A", "ESO", "2", "A", "M3", "O2", "U4"}}},
        {"activity rows take part",
         materia("O2", "TUTORíA LECTIVA", "T1"),
         {{"#TUT", "ESO2A", "ESO", "2", "A", "T1", "O2", "U4"}}},
        {"the first row has no code", materia("O1", "Sin código", "M4"), {}},
        {"offer without groups", materia("O3", "Lengua Castellana y Literatura", "M1"), {}},
        {"offer compared exactly", materia("o1", "Lengua Castellana y Literatura", "M1"), {}},
        {"unknown name", materia("O1", "Desconocida", "M5"), {}},
        {"name compared by its first 80 characters",
         materia("O2", long85, "M6"),
         {{"LARGA", "ESO2A", "ESO", "2", "A", "M6", "O2", "U4"}}},
        {"first 80 characters trimmed",
         materia("O2", h79 + " resto", "M7"),
         {{"H79", "ESO2A", "ESO", "2", "A", "M7", "O2", "U4"}}},
        {"stored name trimmed",
         materia("O2", "música", "M8"),
         {{"MUS", "ESO2A", "ESO", "2", "A", "M8", "O2", "U4"}}},
        {"a name with characters the table cannot hold",
         materia("O2", "Lengua China 中文", "M9"),
         {{"LCH", "ESO2A", "ESO", "2", "A", "M9", "O2", "U4"}}},
        {"a name with one such character",
         materia("O2", "Física Ω", "M10"),
         {{"FIS", "ESO2A", "ESO", "2", "A", "M10", "O2", "U4"}}},
        {"two items: no identifier",
         items({"X_OFERTAMATRIG", "O2", "D_MATERIAC", "Lengua Castellana y Literatura"}),
         {{"LCL", "ESO2A", "ESO", "2", "A", "", "O2", "U4"}}},
        {"one item is skipped", items({"X_OFERTAMATRIG", "O1"}), {}},
    };

    QList<Record> records;
    QList<QStringList> expected;
    for (const auto& c : cases) {
        records << c.record;
        expected << c.rows;
    }
    run.step(CrearAsignaciones, documentOf({groupXml("MATERIAS", records)}));

    const auto rows = dump(run.workDir, "ASIGT", kAsigtKeys);
    EXPECT_EQ(rows, expected) << show(rows);

    tables::Table asigt;
    asigt.open(run.workDir, "ASIGT");
    for (asigt.first(); !asigt.atEnd(); asigt.next()) {
        EXPECT_EQ(asigt.real("HORAS"), 4.0);
        EXPECT_EQ(asigt.text("SESIONES"), "1111");
        EXPECT_EQ(asigt.text("CTAREA"), "1");
        for (const char* empty : {"CPROF", "CAULA", "TURNO", "NCONEX", "CORIGEN"})
            EXPECT_EQ(asigt.text(empty), "") << empty;
        EXPECT_TRUE(asigt.isNull("X_NIVCONPAGLEG"));
    }
    EXPECT_TRUE(run.host.messages.isEmpty());
}

TEST(CrearAsignaciones, TableLayoutAndNoSubjects) {
    StepRun run;
    writeGroups(run.workDir);
    writeTextTable(run.workDir, "ASIGT", {text("OLD", 3)}, {{"x"}});
    writeTextTable(run.workDir, "ASIGNOMT", {text("COD", 10), text("NOMBRE", 80)}, {});
    run.step(CrearAsignaciones, documentOf({}));

    tables::Table t;
    t.open(run.workDir, "ASIGT");
    EXPECT_EQ(t.rowCount(), 0);
    QStringList layout;
    for (const tables::FieldDef& f : t.fields()) {
        switch (f.type) {
        case tables::FieldType::Text:
            layout << QStringLiteral("%1 C%2").arg(f.name).arg(f.width);
            break;
        case tables::FieldType::Float:
            layout << f.name + QStringLiteral(" F");
            break;
        case tables::FieldType::Integer:
            layout << f.name + QStringLiteral(" I");
            break;
        case tables::FieldType::Boolean:
            layout << f.name + QStringLiteral(" L");
            break;
        }
    }
    EXPECT_EQ(layout, QStringList({"CASIG C10", "CPROF C10", "CGRUP C10", "CAULA C10", "TURNO C1",
                                   "NIVEL C5", "CURSO C3", "GRUPO C2", "HORAS F", "SESIONES C20",
                                   "NCONEX C4", "CLAVE C10", "CLAVECURSO C10", "CLAVEGRUPO C10",
                                   "CTAREA C10", "CORIGEN C20", "X_NIVCONPAGLEG I"}));
}

// The three steps in the order of the run: a subject merged across two course offers keeps
// one code in both, and an activity sharing its name does not take its place.
TEST(CrearAsignaciones, AfterSubjectsAndActivities) {
    StepRun run;
    writeCatalog(run.programDir, {});
    writeGroups(run.workDir);
    const exchange::Document doc = documentOf({
        groupXml("MATERIAS", {materia("O1", "Lengua Castellana y Literatura", "M1"),
                              materia("O2", "Lengua Castellana y Literatura", "M1"),
                              materia("O2", "Lenguas Clásicas y Latín", "M2")}),
        groupXml("ACTIVIDADES", {items({"L", "N", "X", "LCL", "D", "Lenguas Clásicas y Latín"})}),
    });
    run.step(CrearAsignaturas, doc);
    run.step(CrearActividades, doc);
    run.step(CrearAsignaciones, doc);
    EXPECT_EQ(dump(run.workDir, "ASIGT", {"CASIG", "CGRUP", "CLAVE", "CLAVECURSO"}),
              (QList<QStringList>{{"LCL", "ESO1A", "M1", "O1"},
                                  {"LCL", "ESO1B", "M1", "O1"},
                                  {"LCL", "ESO1C", "M1", "O1"},
                                  {"LCL", "ESO2A", "M1", "O2"},
                                  {"LC1", "ESO2A", "M2", "O2"}}));
}

} // namespace
