#include "StepFixture.h"

#include "text/RunError.h"

#include <QFileInfo>

using step_docs::flatGroup;
using step_docs::group;

namespace {

const QStringList kFields{"CURSOANNO", "F_INICIO", "F_FIN"};

// A group of records only, which never qualifies as the school-year group.
QString recordsOnly(const QString& seq) {
    return group(seq, {{"1", "uno"}, {"2", "dos"}});
}

QString frames(const QList<QStringList>& records) {
    return group("JORNADAS_ESCOLARES", records);
}

struct Case {
    const char* name;
    QStringList groups;
    QList<QStringList> expected;
};

class Periodos : public StepTest {};

TEST_F(Periodos, RowsWritten) {
    const QString year = flatGroup("ANNO", {" 2017 ", " 01/09/2017", "30/06/2018  "});
    const QString frame = frames({{"J1", "Jornada", "15/09/2017", "22/06/2018"}});
    const Case cases[] = {
        {"complete group, frame not consulted",
         {year, recordsOnly("CURSOS"), frame},
         {{"2017", "01/09/2017", "30/06/2018"}}},
        {"missing end: both dates from the first frame",
         {flatGroup("ANNO", {"2017", "01/09/2017", ""}), frame},
         {{"2017", "15/09/2017", "22/06/2018"}}},
        {"missing start: both dates from the first frame",
         {flatGroup("ANNO", {"2017", "", "30/06/2018"}), frame},
         {{"2017", "15/09/2017", "22/06/2018"}}},
        {"only two items: no end, dates from the frame",
         {flatGroup("ANNO", {"2017", "01/09/2017"}), frame},
         {{"2017", "15/09/2017", "22/06/2018"}}},
        {"only the first frame counts",
         {flatGroup("ANNO", {"2017", "01/09/2017", ""}),
          frames({{"J1", "Uno", "15/09/2017", "22/06/2018"}, {"J2", "Dos", "x", "y"}})},
         {{"2017", "15/09/2017", "22/06/2018"}}},
        {"first frame with one item leaves the dates",
         {flatGroup("ANNO", {"2017", "01/09/2017", ""}), frames({{"J1"}})},
         {{"2017", "01/09/2017", ""}}},
        {"first frame with three items: empty end",
         {flatGroup("ANNO", {"2017", "01/09/2017", ""}), frames({{"J1", "Uno", "15/09/2017"}})},
         {{"2017", "15/09/2017", ""}}},
        {"no frames group leaves the dates",
         {flatGroup("ANNO", {"2017", "", "30/06/2018"})},
         {{"2017", "", "30/06/2018"}}},
        {"long values cut to the widths",
         {flatGroup("ANNO", {"2017-18", "01/09/2017 08:00", "30/06/2018 14:00"})},
         {{"2017", "01/09/2017", "30/06/2018"}}},
        {"school year in the second group",
         {recordsOnly("CURSOS"), year},
         {{"2017", "01/09/2017", "30/06/2018"}}},
        {"a group with one item is passed over",
         {flatGroup("X", {"solo"}), year},
         {{"2017", "01/09/2017", "30/06/2018"}}},
        {"both groups give a row; the frame completes only the last",
         {flatGroup("A", {"2016", "01/09/2016", ""}), flatGroup("B", {"2017", "", "30/06/2018"}),
          frame},
         {{"2016", "01/09/2016", ""}, {"2017", "15/09/2017", "22/06/2018"}}},
        {"second group complete: the first keeps its gap",
         {flatGroup("A", {"2016", "01/09/2016", ""}), year, frame},
         {{"2016", "01/09/2016", ""}, {"2017", "01/09/2017", "30/06/2018"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        load(c.groups);
        run(CrearPeriodos);
        EXPECT_EQ(rows("PERIODOS", kFields), c.expected);
    }
}

TEST_F(Periodos, Layout) {
    load({flatGroup("ANNO", {"2017", "01/09/2017", "30/06/2018"})});
    run(CrearPeriodos);
    EXPECT_EQ(layout("PERIODOS"), QStringList({"CURSOANNO C4", "F_INICIO C10", "F_FIN C10"}));
}

// Without a school-year group there is no row to complete: the run ends with the table
// store's error and an empty PERIODOS, whatever an earlier run left.
TEST_F(Periodos, NoQualifyingGroupEndsTheRun) {
    const QStringList docs[] = {
        {recordsOnly("A"), recordsOnly("B"),
         frames({{"J1", "Jornada", "15/09/2017", "22/06/2018"}})},
        {recordsOnly("A"), recordsOnly("B"), flatGroup("C", {"2017", "01/09/2017", "30/06/2018"})},
        {flatGroup("ANNO", {"2017"})},
        {},
    };
    for (const QStringList& groups : docs) {
        SCOPED_TRACE(groups.join(QString()).toStdString());
        load({flatGroup("ANNO", {"2015", "01/09/2015", "30/06/2016"})});
        run(CrearPeriodos);
        ASSERT_EQ(rows("PERIODOS", kFields).size(), 1);

        load(groups);
        try {
            run(CrearPeriodos);
            ADD_FAILURE() << "no error";
        } catch (const RunError& e) {
            EXPECT_TRUE(e.message().contains("Dataset not in edit or insert mode")) << e.what();
        }
        EXPECT_TRUE(QFileInfo::exists(workDir() + "/PERIODOS.DBF"));
        EXPECT_EQ(rows("PERIODOS", kFields), QList<QStringList>());
    }
}

} // namespace
