#include "StepFixture.h"

using step_docs::group;

namespace {

class Aulas : public StepTest {};

TEST_F(Aulas, RowsWritten) {
    load({group("DEPENDENCIAS", {{" A01 ", " Aula 1 "},
                                 {"1234567890", "Diez", "ignorado"},
                                 {"DEPENDENCIA12", "Doce"},
                                 {"solo"},
                                 {"DEPENDENCIA13", "Comparte los diez primeros"},
                                 {"", ""}})});
    run(CrearAulas);
    const QList<QStringList> expected{
        {"A01", "Aula 1", "", "A01"},
        {"1234567890", "Diez", "", "1234567890"},
        {"DEPENDENCI", "Doce", "", "DEPENDENCI"},
        {"DEPENDENCI", "Comparte los diez primeros", "", "DEPENDENCI"},
        {"", "", "", ""},
    };
    EXPECT_EQ(rows("AULAT", {"ABREV", "NOMBRE", "EDIFICIO", "DEPCENTRO"}), expected);

    tables::Table t;
    t.open(workDir(), "AULAT");
    for (t.first(); !t.atEnd(); t.next())
        EXPECT_TRUE(t.isNull("MAXALUM"));
}

TEST_F(Aulas, LayoutAndNoRooms) {
    const QStringList docs[] = {
        {}, {group("DEPENDENCIAS", {})}, {group("dependencias", {{"A", "B"}})}};
    for (const QStringList& groups : docs) {
        load(groups);
        run(CrearAulas);
        EXPECT_EQ(layout("AULAT"), QStringList({"ABREV C10", "NOMBRE C80", "EDIFICIO C1",
                                                "MAXALUM I", "DEPCENTRO C10"}));
        EXPECT_EQ(rows("AULAT", {"ABREV"}), QList<QStringList>());
    }
}

} // namespace
