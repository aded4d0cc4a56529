#include "exchange/ExchangeDocument.h"
#include "exchange/ExchangeNames.h"
#include "import/ImportSteps.h"
#include "tables/Table.h"
#include "tables/WorkingTables.h"
#include "text/RunError.h"
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
        {tables::ORIGENES_C::kName, QString::fromLatin1(exchange::groups::kOrigins),
         tables::ORIGENES_C::fields()},
        {tables::NIVELES_C::kName, QString::fromLatin1(exchange::groups::kLevels),
         tables::NIVELES_C::fields()},
        {tables::CUR_NIV_C::kName, QString::fromLatin1(exchange::groups::kCourseLevels),
         tables::CUR_NIV_C::fields()},
        {tables::AUTORIZA_C::kName, QString::fromLatin1(exchange::groups::kAuthorisations),
         tables::AUTORIZA_C::fields()},
    };
    return list;
}

// Why an item cannot go into its integer field, or nothing when it can.
QString valueProblem(const Catalogue& c, int item, int record, const QString& value) {
    const auto n = text::parseWholeNumber(value);
    if (!n)
        return QStringLiteral("%1: el dato %2 del registro %3 del grupo %4 no es un número "
                              "entero: '%5'")
            .arg(c.table)
            .arg(item)
            .arg(record + 1)
            .arg(c.group, value);
    if (!text::fitsIntegerField(*n))
        return QStringLiteral("%1: el dato %2 del registro %3 del grupo %4, '%5', no cabe en el "
                              "campo %6: ese valor marca un campo vacío. Corrija el "
                              "identificador en Veltra.")
            .arg(c.table)
            .arg(item)
            .arg(record + 1)
            .arg(c.group, value, c.fields.at(item).name);
    return {};
}

// Copies the records of one group; the table's files are already deleted.
void fill(ImportContext& ctx, const Catalogue& c, const exchange::NodeList& records) {
    tables::CreateTable(ctx.workDir, c.table, c.fields);
    tables::Table t;
    t.open(ctx.workDir, c.table);
    t.holdWrites();
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
            if (const QString why = valueProblem(c, k, r, value); !why.isEmpty())
                throw RunError(why);
            values << *text::parseWholeNumber(value);
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

QStringList CatalogosProblemas(const exchange::Document& doc) {
    QStringList problems;
    const QList<Catalogue>& list = catalogues();
    // Without origins the step rebuilds none of them.
    if (doc.recordsOf(list.first().group).isEmpty())
        return problems;
    for (const Catalogue& c : list) {
        const exchange::NodeList records = doc.recordsOf(c.group);
        for (int r = 0; r < records.size(); ++r) {
            const exchange::NodeList items = exchange::dataItems(records.at(r));
            if (items.size() <= 1)
                continue;
            for (int k = 0; k < c.fields.size(); ++k) {
                if (c.fields.at(k).type != FieldType::Integer)
                    continue;
                const QString why = valueProblem(c, k, r, exchange::itemValue(items, k));
                if (!why.isEmpty())
                    problems << why;
            }
        }
    }
    return problems;
}
