#include "exchange/ExchangeNames.h"
#include "import/ImportSteps.h"

#include "tables/Table.h"
#include "tables/WorkingTables.h"
#include "text/Clipper.h"

using exchange::dataItems;
using exchange::itemValue;

// AULAT: one room per space of the school; Veltra's key is also Tempolan's abbreviation,
// which the export sends back as the room's key.
void CrearAulas(ImportContext& ctx) {
    const QString& name = tables::AULAT::kName;
    tables::DeleteTable(ctx.workDir, name);
    tables::CreateTable(ctx.workDir, name, tables::AULAT::fields());

    const exchange::NodeList records =
        ctx.doc.recordsOf(QString::fromLatin1(exchange::groups::kRooms));
    tables::Table aulat;
    aulat.open(ctx.workDir, name);
    aulat.holdWrites();

    int number = 0;
    for (const exchange::Node& record : records) {
        ++number;
        const exchange::NodeList items = dataItems(record);
        if (items.size() < 2) {
            noteShortRecord(ctx, QString::fromLatin1(exchange::groups::kRooms), number);
            continue;
        }
        const QString key = itemValue(items, 0);
        aulat.append();
        aulat.setText(tables::AULAT::ABREV, LeftStr(key, 10));
        aulat.setText(tables::AULAT::NOMBRE, itemValue(items, 1));
        aulat.setText(tables::AULAT::DEPCENTRO, key);
        aulat.post();
    }
    aulat.close();
}
