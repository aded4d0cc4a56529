#include "StepFixture.h"

using step_docs::group;
using step_docs::Items;

namespace {

class Profesores : public StepTest {
protected:
    // An employee record: key, date, department and the three name parts.
    static Items teacher(const QString& key, const QString& a, const QString& b, const QString& c) {
        return {key, "01/09/2010", "Dpto", a, b, c};
    }
};

TEST_F(Profesores, RowContents) {
    load({group("EMPLEADOS",
                {{" E001 ", " 01/09/2010 ", " Matemáticas ", " Juan ", " García ", " Pérez "},
                 {"E002"},
                 {"E003", "02/09/2011"},
                 {"E004567890123", "2012-09-01T00:00:00", "D", "Ana", "", "Ruiz"}})});
    run(CrearProfesores);
    const QList<QStringList> expected{
        {"JGP", "Juan García Pérez", "Matemáticas", "E001", "01/09/2010", ""},
        // Two items: the rest of the record reads as empty; the name of two blanks
        // reads back as empty, like any trailing blanks of a field.
        {"", "", "", "E003", "02/09/2011", ""},
        {"AR", "Ana  Ruiz", "D", "E004567890", "2012-09-01", ""},
    };
    EXPECT_EQ(rows("PROFT", {"ABREV", "NOMBRE", "DEPART", "X_EMPLEADO", "F_TOMAPOS", "EMAIL"}),
              expected);

    tables::Table t;
    t.open(workDir(), "PROFT");
    for (t.first(); !t.atEnd(); t.next())
        EXPECT_TRUE(t.isNull("DNI"));
}

TEST_F(Profesores, Layout) {
    load({});
    run(CrearProfesores);
    EXPECT_EQ(layout("PROFT"), QStringList({"ABREV C10", "NOMBRE C80", "DEPART C40", "DNI I",
                                            "X_EMPLEADO C10", "F_TOMAPOS C10", "EMAIL C100"}));
    EXPECT_EQ(rows("PROFT", {"ABREV"}), QList<QStringList>());
}

TEST_F(Profesores, AbbreviationsAreUniqueWithoutRegardToCase) {
    struct Case {
        const char* name;
        QList<Items> teachers;
        QStringList expected;
    };
    const Case cases[] = {
        {"same initials count up from 1",
         {teacher("1", "Juan", "García", "Pérez"), teacher("2", "José", "Gil", "Pons"),
          teacher("3", "Jaime", "Gómez", "Puig")},
         {"JGP", "JGP1", "JGP2"}},
        {"initials in another case are taken",
         {teacher("1", "Juan", "García", "Pérez"), teacher("2", "juan", "garcía", "pérez"),
          teacher("3", "Juan", "Gil", "Pons"), teacher("4", "juan", "Gil", "pons")},
         {"JGP", "jgp1", "JGP2", "jGp3"}},
        {"accented initials in another case are taken",
         {teacher("1", "Ángel", "Úbeda", "Ñúñez"), teacher("2", "ángel", "úbeda", "ñúñez"),
          teacher("3", "Angel", "Ubeda", "Nuñez")},
         {"ÁÚÑ", "áúñ1", "AUN"}},
        {"empty names: empty, then counted",
         {teacher("1", "", "", ""), teacher("2", "", "", ""), teacher("3", "", "", "")},
         {"", "1", "2"}},
        {"an empty part contributes nothing",
         {teacher("1", "Juan", "", "Pérez"), teacher("2", "", "García", "")},
         {"JP", "G"}},
        // No character is dropped to make room for the counter, and a counted code that
        // another teacher's initials already hold is passed over.
        {"counted codes meet real initials",
         {teacher("1", "Juan", "García", ""), teacher("2", "Juan", "García", ""),
          teacher("3", "Juan", "García", "1"), teacher("4", "Juan", "García", "2"),
          teacher("5", "Juan", "García", ""), teacher("6", "Juan", "García", "1")},
         {"JG", "JG1", "JG11", "JG2", "JG3", "JG12"}},
        {"numbers past 9",
         QList<Items>(12, teacher("1", "X", "Y", "Z")),
         {"XYZ", "XYZ1", "XYZ2", "XYZ3", "XYZ4", "XYZ5", "XYZ6", "XYZ7", "XYZ8", "XYZ9", "XYZ10",
          "XYZ11"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        load({group("EMPLEADOS", c.teachers)});
        run(CrearProfesores);
        EXPECT_EQ(column("PROFT", "ABREV"), c.expected);
    }
}

// The list of codes belongs to one run: a second run starts again from the bare initials.
TEST_F(Profesores, EachRunStartsAfresh) {
    load({group("EMPLEADOS",
                {teacher("1", "Juan", "García", "Pérez"), teacher("2", "Juan", "Gil", "Pons")})});
    run(CrearProfesores);
    run(CrearProfesores);
    EXPECT_EQ(column("PROFT", "ABREV"), QStringList({"JGP", "JGP1"}));
}

} // namespace
