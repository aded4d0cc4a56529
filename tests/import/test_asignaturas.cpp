#include "SubjectFixtures.h"

#include "import/ImportSteps.h"
#include "tables/Table.h"
#include "text/RunError.h"

#include <QSet>
#include <gtest/gtest.h>

using namespace subject_fixtures;

namespace {

const QStringList kAsignomtFields = {"COD", "CODLARGO", "NOMBRE"};
const QStringList kAsignomt2Fields = {"COD", "CODLARGO", "NOMBRE", "MATERIA", "OFERTAMATRI"};

struct Case {
    const char* name;
    QList<QStringList> catalog; // NOMBRE, COD, CODLARGO
    QList<Record> records;
    QList<QStringList> asignomt;  // COD, CODLARGO, NOMBRE
    QList<QStringList> asignomt2; // COD, CODLARGO, NOMBRE, MATERIA, OFERTAMATRI
};

TEST(CrearAsignaturas, BuildsCodesAndLinks) {
    const Case cases[] = {
        {"codes from the names, one subject in two course offers",
         {},
         {
             materia("O1", "Lengua Castellana y Literatura", "M1"),
             materia("O1", "Matemáticas", "M2"),
             materia("O1", "Educación física", "M3"),
             materia("O1", "inglés", "M4"),
             materia("O1", "Lenguas Clásicas y Latín", "M5"),
             materia("O1", "Lógica Computacional Lineal", "M6"),
             materia("O1", "Tecnología", "M7"),
             materia("O1", "Tecnologías", "M8"),
             materia("O2", "Lengua Castellana y Literatura", "M1"),
             materia("O2", "Lengua Castellana y Literatura", "M1"),
             // Its long code ends in a blank, and the link is still found.
             materia("O2", "Educación física", "M3"),
         },
         {
             {"LCL", "Lengua Cas", "Lengua Castellana y Literatura"},
             {"Matemá", "Matemá", "Matemáticas"},
             // "Educación " is stored with its blank; the store reads it back without.
             {"Ef", "Educación", "Educación física"},
             {"inglés", "inglés", "inglés"},
             {"LC1", "Lenguas Cl", "Lenguas Clásicas y Latín"},
             {"LC2", "Lógica Com", "Lógica Computacional Lineal"},
             {"Tecnol", "Tecnol", "Tecnología"},
             {"Tecno1", "Tecnol", "Tecnologías"},
         },
         {
             {"LCL", "Lengua Cas", "Lengua Castellana y Literatura", "M1", "O1"},
             {"Matemá", "Matemá", "Matemáticas", "M2", "O1"},
             {"Ef", "Educación", "Educación física", "M3", "O1"},
             {"inglés", "inglés", "inglés", "M4", "O1"},
             {"LC1", "Lenguas Cl", "Lenguas Clásicas y Latín", "M5", "O1"},
             {"LC2", "Lógica Com", "Lógica Computacional Lineal", "M6", "O1"},
             {"Tecnol", "Tecnol", "Tecnología", "M7", "O1"},
             {"Tecno1", "Tecnol", "Tecnologías", "M8", "O1"},
             {"LCL", "Lengua Cas", "Lengua Castellana y Literatura", "M1", "O2"},
             {"Ef", "Educación", "Educación física", "M3", "O2"},
         }},
        {"catalogue codes, cut to the field and blank ones built from the name",
         {
             {"Matemáticas", "MATEMATICAS1", "Matematicas largo"},
             {"Inglés", "", "ING-LARGO"},
             {"Música", "MUS", ""},
         },
         {
             materia("O1", "Matemáticas", "M1"),
             materia("O2", "Matemáticas", "M1"),
             materia("O1", "matemáticas", "M2"), // the catalogue is case-sensitive
             materia("O1", "Inglés", "M3"),
             materia("O1", "Música", "M4"),
         },
         {
             {"MATEMATICA", "Matematica", "Matemáticas"},
             {"matemá", "matemá", "matemáticas"},
             {"Inglés", "ING-LARGO", "Inglés"},
             {"MUS", "Música", "Música"},
         },
         {
             {"MATEMATICA", "Matematica", "Matemáticas", "M1", "O1"},
             {"MATEMATICA", "Matematica", "Matemáticas", "M1", "O2"},
             {"matemá", "matemá", "matemáticas", "M2", "O1"},
             {"Inglés", "ING-LARGO", "Inglés", "M3", "O1"},
             {"MUS", "Música", "Música", "M4", "O1"},
         }},
        {"names differing only in case are separate subjects",
         {
             {"Robótica", "ROB", "ROBOTICA"},
             {"robótica", "ROB", "ROBOTICA"},
         },
         {
             materia("O1", "Robótica", "R1"),
             materia("O1", "robótica", "R2"),
             materia("O1", "Ciencias sociales", "C1"),
             materia("O1", "Ciencias Sociales", "C2"),
         },
         {
             {"ROB", "ROBOTICA", "Robótica"},
             {"RO1", "ROBOTICA", "robótica"},
             {"Cs", "Ciencias s", "Ciencias sociales"},
             {"CS", "Ciencias S", "Ciencias Sociales"},
         },
         {
             {"ROB", "ROBOTICA", "Robótica", "R1", "O1"},
             {"RO1", "ROBOTICA", "robótica", "R2", "O1"},
             {"Cs", "Ciencias s", "Ciencias sociales", "C1", "O1"},
             {"CS", "Ciencias S", "Ciencias Sociales", "C2", "O1"},
         }},
        {"items told apart by name, short records",
         {},
         {
             items({"X_OFERTAMATRIG", "O1", "X_MATERIAOMG", "F1", "D_MATERIAC", "Filosofía"}),
             items({"X_OFERTAMATRIG", "O1", "D_MATERIAC", "Latín"}),
             items({"X_OFERTAMATRIG", "O1"}),
             items({"X_OFERTAMATRIG", "O1", "D_MATERIAC", "Griego", "X_MATERIAOMGZ", "G1"}),
             // Both items look like identifiers: item 1 is read last and wins; no name.
             items({"X_OFERTAMATRIG", "O1", "X_MATERIAOMG", "A1", "X_MATERIAOMG", "A2"}),
             items({"X_OFERTAMATRIG", "O2", "X_MATERIAOMG", "A1", "X_MATERIAOMG", "A2"}),
             items({"X_OFERTAMATRIG", " O3 ", "D_MATERIAC", "  Griego ", "X_MATERIAOMG", " G1  "}),
         },
         {
             {"Filoso", "Filoso", "Filosofía"},
             {"Latín", "Latín", "Latín"},
             {"Griego", "Griego", "Griego"},
             {"", "", ""},
         },
         {
             {"Filoso", "Filoso", "Filosofía", "F1", "O1"},
             {"Latín", "Latín", "Latín", "", "O1"},
             {"Griego", "Griego", "Griego", "G1", "O1"},
             {"", "", "", "A1", "O1"},
             {"", "", "", "A1", "O2"},
             {"Griego", "Griego", "Griego", "G1", "O3"},
         }},
        {"identifiers the code page cannot tell apart are one link, as the table holds them",
         {},
         {
             materia("O1", "Química", "5Σ1"),
             materia("O1", "Química", "5Ω1"),
         },
         {{"Químic", "Químic", "Química"}},
         {{"Químic", "Químic", "Química", "5?1", "O1"}}},
        {"no records", {}, {}, {}, {}},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StepRun run;
        writeCatalog(run.programDir, c.catalog);
        const exchange::Document doc = documentOf({groupXml("MATERIAS", c.records)});
        run.step(CrearAsignaturas, doc);

        const auto asignomt = dump(run.workDir, "ASIGNOMT", kAsignomtFields);
        EXPECT_EQ(asignomt, c.asignomt) << show(asignomt);
        const auto asignomt2 = dump(run.workDir, "ASIGNOMT2", kAsignomt2Fields);
        EXPECT_EQ(asignomt2, c.asignomt2) << show(asignomt2);

        for (const QStringList& row :
             dump(run.workDir, "ASIGNOMT", {"CODTAREA", "ESTAREA", "R_UNI_MAT"}))
            EXPECT_EQ(row, QStringList({"", "F", ""}));
        for (const QStringList& row : dump(run.workDir, "ASIGNOMT2", {"CODTAREA", "ESTAREA"}))
            EXPECT_EQ(row, QStringList({"", "F"}));
        EXPECT_TRUE(run.host.messages.isEmpty());
    }
}

TEST(CrearAsignaturas, TableLayouts) {
    StepRun run;
    writeCatalog(run.programDir, {});
    run.step(CrearAsignaturas, documentOf({}));

    const auto layout = [&](const QString& name) {
        tables::Table t;
        t.open(run.workDir, name);
        QStringList out;
        for (const tables::FieldDef& f : t.fields()) {
            switch (f.type) {
            case tables::FieldType::Text:
                out << QStringLiteral("%1 C%2").arg(f.name).arg(f.width);
                break;
            case tables::FieldType::Boolean:
                out << f.name + QStringLiteral(" L");
                break;
            default:
                out << f.name + QStringLiteral(" ?");
            }
        }
        EXPECT_EQ(t.rowCount(), 0);
        return out;
    };
    EXPECT_EQ(layout("ASIGNOMT"), QStringList({"COD C10", "CODLARGO C10", "NOMBRE C80",
                                               "CODTAREA C10", "ESTAREA L", "R_UNI_MAT C4"}));
    EXPECT_EQ(layout("ASIGNOMT2"),
              QStringList({"COD C10", "CODLARGO C10", "NOMBRE C80", "MATERIA C20",
                           "OFERTAMATRI C20", "CODTAREA C10", "ESTAREA L"}));
}

// Subjects whose codes share their first 10 characters each get a code of their own: the
// base keeps as many characters as leave room for the number, also past 99.
TEST(CrearAsignaturas, NumbersCodesApart) {
    const auto codes = [](int count, const QList<QStringList>& catalog,
                          const QList<Record>& before) {
        StepRun run;
        writeCatalog(run.programDir, catalog);
        QList<Record> records = before;
        for (int i = 1; i <= count; ++i)
            records << materia("O1", QStringLiteral("ABCDEFGHIJKL %1").arg(i),
                               QStringLiteral("M%1").arg(i));
        run.step(CrearAsignaturas, documentOf({groupXml("MATERIAS", records)}));
        QStringList out;
        for (const QStringList& row : dump(run.workDir, "ASIGNOMT", {"COD"}))
            out << row.first();
        return out;
    };

    const QStringList thirteen = codes(13, {}, {});
    EXPECT_EQ(thirteen,
              QStringList({"ABCDEFGHIJ", "ABCDEFGHI1", "ABCDEFGHI2", "ABCDEFGHI3", "ABCDEFGHI4",
                           "ABCDEFGHI5", "ABCDEFGHI6", "ABCDEFGHI7", "ABCDEFGHI8", "ABCDEFGHI9",
                           "ABCDEFGH10", "ABCDEFGH11", "ABCDEFGH12"}));

    // A code already handed out to another subject is passed over.
    const QStringList taken =
        codes(13, {{"Ocupada", "ABCDEFGH11", "OCUPADA"}}, {materia("O1", "Ocupada", "X")});
    EXPECT_EQ(taken.mid(11), QStringList({"ABCDEFGH10", "ABCDEFGH12", "ABCDEFGH13"}));

    const QStringList many = codes(115, {}, {});
    ASSERT_EQ(many.size(), 115);
    EXPECT_EQ(many.at(99), "ABCDEFGH99");
    EXPECT_EQ(many.at(100), "ABCDEFG100");
    EXPECT_EQ(many.at(114), "ABCDEFG114");
    EXPECT_EQ(QSet<QString>(many.begin(), many.end()).size(), 115);
}

TEST(CrearAsignaturas, MissingCatalogueEndsTheRunWithBothTablesEmpty) {
    StepRun run;
    writeTextTable(run.workDir, "ASIGNOMT", {text("COD", 10)}, {{"OLD"}});
    const exchange::Document doc =
        documentOf({groupXml("MATERIAS", {materia("O1", "Matemáticas", "M1")})});
    try {
        run.step(CrearAsignaturas, doc);
        FAIL() << "the run went on without the catalogue";
    } catch (const RunError& e) {
        EXPECT_TRUE(e.message().contains("VELTMATERIAS.DBF")) << e.message().toStdString();
    }
    const struct {
        const char* name;
        int fields;
    } created[] = {{"ASIGNOMT", 6}, {"ASIGNOMT2", 7}};
    for (const auto& c : created) {
        tables::Table t;
        t.open(run.workDir, c.name);
        EXPECT_EQ(t.rowCount(), 0) << c.name;
        EXPECT_EQ(t.fields().size(), c.fields) << c.name;
    }
}

#ifdef VT_BINARY_DIR
// The catalogue the build places beside the executables is a table the step can use.
TEST(CrearAsignaturas, ShippedCatalogue) {
    const QString shipped = QStringLiteral(VT_PROGRAMS_DIR "/VELTMATERIAS.DBF");
    ASSERT_TRUE(tables::FileExists(shipped)) << shipped.toStdString();
    StepRun run;
    run.catalogPath = shipped;
    const exchange::Document doc = documentOf({groupXml(
        "MATERIAS", {materia("O1", "Matemáticas", "M1"), materia("O1", "Astronomía", "M2")})});
    run.step(CrearAsignaturas, doc);
    EXPECT_EQ(dump(run.workDir, "ASIGNOMT", kAsignomtFields),
              (QList<QStringList>{{"MAT", "MATEMAT", "Matemáticas"},
                                  {"Astron", "Astron", "Astronomía"}}));
}
#endif

} // namespace
