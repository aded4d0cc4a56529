#include "import/ImportSteps.h"

#include "import/TakenCodes.h"
#include "tables/Table.h"
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
    const QString name = QStringLiteral("GRUPOST");
    tables::DeleteTable(ctx.workDir, name);

    tables::Table cursos;
    cursos.open(ctx.workDir, QStringLiteral("CursosT"), tables::OpenMode::Exclusive);
    tables::CreateTable(ctx.workDir, name,
                        {{QStringLiteral("ABREV"), tables::FieldType::Text, 10},
                         {QStringLiteral("TURNO"), tables::FieldType::Text, 1},
                         {QStringLiteral("NIVEL"), tables::FieldType::Text, 5},
                         {QStringLiteral("CURSO"), tables::FieldType::Text, 3},
                         {QStringLiteral("GRUPO"), tables::FieldType::Text, 2},
                         {QStringLiteral("CLAVE"), tables::FieldType::Text, 10},
                         {QStringLiteral("CLAVECURSO"), tables::FieldType::Text, 10},
                         {QStringLiteral("DESCRIP"), tables::FieldType::Text, 80},
                         {QStringLiteral("MARCO"), tables::FieldType::Text, 1}});

    // The courses table is held exclusively for the whole step, so it is read once; the
    // first row of each key wins, as a scan from the first row would find it.
    QHash<QString, Course> courses;
    for (cursos.first(); !cursos.atEnd(); cursos.next()) {
        const QString key = cursos.text(QStringLiteral("CLAVE"));
        if (!courses.contains(key))
            courses.insert(key, {cursos.text(QStringLiteral("NIVEL")),
                                 cursos.text(QStringLiteral("CURSO")),
                                 cursos.text(QStringLiteral("ESTUD"))});
    }

    const exchange::NodeList records = ctx.doc.recordsOf(QStringLiteral("UNIDADES"));
    tables::Table grupost;
    grupost.open(ctx.workDir, name);

    TakenCodes taken;
    int number = 0;
    for (const exchange::Node& record : records) {
        ++number;
        const exchange::NodeList items = dataItems(record);
        if (items.size() < 2) {
            noteShortRecord(ctx, QStringLiteral("UNIDADES"), number);
            continue;
        }
        const QString unitKey = itemValue(items, 0);
        const QString courseKey = itemValue(items, 2);
        const Course found = courses.value(courseKey);
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
                             QStringLiteral("UNIDADES"),
                             {},
                             number,
                             {},
                             courseKey});
        }

        grupost.append();
        grupost.setText(QStringLiteral("ABREV"), abbrev);
        grupost.setText(QStringLiteral("TURNO"), QString());
        grupost.setText(QStringLiteral("NIVEL"), level);
        grupost.setText(QStringLiteral("CURSO"), found.course);
        grupost.setText(QStringLiteral("GRUPO"), letter);
        grupost.setText(QStringLiteral("CLAVE"), unitKey);
        grupost.setText(QStringLiteral("CLAVECURSO"), courseKey);
        grupost.setText(QStringLiteral("DESCRIP"), found.description);
        grupost.setText(QStringLiteral("MARCO"), QStringLiteral("0"));
        grupost.post();
    }
    grupost.close();
    cursos.close();
}
