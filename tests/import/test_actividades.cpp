#include "SubjectFixtures.h"

#include "import/ImportSteps.h"

#include <gtest/gtest.h>

using namespace subject_fixtures;

namespace {

Record actividad(const QStringList& values) {
    static const QStringList names = {"L_NOREGULAR", "X_ACTIVIDAD", "D_ACTIVIDAD", "L_REQUNIDAD",
                                      "L_REQMATERIA"};
    Record r;
    for (qsizetype i = 0; i < values.size(); ++i)
        r.append({names.at(i), values.at(i)});
    return r;
}

TEST(CrearActividades, AppendsActivitiesAfterTheSubjects) {
    const struct {
        const char* name;
        QStringList items;
        QStringList row; // COD, CODLARGO, NOMBRE, CODTAREA, ESTAREA, R_UNI_MAT
    } cases[] = {
        {"N marks the codes",
         {"N", "07", "Guardia de recreo", "S", "N"},
         {"#07", "Guardia de", "Guardia de recreo", "#07", "T", "SN"}},
        {"another flag",
         {"S", "07", "Reunión", "N", "S"},
         {"07", "Reunión", "Reunión", "07", "T", "NS"}},
        {"lower-case n",
         {"n", "07", "Reunión", "S", "S"},
         {"07", "Reunión", "Reunión", "07", "T", "SS"}},
        {"flag after trimming",
         {" N ", " 08 ", " Tutoría ", " S ", " N "},
         {"#08", "Tutoría", "Tutoría", "#08", "T", "SN"}},
        {"empty unit requirement keeps its place",
         {"", "09", "Biblioteca", "", "S"},
         {"09", "Biblioteca", "Biblioteca", "09", "T", " S"}},
        {"longer parts cut to the field",
         {"S", "10", "Guardia", "AB", "CDE"},
         {"10", "Guardia", "Guardia", "10", "T", "ABCD"}},
        {"code of a subject",
         {"S", "Tecnol", "Taller de tecnología", "N", "N"},
         {"Tecnol", "Taller de", "Taller de tecnología", "Tecnol", "T", "NN"}},
        {"two items only", {"N", "11"}, {"#11", "", "", "#11", "T", ""}},
        {"one item is skipped", {"N"}, {}},
    };

    QList<Record> records;
    QList<QStringList> expected = {{"Tecnol", "Tecnol", "Tecnología", "", "F", ""}};
    for (const auto& c : cases) {
        records << actividad(c.items);
        if (!c.row.isEmpty())
            expected << c.row;
    }
    StepRun run;
    writeCatalog(run.programDir, {});
    const exchange::Document doc =
        documentOf({groupXml("MATERIAS", {materia("O1", "Tecnología", "M1")}),
                    groupXml("ACTIVIDADES", records)});
    run.step(CrearAsignaturas, doc);
    run.step(CrearActividades, doc);

    const auto rows = dump(run.workDir, "ASIGNOMT",
                           {"COD", "CODLARGO", "NOMBRE", "CODTAREA", "ESTAREA", "R_UNI_MAT"});
    ASSERT_EQ(rows.size(), expected.size()) << show(rows);
    EXPECT_EQ(rows.first(), expected.first());
    for (qsizetype i = 1; i < rows.size(); ++i)
        EXPECT_EQ(rows.at(i), expected.at(i)) << cases[i - 1].name;
    EXPECT_TRUE(run.host.messages.isEmpty());
}

TEST(CrearActividades, NoActivitiesLeavesTheSubjects) {
    StepRun run;
    writeCatalog(run.programDir, {});
    const exchange::Document doc =
        documentOf({groupXml("MATERIAS", {materia("O1", "Tecnología", "M1")})});
    run.step(CrearAsignaturas, doc);
    run.step(CrearActividades, doc);
    EXPECT_EQ(dump(run.workDir, "ASIGNOMT", {"COD", "ESTAREA"}),
              QList<QStringList>({{"Tecnol", "F"}}));
}

} // namespace
