#include "exchange/ExchangeDocument.h"
#include "text/RunError.h"

#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

using namespace exchange;
using testing_support::writeFile;

namespace {

// Every case read both ways: as a stream (what the runs do) and whole into a tree.
class ExchangeLoading : public testing::TestWithParam<bool> {
protected:
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }
    static bool streamed() { return GetParam(); }
    static Document load(const QString& file) {
        return streamed() ? Document::load(file) : Document::loadTree(file);
    }

    // Loads bytes from a file, checking that libxml2 printed nothing on standard error.
    Document loadBytes(const QByteArray& bytes, const QString& name = QStringLiteral("doc.xml")) {
        writeFile(path(name), bytes);
        testing::internal::CaptureStderr();
        Document doc = load(path(name));
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        return doc;
    }
};

TEST_P(ExchangeLoading, MissingFileThrowsNamingIt) {
    try {
        load(path("no_existe.xml"));
        FAIL() << "no error";
    } catch (const RunError& e) {
        EXPECT_TRUE(e.message().contains("no_existe.xml")) << e.what();
    }
    EXPECT_THROW(load(dir.path()), RunError);
}

// A file is read piece by piece as it is parsed: a large one, whose characters and
// elements fall across the pieces, loads as the same bytes in memory do.
TEST_P(ExchangeLoading, LargeFileLoadsAsItsBytesDo) {
    for (const QByteArray& declaration :
         {QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"), QByteArray()}) {
        QByteArray bytes = declaration + "<SERVICIO><BLOQUE_DATOS>";
        for (int i = 0; i < 4000; ++i) {
            const QByteArray name = declaration.isEmpty() ? "Educaci\xC3\xB3n" : "Educaci\xF3n";
            bytes += "<grupo_datos seq=\"" + QByteArray::number(i) + "\"><dato nombre_dato=\"N\">" +
                     name + " " + QByteArray::number(i) + "</dato></grupo_datos>";
        }
        bytes += "</BLOQUE_DATOS></SERVICIO>\n";
        const Document loaded = loadBytes(bytes);
        ASSERT_TRUE(loaded.ok()) << loaded.errorString().toStdString();
        if (!streamed()) {
            const Document inMemory = Document::treeFromBytes(bytes, QStringLiteral("doc.xml"));
            EXPECT_EQ(loaded.toBytes(), inMemory.toBytes());
            EXPECT_EQ(loaded.toBytes(), bytes);
        }
        const NodeList groups = loaded.topLevelGroups();
        ASSERT_EQ(groups.size(), 4000);
        EXPECT_EQ(itemText(dataItems(groups.at(3999)), 0), QStringLiteral("Educación 3999"));
    }
}

// A document of one group holding one item of the given text.
QByteArray group(const QByteArray& text) {
    return "<SERVICIO><BLOQUE_DATOS><grupo_datos seq=\"G\"><dato>" + text +
           "</dato></grupo_datos></BLOQUE_DATOS></SERVICIO>";
}

TEST_P(ExchangeLoading, DeclaredEncodingIsHonoured) {
    struct Case {
        QByteArray bytes;
        QString text;
    };
    const Case cases[] = {
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + group("Educaci\xF3n"),
         QStringLiteral("Educación")},
        {"<?xml version=\"1.0\" encoding=\"windows-1252\"?>" + group("\x80 \xF1"),
         QStringLiteral("€ ñ")},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + group("Educaci\xC3\xB3n"),
         QStringLiteral("Educación")},
        {"\xEF\xBB\xBF" + group("\xC3\xB1"), QStringLiteral("ñ")},
    };
    for (const Case& c : cases) {
        const Document doc = loadBytes(c.bytes);
        ASSERT_TRUE(doc.ok()) << doc.errorString().toStdString();
        EXPECT_EQ(itemText(dataItems(doc.topLevelGroups().value(0)), 0), c.text);
    }
    EXPECT_EQ(loadBytes(cases[0].bytes).encoding(), "ISO-8859-1");
    EXPECT_EQ(loadBytes("<SERVICIO/>").encoding(), "");
}

TEST_P(ExchangeLoading, NotWellFormedLoadsEmptyWithLineAndMessage) {
    struct Case {
        QByteArray bytes;
        QString line;
    };
    const Case cases[] = {
        {"<SERVICIO>\n<BLOQUE_DATOS>\n</SERVICIO>\n", QStringLiteral("línea 3")},
        {"<SERVICIO>\n<dato>a & b</dato>\n</SERVICIO>", QStringLiteral("línea 2")},
        {"<SERVICIO>&desconocida;</SERVICIO>", QStringLiteral("línea 1")},
        {"<?xml version=\"1.0\"?>\n<SERVICIO>\xF3</SERVICIO>",
         QStringLiteral("línea 2")}, // not UTF-8
        {"<SERVICIO/><OTRO/>", QStringLiteral("línea 1")},
        {"", QString()}, // empty file
        {"   \n", QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes.toStdString());
        const Document doc = loadBytes(c.bytes, QStringLiteral("roto.xml"));
        EXPECT_FALSE(doc.ok());
        EXPECT_TRUE(doc.errorString().contains(QDir::toNativeSeparators(path("roto.xml"))))
            << doc.errorString().toStdString();
        EXPECT_TRUE(doc.errorString().contains(c.line)) << doc.errorString().toStdString();
        // Empty: every selection yields nothing.
        EXPECT_TRUE(doc.root().isNull());
        EXPECT_TRUE(doc.topLevelGroups().isEmpty());
        EXPECT_TRUE(doc.recordsOf(QStringLiteral("MATERIAS")).isEmpty());
        EXPECT_TRUE(doc.topLevelNodes().isEmpty());
    }
    // The parser's own message is carried along.
    const Document doc = loadBytes("<SERVICIO>\n<BLOQUE_DATOS>\n</SERVICIO>\n");
    EXPECT_TRUE(doc.errorString().contains("BLOQUE_DATOS")) << doc.errorString().toStdString();
}

// The parser's complaints reach the user as Spanish sentences with line and column; one
// without a Spanish sentence keeps the parser's words in brackets.
TEST_P(ExchangeLoading, ParserErrorsAreSaidInSpanishWithLineAndColumn) {
    struct Case {
        QByteArray bytes;
        QString expected;
    };
    const Case cases[] = {
        {"<SERVICIO>\n<BLOQUE_DATOS>\n</SERVICIO>\n",
         "línea 3, columna 12: la etiqueta <BLOQUE_DATOS>, abierta en la línea 2, se cierra con "
         "</SERVICIO>."},
        {"<SERVICIO>\n<dato>a & b</dato>\n</SERVICIO>",
         "línea 2, columna 10: falta un nombre; un '&' o un '<' del texto debe escribirse '&amp;' "
         "o '&lt;'."},
        {"<SERVICIO>&desconocida;</SERVICIO>",
         "línea 1, columna 24: la entidad '&desconocida;' no está declarada"},
        {"<SERVICIO/><OTRO/>",
         "línea 1, columna 12: hay contenido después del final del documento."},
        {"hola", "línea 1, columna 1: el documento está vacío o no empieza por una etiqueta"},
        {"<SERVICIO><BLOQUE_DATOS>", "el documento termina sin cerrar la etiqueta"},
        {"<SERVICIO><BLOQUE", "línea 1, columna 18: falta el '>' que cierra una etiqueta."},
        {"<SERVICIO a=\"1\" a=\"2\"/>", "una etiqueta repite el atributo 'a'"},
        {"<SERVICIO>]]></SERVICIO>", "el texto contiene ']]>'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes.toStdString());
        const Document doc = loadBytes(c.bytes, QStringLiteral("roto.xml"));
        ASSERT_FALSE(doc.ok());
        EXPECT_TRUE(doc.errorString().contains(c.expected)) << doc.errorString().toStdString();
        EXPECT_FALSE(doc.errorString().contains(u'[')) << doc.errorString().toStdString();
    }
    // Rarer complaints: a Spanish frame, the parser's own words in brackets.
    const Document odd = loadBytes("<?xml version=\"1.0\" standalone=\"quizá\"?><SERVICIO/>",
                                   QStringLiteral("raro.xml"));
    ASSERT_FALSE(odd.ok());
    EXPECT_TRUE(odd.errorString().contains(QStringLiteral("línea 1, columna ")))
        << odd.errorString().toStdString();
    EXPECT_TRUE(odd.errorString().contains(QStringLiteral("error de sintaxis XML [")))
        << odd.errorString().toStdString();
}

TEST_P(ExchangeLoading, DoctypeIsRefusedSoEntitiesNeverExpand) {
    writeFile(path("secreto.txt"), "CONTENIDO_SECRETO");
    const QByteArray secretUrl = QUrl::fromLocalFile(path("secreto.txt")).toEncoded();
    QByteArray laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE SERVICIO [\n<!ENTITY l0 \"ja\">\n";
    for (int i = 1; i < 10; ++i)
        laughs +=
            QStringLiteral("<!ENTITY l%1 \"&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;\">\n")
                .arg(i)
                .arg(i - 1)
                .toUtf8();
    laughs += "]>\n<SERVICIO>&l9;</SERVICIO>";
    const QByteArray big(100000, 'a');
    QByteArray quadratic = "<!DOCTYPE SERVICIO [<!ENTITY a \"" + big + "\">]><SERVICIO>";
    for (int i = 0; i < 10000; ++i)
        quadratic += "&a;";
    quadratic += "</SERVICIO>";

    const QByteArray cases[] = {
        "<!DOCTYPE SERVICIO>\n<SERVICIO/>",
        "<?xml version=\"1.0\"?>\n<!DOCTYPE SERVICIO SYSTEM "
        "\"http://ejemplo.invalid/x.dtd\"><SERVICIO/>",
        "<?xml version=\"1.0\"?>\n<!DOCTYPE SERVICIO [<!ENTITY s SYSTEM \"" + secretUrl +
            "\">]>\n<SERVICIO><dato>&s;</dato></SERVICIO>",
        laughs,
        quadratic,
    };
    for (const QByteArray& bytes : cases) {
        SCOPED_TRACE(bytes.left(120).toStdString());
        const Document doc = loadBytes(bytes, QStringLiteral("dtd.xml"));
        EXPECT_FALSE(doc.ok());
        EXPECT_TRUE(doc.errorString().contains("DOCTYPE")) << doc.errorString().toStdString();
        EXPECT_TRUE(doc.errorString().contains(QDir::toNativeSeparators(path("dtd.xml"))));
        EXPECT_TRUE(doc.root().isNull());
        EXPECT_FALSE(doc.toBytes().contains("CONTENIDO_SECRETO"));
    }
    EXPECT_TRUE(loadBytes(cases[0], QStringLiteral("dtd.xml"))
                    .errorString()
                    .contains(QStringLiteral("línea 1")));
}

INSTANTIATE_TEST_SUITE_P(BothWays, ExchangeLoading, testing::Values(true, false),
                         [](const auto& param) { return param.param ? "Stream" : "Tree"; });

} // namespace
