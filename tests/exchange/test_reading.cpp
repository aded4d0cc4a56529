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

// The reading operations give the same whether the document was read as a stream (what
// the runs do) or whole into a tree: each test runs both ways.
class ExchangeReading : public testing::TestWithParam<bool> {
protected:
    static bool streamed() { return GetParam(); }
    static Document read(const QByteArray& xml, const QString& name = QStringLiteral("d.xml")) {
        return streamed() ? Document::fromBytes(xml, name) : Document::treeFromBytes(xml, name);
    }
    static Document veltra() {
        Document doc = read(kVeltra, QStringLiteral("veltra.xml"));
        EXPECT_TRUE(doc.ok()) << doc.errorString().toStdString();
        return doc;
    }
};

// What a reader can learn of a record or a group and of its items, in one text.
QString described(const Node& record) {
    QString r = QStringLiteral("línea %1:").arg(record.lineNumber());
    for (int i = 0; i < record.attributeCount(); ++i)
        r += QStringLiteral(" [%1]").arg(record.attributeValue(i));
    r += QStringLiteral(" seq=%1\n").arg(record.attribute(QStringLiteral("seq")));
    const NodeList items = dataItems(record);
    for (int k = 0; k < items.size(); ++k) {
        const Node& item = items.at(k);
        r += QStringLiteral("  %1 línea %2 nombre=%3 texto=[%4] valor=[%5] xml=[%6]")
                 .arg(k)
                 .arg(item.lineNumber())
                 .arg(item.attribute(QStringLiteral("nombre_dato")), itemText(items, k),
                      itemValue(items, k), itemXmlText(items, k));
        for (const char* name : {"X_MATERIAOMG", "D_MATERIAC", "N", ""})
            r += itemNameIs(items, k, QString::fromLatin1(name)) ? QStringLiteral(" +") + name
                                                                 : QString();
        r += u'\n';
    }
    return r;
}

// The text in UTF-16, little-endian, after its byte order mark.
QByteArray utf16(const QString& text) {
    return QByteArray("\xFF\xFE", 2) +
           QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

QStringList described(const NodeList& records) {
    QStringList r;
    for (const Node& n : records)
        r << described(n);
    return r;
}

QStringList seqs(const NodeList& nodes) {
    QStringList r;
    for (const Node& n : nodes)
        r << n.attribute(QStringLiteral("seq"));
    return r;
}

TEST_P(ExchangeReading, TopLevelGroupsInDocumentOrder) {
    const Document doc = veltra();
    EXPECT_EQ(seqs(doc.topLevelGroups()),
              QStringList({"ANNO_ACADEMICO", "MATERIAS", "materias_bis", "MATERIAS", "a\"b'c"}));
    // Blank text between elements is not content: the first child is the first group,
    // which is how the export takes the school year.
    EXPECT_EQ(doc.firstDataText().value_or("-").left(4), "2017");
    ASSERT_TRUE(doc.selectSingle(QStringLiteral("/SERVICIO/BLOQUE_DATOS")));
    if (!streamed()) {
        const Node bloque = doc.selectSingle(QStringLiteral("/SERVICIO/BLOQUE_DATOS"));
        EXPECT_TRUE(bloque.firstChild().isElement());
        EXPECT_EQ(bloque.childCount(), 5);
        EXPECT_EQ(doc.root().childCount(), 1);
    }
}

// Where the school year is read from: the data block's first child that is an element or
// holds more than blanks, its text without the blanks it starts with.
TEST_P(ExchangeReading, FirstDataTextIsTheFirstChildOfTheBlock) {
    struct Case {
        QByteArray block;
        std::optional<QString> text;
    };
    const Case cases[] = {
        {"<grupo_datos><dato> 2019</dato><dato>x</dato></grupo_datos><grupo_datos>y</grupo_datos>",
         "2019x"},
        {"\n  <grupo_datos>\n <dato>\t2020</dato></grupo_datos>", "2020"},
        {"<!--  --><grupo_datos><otro>20</otro><![CDATA[21]]></grupo_datos>", "2021"},
        {"<!-- 1999 --><grupo_datos><dato>2022</dato></grupo_datos>", "1999 "},
        {"<?pi 1998?><grupo_datos/>", "1998"},
        {"<grupo_datos/><grupo_datos><dato>2023</dato></grupo_datos>", ""},
        {"", std::nullopt},
        {"  \n ", std::nullopt},
        {"<grupo_datos><grupo_datos><dato>2024</dato></grupo_datos></grupo_datos>", "2024"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.block.toStdString());
        const Document doc =
            read("<SERVICIO><BLOQUE_DATOS>" + c.block + "</BLOQUE_DATOS></SERVICIO>");
        ASSERT_TRUE(doc.ok()) << doc.errorString().toStdString();
        EXPECT_EQ(doc.firstDataText(), c.text);
    }
    // Only the first data block counts, and only under SERVICIO.
    EXPECT_EQ(read("<SERVICIO><BLOQUE_DATOS/><BLOQUE_DATOS>2025</BLOQUE_DATOS></SERVICIO>")
                  .firstDataText(),
              std::nullopt);
    EXPECT_EQ(read("<OTRO><BLOQUE_DATOS>2025</BLOQUE_DATOS></OTRO>").firstDataText(), std::nullopt);
    const QByteArray longText(1000, 'x');
    EXPECT_EQ(read("<SERVICIO><BLOQUE_DATOS>" + longText + "</BLOQUE_DATOS></SERVICIO>")
                  .firstDataText()
                  ->size(),
              256);
}

TEST_P(ExchangeReading, RecordsOfAGroupByExactName) {
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

// Records and data items, read as a stream, are what the XPath selection of the envelope
// gives in the tree, also where names carry a namespace, the group's name is spelt with
// references or made of several pieces, the envelope repeats, or items hold more than
// text.
TEST(ExchangeReadingBothWays, RecordsAndItemsAreWhatTheEnvelopePathSelects) {
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
        // Items holding more than text, references, CDATA, comments, blanks, line ends.
        "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<!-- c -->\n<SERVICIO>\n"
        "<BLOQUE_DATOS>\n <grupo_datos seq=\"G\" registros=\"2\">\n  <grupo_datos seq=\"1\">"
        "<dato nombre_dato=\"N\">a<b>b</b>c</dato><dato nombre_dato=\"N\">x<![CDATA[<y>]]></dato>"
        "<dato nombre_dato=\"C\">1<!-- no -->2<?pi x?>3</dato><dato "
        "nombre_dato=\"\x80\">\x80\xF1</dato>"
        "<dato nombre_dato=\"R\">\r\n&#13;&#9;&lt;&amp;&gt;</dato><dato nombre_dato=\"E\">   "
        "</dato>"
        "<dato nombre_dato=\"A\" extra=\"&#10;&quot;\">v</dato><dato>sin nombre</dato>"
        "\n  </grupo_datos>\n  texto suelto <grupo_datos seq=\"2\"><dato nombre_dato=\"N\"/>"
        "<dato nombre_dato=\"N\"></dato></grupo_datos>\n </grupo_datos>\n</BLOQUE_DATOS>\n"
        "</SERVICIO>\n<?fin?>",
        // Without a declaration, non-ASCII names are written as references.
        "<SERVICIO><BLOQUE_DATOS><grupo_datos seq=\"G\"><grupo_datos>"
        "<dato nombre_dato=\"\xC3\x91\">\xC3\xB1</dato><dato "
        "nombre_dato=\"X_MATERIAOMG\xC3\x91\">1</dato>"
        "</grupo_datos></grupo_datos></BLOQUE_DATOS></SERVICIO>",
        // UTF-16 with its byte order mark.
        utf16(QStringLiteral("<SERVICIO><BLOQUE_DATOS><grupo_datos seq=\"G\"><grupo_datos>"
                             "<dato nombre_dato=\"Ñ\">ñ€</dato></grupo_datos></grupo_datos>"
                             "</BLOQUE_DATOS></SERVICIO>")),
    };
    // Names without a double quote, so that the path can hold them; the quoted name is
    // RecordsOfAGroupByExactName's.
    const QString groups[] = {"MATERIAS", "G", "GA&", "", "materias_bis", "g", "NO_EXISTE"};
    for (const QByteArray& xml : documents) {
        SCOPED_TRACE(xml.left(80).toStdString());
        const Document tree = Document::treeFromBytes(xml, QStringLiteral("d.xml"));
        const Document stream = Document::fromBytes(xml, QStringLiteral("d.xml"));
        ASSERT_TRUE(tree.ok()) << tree.errorString().toStdString();
        ASSERT_TRUE(stream.ok()) << stream.errorString().toStdString();
        EXPECT_EQ(stream.encoding(), tree.encoding());
        EXPECT_EQ(described(stream.topLevelGroups()),
                  described(tree.select(QStringLiteral("/SERVICIO/BLOQUE_DATOS/grupo_datos"))));
        EXPECT_EQ(stream.firstDataText(), tree.firstDataText());
        for (const QString& g : groups) {
            SCOPED_TRACE(g.toStdString());
            const NodeList expected = tree.select(
                QStringLiteral("/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq=\"%1\"]/grupo_datos")
                    .arg(g));
            EXPECT_EQ(tree.recordsOf(g), expected);
            for (const Node& r : expected)
                EXPECT_EQ(dataItems(r), r.elementChildren(QStringLiteral("dato")));
            EXPECT_EQ(described(stream.recordsOf(g)), described(expected));
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

TEST_P(ExchangeReading, DataItemsAreTheDatoChildrenOnly) {
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

TEST_P(ExchangeReading, ItemTextValueAndXmlText) {
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

TEST_P(ExchangeReading, ItemNameTestComparesFromCharacterTwenty) {
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
TEST_P(ExchangeReading, ItemNameTestAgreesWithTheWrittenItem) {
    const char* const documents[] = {
        R"(<?xml version="1.0" encoding="UTF-8"?><SERVICIO><BLOQUE_DATOS><grupo_datos>
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
           </grupo_datos></BLOQUE_DATOS></SERVICIO>)",
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><SERVICIO><BLOQUE_DATOS><grupo_datos>"
        "<dato nombre_dato=\"X_MATERIA\xD1OMG\">1</dato>"
        "<dato nombre_dato=\"\xD1_MATERIAOMG\">2</dato>"
        "<dato nombre_dato=\"X_MATERIAOMG\">3</dato></grupo_datos></BLOQUE_DATOS></SERVICIO>",
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
        const Document doc = read(QByteArray(xml), QStringLiteral("items.xml"));
        ASSERT_TRUE(doc.ok()) << doc.errorString().toStdString();
        const NodeList items = dataItems(doc.topLevelGroups().value(0));
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

TEST_P(ExchangeReading, EnvelopePathsSelectOnBothWays) {
    const Document doc = veltra();
    EXPECT_EQ(doc.select(QStringLiteral(
                             "/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq=\"MATERIAS\"]/grupo_datos"))
                  .size(),
              3);
    EXPECT_EQ(doc.select(QStringLiteral("/SERVICIO/BLOQUE_DATOS/grupo_datos")).size(), 5);
    EXPECT_EQ(doc.selectSingle(QStringLiteral("/SERVICIO")), doc.root());
    EXPECT_EQ(doc.root().name(), "SERVICIO");
    EXPECT_EQ(doc.root().attribute(QStringLiteral("modulo")), "EXPORTACION");
    EXPECT_EQ(doc.root().lineNumber(), 2);
    EXPECT_EQ(doc.selectSingle(QStringLiteral("/SERVICIO/BLOQUE_DATOS")).lineNumber(), 3);
    EXPECT_TRUE(read("<OTRO/>").selectSingle(QStringLiteral("/SERVICIO")).isNull());
    EXPECT_TRUE(
        read("<SERVICIO/>").selectSingle(QStringLiteral("/SERVICIO/BLOQUE_DATOS")).isNull());
}

TEST(ExchangeReadingStream, OtherPathsAreRefused) {
    const Document doc = Document::fromBytes(kVeltra, QStringLiteral("veltra.xml"));
    for (const char* path : {"/NADA", "//dato",
                             "/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq=\"a\"b\"]"
                             "/grupo_datos"})
        EXPECT_THROW(doc.select(QString::fromLatin1(path)), RunError) << path;
    // What is not kept of the envelope is said so, not read as empty.
    EXPECT_THROW(doc.root().text(), RunError);
    EXPECT_THROW(doc.recordsOf(QStringLiteral("MATERIAS")).first().xml(), RunError);
}

TEST(ExchangeReadingTree, SelectAndSelectSingle) {
    const Document doc = Document::treeFromBytes(kVeltra, QStringLiteral("veltra.xml"));
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

INSTANTIATE_TEST_SUITE_P(BothWays, ExchangeReading, testing::Values(true, false),
                         [](const auto& param) { return param.param ? "Stream" : "Tree"; });

} // namespace
