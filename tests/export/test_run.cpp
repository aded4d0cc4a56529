// The export run from the chooser to the saved file: header, file name, encoding,
// messages, the result value and the errors that end it.

#include "ExportFixture.h"
#include "OtherProcess.h"

#include <QRegularExpression>

using namespace export_fixture;

namespace {

QList<Row> smallTimetable() {
    return {
        {{"PROF", "ANA"},
         {"DIA", "1"},
         {"HORA", "1"},
         {"MARCO", "0"},
         {"ASIG", "MAT"},
         {"CODGRUPO", "ESO1A"}},
        {{"PROF", "ANA"},
         {"DIA", "1"},
         {"HORA", "2"},
         {"MARCO", "0"},
         {"ASIG", "#GUA"},
         {"TAREA", "#GUA"}},
    };
}

TEST_F(ExportTest, CompletedRunWritesTheHeaderBesideTheChosenFile) {
    School s;
    s.soluc = smallTimetable();
    s.write(work);
    testing_support::writeFile(output, "an older result"); // replaced
    const QByteArray inputBefore = testing_support::readFile(input);
    state.embedded = true;
    run();

    ASSERT_TRUE(host.errors.isEmpty()) << host.errors.join(" | ").toStdString();
    EXPECT_EQ(host.messages, QStringList({"Proceso finalizado"}));
    EXPECT_EQ(state.resultValue, 1);
    EXPECT_EQ(state.filenameXML, input);
    EXPECT_EQ(host.buttonsDisabled, 1);
    EXPECT_EQ(host.closed, 1);
    EXPECT_EQ(host.busyDepth, 0);
    EXPECT_EQ(testing_support::readFile(input), inputBefore);
    // The window's lower strip follows the run's phases.
    EXPECT_EQ(host.steps, QStringList({"1/3 lectura de datos", "2/3 horarios no regulares",
                                       "3/3 horarios regulares"}));

    QByteArray bytes = testing_support::readFile(output);
#ifdef Q_OS_WIN
    // Windows writes the date in the user's regional formats (tests/windows checks them).
    const QRegularExpression windowsDate(
        QStringLiteral("fecha=\"\\d{1,2}/\\d{1,2}/2024 9:05:03\""));
    EXPECT_TRUE(windowsDate.match(QString::fromLatin1(bytes.left(200))).hasMatch())
        << bytes.left(200).toStdString();
    bytes = QString::fromLatin1(bytes)
                .replace(windowsDate, QStringLiteral("fecha=\"07/03/2024 09:05:03\""))
                .toLatin1();
#endif
    // No declaration in the input, none in the output; saved without indentation.
    EXPECT_TRUE(bytes.startsWith("<SERVICIO modulo=\"HORARIOS\" tipo=\"I\" autor=\"TEMPOLAN\" "
                                 "fecha=\"07/03/2024 09:05:03\"><BLOQUE_DATOS><grupo_datos "
                                 "seq=\"ANNO_ACADEMICO\"><dato nombre_dato=\"C_ANNO\">2018</dato>"
                                 "</grupo_datos><grupo_datos seq=\"HORARIOS_NO_REGULARES\""))
        << bytes.left(400).toStdString();
    const auto& doc = result();
    const auto root = doc.root();
    EXPECT_EQ(root.name(), "SERVICIO");
    ASSERT_EQ(root.attributeCount(), 4);
    EXPECT_EQ(root.childCount(), 1);
    const auto data = groups(doc.selectSingle("/SERVICIO/BLOQUE_DATOS"));
    ASSERT_EQ(data.size(), 3);
    EXPECT_EQ(data[0].attributeCount(), 1); // the year group has no registros
    EXPECT_EQ(items(data[0]), QStringList({"C_ANNO=2018"}));
    EXPECT_EQ(data[1].attribute("seq"), "HORARIOS_NO_REGULARES");
    EXPECT_EQ(data[2].attribute("seq"), "HORARIOS_REGULARES");
    // The same teacher under the same number in both groups.
    EXPECT_EQ(teachers(doc, "HORARIOS_REGULARES")[1].attribute("seq"),
              "HORARIO_REGULAR_PROFESOR_2");
    EXPECT_EQ(items(teachers(doc, "HORARIOS_REGULARES")[1]),
              items(teachers(doc, "HORARIOS_NO_REGULARES")[1]));
}

TEST_F(ExportTest, StandaloneRunKeepsTheWindowOpen) {
    School s;
    s.soluc = smallTimetable();
    s.write(work);
    run();
    EXPECT_EQ(state.resultValue, 1);
    EXPECT_EQ(host.buttonsDisabled, 1);
    EXPECT_EQ(host.closed, 0);
}

TEST_F(ExportTest, Iso88591InputGivesIso88591OutputWithItsDeclarationAndComment) {
    testing_support::writeFile(
        input, veltraDocument("2019", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                                      "<!-- exportado por VELTRA -->\n"));
    School s;
    s.soluc = {{{"PROF", "ANA"},
                {"DIA", "1"},
                {"HORA", "1"},
                {"MARCO", "0"},
                {"ASIG", "#GUA"},
                {"TAREA", "#AÑO"}}};
    s.write(work);
    run();
    ASSERT_TRUE(host.errors.isEmpty()) << host.errors.join(" | ").toStdString();
    const QByteArray bytes = testing_support::readFile(output);
    EXPECT_TRUE(bytes.startsWith("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                                 "<!-- exportado por VELTRA -->\n<SERVICIO "))
        << bytes.left(200).toStdString();
    EXPECT_TRUE(bytes.contains("<dato nombre_dato=\"X_ACTIVIDAD\">A\xD1O</dato>"));
    EXPECT_TRUE(bytes.contains("<dato nombre_dato=\"C_ANNO\">2019</dato>"));
}

TEST_F(ExportTest, SchoolYearIsTakenAfterLeadingWhiteSpace) {
    // The year is the start of the first data group's whole text.
    const struct {
        QByteArray firstGroup;
        QString year;
    } cases[] = {
        {"<dato>2017</dato><dato>01/09/2017</dato>", "2017"},
        {"<dato> 2018 </dato>", "2018"},
        {"<dato>\n\t2019/2020</dato>", "2019"},
        {"<dato>17</dato>", "17"},
        {"<dato/><dato>01/09/2017</dato>", "01/0"},
    };
    School s;
    s.write(work);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.firstGroup.toStdString());
        testing_support::writeFile(input, "<SERVICIO><BLOQUE_DATOS><grupo_datos seq=\"A\">" +
                                              c.firstGroup +
                                              "</grupo_datos></BLOQUE_DATOS></SERVICIO>");
        run();
        ASSERT_TRUE(host.errors.isEmpty()) << host.errors.join(" | ").toStdString();
        EXPECT_EQ(items(groups(result().selectSingle("/SERVICIO/BLOQUE_DATOS"))[0]),
                  QStringList({"C_ANNO=" + c.year}));
    }
}

TEST_F(ExportTest, IndentedInputTakesTheYearFromItsFirstGroup) {
    testing_support::writeFile(input, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                      "<SERVICIO>\n  <BLOQUE_DATOS>\n    <grupo_datos seq=\"A\">\n"
                                      "      <dato nombre_dato=\"C_ANNO\">2020</dato>\n"
                                      "    </grupo_datos>\n  </BLOQUE_DATOS>\n</SERVICIO>\n");
    School s;
    s.write(work);
    run();
    ASSERT_TRUE(host.errors.isEmpty()) << host.errors.join(" | ").toStdString();
    EXPECT_TRUE(
        testing_support::readFile(output).contains("<dato nombre_dato=\"C_ANNO\">2020</dato>"));
}

TEST_F(ExportTest, MissingChosenFile) {
    for (const bool embedded : {false, true}) {
        SCOPED_TRACE(embedded ? "embedded" : "standalone");
        ScriptedHost h;
        run::RunState st;
        st.embedded = embedded;
        h.documents.push_back(std::nullopt); // cancelled on the first click
        runExportWith(h, st, RunFolders{work, {}}, held, opciones);
        EXPECT_EQ(h.messages, QStringList({"No existe archivo"}));
        EXPECT_EQ(st.resultValue, embedded ? -1 : 0);
        EXPECT_EQ(h.closed, embedded ? 1 : 0);
        EXPECT_EQ(h.buttonsDisabled, 0);
        EXPECT_EQ(h.busyDepth, 0);
    }
}

TEST_F(ExportTest, SecondClickAfterCancelRunsNormally) {
    School s;
    s.write(work);
    host.documents.push_back(input);
    runExportWith(host, state, RunFolders{work, {}}, held, opciones);
    ASSERT_TRUE(QFile::remove(output));
    host.messages.clear();
    host.documents.push_back(std::nullopt); // cancel: the last chosen file is used again
    runExportWith(host, state, RunFolders{work, {}}, held, opciones);
    EXPECT_EQ(host.messages, QStringList({"Proceso finalizado"}));
    EXPECT_TRUE(QFile::exists(output));
}

TEST_F(ExportTest, MissingPeriodosStopsWithoutWriting) {
    School s;
    s.withPeriodos = false;
    s.write(work);
    state.embedded = true;
    run();
    EXPECT_EQ(
        host.messages,
        QStringList({"ATENCIÓN - PERIODOS.DBF No encontrado - Importe de nuevo XML de VELTRA."}));
    EXPECT_TRUE(host.errors.isEmpty());
    EXPECT_FALSE(QFile::exists(output));
    EXPECT_EQ(state.resultValue, 0);
    EXPECT_EQ(host.closed, 0);
    EXPECT_EQ(host.buttonsDisabled, 0);
    EXPECT_EQ(host.busyDepth, 0);
    // The tables were released: they open for exclusive use again.
    tables::Table t;
    EXPECT_NO_THROW(t.open(work, "SOLUC", tables::OpenMode::Exclusive));
}

TEST_F(ExportTest, MissingWorkingTableIsReportedBeforePeriodos) {
    School s;
    s.withPeriodos = false;
    s.write(work);
    tables::DeleteTable(work, "ASIGT");
    run();
    expectFailedWithoutOutput();
    EXPECT_TRUE(host.errors.value(0).contains("ASIGT", Qt::CaseInsensitive))
        << host.errors.value(0).toStdString();
}

TEST_F(ExportTest, DocumentWithoutDataBlockIsAnError) {
    School s;
    s.write(work);
    for (const QByteArray& xml : {QByteArray("<SERVICIO/>"),
                                  QByteArray("<SERVICIO><BLOQUE_DATOS>\n</BLOQUE_DATOS>"
                                             "</SERVICIO>"),
                                  QByteArray("<SERVICIO><BLOQUE_DATOS>")}) {
        SCOPED_TRACE(xml.toStdString());
        host.errors.clear();
        testing_support::writeFile(input, xml);
        run();
        expectFailedWithoutOutput();
        EXPECT_TRUE(host.errors.value(0).contains("datos.xml"))
            << host.errors.value(0).toStdString();
    }
}

// A value that is not a whole number ends the run; the message names the teacher, the
// entry and the value so the timetable can be mended.
TEST_F(ExportTest, ValuesThatAreNotWholeNumbersEndTheRun) {
    struct Case {
        const char* name;
        Row entry;
        QStringList mentions;
        std::function<void(School&)> change;
    };
    const Row base{{"PROF", "ANA"}, {"DIA", "1"},    {"HORA", "1"},
                   {"MARCO", "0"},  {"ASIG", "MAT"}, {"CODGRUPO", "ESO1A"}};
    auto with = [&](std::initializer_list<std::pair<const char*, const char*>> changes) {
        Row r = base;
        for (const auto& [k, v] : changes)
            r[k] = v;
        return r;
    };
    const std::vector<Case> cases = {
        {"DIA", with({{"DIA", "x"}}), {"SOLUC", "DIA", "«x»", "ANA", "1001", "entrada 2"}, {}},
        {"HORA", with({{"HORA", "?"}}), {"SOLUC", "HORA", "«?»", "ANA", "entrada 2"}, {}},
        {"MINUTOS",
         with({{"ASIG", "#GUA"}, {"TAREA", "#GUA"}}),
         {"DIASHORAST", "MINUTOS", "«abc»", "ANA", "entrada 2"},
         [](School& s) { s.diashorast[0]["MINUTOS"] = "abc"; }},
        {"HORADESDE",
         base,
         {"DIASHORAST", "HORADESDE", "«ab:cd»", "ANA", "entrada 2"},
         [](School& s) { s.diashorast[0]["HORADESDE"] = "ab:cd"; }},
        {"course offer key",
         with({{"CCONCIERTO", "CONC"}}),
         {"CUR_NIV_C", "«X12»", "ANA", "entrada 2"},
         [](School& s) { s.asigt[0]["CLAVECURSO"] = "X12"; }},
        {"activity key",
         with({{"CCONCIERTO", "CONC"}, {"TAREA", "LIB"}}),
         {"AUTORIZA_C", "«LIB»", "ANA", "entrada 2"},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir other;
        work = other.filePath("TLTEMP");
        QDir().mkpath(work);
        host = ScriptedHost();
        School s;
        // The first entry belongs to a teacher that is not exported: never looked at.
        s.soluc = {{{"PROF", "NOEMP"}, {"DIA", "?"}, {"HORA", "?"}}, c.entry};
        if (c.change)
            c.change(s);
        s.write(work);
        run();
        expectFailedWithoutOutput();
        for (const QString& m : c.mentions)
            EXPECT_TRUE(host.errors.value(0).contains(m))
                << m.toStdString() << " not in: " << host.errors.value(0).toStdString();
        tables::Table t;
        EXPECT_NO_THROW(t.open(work, "SOLUC", tables::OpenMode::Exclusive));
    }
}

// Tempolan's SOLUC may hold DIA and HORA in numeric fields; the store writes text fields,
// so their descriptors are turned into numeric ones afterwards, keeping the bytes.
void makeNumeric(const QString& path, const QList<QByteArray>& names) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    QByteArray bytes = f.readAll();
    for (int at = 68; at + 48 <= bytes.size() && bytes.at(at) != '\r'; at += 48) {
        if (names.contains(QByteArray(bytes.constData() + at))) {
            bytes[at + 32] = 'N';
            bytes[at + 34] = 0; // no decimals
        }
    }
    f.seek(0);
    f.write(bytes);
}

TEST_F(ExportTest, NumbersOfSolucAreConvertedOnlyWhereTheyAreRead) {
    struct Case {
        const char* name;
        QList<Row> soluc;
        QStringList mentions; // of the error; none: the run completes
    };
    const Row ana{{"PROF", "ANA"}, {"DIA", "1"},    {"HORA", "1"},
                  {"MARCO", "0"},  {"ASIG", "MAT"}, {"CODGRUPO", "ESO1A"}};
    const Case cases[] = {
        {"teacher not exported, and an unplaced entry",
         {{{"PROF", "NOEMP"}, {"DIA", "x"}, {"HORA", "y"}},
          {{"PROF", "ANA"}, {"DIA", "0"}, {"HORA", "z"}},
          ana},
         {}},
        {"a placed entry",
         {ana, {{"PROF", "LUI"}, {"DIA", "1"}, {"HORA", "h"}, {"ASIG", "MAT"}}},
         {"SOLUC", "HORA", "«h»", "entrada 2", "LUI", "1002"}},
        {"the day of an exported teacher's entry",
         {{{"PROF", "LUI"}, {"DIA", "d"}, {"HORA", "1"}}},
         {"SOLUC", "DIA", "«d»", "entrada 1", "LUI", "1002"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir other;
        work = other.filePath("TLTEMP");
        QDir().mkpath(work);
        host = ScriptedHost();
        state = run::RunState();
        QFile::remove(output);
        School s;
        s.soluc = c.soluc;
        s.write(work);
        makeNumeric(work + "/SOLUC.DBF", {"DIA", "HORA"});
        run();
        if (c.mentions.isEmpty()) {
            EXPECT_TRUE(host.errors.isEmpty()) << host.errors.join(" | ").toStdString();
            EXPECT_TRUE(QFile::exists(output));
            continue;
        }
        expectFailedWithoutOutput();
        for (const QString& m : c.mentions)
            EXPECT_TRUE(host.errors.value(0).contains(m))
                << m.toStdString() << " not in: " << host.errors.value(0).toStdString();
    }
}

TEST_F(ExportTest, ValueXmlCannotCarryNamesWhereItComesFrom) {
    struct Case {
        const char* name;
        std::function<void(School&)> change;
        QStringList mentions;
    };
    const Case cases[] = {
        {"teacher's date",
         [](School& s) { s.proft[0]["F_TOMAPOS"] = QStringLiteral("01/09\u0001"); },
         {"F_TOMAPOS", "PROFT.F_TOMAPOS del profesor ANA", "U+0001"}},
        {"room of an entry",
         [](School& s) { s.soluc[0]["AULA"] = QStringLiteral("A\u0002"); },
         {"X_DEPENDENCIA", "SOLUC.AULA", "entrada 1 de SOLUC", "ANA", "U+0002"}},
        {"unit of a group",
         [](School& s) { s.grupost[0]["CLAVE"] = QStringLiteral("U\u0003"); },
         {"X_UNIDAD", "GRUPOST.CLAVE", "entrada 1 de SOLUC", "ANA", "U+0003"}},
        {"activity of a non-regular entry",
         [](School& s) { s.soluc[1]["TAREA"] = QStringLiteral("#GU\u0004"); },
         {"X_ACTIVIDAD", "SOLUC.TAREA", "entrada 2 de SOLUC", "ANA", "U+0004"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir other;
        work = other.filePath("TLTEMP");
        QDir().mkpath(work);
        host = ScriptedHost();
        School s;
        s.soluc = smallTimetable();
        c.change(s);
        s.write(work);
        run();
        expectFailedWithoutOutput();
        for (const QString& m : c.mentions)
            EXPECT_TRUE(host.errors.value(0).contains(m))
                << m.toStdString() << " not in: " << host.errors.value(0).toStdString();
    }
}

TEST_F(ExportTest, SolucHeldByAnotherProcess) {
    School s;
    s.soluc = smallTimetable();
    s.write(work);

    // Tempolan stands in: it holds SOLUC for exclusive use while the export runs.
    testing_support::OtherProcess tempolan(work, QStringLiteral("SOLUC"), "exclusive", "hold");
    ASSERT_EQ(tempolan.report(), QStringLiteral("held"));
    run();
    tempolan.release();

    expectFailedWithoutOutput();
    EXPECT_TRUE(host.errors.value(0).contains("SOLUC", Qt::CaseInsensitive))
        << host.errors.value(0).toStdString();
}

} // namespace
