#include "exchange/ExchangeDocument.h"
#include "text/RunError.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifdef Q_OS_LINUX
#include <sys/mount.h>
#endif

using namespace exchange;
using testing_support::readFile;
using testing_support::writeFile;

namespace {

class ExchangeSaving : public testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }

    Document parse(const QByteArray& bytes) {
        Document doc = Document::treeFromBytes(bytes, QStringLiteral("entrada.xml"));
        EXPECT_TRUE(doc.ok()) << doc.errorString().toStdString();
        return doc;
    }

    // Saves, checks that toBytes gives the same bytes, and returns them.
    QByteArray saved(const Document& doc, const QString& name = QStringLiteral("salida.xml")) {
        doc.save(path(name));
        const QByteArray bytes = readFile(path(name));
        EXPECT_EQ(bytes, doc.toBytes());
        return bytes;
    }
};

TEST_F(ExchangeSaving, DeclarationDecidesEncodingAndItsPresence) {
    struct Case {
        const char* what;
        QByteArray input;
        QByteArray output;
    };
    const Case cases[] = {
        {"ISO-8859-1 kept with its declaration; what it cannot hold becomes a reference",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<SERVICIO>\n  <a>Educaci\xF3n</a>\n  "
         "<b/>\n</SERVICIO>\n",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<SERVICIO><a>Educaci\xF3n "
         "&#8364;</a><b/></SERVICIO>\n"},
        {"no declaration: UTF-8 without one",
         "<SERVICIO>\n  <a>Educaci\xC3\xB3n</a>\n  <b></b>\n</SERVICIO>",
         "<SERVICIO><a>Educaci\xC3\xB3n \xE2\x82\xAC</a><b/></SERVICIO>\n"},
        {"a declaration without encoding: kept, UTF-8",
         "<?xml version=\"1.0\"?>\r\n<SERVICIO><a>Educaci\xC3\xB3n</a><b/></SERVICIO>",
         "<?xml version=\"1.0\"?>\n<SERVICIO><a>Educaci\xC3\xB3n "
         "\xE2\x82\xAC</a><b/></SERVICIO>\n"},
        {"UTF-8 declared",
         "<?xml version=\"1.0\" encoding=\"UTF-8\" "
         "standalone=\"yes\"?><SERVICIO><a>Educaci\xC3\xB3n</a><b/></SERVICIO>",
         "<?xml version=\"1.0\" encoding=\"UTF-8\" "
         "standalone=\"yes\"?>\n<SERVICIO><a>Educaci\xC3\xB3n "
         "\xE2\x82\xAC</a><b/></SERVICIO>\n"},
        {"windows-1252 declared",
         "<?xml version=\"1.0\" "
         "encoding=\"windows-1252\"?><SERVICIO><a>Educaci\xF3n</a><b/></SERVICIO>",
         "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<SERVICIO><a>Educaci\xF3n "
         "\x80</a><b/></SERVICIO>\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Document doc = parse(c.input);
        Node a = doc.selectSingle(QStringLiteral("/SERVICIO/a"));
        a.setText(a.text() + QStringLiteral(" €"));
        const QByteArray out = saved(doc);
        EXPECT_EQ(out, c.output);
        // What was written reads back the same.
        const Document back = Document::loadTree(path("salida.xml"));
        ASSERT_TRUE(back.ok()) << back.errorString().toStdString();
        EXPECT_EQ(back.root().text(), QStringLiteral("Educación €"));
    }
}

// windows-1252 goes through our own converter on every system (a Windows build has no
// other): the code page's 0x80-0x9F characters are written as their bytes, what it lacks
// becomes a character reference in text and attributes, and all of it reads back.
TEST_F(ExchangeSaving, Windows1252WrittenAndReadBackTheSameEverywhere) {
    Document doc =
        parse("<?xml version=\"1.0\" encoding=\"windows-1252\"?><SERVICIO><a/></SERVICIO>");
    Node a = doc.selectSingle(QStringLiteral("/SERVICIO/a"));
    const QString text = QStringLiteral("€‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ ñÑ Ω 😀");
    a.setText(text);
    a.setAttribute(QStringLiteral("n"), QStringLiteral("Σ1 ü"));
    const QByteArray out = saved(doc);
    EXPECT_EQ(out,
              QByteArray("<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<SERVICIO><a "
                         "n=\"&#931;1 \xFC\">\x80\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8E"
                         "\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9E\x9F \xF1\xD1 &#937; "
                         "&#128512;</a></SERVICIO>\n"));
    const Document back = Document::loadTree(path("salida.xml"));
    ASSERT_TRUE(back.ok()) << back.errorString().toStdString();
    EXPECT_EQ(back.selectSingle(QStringLiteral("/SERVICIO/a")).text(), text);
    EXPECT_EQ(back.selectSingle(QStringLiteral("/SERVICIO/a")).attribute(QStringLiteral("n")),
              QStringLiteral("Σ1 ü"));

    // The five bytes the code page leaves unassigned are no characters: refused, as the
    // systems' own converters refuse them.
    writeFile(path("raro.xml"), "<?xml version=\"1.0\" encoding=\"windows-1252\"?><SERVICIO>a\x81"
                                "b</SERVICIO>");
    EXPECT_FALSE(Document::loadTree(path("raro.xml")).ok());
}

TEST_F(ExchangeSaving, ReplacesAnExistingFileAndFailsWithTheFileName) {
    writeFile(path("salida.xml"), QByteArray(5000, 'x'));
    const Document doc = parse("<SERVICIO/>");
    EXPECT_EQ(saved(doc), "<SERVICIO/>\n");

    const QString unwritable = path("no_existe/salida.xml");
    try {
        doc.save(unwritable);
        FAIL() << "no error";
    } catch (const RunError& e) {
        EXPECT_TRUE(e.message().contains(unwritable)) << e.what();
    }
    EXPECT_FALSE(QFile::exists(unwritable));
}

#ifdef Q_OS_LINUX
// A small file system of its own that fills up; mounting needs the right to do so, so the
// test is skipped where it is not given.
class SmallDisk {
public:
    explicit SmallDisk(const QString& at) : at_(at) {
        mounted_ = ::mount("tmpfs", QFile::encodeName(at).constData(), "tmpfs", 0, "size=64k") == 0;
    }
    ~SmallDisk() {
        if (mounted_)
            ::umount2(QFile::encodeName(at_).constData(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }

private:
    QString at_;
    bool mounted_ = false;
};

TEST_F(ExchangeSaving, FullDiskIsNamedAndTheOlderDocumentStays) {
    const QString folder = path("disco");
    QDir().mkpath(folder);
    SmallDisk disk(folder);
    if (!disk.mounted())
        GTEST_SKIP() << "cannot mount a small file system here";
    const QString target = folder + QStringLiteral("/salida.xml");
    writeFile(target, "<SERVICIO>anterior</SERVICIO>\n");
    {
        // Fill what is left.
        QFile filler(folder + QStringLiteral("/relleno"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'r');
        while (filler.write(block) == block.size()) {
        }
    }
    const Document doc = parse("<SERVICIO>" + QByteArray(20000, 'n') + "</SERVICIO>");
    try {
        doc.save(target);
        FAIL() << "no error";
    } catch (const RunError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("no queda espacio en el disco")))
            << e.what();
        EXPECT_TRUE(e.message().contains(target)) << e.what();
    }
    EXPECT_EQ(readFile(target), "<SERVICIO>anterior</SERVICIO>\n");
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList({"relleno", "salida.xml"}));
}
#endif

// The export: Veltra's document emptied of its root, a new one built, saved, then read
// again to correct one attribute by position.
TEST_F(ExchangeSaving, ExportBuildsANewRootInTheLoadedDocument) {
    writeFile(path("datos.xml"), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                                 "<!-- exportado -->\n"
                                 "<?veltra version=\"3\"?>\n"
                                 "<SERVICIO modulo=\"EXPORTACION\">\n"
                                 "  <BLOQUE_DATOS>\n"
                                 "    <grupo_datos seq=\"ANNO_ACADEMICO\">\n"
                                 "      <dato nombre_dato=\"C_ANNO\">2017/2018</dato>\n"
                                 "    </grupo_datos>\n"
                                 "  </BLOQUE_DATOS>\n"
                                 "</SERVICIO>\n");
    Document doc = Document::loadTree(path("datos.xml"));
    ASSERT_TRUE(doc.ok());
    const QString year =
        doc.selectSingle(QStringLiteral("/SERVICIO/BLOQUE_DATOS")).firstChild().text().left(4);
    EXPECT_EQ(year, "2017");

    doc.root().removeChild(doc.selectSingle(QStringLiteral("/SERVICIO/BLOQUE_DATOS")));
    doc.removeChild(doc.selectSingle(QStringLiteral("/SERVICIO")));
    EXPECT_TRUE(doc.root().isNull());

    Node servicio = doc.createElement(QStringLiteral("SERVICIO"));
    servicio.setAttribute(QStringLiteral("modulo"), QStringLiteral("HORARIOS"));
    servicio.setAttribute(QStringLiteral("tipo"), QStringLiteral("I"));
    servicio.setAttribute(QStringLiteral("autor"), QStringLiteral("TEMPOLAN"));
    servicio.setAttribute(QStringLiteral("fecha"), QStringLiteral("7/3/24 9:05:03"));
    doc.appendChild(servicio);
    Node bloque = doc.createElement(QStringLiteral("BLOQUE_DATOS"));
    doc.selectSingle(QStringLiteral("/SERVICIO")).appendChild(bloque);

    const auto item = [&](Node parent, const QString& name, const QString& text) {
        Node dato = doc.createElement(QStringLiteral("dato"));
        dato.setAttribute(QStringLiteral("nombre_dato"), name);
        dato.setText(text);
        parent.appendChild(dato);
    };
    Node anno = doc.createElement(QStringLiteral("grupo_datos"));
    anno.setAttribute(QStringLiteral("seq"), QStringLiteral("ANNO_ACADEMICO"));
    item(anno, QStringLiteral("C_ANNO"), year);
    bloque.appendChild(anno);

    Node regulares = doc.createElement(QStringLiteral("grupo_datos"));
    regulares.setAttribute(QStringLiteral("seq"), QStringLiteral("HORARIOS_REGULARES"));
    regulares.setAttribute(QStringLiteral("registros"), qint64(1));
    bloque.appendChild(regulares);
    Node profesor = doc.createElement(QStringLiteral("grupo_datos"));
    profesor.setAttribute(QStringLiteral("seq"), QStringLiteral("1"));
    profesor.setAttribute(QStringLiteral("registros"), qint64(-1));
    regulares.appendChild(profesor); // appended before it is filled
    item(profesor, QStringLiteral("X_EMPLEADO"), QStringLiteral("77"));
    item(profesor, QStringLiteral("F_TOMAPOS"), QString());
    for (const QString& activity :
         {QStringLiteral("Educación & Física"), QStringLiteral("<Tutoría>")}) {
        Node grupo = doc.createElement(QStringLiteral("grupo_datos"));
        grupo.setAttribute(QStringLiteral("seq"), QStringLiteral("ACTIVIDAD"));
        item(grupo, QStringLiteral("D_ACTIVIDAD"), activity);
        profesor.appendChild(grupo);
    }

    const QString out = path("ResultadoTempolandatos.xml");
    doc.save(out);

    Document second = Document::loadTree(out);
    ASSERT_TRUE(second.ok()) << second.errorString().toStdString();
    for (Node teacher : second.recordsOf(QStringLiteral("HORARIOS_REGULARES")))
        teacher.setAttributeValue(1, QString::number(teacher.childCount() - 2));
    second.save(out);

    EXPECT_EQ(
        readFile(out),
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
        "<!-- exportado -->\n"
        "<?veltra version=\"3\"?>\n"
        "<SERVICIO modulo=\"HORARIOS\" tipo=\"I\" autor=\"TEMPOLAN\" fecha=\"7/3/24 9:05:03\">"
        "<BLOQUE_DATOS>"
        "<grupo_datos seq=\"ANNO_ACADEMICO\"><dato nombre_dato=\"C_ANNO\">2017</dato></grupo_datos>"
        "<grupo_datos seq=\"HORARIOS_REGULARES\" registros=\"1\">"
        "<grupo_datos seq=\"1\" registros=\"2\">"
        "<dato nombre_dato=\"X_EMPLEADO\">77</dato>"
        "<dato nombre_dato=\"F_TOMAPOS\"/>"
        "<grupo_datos seq=\"ACTIVIDAD\"><dato nombre_dato=\"D_ACTIVIDAD\">Educaci\xF3n &amp; "
        "F\xEDsica</dato></grupo_datos>"
        "<grupo_datos seq=\"ACTIVIDAD\"><dato nombre_dato=\"D_ACTIVIDAD\">&lt;Tutor\xED"
        "a&gt;</dato>"
        "</grupo_datos>"
        "</grupo_datos></grupo_datos></BLOQUE_DATOS></SERVICIO>\n");
}

TEST_F(ExchangeSaving, AttributesKeepFirstSetOrder) {
    Document doc;
    Node e = doc.createElement(QStringLiteral("grupo_datos"));
    e.setAttribute(QStringLiteral("seq"), QStringLiteral("A"));
    e.setAttribute(QStringLiteral("registros"), qint64(0));
    e.setAttribute(QStringLiteral("seq"), QStringLiteral("B & \"C\""));
    e.setAttribute(QStringLiteral("grande"), qint64(-9876543210));
    ASSERT_EQ(e.attributeCount(), 3);
    EXPECT_EQ(e.attributeValue(0), "B & \"C\"");
    EXPECT_EQ(e.attributeValue(1), "0");
    EXPECT_EQ(e.attributeValue(2), "-9876543210");
    EXPECT_EQ(e.attributeValue(3), "");
    e.setAttributeValue(1, QStringLiteral("5 < 6 & 7"));
    EXPECT_EQ(e.attribute(QStringLiteral("registros")), "5 < 6 & 7");
    EXPECT_EQ(e.xml(), "<grupo_datos seq=\"B &amp; &quot;C&quot;\" registros=\"5 &lt; 6 &amp; 7\" "
                       "grande=\"-9876543210\"/>");
    EXPECT_THROW(e.setAttributeValue(3, QStringLiteral("x")), RunError);
    EXPECT_THROW(e.setAttributeValue(-1, QStringLiteral("x")), RunError);
    EXPECT_THROW(e.setAttribute(QStringLiteral("no valido"), QStringLiteral("x")), RunError);
    doc.appendChild(e);
    // A document made from nothing has no declaration: UTF-8 without one.
    EXPECT_EQ(doc.toBytes(), "<grupo_datos seq=\"B &amp; &quot;C&quot;\" registros=\"5 &lt; 6 "
                             "&amp; 7\" grande=\"-9876543210\"/>\n");
}

TEST_F(ExchangeSaving, SetTextReplacesTheContent) {
    Document doc = parse("<SERVICIO><dato nombre_dato=\"A\">uno<b>dos</b>tres</dato></SERVICIO>");
    Node dato = doc.root().firstChild();
    const Node old = dato.children().at(1);
    EXPECT_EQ(dato.childCount(), 3);
    dato.setText(QStringLiteral("a < b & c"));
    EXPECT_EQ(dato.childCount(), 1);
    EXPECT_EQ(dato.text(), "a < b & c");
    EXPECT_EQ(dato.xml(), "<dato nombre_dato=\"A\">a &lt; b &amp; c</dato>");
    EXPECT_EQ(old.name(), "b"); // a node taken out stays usable
    EXPECT_EQ(old.text(), "dos");
    dato.setText(QString());
    EXPECT_EQ(dato.childCount(), 0);
    EXPECT_TRUE(dato.firstChild().isNull());
    EXPECT_EQ(dato.xml(), "<dato nombre_dato=\"A\"/>");
}

// Text that XML cannot carry would make the saved file unreadable: it is refused.
TEST_F(ExchangeSaving, TextThatXmlCannotHoldIsRefused) {
    Document doc = parse("<SERVICIO><dato nombre_dato=\"A\"/></SERVICIO>");
    Node dato = doc.root().firstChild();
    const QString smiley = QString::fromUcs4(U"\U0001F600");
    for (const QString& good : {QStringLiteral("a\tb\nc\r"), QStringLiteral("€"), smiley}) {
        EXPECT_NO_THROW(dato.setText(good));
        EXPECT_NO_THROW(dato.setAttributeValue(0, good));
    }
    const QString bad[] = {QStringLiteral("a") + QChar(1), QString(QChar(0)),
                           QString(QChar(0xFFFE)), QString(QChar(0xD800)) + "x",
                           QString(QChar(0xDC00))};
    for (const QString& b : bad) {
        EXPECT_THROW(dato.setText(b), RunError);
        EXPECT_THROW(dato.setAttribute(QStringLiteral("otro"), b), RunError);
        EXPECT_THROW(dato.setAttributeValue(0, b), RunError);
    }
    EXPECT_EQ(dato.attributeCount(), 1);
    const Document back = Document::treeFromBytes(doc.toBytes(), QStringLiteral("vuelta.xml"));
    ASSERT_TRUE(back.ok()) << back.errorString().toStdString();
    EXPECT_EQ(back.root().text(), smiley);
}

TEST_F(ExchangeSaving, ChildrenOfElementsAndOfTheDocument) {
    Document doc = parse("<!--a--><?pi x?><SERVICIO><x/>texto<!--c--></SERVICIO><!--z-->");
    const QList<Node> top = doc.topLevelNodes();
    ASSERT_EQ(top.size(), 4);
    EXPECT_EQ(top[1].name(), "pi");
    Node root = doc.root();
    EXPECT_EQ(root.childCount(), 3);
    EXPECT_EQ(root.children().at(1).name(), "#text");
    EXPECT_EQ(root.children().at(2).name(), "#comment");

    // Moving a text node next to another keeps both nodes (no merge that would drop one).
    const Node text = root.children().at(1);
    root.removeChild(text);
    root.appendChild(text);
    root.appendChild(doc.createElement(QStringLiteral("y")));
    EXPECT_EQ(root.xml(), "<SERVICIO><x/><!--c-->texto<y/></SERVICIO>");

    // Failures of the model are errors, not silent no-ops.
    Document other;
    Node foreign = other.createElement(QStringLiteral("x"));
    Node x = root.firstChild();
    EXPECT_THROW(doc.appendChild(doc.createElement(QStringLiteral("SEGUNDA"))), RunError);
    EXPECT_THROW(x.appendChild(root), RunError); // inside itself
    EXPECT_THROW(root.appendChild(foreign), RunError);
    EXPECT_THROW(root.removeChild(foreign), RunError);
    EXPECT_THROW(doc.removeChild(x), RunError); // not at document level
    EXPECT_THROW(root.removeChild(Node()), RunError);
    EXPECT_THROW(Node().appendChild(x), RunError);
    EXPECT_THROW(Node().setAttribute(QStringLiteral("a"), QStringLiteral("b")), RunError);
    EXPECT_THROW(Node().setText(QStringLiteral("b")), RunError);
    EXPECT_THROW(doc.createElement(QStringLiteral("1x")), RunError);

    // The document level: the root goes, the others stay in order and a new root follows.
    doc.removeChild(root);
    doc.appendChild(doc.createElement(QStringLiteral("NUEVO")));
    EXPECT_EQ(doc.toBytes(), "<!--a-->\n<?pi x?>\n<!--z-->\n<NUEVO/>\n");
    EXPECT_EQ(root.childCount(), 4); // still held by the document
}

// Content deleted (not just taken out) goes at once, loose nodes added inside it too;
// the rest of the document, and loose nodes elsewhere, carry on.
TEST_F(ExchangeSaving, DeletedContentGoesAtOnce) {
    Document doc = parse("<!--a--><SERVICIO><BLOQUE_DATOS><g><dato/></g></BLOQUE_DATOS>"
                         "<otro/></SERVICIO>");
    Node root = doc.root();
    Node bloque = root.firstChild();
    Node dentro = doc.createElement(QStringLiteral("dentro"));
    Node suelto = doc.createElement(QStringLiteral("suelto"));
    Node g = bloque.firstChild();
    g.appendChild(dentro); // made before suelto: stays on the list of loose nodes
    Node quitado = g.firstChild();
    g.removeChild(quitado); // loose again
    bloque.appendChild(quitado);
    EXPECT_THROW(bloque.deleteChild(root), RunError);
    EXPECT_THROW(doc.deleteChild(bloque), RunError); // not at document level
    EXPECT_THROW(root.deleteChild(Node()), RunError);
    EXPECT_THROW(Node().deleteChild(bloque), RunError);
    root.deleteChild(bloque);
    EXPECT_EQ(root.xml(), "<SERVICIO><otro/></SERVICIO>");
    root.appendChild(suelto);
    EXPECT_EQ(saved(doc), "<!--a-->\n<SERVICIO><otro/><suelto/></SERVICIO>\n");
    doc.deleteChild(root);
    EXPECT_TRUE(doc.root().isNull());
    doc.appendChild(doc.createElement(QStringLiteral("NUEVO")));
    EXPECT_EQ(saved(doc), "<!--a-->\n<NUEVO/>\n");
}

TEST_F(ExchangeSaving, SelectionFollowsTheChangedOrder) {
    Document doc = parse("<r><a><x/></a><b/></r>");
    Node root = doc.root();
    root.appendChild(root.firstChild()); // a (and its child) now after b
    QStringList names;
    for (const Node& n : doc.select(QStringLiteral("/r/a/x | /r/a | /r/b")))
        names << n.name();
    EXPECT_EQ(names, QStringList({"b", "a", "x"}));
}

} // namespace
