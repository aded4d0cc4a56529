#include "StepFixture.h"

#include "tables/WorkingTables.h"
#include "text/RunError.h"

using step_docs::group;
using step_docs::Items;

namespace {

struct Course {
    QString key;
    QString level;
    QString course;
    QString name;
};

class Grupos : public StepTest {
protected:
    // CURSOST as the courses step and the course dialog leave it.
    void writeCourses(const QList<Course>& courses) {
        tables::DeleteTable(workDir(), "CURSOST");
        tables::CreateTable(workDir(), "CURSOST", tables::CURSOST::fields());
        tables::Table t;
        t.open(workDir(), "CURSOST");
        for (const Course& c : courses) {
            t.append();
            t.setText("NIVEL", c.level);
            t.setText("CURSO", c.course);
            t.setText("CLAVE", c.key);
            t.setText("ESTUD", c.name);
            t.post();
        }
        t.close();
    }

    // A unit record: its key, a name, the key of its course offer.
    static Items unit(const QString& key, const QString& courseKey) {
        return {key, "Unidad " + key, courseKey};
    }

    void runUnits(const QList<Items>& units) {
        load({group("UNIDADES", units)});
        run(CrearGrupos);
    }
};

const QList<Course> kCourses{
    {"C1", "ESO", "1", "1º de ESO"},
    {"C10", "ESO", "10", "Décimo de ESO"},
    {"C2", "eso", "1", "1º de eso"},
    {"B1", "BACHILLER", "2", "Bachillerato"},
    {"B2", "BACHI", "2", "Bachillerato de artes"},
    {"SN", "", "2", "Sin nivel"},
    {"C1", "FP", "9", "Segunda fila de C1"},
};

TEST_F(Grupos, RowContents) {
    writeCourses(kCourses);
    runUnits({{" U1 ", " Primero A ", " C1 "},
              {"U2"},
              unit("U3", "C1"),
              unit("U4", "C10"),
              unit("U5", "NOHAY"),
              unit("U6", "c1"),
              {"U7", "Sin curso"},
              unit("U8", "SN"),
              unit("U9", "B1"),
              unit("U10", "B2")});
    const QList<QStringList> expected{
        {"ESO1A", "", "ESO", "1", "A", "U1", "C1", "1º de ESO", "0"},
        {"ESO1B", "", "ESO", "1", "B", "U3", "C1", "1º de ESO", "0"},
        // Only the first character of the course counts: 1 and 10 share the letters.
        {"ESO1C", "", "ESO", "10", "C", "U4", "C10", "Décimo de ESO", "0"},
        // Keys match exactly; units without a course get the letter alone and NIV.
        {"A", "", "NIV", "", "A", "U5", "NOHAY", "", "0"},
        {"B", "", "NIV", "", "B", "U6", "c1", "", "0"},
        {"C", "", "NIV", "", "C", "U7", "", "", "0"},
        // The level is empty when the abbreviation is formed.
        {"2A", "", "NIV", "2", "A", "U8", "SN", "Sin nivel", "0"},
        // Levels are kept to 5 characters: both share one sequence.
        {"BACHI2A", "", "BACHI", "2", "A", "U9", "B1", "Bachillerato", "0"},
        {"BACHI2B", "", "BACHI", "2", "B", "U10", "B2", "Bachillerato de artes", "0"},
    };
    EXPECT_EQ(rows("GRUPOST", {"ABREV", "TURNO", "NIVEL", "CURSO", "GRUPO", "CLAVE", "CLAVECURSO",
                               "DESCRIP", "MARCO"}),
              expected);
}

TEST_F(Grupos, Layout) {
    writeCourses({});
    runUnits({});
    EXPECT_EQ(layout("GRUPOST"),
              QStringList({"ABREV C10", "TURNO C1", "NIVEL C5", "CURSO C3", "GRUPO C2", "CLAVE C10",
                           "CLAVECURSO C10", "DESCRIP C80", "MARCO C1"}));
    EXPECT_EQ(rows("GRUPOST", {"ABREV"}), QList<QStringList>());
}

TEST_F(Grupos, AbbreviationsAreUniqueWithoutRegardToCase) {
    writeCourses(kCourses);
    struct Case {
        const char* name;
        QList<Items> units;
        QStringList expected;
    };
    const Case cases[] = {
        {"three units of one course",
         {unit("U1", "C1"), unit("U2", "C1"), unit("U3", "C1")},
         {"ESO1A", "ESO1B", "ESO1C"}},
        {"a level in another case takes the next letter",
         {unit("U1", "C2"), unit("U2", "C1"), unit("U3", "C2")},
         {"eso1A", "ESO1B", "eso1C"}},
        {"units without a course",
         {unit("U1", "X"), unit("U2", "Y"), unit("U3", "SN"), unit("U4", "Z"), unit("U5", "SN")},
         {"A", "B", "2A", "C", "2B"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        runUnits(c.units);
        EXPECT_EQ(column("GRUPOST", "ABREV"), c.expected);
    }
}

// After Z come the characters that follow it in code order; lower-case letters are
// passed over, as their capitals are taken.
TEST_F(Grupos, LettersPastZ) {
    writeCourses(kCourses);
    QList<Items> units;
    for (int i = 0; i < 34; ++i)
        units << unit(QString::number(i), "C1");
    runUnits(units);
    QStringList expected;
    for (char16_t c = 'A'; c <= 'Z'; ++c)
        expected << QStringLiteral("ESO1") + QChar(c);
    for (const char* c : {"[", "\\", "]", "^", "_", "`", "{", "|"})
        expected << QStringLiteral("ESO1") + QLatin1String(c);
    EXPECT_EQ(column("GRUPOST", "ABREV"), expected);
    const QStringList letters = column("GRUPOST", "GRUPO");
    EXPECT_EQ(letters.mid(24, 4), QStringList({"Y", "Z", "[", "\\"}));
}

TEST_F(Grupos, CoursesTableIsNeeded) {
    tables::DeleteTable(workDir(), "CURSOST");
    load({group("UNIDADES", {unit("U1", "C1")})});
    EXPECT_THROW(run(CrearGrupos), RunError);
}

// The courses table is taken for exclusive use: another holder makes the step fail.
TEST_F(Grupos, CoursesTableHeldElsewhere) {
    writeCourses(kCourses);
    tables::Table held;
    held.open(workDir(), "CURSOST");
    load({group("UNIDADES", {unit("U1", "C1")})});
    EXPECT_THROW(run(CrearGrupos), RunError);
}

} // namespace
