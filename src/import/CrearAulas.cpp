#include "import/ImportSteps.h"

#include "tables/Table.h"
#include "text/Clipper.h"

using exchange::dataItems;
using exchange::itemValue;

// AULAT: one room per space of the school; Veltra's key is also Tempolan's abbreviation,
// which the export sends back as the room's key.
void CrearAulas(ImportContext& ctx) {
    const QString name = QStringLiteral("AULAT");
    tables::DeleteTable(ctx.workDir, name);
    tables::CreateTable(ctx.workDir, name,
                        {{QStringLiteral("ABREV"), tables::FieldType::Text, 10},
                         {QStringLiteral("NOMBRE"), tables::FieldType::Text, 80},
                         {QStringLiteral("EDIFICIO"), tables::FieldType::Text, 1},
                         {QStringLiteral("MAXALUM"), tables::FieldType::Integer, 0},
                         {QStringLiteral("DEPCENTRO"), tables::FieldType::Text, 10}});

    const exchange::NodeList records = ctx.doc.recordsOf(QStringLiteral("DEPENDENCIAS"));
    tables::Table aulat;
    aulat.open(ctx.workDir, name);

    int number = 0;
    for (const exchange::Node& record : records) {
        ++number;
        const exchange::NodeList items = dataItems(record);
        if (items.size() < 2) {
            noteShortRecord(ctx, QStringLiteral("DEPENDENCIAS"), number);
            continue;
        }
        const QString key = itemValue(items, 0);
        aulat.append();
        aulat.setText(QStringLiteral("ABREV"), LeftStr(key, 10));
        aulat.setText(QStringLiteral("NOMBRE"), itemValue(items, 1));
        aulat.setText(QStringLiteral("DEPCENTRO"), key);
        aulat.post();
    }
    aulat.close();
}
