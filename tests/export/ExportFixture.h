#pragma once

// Small working folders for the export: the tables the import leaves, with the import's
// layouts, and a SOLUC as Tempolan writes it, all through the table store.

#include "TestSupport.h"

#include "exchange/ExchangeDocument.h"
#include "export/ExportInternal.h"
#include "export/ExportRun.h"
#include "tables/Table.h"
#include "tables/WorkingTables.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

namespace export_fixture {

using tables::FieldDef;
using tables::FieldType;

// The regional settings the header date is formatted with, for one scope: LC_ALL set to
// `name`; the variables as they were afterwards.
class ScopedTimeLocale {
public:
    explicit ScopedTimeLocale(const char* name) {
        for (const char* v : kVariables)
            saved_.append({v, qEnvironmentVariableIsSet(v), qgetenv(v)});
        qunsetenv("LC_TIME");
        qunsetenv("LANG");
        qputenv("LC_ALL", QByteArray(name));
    }
    ~ScopedTimeLocale() {
        for (const Saved& s : saved_) {
            if (s.set)
                qputenv(s.name, s.value);
            else
                qunsetenv(s.name);
        }
    }
    ScopedTimeLocale(const ScopedTimeLocale&) = delete;
    ScopedTimeLocale& operator=(const ScopedTimeLocale&) = delete;

private:
    static constexpr const char* kVariables[] = {"LC_ALL", "LC_TIME", "LANG"};
    struct Saved {
        const char* name;
        bool set;
        QByteArray value;
    };
    QList<Saved> saved_;
};

// One row: field name -> value as text; fields left out stay empty.
using Row = QHash<QString, QString>;

inline void writeTable(const QString& folder, const QString& name, const QList<FieldDef>& fields,
                       const QList<Row>& rows) {
    tables::DeleteTable(folder, name);
    tables::CreateTable(folder, name, fields);
    tables::Table t;
    t.open(folder, name, tables::OpenMode::Exclusive);
    for (const Row& row : rows) {
        t.append();
        for (const FieldDef& f : fields) {
            const auto it = row.constFind(f.name);
            if (it == row.cend() || (f.type != FieldType::Text && it->isEmpty()))
                continue;
            switch (f.type) {
            case FieldType::Text:
                t.setText(f.name, *it);
                break;
            case FieldType::Integer:
                t.setInt(f.name, it->toInt());
                break;
            case FieldType::Float:
                t.setFloat(f.name, it->toDouble());
                break;
            case FieldType::Boolean:
                t.setBool(f.name, *it == QLatin1String("T"));
                break;
            }
        }
        t.post();
    }
    t.close();
}

struct School {
    bool withPeriodos = true;
    QList<Row> periodos{
        {{"CURSOANNO", "2018"}, {"F_INICIO", "01/09/2018"}, {"F_FIN", "30/06/2019"}}};
    QList<Row> cursost{{{"CLAVE", "500"}, {"NIVEL", "ESO"}, {"CURSO", "1"}, {"ESTUD", "ESO 1"}}};
    QList<Row> aulat{{{"ABREV", "A1"}, {"NOMBRE", "Aula 1"}, {"DEPCENTRO", "A1"}}};
    QList<Row> proft{
        {{"ABREV", "ANA"}, {"X_EMPLEADO", "1001"}, {"F_TOMAPOS", "01/09/2015"}},
        {{"ABREV", "NOEMP"}, {"X_EMPLEADO", "   "}, {"F_TOMAPOS", "01/09/2010"}},
        {{"ABREV", "LUI"}, {"X_EMPLEADO", "1002"}, {"F_TOMAPOS", "15/10/2016"}},
    };
    QList<Row> grupost{
        {{"ABREV", "ESO1A"}, {"CLAVE", "U1"}, {"CLAVECURSO", "500"}, {"MARCO", "0"}},
        {{"ABREV", "ESO2A"}, {"CLAVE", "U2"}, {"CLAVECURSO", "600"}, {"MARCO", "0"}},
    };
    QList<Row> asignomt{
        {{"COD", "MAT"}, {"NOMBRE", "Matemáticas"}, {"ESTAREA", "F"}},
        {{"COD", "LEN"}, {"NOMBRE", "Lengua"}, {"ESTAREA", "F"}},
        {{"COD", "#GUA"}, {"CODTAREA", "#GUA"}, {"ESTAREA", "T"}, {"R_UNI_MAT", "NN"}},
    };
    QList<Row> asignomt2{
        {{"COD", "MAT"}, {"OFERTAMATRI", "500"}, {"MATERIA", "M999"}},
        {{"COD", "LEN"}, {"OFERTAMATRI", "600"}, {"MATERIA", "L200"}},
    };
    QList<Row> asigt{
        {{"CASIG", "MAT"}, {"CGRUP", "ESO1A"}, {"CLAVE", "M100"}, {"CLAVECURSO", "500"}},
        {{"CASIG", "LEN"}, {"CGRUP", "ESO2A"}, {"CLAVE", ""}, {"CLAVECURSO", ""}},
    };
    QList<Row> diashorast{
        {{"DIHO", "11"},
         {"CODDIHO", "T11"},
         {"DIA", "1"},
         {"HORA", "1"},
         {"HORADESDE", "08:30"},
         {"HORAHASTA", "09:25"},
         {"MINUTOS", "55"},
         {"MARCO", "0"},
         {"MARCOXML", "M1"}},
        {{"DIHO", "12"},
         {"CODDIHO", "T12"},
         {"DIA", "1"},
         {"HORA", "2"},
         {"HORADESDE", "09:25"},
         {"HORAHASTA", "10:20"},
         {"MINUTOS", "55"},
         {"MARCO", "0"},
         {"MARCOXML", "M1"}},
        {{"DIHO", "21"},
         {"CODDIHO", "T21"},
         {"DIA", "2"},
         {"HORA", "1"},
         {"HORADESDE", "08:00"},
         {"HORAHASTA", "07:30"},
         {"MINUTOS", "-30"},
         {"MARCO", "0"},
         {"MARCOXML", "M1"}},
        {{"DIHO", "34"},
         {"CODDIHO", "T34A"},
         {"DIA", "3"},
         {"HORA", "4"},
         {"HORADESDE", "11:00"},
         {"HORAHASTA", "11:55"},
         {"MINUTOS", "55"},
         {"MARCO", "0"},
         {"MARCOXML", "M1"}},
        {{"DIHO", "34"},
         {"CODDIHO", "T34B"},
         {"DIA", "3"},
         {"HORA", "4"},
         {"HORADESDE", "16:00"},
         {"HORAHASTA", "16:30"},
         {"MINUTOS", "30"},
         {"MARCO", "1"},
         {"MARCOXML", "M2"}},
    };
    // nullopt: the table's file does not exist.
    std::optional<QList<Row>> origenes = QList<Row>{{{"X_CATORIHOR", "7"}, {"C_ORIHOR", "CONC"}}};
    std::optional<QList<Row>> curniv =
        QList<Row>{{{"X_OFERTAMATRIG", "500"}, {"X_NIVCONPAGLEG", "40"}}};
    std::optional<QList<Row>> autoriza = QList<Row>{{{"X_ORIHORACTETP", "9001"},
                                                     {"X_ACTIVIDAD", "1"},
                                                     {"X_CATORIHOR", "7"},
                                                     {"X_NIVCONPAGLEG", "40"}}};

    // SOLUC with DIA and HORA as character fields (false) or as numeric fields (true).
    bool numericSoluc = false;
    QList<Row> soluc;

    void write(const QString& folder) const {
        if (withPeriodos)
            writeTable(folder, tables::PERIODOS::kName, tables::PERIODOS::fields(), periodos);
        writeTable(folder, tables::CURSOST::kName, tables::CURSOST::fields(), cursost);
        writeTable(folder, tables::ASIGNOMT::kName, tables::ASIGNOMT::fields(), asignomt);
        writeTable(folder, tables::ASIGNOMT2::kName, tables::ASIGNOMT2::fields(), asignomt2);
        writeTable(folder, tables::PROFT::kName, tables::PROFT::fields(), proft);
        writeTable(folder, tables::AULAT::kName, tables::AULAT::fields(), aulat);
        writeTable(folder, tables::GRUPOST::kName, tables::GRUPOST::fields(), grupost);
        writeTable(folder, tables::ASIGT::kName, tables::ASIGT::fields(), asigt);
        writeTable(folder, tables::DIASHORAST::kName, tables::DIASHORAST::fields(), diashorast);
        if (origenes)
            writeTable(folder, tables::ORIGENES_C::kName, tables::ORIGENES_C::fields(), *origenes);
        if (curniv)
            writeTable(folder, tables::CUR_NIV_C::kName, tables::CUR_NIV_C::fields(), *curniv);
        if (autoriza)
            writeTable(folder, tables::AUTORIZA_C::kName, tables::AUTORIZA_C::fields(), *autoriza);
        using tables::SOLUC::DayAndSlot;
        writeTable(folder, tables::SOLUC::kName,
                   tables::SOLUC::fields(numericSoluc ? DayAndSlot::Numeric : DayAndSlot::Text),
                   soluc);
    }
};

// An exchange document as Veltra exports it, with the school year first.
inline QByteArray veltraDocument(const QByteArray& year = " 2018 ", const QByteArray& prolog = {}) {
    return prolog +
           "<SERVICIO modulo=\"EXPORTACION\" tipo=\"E\" autor=\"VELTRA\">"
           "<BLOQUE_DATOS><grupo_datos seq=\"ANNO\"><dato nombre_dato=\"C_ANNO\">" +
           year +
           "</dato><dato nombre_dato=\"F_INICIO\">01/09/2018</dato>"
           "<dato nombre_dato=\"F_FIN\">30/06/2019</dato></grupo_datos>"
           "<grupo_datos seq=\"MATERIAS\" registros=\"1\"><grupo_datos>"
           "<dato nombre_dato=\"X_OFERTAMATRIG\">500</dato></grupo_datos></grupo_datos>"
           "</BLOQUE_DATOS></SERVICIO>\n";
}

// A scratch working folder with the chosen document datos.xml in a VELTRA folder.
class ExportTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString work;
    QString input;
    QString output;
    ScriptedHost host;
    run::RunState state;
    exchange::Document held;

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        work = dir.filePath("TLTEMP");
        QDir().mkpath(work);
        input = dir.filePath("TLTEMP/VELTRA/datos.xml");
        output = dir.filePath("TLTEMP/VELTRA/ResultadoTempolandatos.xml");
        testing_support::writeFile(input, veltraDocument());
        timeLocale.emplace("C");
    }
    void TearDown() override { timeLocale.reset(); }
    // A fixed moment for the header's `fecha`.
    const OpcionesExport opciones{
        [] { return QDateTime(QDate(2024, 3, 7), QTime(9, 5, 3), Qt::UTC); }};
    std::optional<ScopedTimeLocale> timeLocale;

    void run() {
        host.documents.push_back(input);
        runExportWith(host, state, RunFolders{work, {}}, held, opciones);
    }

    // The run ended with one error report and left nothing behind.
    void expectFailedWithoutOutput() {
        EXPECT_EQ(host.errors.size(), 1) << host.messages.join(" | ").toStdString();
        EXPECT_FALSE(QFile::exists(output));
        EXPECT_EQ(state.resultValue, 0);
        EXPECT_EQ(host.busyDepth, 0);
        EXPECT_EQ(host.buttonsDisabled, 0);
        EXPECT_EQ(host.closed, 0);
        EXPECT_FALSE(host.messages.contains("Proceso finalizado"));
    }

    // The saved output, held by the fixture so that its nodes stay valid.
    exchange::Document out;
    const exchange::Document& result() {
        out = exchange::Document::loadTree(output);
        EXPECT_TRUE(out.ok()) << out.errorString().toStdString();
        return out;
    }
};

// "NAME=value" for every data item of a group, in order.
inline QStringList items(const exchange::Node& group) {
    QStringList r;
    for (const auto& d : group.elementChildren("dato"))
        r << d.attribute("nombre_dato") + "=" + d.text();
    return r;
}

inline QList<exchange::Node> groups(const exchange::Node& group) {
    return group.elementChildren("grupo_datos");
}

// The teacher groups of one of the two timetable groups.
inline QList<exchange::Node> teachers(const exchange::Document& d, const QString& seq) {
    return d.select("/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq=\"" + seq + "\"]/grupo_datos");
}

// The items of a regular activity group, with the periods of the base school.
inline QStringList regular(const QString& dia, const QString& tramo, const QString& aula,
                           const QString& unidad, const QString& oferta, const QString& materia,
                           int ini, int fin, const QString& actividad,
                           const QString& autorizacion = {}) {
    QStringList r{"N_DIASEMANA=" + dia,
                  "X_TRAMO=" + tramo,
                  "X_DEPENDENCIA=" + aula,
                  "X_UNIDAD=" + unidad,
                  "X_OFERTAMATRIG=" + oferta,
                  "X_MATERIAOMG=" + materia,
                  "F_INICIO=01/09/2018",
                  "F_FIN=30/06/2019",
                  "N_HORINI=" + QString::number(ini),
                  "N_HORFIN=" + QString::number(fin),
                  "X_ACTIVIDAD=" + actividad};
    if (!autorizacion.isEmpty())
        r << "X_ORIHORACTETP=" + autorizacion;
    return r;
}

} // namespace export_fixture
