#include "import/ImportSteps.h"
#include "import/PlantillasLogic.h"
#include "text/RunError.h"

#include "FramesFixture.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace frames_fixture;

namespace {

class DiasHoras : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ScriptedHost host;
    bool repeated = false; // the step had to show its dialog again

    // Runs the step on a document; the host answers the dialog with chooseRows, if given.
    void run(const QList<Group>& groups) {
        doc = document(groups);
        ImportContext ctx{doc, host, host, dir.path(), QString()};
        CrearDiasHoras(ctx);
        repeated = ctx.dialogRepeated;
    }
    QList<Row> rows() { return readRows(dir.path(), "DIASHORAST"); }
    // Selects these rows of the dialog's list and presses Continuar, on every showing.
    void answer(QList<int> selected) {
        host.onPlantillas = [selected](PlantillasLogic& dialog) {
            dialog.activate();
            dialog.setSelection(selected);
            dialog.proceed();
        };
    }

    exchange::Document doc;
};

QList<Row> ofFrame(const QList<Row>& rows, const QString& code) {
    QList<Row> out;
    for (const Row& r : rows)
        if (r.value("MARCOXML") == code)
            out << r;
    return out;
}

QList<Row> ofDay(const QList<Row>& rows, int day) {
    QList<Row> out;
    for (const Row& r : rows)
        if (r.value("DIA") == QString::number(day))
            out << r;
    return out;
}

TEST_F(DiasHoras, OneFrameIsTakenWithoutDialog) {
    run({
        {"JORNADAS_ESCOLARES", {frame(" A ", "Mañana")}},
        {"TRAMOS_HORARIOS",
         {slot(" 101 ", "Primera hora", " 480 ", "540", " A"),
          slot("102", "Recreo de mediodía", "", "30", "A"), // 18 characters, empty begin
          slot("103", "Otro", "600", "660", "Z"), slot("104", "Sin marco", "600", "660", ""),
          slot("105", "Tercera", "1005", "1000", "A")}},
    });
    EXPECT_EQ(host.plantillasShown, 0);
    EXPECT_FALSE(repeated);

    const QList<Row> all = rows();
    ASSERT_EQ(all.size(), 21);
    EXPECT_EQ(column(all, "DIHO"),
              QStringList({"11", "12", "13", "21", "22", "23", "31", "32", "33", "41", "42",
                           "43", "51", "52", "53", "61", "62", "63", "71", "72", "73"}));
    for (const Row& r : all) {
        EXPECT_EQ(r.value("MARCO"), "0");
        EXPECT_EQ(r.value("MARCOXML"), "A");
        EXPECT_EQ(r.value("TEXTODIA"), "");
        EXPECT_EQ(r.value("DIHO"), r.value("DIA") + r.value("HORA"));
    }

    const Row first = all.at(0);
    EXPECT_EQ(first.value("CODDIHO"), "101");
    EXPECT_EQ(first.value("DIA"), "1");
    EXPECT_EQ(first.value("HORA"), "1");
    EXPECT_EQ(first.value("TEXTOHOR"), "Primera hora");
    EXPECT_EQ(first.value("HORADESDE"), "08:00");
    EXPECT_EQ(first.value("HORAHASTA"), "09:00");
    EXPECT_EQ(first.value("MINUTOS"), "60");

    const Row second = all.at(1);
    EXPECT_EQ(second.value("TEXTOHOR"), QStringLiteral("Recreo de medio")); // cut to 15
    EXPECT_EQ(second.value("HORADESDE"), "00:00");
    EXPECT_EQ(second.value("HORAHASTA"), "00:30");
    EXPECT_EQ(second.value("MINUTOS"), "30");

    const Row third = all.at(2);
    EXPECT_EQ(third.value("CODDIHO"), "105"); // the slots of Z and without frame left no gap
    EXPECT_EQ(third.value("HORA"), "3");
    EXPECT_EQ(third.value("HORADESDE"), "16:45");
    EXPECT_EQ(third.value("MINUTOS"), "-5");
}

TEST_F(DiasHoras, TwoFramesAreNumberedApartAndInterleaved) {
    // A has six slots, B four; they alternate in the document.
    QList<QStringList> slots;
    for (int i = 0; i < 6; ++i) {
        slots << slot(QString("A%1").arg(i + 1), "a", QString::number(900 + 60 * i),
                      QString::number(960 + 60 * i), "A");
        if (i < 4)
            slots << slot(QString("B%1").arg(i + 1), "b", QString::number(480 + 60 * i),
                          QString::number(540 + 60 * i), "B");
    }
    answer({0, 1});
    run({{"JORNADAS_ESCOLARES", {frame("A"), frame("B")}}, {"TRAMOS_HORARIOS", slots}});

    EXPECT_EQ(host.plantillasShown, 1);
    EXPECT_FALSE(repeated);
    const QList<Row> all = rows();
    ASSERT_EQ(all.size(), 70);
    for (int day = 1; day <= 7; ++day) {
        SCOPED_TRACE(day);
        const QList<Row> today = ofDay(all, day);
        const QString d = QString::number(day);
        EXPECT_EQ(column(today, "CODDIHO"),
                  QStringList({"A1", "B1", "A2", "B2", "A3", "B3", "A4", "B4", "A5", "A6"}));
        EXPECT_EQ(column(ofFrame(today, "A"), "DIHO"),
                  QStringList({d + "1", d + "2", d + "3", d + "4", d + "5", d + "6"}));
        EXPECT_EQ(column(ofFrame(today, "B"), "DIHO"),
                  QStringList({d + "1", d + "2", d + "3", d + "4"}));
        EXPECT_EQ(column(ofFrame(today, "B"), "HORA"), QStringList({"1", "2", "3", "4"}));
    }
    // B starts earlier in the day, so it is frame 0 although it comes second.
    for (const Row& r : all)
        EXPECT_EQ(r.value("MARCO"), r.value("MARCOXML") == "A" ? "1" : "0");
}

struct RankCase {
    const char* name;
    QString beginA, beginB;
    QString rankA, rankB;
};

TEST_F(DiasHoras, FramesAreRankedByTheirFirstSlot) {
    const RankCase cases[] = {
        {"B earlier", "900", "480", "1", "0"},
        {"A earlier", "480", "900", "0", "1"},
        {"equal starts go to the first", "480", "480", "0", "1"},
    };
    for (const RankCase& c : cases) {
        SCOPED_TRACE(c.name);
        answer({0, 1});
        run({{"JORNADAS_ESCOLARES", {frame("A"), frame("B")}},
             {"TRAMOS_HORARIOS",
              {slot("1", "a", c.beginA, "1000", "A"), slot("2", "b", c.beginB, "1000", "B")}}});
        for (const Row& r : rows())
            EXPECT_EQ(r.value("MARCO"), r.value("MARCOXML") == "A" ? c.rankA : c.rankB);
    }
}

TEST_F(DiasHoras, ChosenFramesComeInDocumentOrder) {
    // The user picks C and A of A, B, C; B's slots leave no records and no gaps.
    answer({2, 0});
    run({{"JORNADAS_ESCOLARES", {frame("A"), frame("B"), frame("C")}},
         {"TRAMOS_HORARIOS",
          {slot("c1", "c", "900", "960", "C"), slot("b1", "b", "400", "460", "B"),
           slot("a1", "a", "480", "540", "A"), slot("b2", "b", "460", "520", "B"),
           slot("a2", "a", "540", "600", "A"), slot("c2", "c", "960", "1020", "C")}}});
    const QList<Row> day1 = ofDay(rows(), 1);
    EXPECT_EQ(column(day1, "CODDIHO"), QStringList({"c1", "a1", "a2", "c2"}));
    EXPECT_EQ(column(day1, "DIHO"), QStringList({"11", "11", "12", "12"}));
    EXPECT_EQ(column(day1, "MARCO"), QStringList({"1", "0", "0", "1"}));
    EXPECT_EQ(rows().size(), 28);
}

TEST_F(DiasHoras, TenOrMoreSlotsGiveThreeDigitNumbers) {
    QList<QStringList> slots;
    for (int i = 1; i <= 11; ++i)
        slots << slot(QString::number(i), "h", QString::number(420 + 50 * i),
                      QString::number(470 + 50 * i), "A");
    run({{"JORNADAS_ESCOLARES", {frame("A")}}, {"TRAMOS_HORARIOS", slots}});
    const QStringList diho = column(rows(), "DIHO");
    ASSERT_EQ(diho.size(), 77);
    EXPECT_EQ(diho.mid(8, 3), QStringList({"19", "110", "111"}));
    EXPECT_EQ(diho.mid(74, 3), QStringList({"79", "710", "711"}));
    EXPECT_EQ(column(rows(), "HORA").mid(9, 2), QStringList({"10", "11"}));
}

TEST_F(DiasHoras, OneOfTwoFramesChosenPassesOverSlotsWithoutFrame) {
    answer({1});
    run({{"JORNADAS_ESCOLARES", {frame("A"), frame("B")}},
         {"TRAMOS_HORARIOS",
          {slot("x", "sin marco", "400", "460", ""), slot("b1", "b", "480", "540", "B"),
           slot("a1", "a", "480", "540", "A"), slot("b2", "b", "540", "600", " B ")}}});
    const QList<Row> all = rows();
    EXPECT_EQ(all.size(), 14);
    EXPECT_EQ(column(ofDay(all, 2), "CODDIHO"), QStringList({"b1", "b2"}));
    EXPECT_EQ(column(ofDay(all, 2), "DIHO"), QStringList({"21", "22"}));
    for (const Row& r : all)
        EXPECT_EQ(r.value("MARCO"), "0");
}

TEST_F(DiasHoras, LongCodesAreComparedOnTheirFirstTenCharacters) {
    // A single 20-character code stays one frame; slots naming its second half are not
    // taken for a second frame.
    run({{"JORNADAS_ESCOLARES", {frame("ABCDEFGHIJKLMNOPQRST")}},
         {"TRAMOS_HORARIOS",
          {slot("1", "a", "480", "540", "ABCDEFGHIJKLMNOPQRST"),
           slot("2", "b", "540", "600", "ABCDEFGHIJxx"),
           slot("3", "c", "300", "360", "KLMNOPQRST")}}});
    const QList<Row> day1 = ofDay(rows(), 1);
    EXPECT_EQ(column(day1, "CODDIHO"), QStringList({"1", "2"}));
    EXPECT_EQ(column(day1, "MARCOXML"), QStringList({"ABCDEFGHIJ", "ABCDEFGHIJ"}));
    EXPECT_EQ(column(day1, "MARCO"), QStringList({"0", "0"}));
}

TEST_F(DiasHoras, FrameCodesKeepTheirSlotsAndRank) {
    // A code whose 10-character cut ends in a blank, and codes with characters the table
    // cannot hold ("?" in MARCOXML), through the one-frame and the two-frame paths.
    struct Case {
        const char* name;
        QStringList frames;
        QList<QStringList> slots;
        QMap<QString, QStringList> marcoByCode; // MARCOXML -> MARCO of day 1, in order
    };
    const Case cases[] = {
        {"one frame, cut ends in a blank",
         {"JORNADA A TARDE"},
         {slot("1", "a", "900", "960", "JORNADA A TARDE"),
          slot("2", "b", "960", "1020", " JORNADA A TARDE ")},
         {{"JORNADA A", {"0", "0"}}}},
        {"one frame, character outside the code page",
         {"Turno Ω"},
         {slot("1", "a", "480", "540", "Turno Ω")},
         {{"Turno ?", {"0"}}}},
        {"two frames, cut ends in a blank",
         {"JORNADA A TARDE", "JORNADA B"},
         {slot("1", "a", "900", "960", "JORNADA A TARDE"),
          slot("2", "b", "480", "540", "JORNADA B"),
          slot("3", "a", "960", "1020", "JORNADA A TARDE")},
         {{"JORNADA A", {"1", "1"}}, {"JORNADA B", {"0"}}}},
        {"two frames, character outside the code page",
         {"Turno M", "Turno Ω"},
         {slot("1", "m", "900", "960", "Turno M"), slot("2", "t", "480", "540", "Turno Ω")},
         {{"Turno M", {"1"}}, {"Turno ?", {"0"}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QList<QStringList> frames;
        for (const QString& f : c.frames)
            frames << frame(f);
        answer({0, 1});
        run({{"JORNADAS_ESCOLARES", frames}, {"TRAMOS_HORARIOS", c.slots}});
        const QList<Row> day1 = ofDay(rows(), 1);
        QMap<QString, QStringList> marcoByCode;
        for (const Row& r : day1)
            marcoByCode[r.value("MARCOXML")] << r.value("MARCO");
        EXPECT_EQ(marcoByCode, c.marcoByCode);
        EXPECT_EQ(rows().size(), 7 * day1.size());
    }
}

TEST_F(DiasHoras, InvalidChoiceShowsANewDialog) {
    int showing = 0;
    host.onPlantillas = [&showing](PlantillasLogic& dialog) {
        ++showing;
        dialog.activate();
        EXPECT_TRUE(dialog.selectedRows().isEmpty()); // each showing starts afresh
        if (showing == 1)
            dialog.setSelection({0, 1, 2});
        else if (showing == 3)
            dialog.setSelection({1});
        dialog.proceed();
    };
    run({{"JORNADAS_ESCOLARES", {frame("A"), frame("B"), frame("C")}},
         {"TRAMOS_HORARIOS",
          {slot("a1", "a", "480", "540", "A"), slot("b1", "b", "480", "540", "B")}}});
    EXPECT_EQ(host.plantillasShown, 3);
    EXPECT_TRUE(repeated);
    ASSERT_EQ(host.messages.size(), 2);
    EXPECT_TRUE(host.messages[0].startsWith("Demasiados Marcos Horarios seleccionados."));
    EXPECT_EQ(host.messages[1], "Debe al menos seleccionar 1 Marco Horario.");
    EXPECT_EQ(column(rows(), "CODDIHO"), QStringList(7, "b1"));
}

TEST_F(DiasHoras, HostThatNeverClosesTheDialogEndsTheRun) {
    host.onPlantillas = [](PlantillasLogic& dialog) { dialog.activate(); };
    try {
        run({{"JORNADAS_ESCOLARES", {frame("A"), frame("B")}}});
        FAIL() << "no error";
    } catch (const RunError& e) {
        EXPECT_TRUE(e.message().startsWith("DIASHORAST:")) << e.what();
    }
    EXPECT_EQ(host.plantillasShown, 1);
}

TEST_F(DiasHoras, NoFrameWritesAnEmptyTable) {
    // Also replaces the table of an earlier run.
    run({{"JORNADAS_ESCOLARES", {frame("A")}},
         {"TRAMOS_HORARIOS", {slot("1", "a", "480", "540", "A")}}});
    ASSERT_EQ(rows().size(), 7);
    run({{"TRAMOS_HORARIOS", {slot("1", "a", "480", "540", ""), slot("2", "b", "1", "2", "")}}});
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_EQ(host.plantillasShown, 0);
}

TEST_F(DiasHoras, NonNumericTimeEndsTheRunWithTheTableHalfWritten) {
    try {
        run({{"JORNADAS_ESCOLARES", {frame("A")}},
             {"TRAMOS_HORARIOS",
              {slot("1", "a", "480", "540", "A"), slot("2", "b", "9:00", "600", "A")}}});
        FAIL() << "no error";
    } catch (const RunError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("DIASHORAST: el inicio del registro 2 del grupo "
                                              "TRAMOS_HORARIOS no es un número entero de "
                                              "minutos: '9:00'"));
    }
    const QList<Row> all = rows();
    ASSERT_EQ(all.size(), 1);
    EXPECT_EQ(all[0].value("MARCO"), ""); // never ranked
}

TEST_F(DiasHoras, ShortTimesGetOneLeadingZeroOnly) {
    // Short values get one "0" in front: " 5 " reads 5, but "+5" becomes "0+5", no number.
    run({{"JORNADAS_ESCOLARES", {frame("A")}},
         {"TRAMOS_HORARIOS", {slot("1", "a", " 5 ", "0065", "A")}}});
    const Row r = rows().at(0);
    EXPECT_EQ(r.value("HORADESDE"), "00:05");
    EXPECT_EQ(r.value("HORAHASTA"), "01:05");
    EXPECT_EQ(r.value("MINUTOS"), "60");

    EXPECT_THROW(run({{"JORNADAS_ESCOLARES", {frame("A")}},
                      {"TRAMOS_HORARIOS", {slot("1", "a", "+5", "60", "A")}}}),
                 RunError);
}

} // namespace
