// Subjects and teaching assignments imported from a large generated MATERIAS group: the
// time per record should stay about the same from 1,500 to 15,000 records.

#include "exchange/ExchangeDocument.h"
#include "import/ImportSteps.h"
#include "run/RunHost.h"
#include "tables/Table.h"
#include "tables/WorkingTables.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>

namespace {

constexpr int kOfertas = 60;
constexpr int kGruposPorOferta = 3;

// Each subject is offered in three course offers; most names give the same two-letter code,
// so the numbering has thousands of subjects to tell apart.
QByteArray MateriasXml(int records) {
    QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><SERVICIO>"
                                 "<BLOQUE_DATOS><grupo_datos seq=\"MATERIAS\">");
    for (int i = 0; i < records; ++i) {
        const int materia = i / 3;
        const QString nombre = (materia % 4 == 3)
                                   ? QStringLiteral("Taller Integrado %1").arg(materia)
                                   : QStringLiteral("Optativa de proyecto %1").arg(materia);
        xml += QStringLiteral("<grupo_datos>"
                              "<dato nombre_dato=\"X_OFERTAMATRIG\">OF%1</dato>"
                              "<dato nombre_dato=\"D_MATERIAC\">%2</dato>"
                              "<dato nombre_dato=\"X_MATERIAOMG\">%3</dato>"
                              "</grupo_datos>")
                   .arg(i % kOfertas)
                   .arg(nombre)
                   .arg(100000 + materia);
    }
    xml += QStringLiteral("</grupo_datos></BLOQUE_DATOS></SERVICIO>");
    return xml.toUtf8();
}

struct Fixture {
    QTemporaryDir dir;
    exchange::Document doc;
    SilentRunHost host;
    UnansweredQuestions questions;

    explicit Fixture(int records)
        : doc(exchange::Document::fromBytes(MateriasXml(records), QStringLiteral("bench.xml"))) {
        tables::CreateTable(dir.path(), tables::VELTMATERIAS::kName,
                            tables::VELTMATERIAS::fields());
        const QString& grupos = tables::GRUPOST::kName;
        tables::CreateTable(dir.path(), grupos, tables::GRUPOST::fields());
        tables::Table t;
        t.open(dir.path(), grupos);
        for (int g = 0; g < kGruposPorOferta; ++g) {
            for (int o = 0; o < kOfertas; ++o) {
                t.append();
                t.setText(tables::GRUPOST::ABREV,
                          QStringLiteral("G%1%2").arg(o).arg(QChar(u'A' + g)));
                t.setText(tables::GRUPOST::NIVEL, QStringLiteral("ESO"));
                t.setText(tables::GRUPOST::CURSO, QString::number(o % 4 + 1));
                t.setText(tables::GRUPOST::GRUPO, QString(QChar(u'A' + g)));
                t.setText(tables::GRUPOST::CLAVE, QString::number(g * kOfertas + o));
                t.setText(tables::GRUPOST::CLAVECURSO, QStringLiteral("OF%1").arg(o));
                t.post();
            }
        }
        t.close();
    }

    ImportContext context() {
        return {doc, host, questions, dir.path(), dir.filePath(QStringLiteral("VELTMATERIAS.DBF"))};
    }
};

Fixture& FixtureFor(int records) {
    static std::map<int, std::unique_ptr<Fixture>> fixtures;
    auto& f = fixtures[records];
    if (!f)
        f = std::make_unique<Fixture>(records);
    return *f;
}

void BM_CrearAsignaturas(benchmark::State& state) {
    const int records = int(state.range(0));
    Fixture& f = FixtureFor(records);
    for (auto _ : state) {
        ImportContext ctx = f.context();
        CrearAsignaturas(ctx);
    }
    state.SetItemsProcessed(state.iterations() * records);
}

void BM_CrearAsignaciones(benchmark::State& state) {
    const int records = int(state.range(0));
    Fixture& f = FixtureFor(records);
    ImportContext ctx = f.context();
    CrearAsignaturas(ctx);
    for (auto _ : state) {
        ImportContext again = f.context();
        CrearAsignaciones(again);
    }
    state.SetItemsProcessed(state.iterations() * records);
}

BENCHMARK(BM_CrearAsignaturas)->Arg(1500)->Arg(15000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CrearAsignaciones)->Arg(1500)->Arg(15000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
