#include "exchange/ExchangeNames.h"
#include "import/ImportSteps.h"

#include "tables/Table.h"
#include "tables/WorkingTables.h"
#include "text/Clipper.h"

void CrearActividades(ImportContext& ctx) {
    const exchange::NodeList registros =
        ctx.doc.recordsOf(QString::fromLatin1(exchange::groups::kActivities));
    tables::Table asignomt;
    asignomt.open(ctx.workDir, tables::ASIGNOMT::kName);
    asignomt.holdWrites();

    int number = 0;
    for (const exchange::Node& registro : registros) {
        ++number;
        const exchange::NodeList items = exchange::dataItems(registro);
        if (items.size() < 2) {
            noteShortRecord(ctx, QString::fromLatin1(exchange::groups::kActivities), number);
            continue;
        }
        const QString nombre = exchange::itemValue(items, 2);
        QString cod = exchange::itemValue(items, 1);
        if (exchange::itemValue(items, 0) == QStringLiteral("N"))
            cod.prepend(QChar(u'#'));
        // The export reads the first character as the unit requirement and the second as
        // the subject requirement: an empty unit part keeps its place as a blank.
        QString requisitoUnidad = exchange::itemValue(items, 3);
        if (requisitoUnidad.isEmpty())
            requisitoUnidad = QStringLiteral(" ");

        asignomt.append();
        asignomt.setText(tables::ASIGNOMT::COD, cod);
        asignomt.setText(tables::ASIGNOMT::CODLARGO, LeftStr(nombre, 10));
        asignomt.setText(tables::ASIGNOMT::NOMBRE, nombre);
        asignomt.setText(tables::ASIGNOMT::CODTAREA, cod);
        asignomt.setBool(tables::ASIGNOMT::ESTAREA, true);
        asignomt.setText(tables::ASIGNOMT::R_UNI_MAT,
                         requisitoUnidad + exchange::itemValue(items, 4));
        asignomt.post();
    }
    asignomt.close();
}
