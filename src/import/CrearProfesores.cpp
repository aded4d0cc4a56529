#include "import/ImportSteps.h"

#include "import/TakenCodes.h"
#include "tables/Table.h"

using exchange::dataItems;
using exchange::itemValue;

// PROFT: one teacher per employee record, with unique initials and Veltra's employee key.
void CrearProfesores(ImportContext& ctx) {
    const QString name = QStringLiteral("PROFT");
    tables::DeleteTable(ctx.workDir, name);
    tables::CreateTable(ctx.workDir, name,
                        {{QStringLiteral("ABREV"), tables::FieldType::Text, 10},
                         {QStringLiteral("NOMBRE"), tables::FieldType::Text, 80},
                         {QStringLiteral("DEPART"), tables::FieldType::Text, 40},
                         {QStringLiteral("DNI"), tables::FieldType::Integer, 0},
                         {QStringLiteral("X_EMPLEADO"), tables::FieldType::Text, 10},
                         {QStringLiteral("F_TOMAPOS"), tables::FieldType::Text, 10},
                         {QStringLiteral("EMAIL"), tables::FieldType::Text, 100}});

    const exchange::NodeList records = ctx.doc.recordsOf(QStringLiteral("EMPLEADOS"));
    tables::Table proft;
    proft.open(ctx.workDir, name);

    TakenCodes taken;
    int number = 0;
    for (const exchange::Node& record : records) {
        ++number;
        const exchange::NodeList items = dataItems(record);
        if (items.size() < 2) {
            noteShortRecord(ctx, QStringLiteral("EMPLEADOS"), number);
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
        proft.setText(QStringLiteral("ABREV"), abbrev);
        proft.setText(QStringLiteral("NOMBRE"), fullName);
        proft.setText(QStringLiteral("X_EMPLEADO"), key);
        proft.setText(QStringLiteral("F_TOMAPOS"), since);
        proft.setText(QStringLiteral("DEPART"), department);
        proft.post();
    }
    proft.close();
}
