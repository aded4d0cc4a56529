#include "exchange/ExchangeNames.h"
#include "import/ImportSteps.h"

#include "import/TakenCodes.h"
#include "tables/Table.h"
#include "tables/WorkingTables.h"

using exchange::dataItems;
using exchange::itemValue;

// PROFT: one teacher per employee record, with unique initials and Veltra's employee key.
void CrearProfesores(ImportContext& ctx) {
    const QString& name = tables::PROFT::kName;
    tables::DeleteTable(ctx.workDir, name);
    tables::CreateTable(ctx.workDir, name, tables::PROFT::fields());

    const exchange::NodeList records =
        ctx.doc.recordsOf(QString::fromLatin1(exchange::groups::kStaff));
    tables::Table proft;
    proft.open(ctx.workDir, name);
    proft.holdWrites();

    TakenCodes taken;
    int number = 0;
    for (const exchange::Node& record : records) {
        ++number;
        const exchange::NodeList items = dataItems(record);
        if (items.size() < 2) {
            noteShortRecord(ctx, QString::fromLatin1(exchange::groups::kStaff), number);
            continue;
        }
        const QString key = itemValue(items, 0);
        const QString since = itemValue(items, 1);
        const QString department = itemValue(items, 2);
        const QString first = itemValue(items, 3);
        const QString second = itemValue(items, 4);
        const QString third = itemValue(items, 5);

        const QString abbrev = taken.claimNumbered(first.left(1) + second.left(1) + third.left(1));
        const QString fullName = first + QLatin1Char(' ') + second + QLatin1Char(' ') + third;

        proft.append();
        proft.setText(tables::PROFT::ABREV, abbrev);
        proft.setText(tables::PROFT::NOMBRE, fullName);
        proft.setText(tables::PROFT::X_EMPLEADO, key);
        proft.setText(tables::PROFT::F_TOMAPOS, since);
        proft.setText(tables::PROFT::DEPART, department);
        proft.post();
    }
    proft.close();
}
