#include "import/PlantillasLogic.h"

#include "FramesFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace frames_fixture;

namespace {

const QString kTooMany = QStringLiteral(
    "Demasiados Marcos Horarios seleccionados.\nComo máximo puede seleccionar 2 Marcos Horarios");
const QString kNone = QStringLiteral("Debe al menos seleccionar 1 Marco Horario.");

// Three frames, the middle one with blanks around its code and a repeated code at the end.
exchange::Document threeFrames() {
    return document({
        {"JORNADAS_ESCOLARES",
         {frame("A", "Mañana", "01/09/2024", "30/06/2025"),
          frame(" B ", " Tarde ", " desde 1 ", " hasta 2 "), frame("C", "Noche", "c2", "c3")}},
        {"TRAMOS_HORARIOS",
         {slot("1", "1ª A", "480", "540", "A"), slot("2", "1ª B", "900", "960", " B "),
          slot("3", "2ª A", "540", "600", "A"), slot("4", "1ª B recortado", "900", "960", "B")}},
    });
}

TEST(PlantillasLogic, ActivationFillsListsAndShowsFirstFrame) {
    ScriptedHost host;
    const auto doc = threeFrames();
    PlantillasLogic logic(host, doc);
    logic.activate();

    EXPECT_EQ(logic.marcos(), QStringList({"A", " B ", "C"})); // untrimmed
    EXPECT_EQ(logic.focusRow(), 0);
    EXPECT_EQ(logic.focusedFrame(), "A");
    EXPECT_EQ(logic.nombre(), QStringLiteral("Mañana"));
    EXPECT_EQ(logic.planFec1(), "01/09/2024");
    EXPECT_EQ(logic.planFec2(), "30/06/2025");
    EXPECT_EQ(logic.horas(), QStringList({QStringLiteral("1ª A"), QStringLiteral("2ª A")}));
    EXPECT_TRUE(logic.selectedRows().isEmpty());
    EXPECT_FALSE(logic.closed());
    EXPECT_TRUE(host.messages.isEmpty());
}

TEST(PlantillasLogic, FocusShowsUntrimmedDetailsAndExactlyMatchingSlots) {
    ScriptedHost host;
    const auto doc = threeFrames();
    PlantillasLogic logic(host, doc);
    logic.activate();

    logic.focusFrame(1);
    EXPECT_EQ(logic.focusedFrame(), " B ");
    EXPECT_EQ(logic.nombre(), " Tarde ");
    EXPECT_EQ(logic.planFec1(), " desde 1 ");
    EXPECT_EQ(logic.planFec2(), " hasta 2 ");
    // The slot naming "B" without the blanks is not this frame's.
    EXPECT_EQ(logic.horas(), QStringList({QStringLiteral("1ª B")}));

    // A frame that no slot names leaves the slot list empty.
    logic.focusFrame(2);
    EXPECT_EQ(logic.nombre(), "Noche");
    EXPECT_TRUE(logic.horas().isEmpty());

    // No entry in focus: nothing matches.
    logic.focusFrame(-1);
    EXPECT_EQ(logic.focusRow(), -1);
    EXPECT_EQ(logic.nombre(), "-");
    EXPECT_EQ(logic.planFec1(), "-");
    EXPECT_EQ(logic.planFec2(), "-");
}

TEST(PlantillasLogic, RepeatedCodeShowsTheLastFrame) {
    ScriptedHost host;
    const auto doc = document({
        {"JORNADAS_ESCOLARES",
         {frame("A", "Primero", "p1", "p2"), frame("B", "Otro"), frame("A", "Último", "u1", "")}},
        {"TRAMOS_HORARIOS", {slot("1", "x", "480", "540", "A"), slot("2", "y", "480", "540", "B")}},
    });
    PlantillasLogic logic(host, doc);
    logic.activate();
    EXPECT_EQ(logic.nombre(), QStringLiteral("Último"));
    EXPECT_EQ(logic.planFec1(), "u1");
    EXPECT_EQ(logic.planFec2(), "");
}

TEST(PlantillasLogic, SingleSlotDocumentNeverFillsTheSlotList) {
    ScriptedHost host;
    const auto doc = document({
        {"JORNADAS_ESCOLARES", {frame("A", "Uno"), frame("B", "Dos")}},
        {"TRAMOS_HORARIOS", {slot("1", "solo", "480", "540", "A")}},
    });
    PlantillasLogic logic(host, doc);
    logic.activate();
    EXPECT_EQ(logic.nombre(), "Uno");
    EXPECT_TRUE(logic.horas().isEmpty());
}

TEST(PlantillasLogic, ShortFramesAndSlotsReadAsEmptyItems) {
    ScriptedHost host;
    const auto doc = document({
        {"JORNADAS_ESCOLARES", {{"A"}, {"B", "Dos"}}},
        {"TRAMOS_HORARIOS", {{"1", "sin marco"}, {"2", "tampoco"}}},
    });
    PlantillasLogic logic(host, doc);
    logic.activate();
    EXPECT_EQ(logic.nombre(), "");
    EXPECT_TRUE(logic.horas().isEmpty());
    logic.focusFrame(-1); // the empty frame in focus names the slots without a frame
    EXPECT_EQ(logic.horas(), QStringList({"sin marco", "tampoco"}));
}

struct CloseCase {
    const char* name;
    QStringList codes;
    QList<int> selected;
    bool resultMH;
    QString resultado;
    QStringList messages;
};

TEST(PlantillasLogic, ClosingValidatesAndComposesInListOrder) {
    const CloseCase cases[] = {
        {"none", {"A", "B", "C"}, {}, false, "", {kNone}},
        {"one", {"A", "B", "C"}, {1}, true, "B         ", {}},
        {"two in list order", {"A", "B", "C"}, {2, 0}, true, "A         C         ", {}},
        {"three", {"A", "B", "C"}, {0, 1, 2}, false, "A         B         C         ", {kTooMany}},
        {"3 characters padded", {"ABC", "X"}, {0}, true, "ABC       ", {}},
        {"12 characters cut", {"ABCDEFGHIJKL", "X"}, {0}, true, "ABCDEFGHIJ", {}},
        {"exactly 10", {"ABCDEFGHIJ", "X"}, {1, 0}, true, "ABCDEFGHIJX         ", {}},
        {"blanks kept", {" B ", "X"}, {0}, true, " B        ", {}},
    };
    for (const CloseCase& c : cases) {
        SCOPED_TRACE(c.name);
        QList<Group> groups = {{"JORNADAS_ESCOLARES", {}}};
        for (const QString& code : c.codes)
            groups[0].records << frame(code);
        const auto doc = document(groups);
        ScriptedHost host;
        PlantillasLogic logic(host, doc);
        logic.activate();
        logic.setSelection(c.selected);
        logic.proceed();
        EXPECT_TRUE(logic.closed());
        EXPECT_EQ(logic.resultMH, c.resultMH);
        EXPECT_EQ(logic.resultado, c.resultado);
        EXPECT_EQ(host.messages, c.messages);
    }
}

TEST(PlantillasLogic, ActivatingAgainEmptiesTheSelection) {
    ScriptedHost host;
    const auto doc = threeFrames();
    PlantillasLogic logic(host, doc);
    logic.activate();
    logic.setSelected(0, true);
    logic.setSelected(2, true);
    logic.setSelected(2, false);
    logic.setSelected(7, true); // outside the list: ignored
    EXPECT_EQ(logic.selectedRows(), QList<int>({0}));
    logic.focusFrame(2);
    logic.activate();
    EXPECT_TRUE(logic.selectedRows().isEmpty());
    EXPECT_EQ(logic.focusRow(), 0);
    EXPECT_EQ(logic.nombre(), QStringLiteral("Mañana"));
}

struct CodesCase {
    const char* name;
    QStringList codes;
    PlantillasLogic::Choice status;
    QString resultado;
    QStringList unknown;
};

TEST(PlantillasLogic, ChoiceByCodes) {
    using C = PlantillasLogic::Choice;
    const CodesCase cases[] = {
        {"one", {"C"}, C::Ok, "C         ", {}},
        {"reordered", {"C", "A"}, C::Ok, "A         C         ", {}},
        {"blanks on both sides", {"  B", "A "}, C::Ok, "A          B        ", {}},
        {"repeated code counts once", {"A", "A"}, C::Ok, "A         ", {}},
        {"unknown", {"A", "Z", "y"}, C::Unknown, "", {"Z", "y"}},
        {"case matters", {"a"}, C::Unknown, "", {"a"}},
        {"three", {"A", "B", "C"}, C::TooMany, "", {}},
        {"none", {}, C::None, "", {}},
        {"only blanks", {"  ", ""}, C::None, "", {}},
    };
    for (const CodesCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedHost host;
        const auto doc = threeFrames();
        PlantillasLogic logic(host, doc);
        const auto outcome = logic.chooseByCodes(c.codes);
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_EQ(outcome.unknown, c.unknown);
        EXPECT_EQ(logic.resultMH, c.status == C::Ok);
        EXPECT_EQ(logic.closed(), c.status == C::Ok);
        EXPECT_EQ(logic.resultado, c.resultado);
        EXPECT_TRUE(host.messages.isEmpty());
    }
}

TEST(PlantillasLogic, ChoiceByCodesNamingRepeatedFramesIsTooMany) {
    ScriptedHost host;
    const auto doc =
        document({{"JORNADAS_ESCOLARES", {frame("A"), frame("B"), frame("A"), frame("C")}}});
    PlantillasLogic logic(host, doc);
    EXPECT_EQ(logic.chooseByCodes({"A", "B"}).status, PlantillasLogic::Choice::TooMany);
    EXPECT_EQ(logic.chooseByCodes({"A"}).status, PlantillasLogic::Choice::Ok);
    EXPECT_EQ(logic.resultado, "A         A         ");
}

TEST(PlantillasLogic, FramesForMessagesAreTrimmed) {
    ScriptedHost host;
    const auto doc = threeFrames();
    PlantillasLogic logic(host, doc);
    const auto frames = logic.frames();
    ASSERT_EQ(frames.size(), 3);
    EXPECT_EQ(frames[1].code, "B");
    EXPECT_EQ(frames[1].name, "Tarde");
    EXPECT_EQ(frames[0].name, QStringLiteral("Mañana"));
}

} // namespace
