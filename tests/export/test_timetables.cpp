// The two timetable groups of the exported document, checked element by element.

#include "ExportFixture.h"

using namespace export_fixture;

namespace {

// A timetable that touches the main paths: placed and unplaced entries, "#" activities,
// a slot of the second frame, a slot with negative minutes, an entry without a slot, the
// course offer of the group, the catalogues' authorisation.
QList<Row> mainTimetable() {
    return {
        // 1: regular, 08:30-09:25, authorised origin through the catalogues
        {{"PROF", "ANA"},
         {"DIA", "1"},
         {"HORA", "1"},
         {"MARCO", "0"},
         {"ASIG", "MAT"},
         {"CODGRUPO", "ESO1A"},
         {"AULA", "A1"},
         {"CCONCIERTO", "CONC"}},
        // 2: unplaced "#G": nowhere
        {{"PROF", "ANA"}, {"DIA", "0"}, {"HORA", "0"}, {"ASIG", "#G"}, {"TAREA", "#G"}},
        // 3: non-regular, TAREA "#07"
        {{"PROF", "ANA"},
         {"DIA", "1"},
         {"HORA", "2"},
         {"MARCO", "0"},
         {"ASIG", "#GUA"},
         {"TAREA", "#07"}},
        // 4: regular in the second frame; course offer from the group, subject by offer
        {{"PROF", "ANA"},
         {"DIA", "3"},
         {"HORA", "4"},
         {"MARCO", "1"},
         {"ASIG", "LEN"},
         {"CODGRUPO", "ESO2A"},
         {"AULA", "   "}},
        // 5: non-regular, TAREA "07", slot with negative minutes
        {{"PROF", "ANA"},
         {"DIA", "2"},
         {"HORA", "1"},
         {"MARCO", "0"},
         {"ASIG", "#REU"},
         {"TAREA", "07"}},
        // 6: non-regular, TAREA "#" alone, no slot
        {{"PROF", "ANA"},
         {"DIA", "5"},
         {"HORA", "9"},
         {"MARCO", "0"},
         {"ASIG", "#X"},
         {"TAREA", "#"}},
        // 7: regular without a slot
        {{"PROF", "ANA"},
         {"DIA", "4"},
         {"HORA", "7"},
         {"MARCO", "0"},
         {"ASIG", "MAT"},
         {"CODGRUPO", "ESO1A"}},
        // 8: unplaced regular: nowhere
        {{"PROF", "ANA"}, {"DIA", "0"}, {"HORA", "3"}, {"ASIG", "MAT"}, {"CODGRUPO", "ESO1A"}},
        // 9: the second exported teacher
        {{"PROF", "LUI"},
         {"DIA", "1"},
         {"HORA", "1"},
         {"MARCO", "0"},
         {"ASIG", "#GUA"},
         {"TAREA", "#GUA"}},
        // 10: a teacher that is not exported
        {{"PROF", "NOEMP"},
         {"DIA", "1"},
         {"HORA", "1"},
         {"MARCO", "0"},
         {"ASIG", "MAT"},
         {"CODGRUPO", "ESO1A"}},
    };
}

class Timetables : public ExportTest, public ::testing::WithParamInterface<bool> {};

TEST_P(Timetables, MainTimetableElementByElement) {
    School s;
    s.numericSoluc = GetParam();
    s.soluc = mainTimetable();
    s.write(work);
    run();
    ASSERT_TRUE(host.errors.isEmpty()) << host.errors.join(" | ").toStdString();
    const auto& doc = result();

    const auto noReg = teachers(doc, "HORARIOS_NO_REGULARES");
    ASSERT_EQ(noReg.size(), 2);
    EXPECT_EQ(doc.selectSingle("/SERVICIO/BLOQUE_DATOS/grupo_datos[2]").attribute("registros"),
              "2");
    EXPECT_EQ(noReg[0].attribute("seq"), "HORARIO_NO_REGULAR_PROFESOR_1");
    EXPECT_EQ(noReg[0].attribute("registros"), "3");
    EXPECT_EQ(items(noReg[0]), QStringList({"X_EMPLEADO=1001", "F_TOMAPOS=01/09/2015"}));
    const auto anaNoReg = groups(noReg[0]);
    ASSERT_EQ(anaNoReg.size(), 3);
    EXPECT_EQ(anaNoReg[0].attribute("seq"), "ACTIVIDAD_1");
    EXPECT_EQ(items(anaNoReg[0]), QStringList({"X_ACTIVIDAD=07", "N_MINSEN=55"}));
    EXPECT_EQ(anaNoReg[1].attribute("seq"), "ACTIVIDAD_2");
    EXPECT_EQ(items(anaNoReg[1]), QStringList({"X_ACTIVIDAD=07", "N_MINSEN=-30"}));
    EXPECT_EQ(anaNoReg[2].attribute("seq"), "ACTIVIDAD_3");
    EXPECT_EQ(items(anaNoReg[2]), QStringList({"X_ACTIVIDAD=", "N_MINSEN=0"}));
    EXPECT_EQ(anaNoReg[2].attributeCount(), 1); // activity groups carry no registros

    // The teacher without X_EMPLEADO takes no number.
    EXPECT_EQ(noReg[1].attribute("seq"), "HORARIO_NO_REGULAR_PROFESOR_2");
    EXPECT_EQ(items(noReg[1]), QStringList({"X_EMPLEADO=1002", "F_TOMAPOS=15/10/2016"}));
    ASSERT_EQ(groups(noReg[1]).size(), 1);
    EXPECT_EQ(items(groups(noReg[1])[0]), QStringList({"X_ACTIVIDAD=GUA", "N_MINSEN=55"}));

    const auto reg = teachers(doc, "HORARIOS_REGULARES");
    ASSERT_EQ(reg.size(), 2);
    EXPECT_EQ(doc.selectSingle("/SERVICIO/BLOQUE_DATOS/grupo_datos[3]").attribute("registros"),
              "2");
    EXPECT_EQ(reg[0].attribute("seq"), "HORARIO_REGULAR_PROFESOR_1");
    EXPECT_EQ(reg[0].attributeValue(1), "3");
    EXPECT_EQ(items(reg[0]), QStringList({"X_EMPLEADO=1001", "F_TOMAPOS=01/09/2015"}));
    const auto anaReg = groups(reg[0]);
    ASSERT_EQ(anaReg.size(), 3);
    EXPECT_EQ(anaReg[0].attribute("seq"), "ACTIVIDAD_1");
    EXPECT_EQ(items(anaReg[0]),
              regular("1", "T11", "A1", "U1", "500", "M100", 510, 565, "1", "9001"));
    EXPECT_EQ(anaReg[1].attribute("seq"), "ACTIVIDAD_2");
    EXPECT_EQ(items(anaReg[1]), regular("3", "T34B", "", "U2", "600", "L200", 960, 990, "1"));
    EXPECT_EQ(anaReg[2].attribute("seq"), "ACTIVIDAD_3");
    EXPECT_EQ(items(anaReg[2]), regular("", "", "", "U1", "500", "M100", 0, 0, "1"));

    EXPECT_EQ(reg[1].attribute("seq"), "HORARIO_REGULAR_PROFESOR_2");
    EXPECT_EQ(reg[1].attributeValue(1), "0");
    EXPECT_EQ(items(reg[1]), QStringList({"X_EMPLEADO=1002", "F_TOMAPOS=15/10/2016"}));
    EXPECT_TRUE(groups(reg[1]).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(DiaHora, Timetables, ::testing::Values(false, true),
                         [](const auto& p) { return p.param ? "numeric" : "character"; });

TEST_F(ExportTest, RejectedEntriesLeaveNoGapInTheNumbers) {
    School s;
    s.asignomt << Row{{"COD", "LIB"}, {"CODTAREA", "LIB"}, {"R_UNI_MAT", "NN"}}
               << Row{{"COD", "REF"}, {"CODTAREA", "REF"}, {"R_UNI_MAT", "SS"}};
    s.soluc = {
        {{"PROF", "ANA"},
         {"DIA", "1"},
         {"HORA", "1"},
         {"MARCO", "0"},
         {"ASIG", "LIB"},
         {"TAREA", "LIB"},
         {"CODGRUPO", "NOGRP"}},
        {{"PROF", "ANA"},
         {"DIA", "1"},
         {"HORA", "2"},
         {"MARCO", "0"},
         {"ASIG", "REF"},
         {"TAREA", "REF"},
         {"CODGRUPO", "NOGRP"}},
        {{"PROF", "ANA"},
         {"DIA", "3"},
         {"HORA", "4"},
         {"MARCO", "0"},
         {"ASIG", "LIB"},
         {"TAREA", "LIB"},
         {"CODGRUPO", "NOGRP"}},
        // Every entry of this teacher is rejected.
        {{"PROF", "LUI"},
         {"DIA", "1"},
         {"HORA", "2"},
         {"MARCO", "0"},
         {"ASIG", "REF"},
         {"TAREA", "REF"},
         {"CODGRUPO", "NOGRP"}},
    };
    s.write(work);
    run();
    ASSERT_TRUE(host.errors.isEmpty()) << host.errors.join(" | ").toStdString();
    const auto reg = teachers(result(), "HORARIOS_REGULARES");
    ASSERT_EQ(reg.size(), 2);
    EXPECT_EQ(reg[0].attribute("registros"), "2");
    const auto acts = groups(reg[0]);
    ASSERT_EQ(acts.size(), 2);
    EXPECT_EQ(acts[0].attribute("seq"), "ACTIVIDAD_1");
    EXPECT_EQ(items(acts[0]), regular("1", "T11", "", "", "", "", 510, 565, "LIB"));
    EXPECT_EQ(acts[1].attribute("seq"), "ACTIVIDAD_2");
    EXPECT_EQ(items(acts[1]), regular("3", "T34A", "", "", "", "", 660, 715, "LIB"));
    EXPECT_EQ(reg[1].attribute("registros"), "0");
    EXPECT_EQ(reg[1].childCount(), 2);
}

TEST_F(ExportTest, RequirementCodesOfTheActivity) {
    struct Case {
        const char* requirement;
        bool unit;           // the entry's group exists
        const char* subject; // what the assignment gives; "" for nothing
        bool accepted;
        const char* written; // the X_MATERIAOMG written when accepted
    };
    const Case cases[] = {
        {"SS", true, "", false, ""},   {"SS", true, "S1", true, "S1"},
        {"SN", true, "S1", true, ""},  {"NS", false, "S1", true, "S1"},
        {"NS", false, "", false, ""},  {"NN", false, "", true, ""},
        {"NN", true, "S1", true, ""},  {"S", false, "S1", false, ""},
        {"", false, "S1", true, "S1"},
    };
    School s;
    s.proft.clear();
    s.soluc.clear();
    int i = 0;
    for (const Case& c : cases) {
        const QString code = QString("R%1").arg(++i);
        const QString group = c.unit ? "ESO1A" : "NOGRP";
        s.proft << Row{{"ABREV", code}, {"X_EMPLEADO", QString::number(2000 + i)}};
        s.asignomt << Row{{"COD", code}, {"CODTAREA", code}, {"R_UNI_MAT", c.requirement}};
        if (*c.subject)
            s.asigt << Row{{"CASIG", code}, {"CGRUP", group}, {"CLAVE", c.subject}};
        s.soluc << Row{{"PROF", code}, {"DIA", "1"},    {"HORA", "1"},      {"MARCO", "0"},
                       {"ASIG", code}, {"TAREA", code}, {"CODGRUPO", group}};
    }
    s.write(work);
    run();
    ASSERT_TRUE(host.errors.isEmpty()) << host.errors.join(" | ").toStdString();
    const auto reg = teachers(result(), "HORARIOS_REGULARES");
    ASSERT_EQ(reg.size(), std::size(cases));
    for (size_t k = 0; k < std::size(cases); ++k) {
        const Case& c = cases[k];
        SCOPED_TRACE(std::string("requirement \"") + c.requirement + "\" unit " +
                     (c.unit ? "yes" : "no") + " subject \"" + c.subject + "\"");
        const auto acts = groups(reg[k]);
        ASSERT_EQ(acts.size(), c.accepted ? 1 : 0);
        EXPECT_EQ(reg[k].attribute("registros"), c.accepted ? "1" : "0");
        if (c.accepted) {
            EXPECT_TRUE(items(acts[0]).contains(QString("X_MATERIAOMG=") + c.written));
        }
    }
}

TEST_F(ExportTest, TeachersSharingAnAbbreviationAndOneWithAQuote) {
    School s;
    s.proft = {
        {{"ABREV", "ANA"}, {"X_EMPLEADO", "1001"}},
        {{"ABREV", "O'NE"}, {"X_EMPLEADO", "1006"}},
        {{"ABREV", "ANA"}, {"X_EMPLEADO", "1005"}},
    };
    s.soluc = {
        {{"PROF", "ANA"},
         {"DIA", "1"},
         {"HORA", "1"},
         {"MARCO", "0"},
         {"ASIG", "#GUA"},
         {"TAREA", "#A"}},
        {{"PROF", "O'NE"},
         {"DIA", "1"},
         {"HORA", "1"},
         {"MARCO", "0"},
         {"ASIG", "#GUA"},
         {"TAREA", "#Q1"}},
        {{"PROF", "O''NE"},
         {"DIA", "1"},
         {"HORA", "1"},
         {"MARCO", "0"},
         {"ASIG", "#GUA"},
         {"TAREA", "#NO"}},
        {{"PROF", "ONE"},
         {"DIA", "1"},
         {"HORA", "1"},
         {"MARCO", "0"},
         {"ASIG", "#GUA"},
         {"TAREA", "#NO"}},
        {{"PROF", "ana"},
         {"DIA", "1"},
         {"HORA", "1"},
         {"MARCO", "0"},
         {"ASIG", "#GUA"},
         {"TAREA", "#NO"}},
        {{"PROF", "O'NE"},
         {"DIA", "1"},
         {"HORA", "2"},
         {"MARCO", "0"},
         {"ASIG", "#GUA"},
         {"TAREA", "#Q2"}},
    };
    s.write(work);
    run();
    ASSERT_TRUE(host.errors.isEmpty()) << host.errors.join(" | ").toStdString();
    const auto noReg = teachers(result(), "HORARIOS_NO_REGULARES");
    ASSERT_EQ(noReg.size(), 3);
    const auto activities = [](const exchange::Node& t) {
        QStringList r;
        for (const auto& g : groups(t))
            r << items(g).first();
        return r;
    };
    EXPECT_EQ(activities(noReg[0]), QStringList({"X_ACTIVIDAD=A"}));
    EXPECT_EQ(activities(noReg[1]), QStringList({"X_ACTIVIDAD=Q1", "X_ACTIVIDAD=Q2"}));
    EXPECT_EQ(items(noReg[2]).first(), "X_EMPLEADO=1005");
    EXPECT_EQ(activities(noReg[2]), QStringList({"X_ACTIVIDAD=A"}));
}

TEST_F(ExportTest, FrameTellsTwoSlotsWithTheSameDayAndHourApart) {
    School s;
    s.soluc = {
        {{"PROF", "ANA"},
         {"DIA", "3"},
         {"HORA", "4"},
         {"MARCO", "1"},
         {"ASIG", "MAT"},
         {"CODGRUPO", "ESO1A"},
         {"TAREA", "LIB"}},
        {{"PROF", "ANA"},
         {"DIA", "3"},
         {"HORA", "4"},
         {"MARCO", "0"},
         {"ASIG", "MAT"},
         {"CODGRUPO", "ESO1A"},
         {"TAREA", "LIB"}},
    };
    s.write(work);
    run();
    ASSERT_TRUE(host.errors.isEmpty()) << host.errors.join(" | ").toStdString();
    const auto acts = groups(teachers(result(), "HORARIOS_REGULARES")[0]);
    ASSERT_EQ(acts.size(), 2);
    EXPECT_EQ(items(acts[0]), regular("3", "T34B", "", "U1", "500", "M100", 960, 990, "LIB"));
    EXPECT_EQ(items(acts[1]), regular("3", "T34A", "", "U1", "500", "M100", 660, 715, "LIB"));
}

// The authorisation needs every catalogue lookup to succeed.
TEST_F(ExportTest, OriginAuthorisationThroughTheCatalogues) {
    struct Case {
        const char* name;
        const char* origin;  // the entry's CCONCIERTO
        const char* tarea;   // the entry's TAREA ("" gives activity "1")
        const char* written; // X_ORIHORACTETP, "" for none
    };
    const Case cases[] = {
        {"all found", "CONC", "", "9001"},
        {"no origin code", " ", "", ""},
        {"unknown origin code", "OTRO", "", ""},
        {"no authorisation for the activity", "CONC", "5", ""},
    };
    School s;
    s.proft.clear();
    int i = 0;
    for (const Case& c : cases) {
        const QString abrev = QString("P%1").arg(++i);
        s.proft << Row{{"ABREV", abrev}, {"X_EMPLEADO", abrev}};
        s.soluc << Row{
            {"PROF", abrev}, {"DIA", "1"},          {"HORA", "1"},      {"MARCO", "0"},
            {"ASIG", "MAT"}, {"CODGRUPO", "ESO1A"}, {"TAREA", c.tarea}, {"CCONCIERTO", c.origin}};
    }
    s.write(work);
    run();
    ASSERT_TRUE(host.errors.isEmpty()) << host.errors.join(" | ").toStdString();
    const auto reg = teachers(result(), "HORARIOS_REGULARES");
    ASSERT_EQ(reg.size(), std::size(cases));
    for (size_t k = 0; k < std::size(cases); ++k) {
        SCOPED_TRACE(cases[k].name);
        const QStringList got = items(groups(reg[k])[0]);
        if (*cases[k].written) {
            EXPECT_EQ(got.last(), QString("X_ORIHORACTETP=") + cases[k].written);
        } else {
            EXPECT_EQ(got.size(), 11);
        }
    }
}

TEST_F(ExportTest, WithoutCataloguesNoOriginAuthorisation) {
    for (const bool emptyOrigins : {false, true}) {
        SCOPED_TRACE(emptyOrigins ? "ORIGENES_C empty" : "ORIGENES_C absent");
        QTemporaryDir other;
        work = other.filePath("TLTEMP");
        QDir().mkpath(work);
        QFile::remove(output);
        School s;
        s.origenes = emptyOrigins ? std::optional<QList<Row>>(QList<Row>{}) : std::nullopt;
        s.curniv.reset(); // need not exist
        s.autoriza.reset();
        s.soluc = mainTimetable();
        s.write(work);
        run();
        ASSERT_TRUE(host.errors.isEmpty()) << host.errors.join(" | ").toStdString();
        const QByteArray bytes = testing_support::readFile(output);
        EXPECT_FALSE(bytes.contains("X_ORIHORACTETP"));
        EXPECT_TRUE(bytes.contains("N_HORINI"));
    }
}

TEST_F(ExportTest, ProftWithoutEmployeesGivesEmptyTimetableGroups) {
    School s;
    s.proft = {{{"ABREV", "ANA"}, {"X_EMPLEADO", ""}}, {{"ABREV", "LUI"}, {"X_EMPLEADO", "  "}}};
    s.soluc = mainTimetable();
    s.write(work);
    run();
    ASSERT_TRUE(host.errors.isEmpty()) << host.errors.join(" | ").toStdString();
    const auto& doc = result();
    const auto data = groups(doc.selectSingle("/SERVICIO/BLOQUE_DATOS"));
    ASSERT_EQ(data.size(), 3);
    for (int k : {1, 2}) {
        EXPECT_EQ(data[k].attribute("registros"), "0");
        EXPECT_EQ(data[k].childCount(), 0);
    }
    EXPECT_EQ(data[1].attribute("seq"), "HORARIOS_NO_REGULARES");
    EXPECT_EQ(data[2].attribute("seq"), "HORARIOS_REGULARES");
}

} // namespace
