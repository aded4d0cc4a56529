// Table store speed: filling a table row by row, opening it, and locating and filtering
// in tables of the size the runs meet.
#include "tables/Table.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <random>

using namespace tables;

namespace {

const QList<FieldDef> kFields = {
    {QStringLiteral("CODIGO"), FieldType::Text, 10},
    {QStringLiteral("NOMBRE"), FieldType::Text, 40},
    {QStringLiteral("CLAVE"), FieldType::Integer, 0},
    {QStringLiteral("PESO"), FieldType::Float, 0},
    {QStringLiteral("ACTIVO"), FieldType::Boolean, 0},
};

QString folder() {
    static QTemporaryDir dir;
    return dir.path();
}

void fill(const QString& name, int rows) {
    DeleteTable(folder(), name);
    CreateTable(folder(), name, kFields);
    Table t;
    t.open(folder(), name, OpenMode::Exclusive);
    for (int i = 0; i < rows; ++i) {
        t.append();
        t.setText(QStringLiteral("CODIGO"), QStringLiteral("C%1").arg(i));
        t.setText(QStringLiteral("NOMBRE"), QStringLiteral("Nombre de la fila %1").arg(i % 100));
        t.setInt(QStringLiteral("CLAVE"), i);
        t.setFloat(QStringLiteral("PESO"), i * 0.5);
        t.setBool(QStringLiteral("ACTIVO"), i % 2 == 0);
    }
    t.close();
}

void BM_Append100k(benchmark::State& state) {
    for (auto _ : state)
        fill(QStringLiteral("APPEND"), 100000);
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_Append100k)->Unit(benchmark::kMillisecond);

void BM_Open100k(benchmark::State& state) {
    fill(QStringLiteral("OPEN"), 100000);
    for (auto _ : state) {
        Table t;
        t.open(folder(), QStringLiteral("open"));
        benchmark::DoNotOptimize(t.rowCount());
    }
}
BENCHMARK(BM_Open100k)->Unit(benchmark::kMillisecond);

// One locate in 10k rows by a unique text key; the first call builds the index.
void BM_Locate10k(benchmark::State& state) {
    fill(QStringLiteral("LOCATE"), 10000);
    Table t;
    t.open(folder(), QStringLiteral("LOCATE"));
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> pick(0, 9999);
    for (auto _ : state) {
        const bool found =
            t.locate(QStringLiteral("CODIGO"), {QStringLiteral("C%1").arg(pick(rng))});
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Locate10k);

// Two fields, one of them an integer given as text, as the import steps look rows up.
void BM_Locate10kTwoFields(benchmark::State& state) {
    fill(QStringLiteral("LOCATE2"), 10000);
    Table t;
    t.open(folder(), QStringLiteral("LOCATE2"));
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> pick(0, 9999);
    for (auto _ : state) {
        const int i = pick(rng);
        const bool found =
            t.locate(QStringLiteral("NOMBRE;CLAVE"),
                     {QStringLiteral("Nombre de la fila %1").arg(i % 100), QString::number(i)});
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Locate10kTwoFields);

// Locate, change the located row's key and post: the index follows every edit.
void BM_LocateThenEdit10k(benchmark::State& state) {
    fill(QStringLiteral("EDIT"), 10000);
    Table t;
    t.open(folder(), QStringLiteral("EDIT"), OpenMode::Exclusive);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> pick(0, 9999);
    for (auto _ : state) {
        const int i = pick(rng);
        if (t.locate(QStringLiteral("CLAVE"), {QString::number(i)})) {
            t.edit();
            t.setText(QStringLiteral("NOMBRE"), QStringLiteral("Editada %1").arg(i));
            t.post();
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LocateThenEdit10k);

// The export's walk: for each of 100 teachers, filter 10k timetable rows and read them.
void BM_FilterWalk10k(benchmark::State& state) {
    fill(QStringLiteral("FILTER"), 10000);
    Table t;
    t.open(folder(), QStringLiteral("FILTER"));
    for (auto _ : state) {
        qint64 sum = 0;
        for (int teacher = 0; teacher < 100; ++teacher) {
            t.setFilter(QStringLiteral("NOMBRE"),
                        QStringLiteral("Nombre de la fila %1").arg(teacher));
            for (t.first(); !t.atEnd(); t.next())
                sum += t.integer(QStringLiteral("CLAVE"));
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_FilterWalk10k)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
