#include "exchange/ExchangeNames.h"
#include "import/ImportSteps.h"

#include "import/TakenCodes.h"
#include "tables/Cp1252.h"
#include "tables/Table.h"
#include "tables/WorkingTables.h"
#include "text/Clipper.h"

#include <QHash>

using exchange::dataItems;
using exchange::itemValue;

namespace {

struct Course {
    QString level;
    QString course;
    QString description;
};

} // namespace

// GRUPOST: one group per teaching unit, named level + course + letter (ESO1A, ESO1B, ...)
// from the level and course the user gave its course offer.
void CrearGrupos(ImportContext& ctx) {
    const QString& name = tables::GRUPOST::kName;
    tables::DeleteTable(ctx.workDir, name);

    tables::Table cursos;
    cursos.open(ctx.workDir, tables::CURSOST::kName, tables::OpenMode::Exclusive);
    tables::CreateTable(ctx.workDir, name, tables::GRUPOST::fields());

    // The courses table is held exclusively for the whole step, so it is read once; the
    // first row of each key wins, as a scan from the first row would find it.
    QHash<QString, Course> courses;
    for (cursos.first(); !cursos.atEnd(); cursos.next()) {
        const QString key = cursos.text(tables::CURSOST::CLAVE);
        if (!courses.contains(key))
            courses.insert(key, {cursos.text(tables::CURSOST::NIVEL),
                                 cursos.text(tables::CURSOST::CURSO),
                                 cursos.text(tables::CURSOST::ESTUD)});
    }

    const exchange::NodeList records =
        ctx.doc.recordsOf(QString::fromLatin1(exchange::groups::kUnits));
    tables::Table grupost;
    grupost.open(ctx.workDir, name);
    grupost.holdWrites();

    TakenCodes taken;
    int number = 0;
    for (const exchange::Node& record : records) {
        ++number;
        const exchange::NodeList items = dataItems(record);
        if (items.size() < 2) {
            noteShortRecord(ctx, QString::fromLatin1(exchange::groups::kUnits), number);
            continue;
        }
        const QString unitKey = itemValue(items, 0);
        const QString courseKey = itemValue(items, 2);
        const Course found = courses.value(tables::cp1252::asStored(courseKey));
        QString level = found.level;

        const QString abbrev = taken.claimLettered(LeftStr(level, 5) + LeftStr(found.course, 1));
        const QString letter = abbrev.right(1);
        // Only now: a unit without a level keeps an abbreviation without one.
        if (level.isEmpty()) {
            level = QStringLiteral("NIV");
            noteReport(ctx, {run::ReportKind::UnitWithoutCourse,
                             courses.contains(courseKey)
                                 ? QStringLiteral("la oferta de curso no tiene nivel: el grupo "
                                                  "%1 recibe el nivel \"NIV\"")
                                       .arg(abbrev)
                                 : QStringLiteral("la oferta de curso no está en CURSOST: el "
                                                  "grupo %1 recibe el nivel \"NIV\"")
                                       .arg(abbrev),
                             QString::fromLatin1(exchange::groups::kUnits),
                             {},
                             number,
                             {},
                             courseKey,
                             courses.contains(courseKey)
                                 ? QStringLiteral("«%1» (oferta %2): sin nivel; sus grupos "
                                                  "reciben el nivel \"NIV\" (%n grupos)")
                                       .arg(found.description.trimmed(), courseKey)
                                 : QStringLiteral("Oferta de curso %1: no está entre los cursos "
                                                  "del documento; sus grupos reciben el nivel "
                                                  "\"NIV\" (%n grupos)")
                                       .arg(courseKey)});
        }

        grupost.append();
        grupost.setText(tables::GRUPOST::ABREV, abbrev);
        grupost.setText(tables::GRUPOST::TURNO, QString());
        grupost.setText(tables::GRUPOST::NIVEL, level);
        grupost.setText(tables::GRUPOST::CURSO, found.course);
        grupost.setText(tables::GRUPOST::GRUPO, letter);
        grupost.setText(tables::GRUPOST::CLAVE, unitKey);
        grupost.setText(tables::GRUPOST::CLAVECURSO, courseKey);
        grupost.setText(tables::GRUPOST::DESCRIP, found.description);
        grupost.setText(tables::GRUPOST::MARCO, QStringLiteral("0"));
        grupost.post();
    }
    grupost.close();
    cursos.close();
}
