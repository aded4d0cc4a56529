#include "import/ImportSteps.h"
#include "text/RunError.h"

#include "FramesFixture.h"
#include "TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace frames_fixture;
using testing_support::readFile;

namespace {

const QStringList kTables = {"ORIGENES_C", "NIVELES_C", "CUR_NIV_C", "AUTORIZA_C"};

class Catalogos : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ScriptedHost host;

    void run(const QList<Group>& groups) {
        const exchange::Document doc = document(groups);
        ImportContext ctx{doc, host, host, dir.path(), QString()};
        CrearCatalogos(ctx);
    }
    QString dbf(const QString& table) const { return dir.filePath(table + ".DBF"); }
    bool exists(const QString& table) const { return QFile::exists(dbf(table)); }
    QList<Row> rows(const QString& table) { return readRows(dir.path(), table); }
};

// One record of each catalogue.
QList<Group> fullDocument() {
    return {
        {"ORIGENES", {{"1", "LEC", "Lectiva"}}},
        {"NIVELES", {{"10", "ESO", "Secundaria"}}},
        {"CURSOS_NIVELES", {{"100", "10"}}},
        {"AUTORIZACIONES", {{"7", "8", "1", "10"}}},
    };
}

TEST_F(Catalogos, CopiesTheFourGroupsInDocumentOrder) {
    const QString long60 = QString(60, 'x');
    run({
        {"ORIGENES",
         {{" 12 ", " LEC ", " Lectiva "}, {"3", "COMP", long60}, {"99"}, {"12", "LEC", "otra"}}},
        {"NIVELES", {{"5", QString(35, 'c'), long60}, {"6"}}},
        {"CURSOS_NIVELES", {{"  200", "5  "}, {"201"}}},
        {"AUTORIZACIONES", {{"1", "2", "12", "5"}, {"4"}, {"-3", "+4", "0", "2147483647"}}},
    });

    const QList<Row> origenes = rows("ORIGENES_C");
    ASSERT_EQ(origenes.size(), 3); // the single-item record is passed over; duplicates stay
    EXPECT_EQ(column(origenes, "X_CATORIHOR"), QStringList({"12", "3", "12"}));
    EXPECT_EQ(column(origenes, "C_ORIHOR"), QStringList({"LEC", "COMP", "LEC"}));
    EXPECT_EQ(origenes[0].value("D_ORIHOR"), "Lectiva");
    EXPECT_EQ(origenes[1].value("D_ORIHOR"), QString(50, 'x'));

    const QList<Row> niveles = rows("NIVELES_C");
    ASSERT_EQ(niveles.size(), 1);
    EXPECT_EQ(niveles[0].value("X_NIVCONPAGLEG"), "5");
    EXPECT_EQ(niveles[0].value("C_NIVCON"), QString(30, 'c'));
    EXPECT_EQ(niveles[0].value("D_NIVCON"), QString(55, 'x'));

    const QList<Row> curNiv = rows("CUR_NIV_C");
    ASSERT_EQ(curNiv.size(), 1);
    EXPECT_EQ(curNiv[0].value("X_OFERTAMATRIG"), "200");
    EXPECT_EQ(curNiv[0].value("X_NIVCONPAGLEG"), "5");

    const QList<Row> autoriza = rows("AUTORIZA_C");
    ASSERT_EQ(autoriza.size(), 2);
    EXPECT_EQ(autoriza[0], Row({{"X_ORIHORACTETP", "1"},
                                {"X_ACTIVIDAD", "2"},
                                {"X_CATORIHOR", "12"},
                                {"X_NIVCONPAGLEG", "5"}}));
    EXPECT_EQ(autoriza[1], Row({{"X_ORIHORACTETP", "-3"},
                                {"X_ACTIVIDAD", "4"},
                                {"X_CATORIHOR", "0"},
                                {"X_NIVCONPAGLEG", "2147483647"}}));
}

TEST_F(Catalogos, OriginsWithoutTheOthersGiveEmptyTables) {
    run({{"ORIGENES", {{"1", "LEC", "Lectiva"}}}, {"NIVELES", {}}});
    EXPECT_EQ(rows("ORIGENES_C").size(), 1);
    for (const QString& t : kTables.mid(1)) {
        SCOPED_TRACE(t.toStdString());
        ASSERT_TRUE(exists(t));
        EXPECT_TRUE(rows(t).isEmpty());
    }
}

TEST_F(Catalogos, WithoutOriginsOnlyOriginsIsRemoved) {
    // Nothing before: nothing after.
    run({{"NIVELES", {{"10", "ESO", "Secundaria"}}}});
    for (const QString& t : kTables)
        EXPECT_FALSE(exists(t)) << t.toStdString();

    // An earlier import's files: ORIGENES_C goes, the other three stay byte for byte.
    run(fullDocument());
    QFile::remove(dbf("CUR_NIV_C"));
    const QByteArray niveles = readFile(dbf("NIVELES_C"));
    const QByteArray autoriza = readFile(dbf("AUTORIZA_C"));
    testing_support::writeFile(dir.filePath("ORIGENES_C.MDX"), "index");

    run({{"NIVELES", {{"11", "BACH", "Bachillerato"}}}, {"ORIGENES", {}}});
    EXPECT_FALSE(exists("ORIGENES_C"));
    EXPECT_FALSE(QFile::exists(dir.filePath("ORIGENES_C.MDX")));
    EXPECT_EQ(readFile(dbf("NIVELES_C")), niveles);
    EXPECT_EQ(readFile(dbf("AUTORIZA_C")), autoriza);
    EXPECT_FALSE(exists("CUR_NIV_C"));
}

struct BadNumberCase {
    const char* name;
    QList<Group> groups;
    QString message;
    QStringList rebuilt; // tables written by this run, complete
    QString partial;     // the table being filled when the run ended
    int partialRows;
    QStringList untouched; // tables still as the earlier run left them
};

TEST_F(Catalogos, NonIntegerValueEndsTheRunKeepingEarlierTables) {
    const BadNumberCase cases[] = {
        {"letters in an origin",
         {{"ORIGENES", {{"2", "A", "a"}, {"3x", "B", "b"}}}, {"NIVELES", {{"1", "N", "n"}}}},
         "ORIGENES_C: el dato 0 del registro 2 del grupo ORIGENES no es un número entero: '3x'",
         {},
         "ORIGENES_C",
         1,
         {"NIVELES_C", "CUR_NIV_C", "AUTORIZA_C"}},
        {"empty level",
         {{"ORIGENES", {{"2", "A", "a"}}}, {"NIVELES", {{"  ", "N", "n"}}}},
         "NIVELES_C: el dato 0 del registro 1 del grupo NIVELES no es un número entero: ''",
         {"ORIGENES_C"},
         "NIVELES_C",
         0,
         {"CUR_NIV_C", "AUTORIZA_C"}},
        {"second identifier of a course level",
         {{"ORIGENES", {{"2", "A", "a"}}}, {"CURSOS_NIVELES", {{"1", "2"}, {"3", "4.5"}}}},
         "CUR_NIV_C: el dato 1 del registro 2 del grupo CURSOS_NIVELES no es un número entero: "
         "'4.5'",
         {"ORIGENES_C", "NIVELES_C"},
         "CUR_NIV_C",
         1,
         {"AUTORIZA_C"}},
        {"too large for 32 bits",
         {{"ORIGENES", {{"2", "A", "a"}}}, {"AUTORIZACIONES", {{"1", "2", "3", "2147483648"}}}},
         "AUTORIZA_C: el dato 3 del registro 1 del grupo AUTORIZACIONES no es un número entero: "
         "'2147483648'",
         {"ORIGENES_C", "NIVELES_C", "CUR_NIV_C"},
         "AUTORIZA_C",
         0,
         {}},
        // The lowest 32-bit value marks an empty integer field: refused, and no blank row.
        {"the value that marks an empty field",
         {{"ORIGENES", {{"2", "A", "a"}}}, {"NIVELES", {{"1", "N", "n"}, {" -2147483648 ", "M"}}}},
         "NIVELES_C: el dato 0 del registro 2 del grupo NIVELES, '-2147483648', no cabe en el "
         "campo X_NIVCONPAGLEG: ese valor marca un campo vacío. Corrija el identificador en "
         "Veltra.",
         {"ORIGENES_C"},
         "NIVELES_C",
         1,
         {"CUR_NIV_C", "AUTORIZA_C"}},
    };
    for (const BadNumberCase& c : cases) {
        SCOPED_TRACE(c.name);
        run(fullDocument());
        QMap<QString, QByteArray> before;
        for (const QString& t : kTables)
            before[t] = readFile(dbf(t));

        try {
            run(c.groups);
            ADD_FAILURE() << "no error";
        } catch (const RunError& e) {
            EXPECT_EQ(e.message(), c.message);
        }
        for (const QString& t : c.rebuilt)
            EXPECT_NE(readFile(dbf(t)), before[t]) << t.toStdString();
        EXPECT_EQ(rows("ORIGENES_C").size(), c.partial == "ORIGENES_C" ? c.partialRows : 1);
        EXPECT_EQ(rows(c.partial).size(), c.partialRows);
        for (const QString& t : c.untouched)
            EXPECT_EQ(readFile(dbf(t)), before[t]) << t.toStdString();
    }
}

} // namespace
