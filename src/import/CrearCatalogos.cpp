#include "exchange/ExchangeDocument.h"
#include "import/ImportSteps.h"
#include "tables/Table.h"
#include "run/RunError.h"
#include "text/WholeNumber.h"

#include <variant>

namespace {

using tables::FieldDef;
using tables::FieldType;

struct Catalogue {
    QString table;
    QString group;
    QList<FieldDef> fields; // field k takes data item k
};

const QList<Catalogue>& catalogues() {
    static const QList<Catalogue> list = {
        {QStringLiteral("ORIGENES_C"),
         QStringLiteral("ORIGENES"),
         {{QStringLiteral("X_CATORIHOR"), FieldType::Integer, 0},
          {QStringLiteral("C_ORIHOR"), FieldType::Text, 20},
          {QStringLiteral("D_ORIHOR"), FieldType::Text, 50}}},
        {QStringLiteral("NIVELES_C"),
         QStringLiteral("NIVELES"),
         {{QStringLiteral("X_NIVCONPAGLEG"), FieldType::Integer, 0},
          {QStringLiteral("C_NIVCON"), FieldType::Text, 30},
          {QStringLiteral("D_NIVCON"), FieldType::Text, 55}}},
        {QStringLiteral("CUR_NIV_C"),
         QStringLiteral("CURSOS_NIVELES"),
         {{QStringLiteral("X_OFERTAMATRIG"), FieldType::Integer, 0},
          {QStringLiteral("X_NIVCONPAGLEG"), FieldType::Integer, 0}}},
        {QStringLiteral("AUTORIZA_C"),
         QStringLiteral("AUTORIZACIONES"),
         {{QStringLiteral("X_ORIHORACTETP"), FieldType::Integer, 0},
          {QStringLiteral("X_ACTIVIDAD"), FieldType::Integer, 0},
          {QStringLiteral("X_CATORIHOR"), FieldType::Integer, 0},
          {QStringLiteral("X_NIVCONPAGLEG"), FieldType::Integer, 0}}},
    };
    return list;
}

// Copies the records of one group; the table's files are already deleted.
void fill(ImportContext& ctx, const Catalogue& c, const exchange::NodeList& records) {
    tables::CreateTable(ctx.workDir, c.table, c.fields);
    tables::Table t;
    t.open(ctx.workDir, c.table);
    for (int r = 0; r < records.size(); ++r) {
        const exchange::NodeList items = exchange::dataItems(records.at(r));
        if (items.size() <= 1) {
            noteShortRecord(ctx, c.group, r + 1);
            continue;
        }
        // Every value is read and converted before the record is appended.
        QList<std::variant<qint32, QString>> values;
        for (int k = 0; k < c.fields.size(); ++k) {
            const QString value = exchange::itemValue(items, k);
            if (c.fields.at(k).type != FieldType::Integer) {
                values << value;
                continue;
            }
            const auto n = parseWholeNumber(value);
            if (!n)
                throw RunError(QStringLiteral("%1: el dato %2 del registro %3 del grupo %4 no "
                                              "es un número entero: '%5'")
                                   .arg(c.table)
                                   .arg(k)
                                   .arg(r + 1)
                                   .arg(c.group, value));
            values << *n;
        }
        t.append();
        for (int k = 0; k < c.fields.size(); ++k) {
            if (const auto* n = std::get_if<qint32>(&values.at(k)))
                t.setInt(c.fields.at(k).name, *n);
            else
                t.setText(c.fields.at(k).name, std::get<QString>(values.at(k)));
        }
        t.post();
    }
    t.close();
}

} // namespace

void CrearCatalogos(ImportContext& ctx) {
    const QList<Catalogue>& list = catalogues();

    // Without origins nothing else is rebuilt: the export reads the catalogues only
    // when ORIGENES_C exists, and older copies of the others are left as they were.
    tables::DeleteTable(ctx.workDir, list.first().table);
    const exchange::NodeList origins = ctx.doc.recordsOf(list.first().group);
    if (origins.isEmpty())
        return;
    fill(ctx, list.first(), origins);

    for (qsizetype i = 1; i < list.size(); ++i) {
        const Catalogue& c = list.at(i);
        tables::DeleteTable(ctx.workDir, c.table);
        fill(ctx, c, ctx.doc.recordsOf(c.group));
    }
}
