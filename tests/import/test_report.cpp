// What the import steps note as they go: records passed over, units given the level
// "NIV", subjects that get no teaching-assignment row.
#include "SubjectFixtures.h"

#include "import/ImportSteps.h"
#include "run/RunReport.h"
#include "tables/Table.h"
#include "tables/WorkingTables.h"

#include <gtest/gtest.h>

using namespace subject_fixtures;
using run::ReportKind;

namespace {

// "KIND GROUP RECORD VALUE" for every item, in order.
QStringList noted(const run::RunReport& r) {
    QStringList out;
    for (const run::ReportItem& i : r.items()) {
        EXPECT_FALSE(i.reason.isEmpty());
        out << QStringLiteral("%1 %2 %3 %4")
                   .arg(run::kindName(i.kind), i.group)
                   .arg(i.record)
                   .arg(i.value);
    }
    return out;
}

const Record kShort = {{QStringLiteral("X"), QStringLiteral("solo")}};

TEST(ImportReport, RecordsWithFewerThanTwoItemsAreNotedByTheirStep) {
    const Record two = items({"A", "K1", "B", "Nombre"});
    const Record two2 = items({"A", "K2", "B", "Otro"});
    const struct {
        const char* group;
        void (*step)(ImportContext&);
    } cases[] = {
        {"DEPENDENCIAS", CrearAulas},
        {"EMPLEADOS", CrearProfesores},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.group);
        StepRun run;
        run.step(c.step, documentOf({groupXml(c.group, {two, kShort, two2, kShort})}));
        EXPECT_EQ(noted(run.report),
                  QStringList({QStringLiteral("record_skipped %1 2 ").arg(c.group),
                               QStringLiteral("record_skipped %1 4 ").arg(c.group)}));
    }
}

TEST(ImportReport, CatalogueRecordsPassedOverAreNotedOnlyWhenCataloguesAreRead) {
    StepRun run;
    const Record origin = items({"X_CATORIHOR", "7", "C_ORIHOR", "CONC", "D", "Concierto"});
    run.step(CrearCatalogos,
             documentOf({groupXml("ORIGENES", {origin, kShort}), groupXml("NIVELES", {kShort})}));
    EXPECT_EQ(noted(run.report),
              QStringList({"record_skipped ORIGENES 2 ", "record_skipped NIVELES 1 "}));

    StepRun without; // no ORIGENES: the catalogue groups are not read at all
    without.step(CrearCatalogos, documentOf({groupXml("NIVELES", {kShort})}));
    EXPECT_TRUE(without.report.empty());
}

TEST(ImportReport, UnitsWithoutALevelAreWarnedAbout) {
    StepRun run;
    writeTextTable(run.workDir, tables::CURSOST::kName, tables::CURSOST::fields(),
                   {{"", "", "ESO", "1", "500", "1º ESO"}, {"", "", "", "", "600", "Sin nivel"}});
    const auto unit = [](const char* key, const char* offer) {
        return items({"X_UNIDAD", key, "D_UNIDAD", "x", "X_OFERTAMATRIG", offer});
    };
    run.step(CrearGrupos, documentOf({groupXml("UNIDADES", {unit("U1", "500"), unit("U2", "600"),
                                                            kShort, unit("U4", "999")})}));
    EXPECT_EQ(noted(run.report),
              QStringList({"unit_without_course UNIDADES 2 600", "record_skipped UNIDADES 3 ",
                           "unit_without_course UNIDADES 4 999"}));
    EXPECT_EQ(run.report.warnings(), 2);
    EXPECT_EQ(run.report.leftOut(), 1);
}

TEST(ImportReport, SubjectsWithoutAGroupRowAreWarnedAbout) {
    StepRun run;
    writeTextTable(run.workDir, tables::GRUPOST::kName, tables::GRUPOST::fields(),
                   {{"ESO1A", "", "ESO", "1", "A", "U1", "O1", "1º ESO", "0"}});
    writeTextTable(run.workDir, tables::ASIGNOMT::kName, tables::ASIGNOMT::fields(),
                   {{"LEN", "Lengua", "Lengua", ""}});
    run.step(CrearAsignaciones,
             documentOf({groupXml("MATERIAS", {materia("O1", "Lengua", "M1"), kShort,
                                               materia("O9", "Lengua", "M2"),
                                               materia("O1", "Desconocida", "M3")})}));
    EXPECT_EQ(noted(run.report),
              QStringList({"record_skipped MATERIAS 2 ", "subject_without_group MATERIAS 3 Lengua",
                           "subject_without_group MATERIAS 4 Desconocida"}));
}

} // namespace
