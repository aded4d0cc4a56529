#include "exchange/ExchangeNames.h"
#include "import/ImportSteps.h"

#include "tables/Table.h"
#include "tables/WorkingTables.h"

using exchange::dataItems;
using exchange::itemValue;

// PERIODOS: the school year and the first and last day of the teaching period.
void CrearPeriodos(ImportContext& ctx) {
    const QString& name = tables::PERIODOS::kName;
    tables::DeleteTable(ctx.workDir, name);
    tables::CreateTable(ctx.workDir, name, tables::PERIODOS::fields());
    tables::Table periodos;
    periodos.open(ctx.workDir, name);

    QString year;
    QString start;
    QString end;

    // The school-year group carries its items directly; it is one of the first two
    // groups. Each qualifying group appends a row, left unposted so that the dates can
    // still be completed below.
    const exchange::NodeList groups = ctx.doc.topLevelGroups();
    for (int g = 0; g < 2 && g < groups.size(); ++g) {
        const exchange::NodeList items = dataItems(groups.at(g));
        if (items.size() > 1) {
            year = itemValue(items, 0);
            start = itemValue(items, 1);
            end = itemValue(items, 2);
            periodos.append();
            periodos.setText(tables::PERIODOS::CURSOANNO, year);
            periodos.setText(tables::PERIODOS::F_INICIO, start);
            periodos.setText(tables::PERIODOS::F_FIN, end);
        }
    }

    // Missing dates come from the first school-day frame; both are taken from there.
    if (start.isEmpty() || end.isEmpty()) {
        const exchange::NodeList frames =
            ctx.doc.recordsOf(QString::fromLatin1(exchange::groups::kFrames));
        if (!frames.isEmpty()) {
            const exchange::NodeList items = dataItems(frames.first());
            if (items.size() > 1) {
                start = itemValue(items, 2);
                end = itemValue(items, 3);
            }
        }
    }

    // Without a qualifying group no row is pending: the table store refuses the fields
    // and the run ends with an empty PERIODOS.
    periodos.setText(tables::PERIODOS::F_INICIO, start);
    periodos.setText(tables::PERIODOS::F_FIN, end);
    periodos.post();
    periodos.close();
}
