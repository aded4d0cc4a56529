#pragma once

// Small exchange documents and table dumps for the tests of the frames, slots and
// catalogue steps.

#include "exchange/ExchangeDocument.h"
#include "tables/Table.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace frames_fixture {

// A data group: its name and its records, each record the values of its items.
struct Group {
    QString seq;
    QList<QStringList> records;
};

inline QByteArray exchangeXml(const QList<Group>& groups) {
    QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<SERVICIO><BLOQUE_DATOS>\n");
    for (const Group& g : groups) {
        xml += QStringLiteral("<grupo_datos seq=\"%1\" registros=\"%2\">\n")
                   .arg(g.seq)
                   .arg(g.records.size());
        for (const QStringList& record : g.records) {
            xml += QStringLiteral("<grupo_datos>");
            for (int k = 0; k < record.size(); ++k)
                xml += QStringLiteral("<dato nombre_dato=\"D%1\">%2</dato>")
                           .arg(k)
                           .arg(record.at(k).toHtmlEscaped());
            xml += QStringLiteral("</grupo_datos>\n");
        }
        xml += QStringLiteral("</grupo_datos>\n");
    }
    xml += QStringLiteral("</BLOQUE_DATOS></SERVICIO>\n");
    return xml.toUtf8();
}

inline exchange::Document document(const QList<Group>& groups) {
    return exchange::Document::fromBytes(exchangeXml(groups), QStringLiteral("prueba.xml"));
}

// A time frame: code, name and the two details the dialog shows.
inline QStringList frame(const QString& code, const QString& name = QString(),
                         const QString& detail1 = QString(), const QString& detail2 = QString()) {
    return {code, name, detail1, detail2};
}

// A time slot: identifier, text, begin, end, frame code.
inline QStringList slot(const QString& id, const QString& text, const QString& begin,
                        const QString& end, const QString& frameCode) {
    return {id, text, begin, end, frameCode};
}

using Row = QMap<QString, QString>;

// Every row of a table, each field read as text (integers in decimal).
inline QList<Row> readRows(const QString& folder, const QString& name) {
    tables::Table t;
    t.open(folder, name);
    const QList<tables::FieldDef> fields = t.fields();
    QList<Row> rows;
    for (t.first(); !t.atEnd(); t.next()) {
        Row row;
        for (const tables::FieldDef& f : fields)
            row[f.name] = f.type == tables::FieldType::Integer && !t.isNull(f.name)
                              ? QString::number(t.integer(f.name))
                              : t.text(f.name);
        rows << row;
    }
    t.close();
    return rows;
}

// One field of every row, in table order.
inline QStringList column(const QList<Row>& rows, const QString& field) {
    QStringList out;
    for (const Row& r : rows)
        out << r.value(field);
    return out;
}

} // namespace frames_fixture
