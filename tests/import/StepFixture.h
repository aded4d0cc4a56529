#pragma once

// Shared by the tests of the table-building import steps: small exchange documents
// written inline, a working folder of their own, and the tables read back.

#include "TestSupport.h"
#include "exchange/ExchangeDocument.h"
#include "import/ImportSteps.h"
#include "tables/Table.h"

#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace step_docs {

using Items = QStringList;

// A data item for every value, named after its position.
inline QString items(const Items& values) {
    QString xml;
    for (int k = 0; k < values.size(); ++k)
        xml += QStringLiteral("<dato nombre_dato=\"ITEM%1\">%2</dato>")
                   .arg(k)
                   .arg(values.at(k).toHtmlEscaped());
    return xml;
}

// A data group made of records.
inline QString group(const QString& seq, const QList<Items>& records) {
    QString xml =
        QStringLiteral("<grupo_datos seq=\"%1\" registros=\"%2\">").arg(seq).arg(records.size());
    for (const Items& r : records)
        xml += QStringLiteral("<grupo_datos>") + items(r) + QStringLiteral("</grupo_datos>");
    return xml + QStringLiteral("</grupo_datos>");
}

// A data group that carries its items directly.
inline QString flatGroup(const QString& seq, const Items& values) {
    return QStringLiteral("<grupo_datos seq=\"%1\">").arg(seq) + items(values) +
           QStringLiteral("</grupo_datos>");
}

inline QByteArray document(const QStringList& groups) {
    return (QStringLiteral("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                           "<SERVICIO><BLOQUE_DATOS>") +
            groups.join(QString()) + QStringLiteral("</BLOQUE_DATOS></SERVICIO>\n"))
        .toLatin1();
}

} // namespace step_docs

class StepTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    QString workDir() const { return dir_.path(); }

    // Written to disk and loaded, as the import run does.
    void load(const QStringList& groups) {
        const QString path = dir_.filePath(QStringLiteral("veltra.xml"));
        testing_support::writeFile(path, step_docs::document(groups));
        doc_ = exchange::Document::load(path);
        ASSERT_TRUE(doc_.ok()) << doc_.errorString().toStdString();
    }

    template <typename Step> void run(Step step) {
        ImportContext ctx{doc_, host_, host_, workDir(), QString()};
        step(ctx);
    }

    // The rows of a table, the given fields of each, in table order.
    QList<QStringList> rows(const QString& table, const QStringList& fields) const {
        tables::Table t;
        t.open(workDir(), table);
        QList<QStringList> out;
        for (t.first(); !t.atEnd(); t.next()) {
            QStringList row;
            for (const QString& f : fields)
                row << t.text(f);
            out << row;
        }
        return out;
    }

    // One column of a table, in table order.
    QStringList column(const QString& table, const QString& field) const {
        QStringList out;
        for (const QStringList& row : rows(table, {field}))
            out << row.first();
        return out;
    }

    // "NAME C10", "NAME N" and so on, in field order.
    QStringList layout(const QString& table) const {
        tables::Table t;
        t.open(workDir(), table);
        QStringList out;
        for (const tables::FieldDef& f : t.fields()) {
            switch (f.type) {
            case tables::FieldType::Text:
                out << QStringLiteral("%1 C%2").arg(f.name).arg(f.width);
                break;
            case tables::FieldType::Integer:
                out << f.name + QStringLiteral(" I");
                break;
            case tables::FieldType::Float:
                out << f.name + QStringLiteral(" F");
                break;
            case tables::FieldType::Boolean:
                out << f.name + QStringLiteral(" L");
                break;
            }
        }
        return out;
    }

    QTemporaryDir dir_;
    exchange::Document doc_;
    ScriptedHost host_;
};
