#include "exchange/ExchangeDocument.h"
#include "text/RunError.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace exchange;

namespace {

// Indented the way Veltra writes its exports; the whitespace between elements must not
// show up as nodes.
const QByteArray kVeltra = R"(<?xml version="1.0" encoding="UTF-8"?>
<SERVICIO modulo="EXPORTACION">
  <BLOQUE_DATOS>
    <grupo_datos seq="ANNO_ACADEMICO">
      <dato nombre_dato="C_ANNO">2017</dato>
      <dato nombre_dato="F_INICIO">01/09/2017</dato>
    </grupo_datos>
    <grupo_datos seq="MATERIAS" registros="2">
      <grupo_datos seq="1">
        <dato nombre_dato="X_OFERTAMATRIG">  ABC </dato>
        <dato nombre_dato="X_MATERIAOMG">123</dato>
        <dato nombre_dato="D_MATERIAC">Lengua &amp; Literatura</dato>
        <otro>no es un dato</otro>
        <dato nombre_dato="VACIO"></dato>
        <dato nombre_dato="TAB">	ABC </dato>
        <dato nombre_dato="ACENTO">Educación Física</dato>
        <dato nombre_dato="REFS">&#65;&lt;&gt;&quot;</dato>
      </grupo_datos>
      <grupo_datos seq="2">
        <dato nombre_dato="X_MATERIAOMGZ">7</dato>
        <dato orden="1" nombre_dato="X_MATERIAOMG">8</dato>
        <dato nombre_dato="X_MATERIAOM">9</dato>
        <grupo_datos><dato nombre_dato="HONDO">no es de este registro</dato></grupo_datos>
      </grupo_datos>
    </grupo_datos>
    <grupo_datos seq="materias_bis">
      <grupo_datos><dato nombre_dato="N">otro grupo</dato></grupo_datos>
    </grupo_datos>
    <grupo_datos seq="MATERIAS">
      <grupo_datos seq="3"><dato nombre_dato="X_OFERTAMATRIG">DEF</dato></grupo_datos>
    </grupo_datos>
    <grupo_datos seq="a&quot;b'c">
      <grupo_datos><dato nombre_dato="N">comillas</dato></grupo_datos>
    </grupo_datos>
  </BLOQUE_DATOS>
</SERVICIO>
)";

Document veltra() {
    Document doc = Document::fromBytes(kVeltra, QStringLiteral("veltra.xml"));
    EXPECT_TRUE(doc.ok()) << doc.errorString().toStdString();
    return doc;
}

QStringList seqs(const NodeList& nodes) {
    QStringList r;
    for (const Node& n : nodes)
        r << n.attribute(QStringLiteral("seq"));
    return r;
}

TEST(ExchangeReading, TopLevelGroupsInDocumentOrder) {
    const Document doc = veltra();
    EXPECT_EQ(seqs(doc.topLevelGroups()),
              QStringList({"ANNO_ACADEMICO", "MATERIAS", "materias_bis", "MATERIAS", "a\"b'c"}));
    // Blank text between elements is gone: the first child of an element is an element,
    // which is how the export takes the school year.
    const Node bloque = doc.selectSingle(QStringLiteral("/SERVICIO/BLOQUE_DATOS"));
    ASSERT_TRUE(bloque);
    EXPECT_TRUE(bloque.firstChild().isElement());
    EXPECT_EQ(bloque.firstChild().text().left(4), "2017");
    EXPECT_EQ(bloque.childCount(), 5);
    EXPECT_EQ(doc.root().childCount(), 1);
}

TEST(ExchangeReading, RecordsOfAGroupByExactName) {
    const Document doc = veltra();
    struct Case {
        QString group;
        QStringList records;
    };
    const Case cases[] = {
        // Both groups named MATERIAS, the first group's records first; nested groups are
        // not records of the group.
        {"MATERIAS", {"1", "2", "3"}},
        {"materias", {}},
        {"MATERIAS ", {}},
        {"NO_EXISTE", {}},
        {"", {}},
        {"a\"b'c", {""}},
        {"ANNO_ACADEMICO", {}}, // items directly in the group, no records
    };
    for (const Case& c : cases)
        EXPECT_EQ(seqs(doc.recordsOf(c.group)), c.records) << c.group.toStdString();
}

// Records and data items are what the XPath selection of the envelope gives, also where
// names carry a namespace, the group's name is spelt with references or made of several
// pieces, or the envelope repeats.
TEST(ExchangeReading, RecordsAndItemsAreWhatTheEnvelopePathSelects) {
    const QByteArray documents[] = {
        kVeltra,
        R"(<SERVICIO xmlns:v="urn:v"><BLOQUE_DATOS>
             <grupo_datos seq="G"><grupo_datos n="1"><dato>a</dato><v:dato>b</v:dato></grupo_datos>
               <v:grupo_datos n="2"/><grupo_datos n="3"/></grupo_datos>
             <v:grupo_datos seq="G"><grupo_datos n="4"/></v:grupo_datos>
             <grupo_datos v:seq="G"><grupo_datos n="5"/></grupo_datos>
             <grupo_datos seq="G&#65;&amp;"><grupo_datos n="6"/></grupo_datos>
             <grupo_datos seq=""><grupo_datos n="7"/></grupo_datos>
             <grupo_datos><grupo_datos n="8"/></grupo_datos>
           </BLOQUE_DATOS>
           <BLOQUE_DATOS><grupo_datos seq="G"><grupo_datos n="9"/></grupo_datos></BLOQUE_DATOS>
           <v:BLOQUE_DATOS><grupo_datos seq="G"><grupo_datos n="10"/></grupo_datos></v:BLOQUE_DATOS>
         </SERVICIO>)",
        R"(<SERVICIO xmlns="urn:v"><BLOQUE_DATOS><grupo_datos seq="G"><grupo_datos n="1"/>
           </grupo_datos></BLOQUE_DATOS></SERVICIO>)",
        R"(<OTRO><BLOQUE_DATOS><grupo_datos seq="G"><grupo_datos/></grupo_datos></BLOQUE_DATOS></OTRO>)",
    };
    // Names without a double quote, so that the path can hold them; the quoted name is
    // RecordsOfAGroupByExactName's.
    const QString groups[] = {"MATERIAS", "G", "GA&", "", "materias_bis", "g", "NO_EXISTE"};
    for (const QByteArray& xml : documents) {
        const Document doc = Document::fromBytes(xml, QStringLiteral("d.xml"));
        ASSERT_TRUE(doc.ok()) << doc.errorString().toStdString();
        for (const QString& g : groups) {
            SCOPED_TRACE(g.toStdString());
            const NodeList expected = doc.select(
                QStringLiteral("/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq=\"%1\"]/grupo_datos")
                    .arg(g));
            const NodeList records = doc.recordsOf(g);
            EXPECT_EQ(records, expected);
            for (const Node& r : records)
                EXPECT_EQ(dataItems(r), r.elementChildren(QStringLiteral("dato")));
        }
    }
    // Records 1, 3 and 9 of the second document; the first holds one item.
    const Document second = Document::fromBytes(documents[1], QStringLiteral("d.xml"));
    const NodeList g = second.recordsOf(QStringLiteral("G"));
    ASSERT_EQ(g.size(), 3);
    EXPECT_EQ(g[2].attribute(QStringLiteral("n")), QStringLiteral("9"));
    EXPECT_EQ(dataItems(g[0]).size(), 1);
    EXPECT_EQ(second.recordsOf(QStringLiteral("GA&")).size(), 1);
}

TEST(ExchangeReading, DataItemsAreTheDatoChildrenOnly) {
    const Document doc = veltra();
    const NodeList records = doc.recordsOf(QStringLiteral("MATERIAS"));
    ASSERT_EQ(records.size(), 3);
    EXPECT_EQ(dataItems(records[0]).size(), 7); // <otro> is not an item
    const NodeList second = dataItems(records[1]);
    ASSERT_EQ(second.size(), 3); // the item of the nested record is not counted
    EXPECT_EQ(itemValue(second, 2), "9");
    // A group holding its items directly.
    const NodeList year = dataItems(doc.topLevelGroups().first());
    EXPECT_EQ(itemValue(year, 0), "2017");
    EXPECT_EQ(itemValue(year, 1), "01/09/2017");
    EXPECT_TRUE(dataItems(Node()).isEmpty());
}

TEST(ExchangeReading, ItemTextValueAndXmlText) {
    const Document doc = veltra();
    const NodeList items = dataItems(doc.recordsOf(QStringLiteral("MATERIAS")).first());
    struct Case {
        int k;
        QString text;
        QString value;
        QString xml;
    };
    const Case cases[] = {
        {0, "  ABC ", "ABC", R"(<dato nombre_dato="X_OFERTAMATRIG">  ABC </dato>)"},
        {1, "123", "123", R"(<dato nombre_dato="X_MATERIAOMG">123</dato>)"},
        {2, "Lengua & Literatura", "Lengua & Literatura",
         R"(<dato nombre_dato="D_MATERIAC">Lengua &amp; Literatura</dato>)"},
        {3, "", "", R"(<dato nombre_dato="VACIO"/>)"},
        {4, "\tABC ", "\tABC", "<dato nombre_dato=\"TAB\">\tABC </dato>"},
        {5, QStringLiteral("Educación Física"), QStringLiteral("Educación Física"),
         QStringLiteral("<dato nombre_dato=\"ACENTO\">Educación Física</dato>")},
        {6, "A<>\"", "A<>\"", R"(<dato nombre_dato="REFS">A&lt;&gt;"</dato>)"},
        // At or beyond the number of items, and before the first: the empty text.
        {7, "", "", ""},
        {100, "", "", ""},
        {-1, "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.k);
        EXPECT_EQ(itemText(items, c.k), c.text);
        EXPECT_EQ(itemValue(items, c.k), c.value);
        EXPECT_EQ(itemXmlText(items, c.k), c.xml);
    }
}

TEST(ExchangeReading, ItemNameTestComparesFromCharacterTwenty) {
    const Document doc = veltra();
    const NodeList records = doc.recordsOf(QStringLiteral("MATERIAS"));
    const NodeList first = dataItems(records[0]);
    const NodeList second = dataItems(records[1]);
    struct Case {
        const NodeList* items;
        int k;
        QString name;
        bool expected;
    };
    const Case cases[] = {
        {&first, 1, "X_MATERIAOMG", true},
        {&first, 2, "D_MATERIAC", true},
        {&first, 1, "D_MATERIAC", false},
        {&first, 0, "X_OFERTAMATRIG", true},
        {&second, 0, "X_MATERIAOMG", true},  // X_MATERIAOMGZ: a prefix is enough
        {&second, 1, "X_MATERIAOMG", false}, // another attribute before nombre_dato
        {&second, 2, "X_MATERIAOMG", false}, // name shorter than the one looked for
        {&first, 1, "x_materiaomg", false},
        {&first, 7, "X_MATERIAOMG", false}, // beyond the items
        {&first, 7, "", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(itemNameIs(*c.items, c.k, c.name), c.expected)
            << c.k << " " << c.name.toStdString();
}

// The name test reads the stored attribute instead of writing the item out; whatever the
// item looks like, it must answer as comparing the written item does.
TEST(ExchangeReading, ItemNameTestAgreesWithTheWrittenItem) {
    const char* const documents[] = {
        R"(<?xml version="1.0" encoding="UTF-8"?><r><g>
             <dato nombre_dato="X_MATERIAOMG">1</dato>
             <dato abcdefghijk="X_MATERIAOMG" nombre_dato="D_MATERIAC">2</dato>
             <dato nombre_dato="&amp;X_MATERIAOMG">3</dato>
             <dato nombre_dato="X_&amp;MATERIAOMG">4</dato>
             <dato nombre_dato="X_MATERIA&quot;OMG">5</dato>
             <dato nombre_dato="X_MATERIA&#10;OMG">6</dato>
             <dato nombre_dato="">7</dato>
             <dato nombre_dato="X_MATERIAÑOMG">8</dato>
             <dato xmlns:p="urn:x" nombre_dato="X_MATERIAOMG">9</dato>
             <dato p:nombre_dat="X_MATERIAOMG" xmlns:p="urn:x">10</dato>
             <dato nombre="X_MATERIAOMG">11</dato>
             <dato>12</dato>
             <dato nombre_dato="X_MAT">13</dato>
             <dato nombre_dato="&#65;_MATERIAOMG">14</dato>
           </g></r>)",
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r><g>"
        "<dato nombre_dato=\"X_MATERIA\xD1OMG\">1</dato>"
        "<dato nombre_dato=\"\xD1_MATERIAOMG\">2</dato>"
        "<dato nombre_dato=\"X_MATERIAOMG\">3</dato></g></r>",
    };
    const QString names[] = {"X_MATERIAOMG",
                             "D_MATERIAC",
                             "X_MAT",
                             "",
                             "&X_MATERIAOMG",
                             "X_&MATERIAOMG",
                             "X_MATERIA\"OMG",
                             QStringLiteral("X_MATERIAÑOMG"),
                             QStringLiteral("Ñ_MATERIAOMG"),
                             "X_MATERIAOMG\">",
                             "A_MATERIAOMG",
                             "x_materiaomg",
                             "X_MATERIAOMG "};
    for (const char* xml : documents) {
        const Document doc = Document::fromBytes(QByteArray(xml), QStringLiteral("items.xml"));
        ASSERT_TRUE(doc.ok()) << doc.errorString().toStdString();
        const NodeList items = dataItems(doc.selectSingle(QStringLiteral("/r/g")));
        ASSERT_GE(items.size(), 3);
        for (int k = 0; k < items.size(); ++k) {
            for (const QString& name : names) {
                const bool written = itemXmlText(items, k).mid(19, name.size()) == name;
                EXPECT_EQ(itemNameIs(items, k, name), written)
                    << itemXmlText(items, k).toStdString() << " / " << name.toStdString();
            }
        }
    }
}

TEST(ExchangeReading, SelectAndSelectSingle) {
    const Document doc = veltra();
    EXPECT_EQ(doc.select(QStringLiteral(
                             "/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq=\"MATERIAS\"]/grupo_datos"))
                  .size(),
              3);
    EXPECT_EQ(doc.selectSingle(QStringLiteral("/SERVICIO")), doc.root());
    EXPECT_EQ(doc.root().name(), "SERVICIO");
    EXPECT_EQ(doc.root().attribute(QStringLiteral("modulo")), "EXPORTACION");
    EXPECT_TRUE(doc.selectSingle(QStringLiteral("/NADA")).isNull());
    EXPECT_TRUE(doc.select(QStringLiteral("/SERVICIO/NADA")).isEmpty());
    EXPECT_EQ(doc.root().lineNumber(), 2);

    testing::internal::CaptureStderr();
    EXPECT_THROW(doc.select(QStringLiteral("/SERVICIO[")), RunError);
    EXPECT_THROW(doc.select(QStringLiteral("count(/SERVICIO)")), RunError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(ExchangeReading, NullNodeReadsAsEmpty) {
    const Node n;
    EXPECT_TRUE(n.isNull());
    EXPECT_FALSE(n);
    EXPECT_EQ(n.name(), "");
    EXPECT_EQ(n.text(), "");
    EXPECT_EQ(n.xml(), "");
    EXPECT_TRUE(n.firstChild().isNull());
    EXPECT_TRUE(n.children().isEmpty());
    EXPECT_EQ(n.childCount(), 0);
    EXPECT_EQ(n.attributeCount(), 0);
    EXPECT_EQ(n.attributeValue(0), "");
    EXPECT_EQ(n.attribute(QStringLiteral("seq")), "");
}

} // namespace
