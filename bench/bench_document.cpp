// Exchange document on a large generated export: 15,000 MATERIAS records of 6 items,
// indented the way Veltra writes them (about 7.5 MB).
#include "exchange/ExchangeDocument.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace exchange;

namespace {

constexpr int kRecords = 15000;

QByteArray generate(int records) {
    QByteArray xml =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<SERVICIO modulo=\"EXPORTACION\">\n"
        "  <BLOQUE_DATOS>\n"
        "    <grupo_datos seq=\"ANNO_ACADEMICO\">\n"
        "      <dato nombre_dato=\"C_ANNO\">2017</dato>\n"
        "    </grupo_datos>\n"
        "    <grupo_datos seq=\"MATERIAS\" registros=\"" +
        QByteArray::number(records) + "\">\n";
    for (int i = 0; i < records; ++i) {
        const QByteArray n = QByteArray::number(i);
        xml += "      <grupo_datos>\n"
               "        <dato nombre_dato=\"X_OFERTAMATRIG\">  " +
               QByteArray::number(100000 + i % 400) +
               " </dato>\n"
               "        <dato nombre_dato=\"X_MATERIAOMG\">" +
               QByteArray::number(500000 + i) +
               "</dato>\n"
               "        <dato nombre_dato=\"D_MATERIAC\">Educaci\xF3n F\xEDsica y Deportiva &amp; "
               "Salud " +
               n +
               "</dato>\n"
               "        <dato nombre_dato=\"D_MATERIAL\">Materia de libre configuraci\xF3n "
               "auton\xF3mica, "
               "bloque de asignaturas espec\xED"
               "ficas del curso " +
               n +
               "</dato>\n"
               "        <dato nombre_dato=\"N_HORAS\">4</dato>\n"
               "        <dato nombre_dato=\"C_CODIGO\">MAT" +
               n +
               "</dato>\n"
               "      </grupo_datos>\n";
    }
    xml += "    </grupo_datos>\n  </BLOQUE_DATOS>\n</SERVICIO>\n";
    return xml;
}

const QByteArray& sample() {
    static const QByteArray bytes = generate(kRecords);
    return bytes;
}

const Document& loaded() {
    static const Document doc = Document::fromBytes(sample(), QStringLiteral("grande.xml"));
    return doc;
}

void BM_LoadFile(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("grande.xml"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(sample()) != sample().size()) {
        state.SkipWithError("cannot write the sample");
        return;
    }
    f.close();
    for (auto _ : state) {
        Document doc = Document::load(path);
        benchmark::DoNotOptimize(doc.ok());
    }
    state.SetBytesProcessed(state.iterations() * sample().size());
    state.counters["MB"] = double(sample().size()) / 1e6;
}
BENCHMARK(BM_LoadFile)->Unit(benchmark::kMillisecond);

void BM_RecordsOf(benchmark::State& state) {
    const Document& doc = loaded();
    for (auto _ : state) {
        const NodeList records = doc.recordsOf(QStringLiteral("MATERIAS"));
        if (records.size() != kRecords)
            state.SkipWithError("wrong record count");
        benchmark::DoNotOptimize(records.size());
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_RecordsOf)->Unit(benchmark::kMillisecond);

// What an import step does: every record, every item's value, the name test on one item.
void BM_WalkAllItems(benchmark::State& state) {
    const Document& doc = loaded();
    for (auto _ : state) {
        qsizetype chars = 0;
        int named = 0;
        for (const Node& record : doc.recordsOf(QStringLiteral("MATERIAS"))) {
            const NodeList items = dataItems(record);
            for (int k = 0; k < items.size(); ++k)
                chars += itemValue(items, k).size();
            named += itemNameIs(items, 1, QStringLiteral("X_MATERIAOMG"));
        }
        if (named != kRecords)
            state.SkipWithError("name test failed");
        benchmark::DoNotOptimize(chars);
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_WalkAllItems)->Unit(benchmark::kMillisecond);

void BM_Serialise(benchmark::State& state) {
    const Document& doc = loaded();
    qsizetype size = 0;
    for (auto _ : state) {
        const QByteArray bytes = doc.toBytes();
        size = bytes.size();
        benchmark::DoNotOptimize(bytes.constData());
    }
    state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK(BM_Serialise)->Unit(benchmark::kMillisecond);

// What the export does: build the nested groups, save, load again, correct the second
// attribute of every group by its child count, save again.
void BM_BuildSaveAndAdjust(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ResultadoTempolangrande.xml"));
    for (auto _ : state) {
        Document doc;
        Node servicio = doc.createElement(QStringLiteral("SERVICIO"));
        doc.appendChild(servicio);
        Node bloque = doc.createElement(QStringLiteral("BLOQUE_DATOS"));
        servicio.appendChild(bloque);
        Node regulares = doc.createElement(QStringLiteral("grupo_datos"));
        regulares.setAttribute(QStringLiteral("seq"), QStringLiteral("HORARIOS_REGULARES"));
        bloque.appendChild(regulares);
        for (int t = 0; t < kRecords / 5; ++t) {
            Node teacher = doc.createElement(QStringLiteral("grupo_datos"));
            teacher.setAttribute(QStringLiteral("seq"), QStringLiteral("PROFESOR"));
            teacher.setAttribute(QStringLiteral("registros"), qint64(0));
            regulares.appendChild(teacher);
            for (int a = 0; a < 5; ++a) {
                Node group = doc.createElement(QStringLiteral("grupo_datos"));
                group.setAttribute(QStringLiteral("seq"), QStringLiteral("ACTIVIDAD"));
                for (int k = 0; k < 6; ++k) {
                    Node dato = doc.createElement(QStringLiteral("dato"));
                    dato.setAttribute(QStringLiteral("nombre_dato"), QStringLiteral("X_DATO"));
                    dato.setText(QString::number(t * 100 + a * 10 + k));
                    group.appendChild(dato);
                }
                teacher.appendChild(group);
            }
        }
        doc.save(path);
        Document second = Document::load(path);
        for (Node teacher : second.recordsOf(QStringLiteral("HORARIOS_REGULARES")))
            teacher.setAttributeValue(1, QString::number(teacher.childCount() - 2));
        second.save(path);
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_BuildSaveAndAdjust)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
