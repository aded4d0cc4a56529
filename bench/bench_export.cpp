// The export run on a large school: a 50,000-entry SOLUC, hundreds of teachers and
// groups, thousands of assignments, two frames of slots and the catalogues.

#include "export/ExportRun.h"
#include "tables/Table.h"
#include "tables/WorkingTables.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <memory>

namespace {

using tables::FieldDef;

class QuietHost : public RunHost {
public:
    QString document;
    int errors = 0;
    std::optional<QString> chooseDocument() override { return document; }
    void showMessage(const QString&) override {}
    bool askOkCancel(const QString&, const QString&) override { return true; }
    void reportError(const QString& text) override {
        ++errors;
        std::fprintf(stderr, "%s\n", qPrintable(text));
    }
    void setBusy(bool) override {}
    void closeMainWindow() override {}
    void disableRunButtons() override {}
};

constexpr int kTeachers = 400;
constexpr int kGroups = 300;
constexpr int kSubjects = 400;
constexpr int kActivities = 100;
constexpr int kSlots = 8; // per day and frame

struct LargeSchool {
    QTemporaryDir dir;
    QString work;
    QString input;

    explicit LargeSchool(int entries) {
        work = dir.filePath("TLTEMP");
        QDir().mkpath(work);
        input = dir.filePath("datos.xml");
        QFile f(input);
        if (f.open(QIODevice::WriteOnly))
            f.write("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<SERVICIO><BLOQUE_DATOS>"
                    "<grupo_datos seq=\"A\"><dato nombre_dato=\"C_ANNO\">2018</dato>"
                    "</grupo_datos></BLOQUE_DATOS></SERVICIO>\n");

        using tables::Table;
        auto create = [&](const QString& name, const QList<FieldDef>& fields, auto&& fill) {
            tables::DeleteTable(work, name);
            tables::CreateTable(work, name, fields);
            Table t;
            t.open(work, name, tables::OpenMode::Exclusive);
            fill(t);
            t.close();
        };
        auto row = [](Table& t, std::initializer_list<std::pair<const char*, QString>> values) {
            t.append();
            for (const auto& [k, v] : values)
                t.setText(QString::fromLatin1(k), v);
            t.post();
        };

        create(tables::PERIODOS::kName, tables::PERIODOS::fields(), [&](Table& t) {
            row(t, {{"CURSOANNO", "2018"}, {"F_INICIO", "01/09/2018"}, {"F_FIN", "30/06/2019"}});
        });
        create(tables::CURSOST::kName, tables::CURSOST::fields(), [&](Table&) {});
        create(tables::AULAT::kName, tables::AULAT::fields(), [&](Table&) {});
        create(tables::PROFT::kName, tables::PROFT::fields(), [&](Table& t) {
            for (int i = 0; i < kTeachers; ++i)
                row(t, {{"ABREV", QString("P%1").arg(i)},
                        {"X_EMPLEADO", QString::number(10000 + i)},
                        {"F_TOMAPOS", "01/09/2010"}});
        });
        create(tables::GRUPOST::kName, tables::GRUPOST::fields(), [&](Table& t) {
            for (int g = 0; g < kGroups; ++g)
                row(t, {{"ABREV", QString("G%1").arg(g)},
                        {"CLAVE", QString::number(5000 + g)},
                        {"CLAVECURSO", QString::number(700 + g % 30)}});
        });
        create(tables::ASIGNOMT::kName, tables::ASIGNOMT::fields(), [&](Table& t) {
            for (int s = 0; s < kSubjects; ++s)
                row(t, {{"COD", QString("S%1").arg(s)}});
            for (int a = 0; a < kActivities; ++a) {
                const QString cod = (a % 2 ? "#" : "") + QString::number(100 + a);
                row(t, {{"COD", cod}, {"CODTAREA", cod}, {"R_UNI_MAT", "SN"}});
            }
        });
        create(tables::ASIGNOMT2::kName, tables::ASIGNOMT2::fields(), [&](Table& t) {
            for (int s = 0; s < kSubjects; ++s)
                for (int o = 0; o < 30; o += 3)
                    row(t, {{"COD", QString("S%1").arg(s)},
                            {"OFERTAMATRI", QString::number(700 + o)},
                            {"MATERIA", QString::number(90000 + s)}});
        });
        create(tables::ASIGT::kName, tables::ASIGT::fields(), [&](Table& t) {
            for (int s = 0; s < kSubjects; ++s)
                for (int g = s % 7; g < kGroups; g += 17)
                    row(t, {{"CASIG", QString("S%1").arg(s)},
                            {"CGRUP", QString("G%1").arg(g)},
                            {"CLAVE", QString::number(90000 + s)},
                            {"CLAVECURSO", QString::number(700 + g % 30)}});
        });
        create(tables::DIASHORAST::kName, tables::DIASHORAST::fields(), [&](Table& t) {
            for (int d = 1; d <= 7; ++d)
                for (int m = 0; m < 2; ++m)
                    for (int h = 1; h <= kSlots; ++h) {
                        const int begin = (m ? 900 : 480) + (h - 1) * 55;
                        auto hhmm = [](int v) {
                            return QString("%1:%2")
                                .arg(v / 60, 2, 10, QChar('0'))
                                .arg(v % 60, 2, 10, QChar('0'));
                        };
                        row(t, {{"DIHO", QString("%1%2").arg(d).arg(h)},
                                {"CODDIHO", QString::number(d * 100 + m * 50 + h)},
                                {"DIA", QString::number(d)},
                                {"HORA", QString::number(h)},
                                {"HORADESDE", hhmm(begin)},
                                {"HORAHASTA", hhmm(begin + 55)},
                                {"MINUTOS", "55"},
                                {"MARCO", QString::number(m)}});
                    }
        });
        create(tables::ORIGENES_C::kName, tables::ORIGENES_C::fields(), [&](Table& t) {
            for (int o = 0; o < 20; ++o) {
                t.append();
                t.setInt("X_CATORIHOR", o);
                t.setText("C_ORIHOR", QString("O%1").arg(o));
                t.post();
            }
        });
        create(tables::CUR_NIV_C::kName, tables::CUR_NIV_C::fields(), [&](Table& t) {
            for (int o = 0; o < 30; ++o) {
                t.append();
                t.setInt("X_OFERTAMATRIG", 700 + o);
                t.setInt("X_NIVCONPAGLEG", o % 5);
                t.post();
            }
        });
        create(tables::AUTORIZA_C::kName, tables::AUTORIZA_C::fields(), [&](Table& t) {
            int id = 1;
            for (int o = 0; o < 20; ++o)
                for (int n = 0; n < 5; ++n) {
                    t.append();
                    t.setInt("X_ORIHORACTETP", id++);
                    t.setInt("X_ACTIVIDAD", 1);
                    t.setInt("X_CATORIHOR", o);
                    t.setInt("X_NIVCONPAGLEG", n);
                    t.post();
                }
        });
        create(tables::SOLUC::kName, tables::SOLUC::fields(tables::SOLUC::DayAndSlot::Numeric),
               [&](Table& t) {
                   for (int e = 0; e < entries; ++e) {
                       t.append();
                       t.setText("PROF", QString("P%1").arg(e % kTeachers));
                       t.setInt("DIA", e % 11 == 0 ? 0 : 1 + e % 7);
                       t.setInt("HORA", 1 + (e / 7) % kSlots);
                       t.setText("MARCO", QString::number(e % 2));
                       if (e % 5 == 0) {
                           const QString act = "#" + QString::number(101 + 2 * (e % 50));
                           t.setText("ASIG", act);
                           t.setText("TAREA", act);
                       } else {
                           t.setText("ASIG", QString("S%1").arg(e % kSubjects));
                           t.setText("TAREA",
                                     e % 3 ? QString() : QString::number(100 + 2 * (e % 50)));
                       }
                       t.setText("CODGRUPO", QString("G%1").arg(e % kGroups));
                       t.setText("AULA", QString("A%1").arg(e % 40));
                       t.setText("CCONCIERTO", QString("O%1").arg(e % 20));
                       t.post();
                   }
               });
    }
};

void BM_ExportLargeSchool(benchmark::State& st) {
    // One school per size, generated once; a quarter of the entries shows how the time
    // grows with SOLUC.
    static std::map<int, std::unique_ptr<LargeSchool>> schools;
    auto& slot = schools[int(st.range(0))];
    if (!slot)
        slot = std::make_unique<LargeSchool>(int(st.range(0)));
    LargeSchool& school = *slot;
    QuietHost host;
    host.document = school.input;
    for (auto _ : st) {
        run::RunState state;
        exchange::Document held;
        runExport(host, state, RunFolders{school.work, {}}, held);
        if (state.resultValue != 1)
            st.SkipWithError("the export did not complete");
    }
    st.counters["entries"] = double(st.range(0));
    st.counters["output_MB"] =
        QFileInfo(QFileInfo(school.input).absolutePath() + "/ResultadoTempolandatos.xml").size() /
        1e6;
}
BENCHMARK(BM_ExportLargeSchool)
    ->Arg(12500)
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace

BENCHMARK_MAIN();
