#pragma once

// Small fixtures shared by the course step and course dialog tests: a document with
// CURSOS_DEL_CENTRO records, CURSOST/CURSOST2 written and read through the table store.

#include "TestSupport.h"
#include "exchange/ExchangeDocument.h"
#include "import/CursosLogic.h"
#include "tables/Table.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QStringList>
#include <gtest/gtest.h>

namespace cursos_fixture {

// Each record is its list of item texts.
inline QByteArray cursosDocument(const QList<QStringList>& records) {
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SERVICIO><BLOQUE_DATOS>"
                     "<grupo_datos seq=\"CURSOS_DEL_CENTRO\">";
    int n = 0;
    for (const QStringList& items : records) {
        xml += "<grupo_datos seq=\"" + QByteArray::number(++n) + "\">";
        static const char* names[] = {"X_OFERTAMATRIG", "D_OFERTAMATRIG", "N_EXTRA"};
        for (int k = 0; k < items.size(); ++k)
            xml += "<dato nombre_dato=\"" + QByteArray(names[k % 3]) + "\">" +
                   items.at(k).toHtmlEscaped().toUtf8() + "</dato>";
        xml += "</grupo_datos>";
    }
    xml += "</grupo_datos></BLOQUE_DATOS></SERVICIO>\n";
    return xml;
}

struct Codes {
    QString clave;
    QString nivel;
    QString curso;
    bool operator==(const Codes&) const = default;
};

inline void PrintTo(const Codes& c, std::ostream* os) {
    *os << '{' << c.clave.toStdString() << ',' << c.nivel.toStdString() << ','
        << c.curso.toStdString() << '}';
}

// CLAVE, NIVEL and CURSO of every row, in table order.
inline QList<Codes> readCodes(const QString& dir, const QString& name) {
    QList<Codes> rows;
    tables::Table t;
    t.open(dir, name);
    for (t.first(); !t.atEnd(); t.next())
        rows.append({t.text("CLAVE"), t.text("NIVEL"), t.text("CURSO")});
    t.close();
    return rows;
}

// Writes a table with the six course fields holding the given rows.
inline void writeCursosTable(const QString& dir, const QString& name, const QList<Codes>& rows,
                             const QString& estud = QStringLiteral("Estudios")) {
    tables::DeleteTable(dir, name);
    tables::CreateTable(dir, name, CursosLogic::fields());
    tables::Table t;
    t.open(dir, name);
    for (const Codes& r : rows) {
        t.append();
        t.setText("CLAVE", r.clave);
        t.setText("ESTUD", estud);
        t.setText("NIVEL", r.nivel);
        t.setText("CURSO", r.curso);
        t.post();
    }
    t.close();
}

inline QString cursos2Path(const QString& dir) {
    return QDir(dir).filePath(QStringLiteral("CURSOST2.DBF"));
}

// True when nobody holds the table: an exclusive opening succeeds.
inline bool releasedTable(const QString& dir, const QString& name) {
    try {
        tables::Table t;
        t.open(dir, name, tables::OpenMode::Exclusive);
        t.close();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace cursos_fixture
