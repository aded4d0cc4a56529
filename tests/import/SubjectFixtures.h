#pragma once

// Small builders for the subject tests: exchange documents written as XML text, tables
// written and read back through the table store.

#include "TestSupport.h"

#include "exchange/ExchangeDocument.h"
#include "import/ImportSteps.h"
#include "tables/Table.h"
#include "tables/WorkingTables.h"

#include <QDir>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace subject_fixtures {

// One data item: its nombre_dato and its text.
using Item = QPair<QString, QString>;
using Record = QList<Item>;

inline QString itemXml(const Item& item) {
    return QStringLiteral("<dato nombre_dato=\"%1\">%2</dato>")
        .arg(item.first.toHtmlEscaped(), item.second.toHtmlEscaped());
}

// A data group of records, as Veltra writes it.
inline QString groupXml(const QString& seq, const QList<Record>& records) {
    QString xml =
        QStringLiteral("<grupo_datos seq=\"%1\" registros=\"%2\">").arg(seq).arg(records.size());
    for (const Record& r : records) {
        xml += QStringLiteral("<grupo_datos seq=\"R\">");
        for (const Item& item : r)
            xml += itemXml(item);
        xml += QStringLiteral("</grupo_datos>");
    }
    return xml + QStringLiteral("</grupo_datos>");
}

inline exchange::Document documentOf(const QStringList& groups) {
    const QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                                       "<SERVICIO><BLOQUE_DATOS>%1</BLOQUE_DATOS></SERVICIO>")
                            .arg(groups.join(QString()));
    return exchange::Document::fromBytes(xml.toUtf8(), QStringLiteral("prueba.xml"));
}

// A MATERIAS record in Veltra's usual order: course offer, name, identifier.
inline Record materia(const QString& oferta, const QString& nombre, const QString& id) {
    return {{QStringLiteral("X_OFERTAMATRIG"), oferta},
            {QStringLiteral("D_MATERIAC"), nombre},
            {QStringLiteral("X_MATERIAOMG"), id}};
}

// A record from alternating item names and values.
inline Record items(const QStringList& namesAndValues) {
    Record r;
    for (qsizetype i = 0; i + 1 < namesAndValues.size(); i += 2)
        r.append({namesAndValues.at(i), namesAndValues.at(i + 1)});
    return r;
}

inline tables::FieldDef text(const char* name, int width) {
    return {QString::fromLatin1(name), tables::FieldType::Text, width};
}

// Creates a table of text fields and fills it, one string per field and row.
inline void writeTextTable(const QString& folder, const QString& name,
                           const QList<tables::FieldDef>& fields, const QList<QStringList>& rows) {
    tables::DeleteTable(folder, name);
    tables::CreateTable(folder, name, fields);
    tables::Table t;
    t.open(folder, name);
    for (const QStringList& row : rows) {
        t.append();
        for (qsizetype i = 0; i < row.size(); ++i)
            t.setText(fields.at(i).name, row.at(i));
        t.post();
    }
    t.close();
}

inline void writeCatalog(const QString& folder, const QList<QStringList>& rows) {
    writeTextTable(folder, tables::VELTMATERIAS::kName, tables::VELTMATERIAS::fields(), rows);
}

// The rows of a table as text, booleans as "T" or "F".
inline QList<QStringList> dump(const QString& folder, const QString& name,
                               const QStringList& fields) {
    tables::Table t;
    t.open(folder, name);
    QList<tables::FieldDef> defs = t.fields();
    QList<QStringList> rows;
    for (t.first(); !t.atEnd(); t.next()) {
        QStringList row;
        for (const QString& f : fields) {
            bool isBool = false;
            for (const tables::FieldDef& d : defs)
                isBool = isBool || (d.name == f && d.type == tables::FieldType::Boolean);
            row << (isBool ? QString::fromLatin1(t.boolean(f) ? "T" : "F") : t.text(f));
        }
        rows << row;
    }
    t.close();
    return rows;
}

inline std::string show(const QList<QStringList>& rows) {
    std::string out;
    for (const QStringList& r : rows)
        out += "\n  [" + r.join(QStringLiteral(" | ")).toStdString() + "]";
    return out;
}

// A working folder and a program folder for one run of the steps.
struct StepRun {
    QTemporaryDir dir;
    QString workDir = dir.filePath(QStringLiteral("TLTEMP"));
    QString programDir = dir.filePath(QStringLiteral("programa"));
    QString catalogPath = programDir + QStringLiteral("/VELTMATERIAS.DBF");
    ScriptedHost host;
    run::RunReport report; // what the steps note

    StepRun() {
        EXPECT_TRUE(dir.isValid());
        QDir().mkpath(workDir);
        QDir().mkpath(programDir);
    }

    template <typename Step> void step(Step fn, const exchange::Document& doc) {
        ImportContext ctx{doc, host, host, workDir, catalogPath};
        ctx.report = &report;
        fn(ctx);
    }
};

} // namespace subject_fixtures
