// What the import steps note as they go: records passed over, units given the level
// "NIV", subjects that get no teaching-assignment row.
#include "SubjectFixtures.h"

#include "import/ImportSteps.h"
#include "run/RunReport.h"
#include "tables/Table.h"
#include "tables/WorkingTables.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
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

namespace {

// The report says each cause once, in the school's terms, however many items it explains;
// causes under one heading count once in the completion message.
TEST(ReportCauses, ItemsOfOneCauseAreToldOnceAndHeadingsCountOnce) {
    const QString topic = QStringLiteral("Ofertas de curso sin grupos (%n ofertas)");
    const QString sinGrupos = QStringLiteral("«%1» (oferta %2): sin grupos (%n materias)");
    run::RunReport r;
    r.run = QStringLiteral("import");
    const auto subject = [&](const QString& oferta, const QString& nombre) {
        r.add({ReportKind::SubjectWithoutGroup,
               QStringLiteral("sin fila"),
               QStringLiteral("MATERIAS"),
               {},
               1,
               {},
               QStringLiteral("m"),
               sinGrupos.arg(nombre, oferta),
               topic});
    };
    subject("A1", "1º ESO");
    subject("B2", "2º Bachillerato");
    subject("A1", "1º ESO");
    subject("A1", "1º ESO");
    r.add({ReportKind::UnitWithoutCourse,
           QStringLiteral("sin nivel"),
           QStringLiteral("UNIDADES"),
           {},
           4,
           {},
           QStringLiteral("9"),
           QStringLiteral("Oferta 9: sin nivel (%n grupos)")});
    r.add({ReportKind::RecordSkipped,
           QStringLiteral("corto"),
           QStringLiteral("DEPENDENCIAS"),
           {},
           2,
           {},
           {}});

    const std::vector<run::ReportCause> causes = r.causes();
    ASSERT_EQ(causes.size(), 4u);
    // Left out first; then the warnings, those under one heading together.
    EXPECT_EQ(causes[0].kind, ReportKind::RecordSkipped);
    EXPECT_EQ(causes[0].text, "Corto");
    EXPECT_EQ(causes[1].text, "«1º ESO» (oferta A1): sin grupos (3 materias)");
    EXPECT_EQ(causes[1].topic, "Ofertas de curso sin grupos (2 ofertas)");
    EXPECT_EQ(causes[2].text, "«2º Bachillerato» (oferta B2): sin grupos"); // one: no count
    EXPECT_EQ(causes[2].topic, causes[1].topic);
    EXPECT_EQ(causes[3].text, "Oferta 9: sin nivel");
    EXPECT_TRUE(causes[3].topic.isEmpty());
    EXPECT_EQ(r.causesToReview(), 3);
    EXPECT_EQ(run::summarySentence(r),
              "3 avisos que conviene revisar (1 elemento no se ha transferido)");

    const QString text = r.toText();
    EXPECT_TRUE(text.contains("\nNo se ha transferido:\n  - Corto\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("\nConviene revisar:\n"
                              "  - Ofertas de curso sin grupos (2 ofertas):\n"
                              "      · «1º ESO» (oferta A1): sin grupos (3 materias)\n"
                              "      · «2º Bachillerato» (oferta B2): sin grupos\n"
                              "  - Oferta 9: sin nivel\n"))
        << text.toStdString();
    // Every item stays in the detail.
    EXPECT_EQ(text.count("grupo MATERIAS, registro 1"), 4);
}

// The file is the text in UTF-8 after a byte order mark, with Windows line ends, however
// many pieces it is written in: a report of thousands of lines, with characters of two
// and three bytes, and one with nothing to report, which removes an older file.
TEST(ReportCauses, PublishedFileIsTheTextWithWindowsLineEnds) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    run::RunReport r;
    r.run = QStringLiteral("import");
    r.document = dir.filePath(QStringLiteral("veltra.xml"));
    for (int k = 1; k <= 5000; ++k)
        r.add({k % 3 ? ReportKind::SubjectWithoutGroup : ReportKind::RecordSkipped,
               QStringLiteral("sin fila en ASIGT — oferta %1").arg(k % 40),
               QStringLiteral("MATERIAS"),
               {},
               k,
               {},
               QStringLiteral("Matemáticas «%1» €").arg(k),
               QStringLiteral("Oferta «%1»: año sin grupos (%n materias)").arg(k % 40)});

    EXPECT_NE(run::publishReport(r), QString());
    QFile f(r.textPath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray written = f.readAll();
    f.close();
    QByteArray expected = "\xEF\xBB\xBF" + r.toText().toUtf8();
    expected.replace("\n", "\r\n");
    EXPECT_GT(written.size(), 256 * 1024);
    EXPECT_TRUE(written == expected);

    run::RunReport none;
    none.run = r.run;
    none.document = r.document;
    EXPECT_EQ(run::publishReport(none), QString());
    EXPECT_FALSE(QFileInfo::exists(r.textPath()));
}

} // namespace
