// The document is written one teacher group at a time. It must come out byte for byte as
// the former way wrote it: the whole tree built, saved, read back, the teacher counters
// corrected and saved again; the written document, read back as a tree, corrected and
// saved, is that. Checked over documents and values where the two could part: encodings
// and declarations, what surrounds the root, escaped and blank values, characters the
// document's encoding cannot hold, teachers without activities.

#include "ExportFixture.h"

using namespace export_fixture;

namespace {

struct Case {
    const char* name;
    QByteArray prolog;   // before the root: declaration, comments, instructions
    QByteArray epilog;   // after the root
    QString aula;        // SOLUC.AULA of every entry: escaping, blanks, Windows-1252
    QString empleadoLui; // X_EMPLEADO of the teacher with no activity
};

const Case kCases[] = {
    {"Iso88591WithCommentsAndInstructions",
     "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<!-- exportación &#233; -->\n"
     "<?veltra version=\"2\"?>",
     "\n<!-- fin -->\n<?otro?>", QStringLiteral("Aula €œ‘’"), QStringLiteral("1002")},
    {"Utf8WithoutDeclaration", {}, {}, QStringLiteral("A&B <C> \"D\" 'E'"), QStringLiteral("1002")},
    {"DeclarationWithoutEncoding",
     "<?xml version=\"1.0\" standalone=\"yes\"?>\n",
     {},
     QStringLiteral("Aula ñ €"),
     QStringLiteral(" 1002 ")},
    {"Utf8DeclaredWithBlanksAround", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n  ", "\n\n",
     QStringLiteral("   "), QStringLiteral("1002")},
    {"LeadingBlanksTabsAndReturns",
     "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>",
     {},
     QStringLiteral("  A1\tB\rC"),
     QStringLiteral("\t1002")},
    {"Windows1252Declared",
     "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n",
     {},
     QStringLiteral("Aula € Ω"),
     QStringLiteral("1002")},
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

// The former second pass: each regular teacher group's `registros` (its second
// attribute) set to the number of its activity groups, the whole tree saved again.
QByteArray correctedAsTree(const QByteArray& written) {
    exchange::Document doc = exchange::Document::treeFromBytes(written, "salida");
    EXPECT_TRUE(doc.ok()) << doc.errorString().toStdString();
    for (exchange::Node profesor : doc.select(QStringLiteral(
             "/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq=\"HORARIOS_REGULARES\"]/grupo_datos"))) {
        const int actividades = profesor.elementChildren(QStringLiteral("grupo_datos")).size();
        if (profesor.attributeCount() >= 2)
            profesor.setAttributeValue(1, QString::number(actividades));
        else
            profesor.setAttribute(QStringLiteral("registros"), qint64(actividades));
    }
    return doc.toBytes();
}

class Streamed : public ExportTest, public ::testing::WithParamInterface<Case> {
protected:
    School school() const {
        const Case& c = GetParam();
        School s;
        s.proft = {
            {{"ABREV", "ANA"}, {"X_EMPLEADO", "1001"}, {"F_TOMAPOS", "01/09/2015"}},
            {{"ABREV", "NOEMP"}, {"X_EMPLEADO", "   "}, {"F_TOMAPOS", "01/09/2010"}},
            {{"ABREV", "LUI"}, {"X_EMPLEADO", c.empleadoLui}, {"F_TOMAPOS", ""}},
            {{"ABREV", "EVA"}, {"X_EMPLEADO", "1003"}, {"F_TOMAPOS", "02/09/2019"}},
        };
        const auto entry = [&](const char* prof, const char* dia, const char* hora,
                               const char* marco, const char* asig, const char* tarea,
                               const char* grupo) {
            return Row{{"PROF", prof},      {"DIA", dia},     {"HORA", hora},
                       {"MARCO", marco},    {"ASIG", asig},   {"TAREA", tarea},
                       {"CODGRUPO", grupo}, {"AULA", c.aula}, {"CCONCIERTO", "CONC"}};
        };
        s.soluc = {
            entry("ANA", "1", "1", "0", "MAT", "", "ESO1A"),
            entry("ANA", "1", "2", "0", "#GUA", "#07", ""),
            entry("ANA", "3", "4", "1", "LEN", "", "ESO2A"),
            entry("ANA", "0", "0", "", "MAT", "", "ESO1A"),    // unplaced
            entry("ANA", "4", "7", "0", "MAT", "", "ESO1A"),   // no slot
            entry("NOEMP", "1", "1", "0", "MAT", "", "ESO1A"), // no employee key
            entry("EVA", "2", "1", "0", "#REU", "07", ""),
            entry("EVA", "1", "2", "0", "LEN", "", "ESO2A"),
        };
        return s;
    }

    QByteArray exportDocument() {
        const Case& c = GetParam();
        const QString folder = dir.filePath("flujo");
        QDir().mkpath(folder);
        school().write(folder);
        testing_support::writeFile(input, veltraDocument(" 2018 ", c.prolog).trimmed() + c.epilog);
        QFile::remove(output);
        host.documents.push_back(input);
        runExportWith(host, state, RunFolders{folder, {}}, held, opciones);
        EXPECT_TRUE(host.errors.isEmpty()) << host.messages.join(" | ").toStdString();
        return testing_support::readFile(output);
    }
};

TEST_P(Streamed, WritesWhatTheTreeAndItsCorrectionPassWrote) {
    const QByteArray streamed = exportDocument();
    ASSERT_FALSE(streamed.isEmpty());
    EXPECT_EQ(streamed, correctedAsTree(streamed));
    // The teacher without activities is there, in both timetable groups.
    EXPECT_EQ(exchange::Document::treeFromBytes(streamed, "salida")
                  .select("//grupo_datos[starts-with(@seq,'HORARIO_')]")
                  .size(),
              6);
}

INSTANTIATE_TEST_SUITE_P(Documents, Streamed, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return std::string(param.param.name); });

// The writer itself: a piece is written into its hole and freed; the file is what save()
// writes for the tree with the pieces in place. Where the holes cannot be found in the
// encoded bytes (UTF-16), the whole tree is saved instead, with the same result. A piece
// written without nodes (exchange::Piece), alone or between pieces of nodes, gives the
// same bytes: escaping in text and attributes, characters the encoding lacks, an attribute
// set again after the content, empty elements.
TEST(StreamedSave, PiecesGoIntoTheirHolesInEveryEncoding) {
    struct Encoding {
        const char* declaration;
        bool streams;
    };
    for (const Encoding& e :
         {Encoding{"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", true},
          Encoding{"<?xml version=\"1.0\" encoding=\"UTF-8\"?>", true}, Encoding{"", true},
          Encoding{"<?xml version=\"1.0\" encoding=\"windows-1252\"?>", true},
          Encoding{"<?xml version=\"1.0\" encoding=\"UTF-16\"?>", false}}) {
        SCOPED_TRACE(e.declaration);
        QTemporaryDir dir;
        const auto build = [&](exchange::Document& doc, QList<exchange::Node>& holes) {
            QByteArray text = QByteArray(e.declaration) + "<!--a--><R><A/><B x=\"1\"/></R>";
            if (QByteArray(e.declaration).contains("UTF-16")) {
                const QString s = QString::fromUtf8(text);
                text = QByteArray("\xFF\xFE") +
                       QByteArray(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
            }
            doc = exchange::Document::treeFromBytes(text, "prueba");
            ASSERT_TRUE(doc.ok()) << doc.errorString().toStdString();
            for (const char* parent : {"/R/A", "/R/B"}) {
                exchange::Node hole = doc.createElement("hueco");
                doc.selectSingle(parent).appendChild(hole);
                holes << hole;
            }
        };
        const auto piece = [](exchange::Document& doc, const QString& text) {
            exchange::Node p = doc.createElement("P");
            p.setAttribute("v", text);
            p.setAttribute("n", "0");
            exchange::Node q = doc.createElement("Q");
            p.appendChild(q);
            q.setAttribute("w", text);
            q.setAttribute("k", "X_EMPLEADO");
            q.setAttribute("j", "a&b \"c\"");
            q.setText(text);
            p.appendChild(doc.createElement("Q"));
            p.setAttribute("n", "2");
            return p;
        };
        const auto writePiece = [](exchange::Document& doc, exchange::StreamedSave& save,
                                   const QString& text) {
            exchange::Piece p(doc, save, "P");
            p.attribute("v", text);
            p.attribute("n", "0");
            p.open("Q");
            p.attribute("w", text);
            p.attribute("k", "X_EMPLEADO");
            p.attribute("j", "a&b \"c\"");
            p.text(text);
            p.close();
            p.open("Q");
            p.close();
            p.attribute("n", "2");
            p.write();
        };
        const QString texts[] = {QStringLiteral("ñ € <&> Ω \"q\" 'a'\t\n\r;"), QStringLiteral("  "),
                                 QString()};
        QByteArray written[3];
        for (int way = 0; way < 3; ++way) {
            exchange::Document doc;
            QList<exchange::Node> holes;
            build(doc, holes);
            const QString path = dir.filePath(QString::number(way));
            if (way == 1) {
                // The tree with the pieces in place of the holes, saved whole.
                for (exchange::Node hole : holes) {
                    exchange::Node parent =
                        doc.selectSingle(hole == holes.first() ? "/R/A" : "/R/B");
                    parent.removeChild(hole);
                }
                exchange::Node a = doc.selectSingle("/R/A"), b = doc.selectSingle("/R/B");
                a.appendChild(piece(doc, texts[0]));
                b.appendChild(piece(doc, texts[1]));
                b.appendChild(piece(doc, texts[2]));
                doc.save(path);
            } else {
                exchange::StreamedSave save(path, holes);
                EXPECT_EQ(save.streams(), e.streams);
                if (way == 0)
                    save.write(piece(doc, texts[0]));
                else
                    writePiece(doc, save, texts[0]);
                save.nextHole();
                if (way == 0)
                    save.write(piece(doc, texts[1]));
                else
                    writePiece(doc, save, texts[1]);
                save.write(piece(doc, texts[2]));
                save.commit();
            }
            written[way] = testing_support::readFile(path);
        }
        EXPECT_EQ(written[0], written[1]);
        EXPECT_EQ(written[2], written[1]);
        EXPECT_FALSE(written[0].contains("hueco"));
    }
}

// A piece is checked as nodes are: a name or a text XML cannot carry is refused with the
// message the node operations give, and a piece is put together in order.
TEST(StreamedSave, PiecesAreCheckedAsNodesAre) {
    QTemporaryDir dir;
    exchange::Document doc = exchange::Document::treeFromBytes("<R><A/></R>", "prueba");
    exchange::Node hole = doc.createElement("hueco");
    doc.selectSingle("/R/A").appendChild(hole);
    exchange::StreamedSave save(dir.filePath("salida.xml"), {hole});
    ASSERT_TRUE(save.streams());
    const auto messageOf = [](const std::function<void()>& f) {
        try {
            f();
        } catch (const RunError& e) {
            return e.message();
        }
        return QString();
    };
    const auto nodeMessage = [&](const std::function<void(exchange::Node)>& f) {
        return messageOf([&] { f(doc.createElement("dato")); });
    };
    const auto pieceMessage = [&](const std::function<void(exchange::Piece&)>& f) {
        return messageOf([&] {
            exchange::Piece p(doc, save, "P");
            p.open("dato");
            f(p);
        });
    };
    const QString bad = QStringLiteral("A\u0002");
    EXPECT_EQ(pieceMessage([&](exchange::Piece& p) { p.text(bad); }),
              nodeMessage([&](exchange::Node n) { n.setText(bad); }));
    EXPECT_EQ(pieceMessage([&](exchange::Piece& p) { p.attribute("v", bad); }),
              nodeMessage([&](exchange::Node n) { n.setAttribute("v", bad); }));
    EXPECT_EQ(pieceMessage([&](exchange::Piece& p) { p.attribute("1v", "x"); }),
              nodeMessage([&](exchange::Node n) { n.setAttribute("1v", "x"); }));
    EXPECT_EQ(pieceMessage([&](exchange::Piece& p) { p.open("a b"); }),
              messageOf([&] { doc.createElement("a b"); }));
    EXPECT_FALSE(pieceMessage([&](exchange::Piece& p) { p.text(bad); }).isEmpty());
    // Out of order: an attribute after the content, text after a child, a piece unclosed.
    EXPECT_FALSE(pieceMessage([](exchange::Piece& p) {
                     p.text("x");
                     p.attribute("v", "1");
                 }).isEmpty());
    EXPECT_FALSE(pieceMessage([](exchange::Piece& p) {
                     p.close();
                     p.text("x");
                 }).isEmpty());
    EXPECT_FALSE(pieceMessage([](exchange::Piece& p) { p.write(); }).isEmpty());
}

TEST(StreamedSave, WithoutCommitTheTargetStaysAsItWas) {
    QTemporaryDir dir;
    const QString path = dir.filePath("salida.xml");
    testing_support::writeFile(path, "anterior");
    exchange::Document doc = exchange::Document::treeFromBytes("<R><A/></R>", "prueba");
    exchange::Node hole = doc.createElement("hueco");
    doc.selectSingle("/R/A").appendChild(hole);
    {
        exchange::StreamedSave save(path, {hole});
        save.write(doc.createElement("P"));
        // An error in the middle of the run: the save is dropped.
    }
    EXPECT_EQ(testing_support::readFile(path), QByteArray("anterior"));
}

} // namespace
