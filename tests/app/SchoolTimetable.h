#pragma once

// A timetable as Tempolan would leave it in SOLUC after an import of the small school
// in tests/app/data/escuela.xml, built from the working tables the import wrote, so the
// export finds every code it looks up. Shared by the end-to-end test and the small
// program the window script uses to stand in for Tempolan.

#include "tables/Table.h"
#include "tables/WorkingTables.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace school_timetable {

struct Entry {
    QString prof, dia, hora, marco, asig, tarea, codgrupo, aula, concierto;
};

// One column of a table, in table order.
inline QStringList column(const QString& folder, const QString& table, const QString& field) {
    tables::Table t;
    t.open(folder, table, tables::OpenMode::Shared);
    QStringList values;
    for (t.first(); !t.atEnd(); t.next())
        values << t.text(field);
    return values;
}

// The entries, in the order SOLUC receives them:
// - every ASIGT assignment once, teachers and rooms taken in turn, on the DIASHORAST
//   slots in table order, as a class of activity "1" paid from the origin "CONC";
// - one guard duty ("#7") per teacher on the slots that follow;
// - a tutorial (activity "20") of the first teacher with the first assignment's group;
// - an entry Tempolan could not place (day 0), which the export leaves out.
inline QList<Entry> entries(const QString& folder) {
    const QStringList teachers = column(folder, tables::PROFT::kName, tables::PROFT::ABREV);
    const QStringList rooms = column(folder, tables::AULAT::kName, tables::AULAT::ABREV);
    const QStringList subjects = column(folder, tables::ASIGT::kName, tables::ASIGT::CASIG);
    const QStringList groups = column(folder, tables::ASIGT::kName, tables::ASIGT::CGRUP);
    const QStringList days = column(folder, tables::DIASHORAST::kName, tables::DIASHORAST::DIA);
    const QStringList hours = column(folder, tables::DIASHORAST::kName, tables::DIASHORAST::HORA);
    const QStringList frames = column(folder, tables::DIASHORAST::kName, tables::DIASHORAST::MARCO);
    if (teachers.isEmpty() || rooms.isEmpty() || subjects.isEmpty() || days.isEmpty())
        return {};

    QList<Entry> list;
    qsizetype slot = 0;
    auto place = [&](Entry e) {
        const qsizetype s = slot++ % days.size();
        e.dia = days.at(s);
        e.hora = hours.at(s);
        e.marco = frames.at(s);
        list << e;
    };
    for (qsizetype i = 0; i < subjects.size(); ++i)
        place({teachers.at(i % teachers.size()),
               {},
               {},
               {},
               subjects.at(i),
               QStringLiteral("1"),
               groups.at(i),
               rooms.at(i % rooms.size()),
               QStringLiteral("CONC")});
    for (const QString& teacher : teachers)
        place({teacher, {}, {}, {}, QStringLiteral("#7"), QStringLiteral("#7"), {}, {}, {}});
    place({teachers.first(),
           {},
           {},
           {},
           QStringLiteral("20"),
           QStringLiteral("20"),
           groups.first(),
           rooms.first(),
           QStringLiteral("CONC")});
    list << Entry{teachers.first(),    QStringLiteral("0"), QStringLiteral("0"),
                  QStringLiteral("0"), subjects.first(),    QStringLiteral("1"),
                  groups.first(),      rooms.first(),       QStringLiteral("CONC")};
    return list;
}

// Writes SOLUC.DBF into folder, replacing an older one; returns the number of entries.
inline int writeSoluc(const QString& folder) {
    namespace S = tables::SOLUC;
    const QList<Entry> list = entries(folder);
    tables::DeleteTable(folder, S::kName);
    tables::CreateTable(folder, S::kName, S::fields(S::DayAndSlot::Text));
    tables::Table t;
    t.open(folder, S::kName, tables::OpenMode::Exclusive);
    for (const Entry& e : list) {
        t.append();
        t.setText(S::PROF, e.prof);
        t.setText(S::DIA, e.dia);
        t.setText(S::HORA, e.hora);
        t.setText(S::MARCO, e.marco);
        t.setText(S::ASIG, e.asig);
        t.setText(S::TAREA, e.tarea);
        t.setText(S::CODGRUPO, e.codgrupo);
        t.setText(S::AULA, e.aula);
        t.setText(S::CCONCIERTO, e.concierto);
        t.post();
    }
    t.close();
    return int(list.size());
}

} // namespace school_timetable
