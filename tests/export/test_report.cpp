// What the export leaves out or writes with a warning: one item per thing, with its
// reason; the text report beside the document; the sentence of the completion message.
#include "ExportFixture.h"

#include "run/RunReport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace export_fixture;
using run::ReportKind;

namespace {

// An input document that knows T11 and T12, room A1, unit U1, offers 500 and 600 and
// subjects M100, L200 and M999.
QByteArray knowingDocument() {
    const auto record = [](std::initializer_list<std::pair<const char*, const char*>> items) {
        QByteArray r = "<grupo_datos>";
        for (const auto& [name, value] : items)
            r += QByteArray("<dato nombre_dato=\"") + name + "\">" + value + "</dato>";
        return r + "</grupo_datos>";
    };
    const auto group = [](const char* seq, const QByteArray& records) {
        return QByteArray("<grupo_datos seq=\"") + seq + "\">" + records + "</grupo_datos>";
    };
    return "<SERVICIO><BLOQUE_DATOS>"
           "<grupo_datos seq=\"ANNO\"><dato nombre_dato=\"C_ANNO\">2018</dato></grupo_datos>" +
           group("CURSOS_DEL_CENTRO", record({{"X_OFERTAMATRIG", "500"}, {"D", "x"}}) +
                                          record({{"X_OFERTAMATRIG", "600"}, {"D", "y"}})) +
           group("MATERIAS",
                 record(
                     {{"X_OFERTAMATRIG", "500"}, {"X_MATERIAOMG", "M100"}, {"D_MATERIAC", "Mat"}}) +
                     record({{"X_OFERTAMATRIG", "600"},
                             {"D_MATERIAC", "Len"},
                             {"X_MATERIAOMG", "L200"}}) +
                     record({{"X_OFERTAMATRIG", "500"}, {"X_MATERIAOMG", "M999"}})) +
           group("DEPENDENCIAS", record({{"X_DEPENDENCIA", "A1"}, {"D", "Aula"}})) +
           group("UNIDADES", record({{"X_UNIDAD", "U1"}, {"D", "1A"}, {"X_OFERTAMATRIG", "500"}})) +
           group("TRAMOS_HORARIOS", record({{"X_TRAMO", "T11"}}) + record({{"X_TRAMO", "T12"}})) +
           "</BLOQUE_DATOS></SERVICIO>\n";
}

Row entry(const char* prof, const char* dia, const char* hora, const char* asig, const char* tarea,
          const char* grupo, const char* aula = "") {
    return {{"PROF", prof}, {"DIA", dia},     {"HORA", hora},      {"MARCO", "0"},
            {"ASIG", asig}, {"TAREA", tarea}, {"CODGRUPO", grupo}, {"AULA", aula}};
}

// Each kind once, in SOLUC order; NOEMP, the second PROFT row, has no employee key.
School schoolOfEveryKind() {
    School s;
    s.asignomt << Row{{"COD", "CLU"}, {"CODTAREA", "CLU"}, {"ESTAREA", "T"}, {"R_UNI_MAT", "SN"}}
               << Row{{"COD", "CLM"}, {"CODTAREA", "CLM"}, {"ESTAREA", "T"}, {"R_UNI_MAT", "NS"}};
    s.soluc = {
        entry("ANA", "1", "1", "MAT", "", "ESO1A", "A1"), // 1: written, all known
        entry("ANA", "1", "2", "MAT", "CLU", "NOPE"),     // 2: requires a unit
        entry("ANA", "1", "2", "XXX", "CLM", "ESO1A"),    // 3: requires a subject
        entry("ANA", "5", "5", "MAT", "", "ESO1A"),       // 4: no slot
        entry("LUI", "1", "1", "LEN", "", "ESO2A", "A9"), // 5: unit U2, room A9 unknown
        entry("LUI", "0", "0", "MAT", "", "ESO1A"),       // 6: not placed
        entry("NOEMP", "1", "1", "MAT", "", "ESO1A"),     // 7: teacher left out
        entry("ANA", "1", "2", "#GUA", "#GUA", ""),       // 8: non-regular, has a slot
    };
    return s;
}

QString reportText(const QString& path) {
    return QString::fromUtf8(testing_support::readFile(path));
}

} // namespace

class ExportReportTest : public ExportTest {
protected:
    QString textReport() const { return dir.filePath("TLTEMP/VELTRA/ResultadoTempolandatos.txt"); }
};

TEST_F(ExportReportTest, EachKindIsNotedWithWhereAndWhy) {
    testing_support::writeFile(input, knowingDocument());
    schoolOfEveryKind().write(work);
    run();
    ASSERT_TRUE(host.errors.isEmpty()) << host.errors.join(" | ").toStdString();
    ASSERT_TRUE(host.report.has_value());
    const run::RunReport& r = *host.report;

    struct Expected {
        ReportKind kind;
        QString table;
        int record;
        QString teacher;
        QString value;
    };
    const QList<Expected> expected = {
        {ReportKind::TeacherWithoutEmployee, "PROFT", 2, "NOEMP", ""},
        {ReportKind::EntryRejectedUnit, "SOLUC", 2, "ANA", "NOPE"},
        {ReportKind::EntryRejectedSubject, "SOLUC", 3, "ANA", "XXX"},
        {ReportKind::EntryWithoutSlot, "SOLUC", 4, "ANA", "5/5"},
        {ReportKind::EntryUnknownIdentifier, "SOLUC", 5, "LUI", "A9"},
        {ReportKind::EntryUnknownIdentifier, "SOLUC", 5, "LUI", "U2"},
    };
    ASSERT_EQ(int(r.items().size()), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        const run::ReportItem& item = r.items()[size_t(i)];
        EXPECT_EQ(item.kind, expected[i].kind);
        EXPECT_EQ(item.table, expected[i].table);
        EXPECT_EQ(item.record, expected[i].record);
        EXPECT_EQ(item.teacher, expected[i].teacher);
        EXPECT_EQ(item.value, expected[i].value);
        EXPECT_FALSE(item.reason.isEmpty());
        EXPECT_TRUE(item.group.isEmpty());
    }
    EXPECT_EQ(r.leftOut(), 3);
    EXPECT_EQ(r.warnings(), 3);

    // The completion box keeps its text; its detail names the document and, apart, what
    // to look at, counted by cause, then the report on a line of its own.
    EXPECT_EQ(host.messages, QStringList({"Proceso finalizado"}));
    ASSERT_EQ(host.details.size(), 1);
    EXPECT_TRUE(host.details[0].startsWith("Documento escrito: "));
    EXPECT_TRUE(host.details[0].endsWith(
        "\n\n6 avisos que conviene revisar (3 elementos no se han transferido). Detalles en el "
        "informe:\n" +
        QDir::toNativeSeparators(textReport())))
        << host.details[0].toStdString();

    // Notepad reads it: a byte order mark, CRLF line ends only.
    const QByteArray bytes = testing_support::readFile(textReport());
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(bytes.count("\r\n"), bytes.count('\n'));
    const QString text = reportText(textReport());
    EXPECT_TRUE(text.contains("tabla PROFT, registro 2, profesor NOEMP")) << text.toStdString();
    EXPECT_TRUE(text.contains("tabla SOLUC, registro 5, profesor LUI")) << text.toStdString();
    EXPECT_LT(text.indexOf("No se han transferido:"), text.indexOf("Avisos"));
    // First the causes in school terms, the teacher by name; the detail follows.
    EXPECT_TRUE(text.contains(QStringLiteral("  - Profesores sin código de empleado de VELTRA, "
                                             "cuyo horario no se exporta:\r\n"
                                             "      · Profesor NOEMP: no tiene el código de "
                                             "empleado de VELTRA; su horario no se exporta\r\n")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("  - Grupo «NOPE»: no está entre los grupos "
                                             "importados; sus clases no se exportan\r\n")))
        << text.toStdString();
    EXPECT_LT(text.indexOf("Conviene revisar:"), text.indexOf("En detalle"));
    EXPECT_LT(text.indexOf("En detalle"), text.indexOf("tabla PROFT, registro 2"));

    // The JSON form, as the batch front end writes it.
    const QJsonObject json = QJsonDocument::fromJson(r.toJson()).object();
    EXPECT_EQ(json["run"].toString(), "export");
    EXPECT_EQ(json["document"].toString(), QDir::toNativeSeparators(input));
    const QJsonObject counts = json["counts"].toObject();
    EXPECT_EQ(counts.size(), 5);
    EXPECT_EQ(counts["entry_unknown_identifier"].toInt(), 2);
    EXPECT_EQ(counts["teacher_without_employee"].toInt(), 1);
    const QJsonArray causes = json["causes"].toArray();
    ASSERT_EQ(causes.size(), 6);
    EXPECT_EQ(causes[0].toObject()["kind"].toString(), "teacher_without_employee");
    EXPECT_EQ(causes[0].toObject()["count"].toInt(), 1);
    const QJsonArray items = json["items"].toArray();
    ASSERT_EQ(items.size(), 6);
    EXPECT_EQ(items[0].toObject(), (QJsonObject{{"kind", "teacher_without_employee"},
                                                {"reason", r.items()[0].reason},
                                                {"table", "PROFT"},
                                                {"record", 2},
                                                {"teacher", "NOEMP"}}));
}

TEST_F(ExportReportTest, KindsWhoseGroupTheInputLacksAreNotChecked) {
    // The base document has only MATERIAS, and no record of it names a subject: every
    // subject written is unknown, and nothing else is checked.
    School s;
    s.proft.removeAt(1);
    s.soluc = {entry("ANA", "1", "1", "MAT", "", "ESO1A", "ZZ")};
    s.write(work);
    run();
    ASSERT_TRUE(host.report.has_value());
    ASSERT_EQ(host.report->items().size(), 1u);
    EXPECT_EQ(host.report->items()[0].kind, ReportKind::EntryUnknownIdentifier);
    EXPECT_EQ(host.report->items()[0].value, "M100");
}

TEST_F(ExportReportTest, NothingToReportDeletesAnOlderReport) {
    testing_support::writeFile(input, knowingDocument());
    testing_support::writeFile(textReport(), "older");
    School s;
    s.proft.removeAt(1);
    s.soluc = {entry("ANA", "1", "1", "MAT", "", "ESO1A", "A1")};
    s.write(work);
    run();
    ASSERT_TRUE(host.report.has_value());
    EXPECT_TRUE(host.report->empty());
    EXPECT_FALSE(QFile::exists(textReport()));
    EXPECT_EQ(host.details,
              QStringList({"Documento escrito: " + QDir::toNativeSeparators(output)}));
    EXPECT_TRUE(host.reportSentence.isEmpty());
}

TEST_F(ExportReportTest, AReportThatCannotBeWrittenIsSaidAndTheRunCompletes) {
    testing_support::writeFile(input, knowingDocument());
    QDir().mkpath(textReport()); // a folder where the report would go
    schoolOfEveryKind().write(work);
    run();
    EXPECT_TRUE(host.errors.isEmpty());
    EXPECT_EQ(state.resultValue, 1);
    EXPECT_TRUE(QFile::exists(output));
    ASSERT_EQ(host.details.size(), 1);
    EXPECT_TRUE(host.details[0].contains("No se ha podido escribir el informe"))
        << host.details[0].toStdString();
}
