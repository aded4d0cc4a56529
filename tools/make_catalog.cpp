// Writes the subject catalogue VELTMATERIAS.DBF from a UTF-8 text file of lines
// "NOMBRE;COD;CODLARGO" (a header line first; lines starting with # are comments).
//
//     make_catalog <catalogue.csv> <output folder>

#include "tables/Table.h"
#include "tables/WorkingTables.h"
#include "text/Clipper.h"
#include "text/RunError.h"

#include <QFile>
#include <QStringList>
#include <algorithm>
#include <cstdio>

namespace {

struct Row {
    QString nombre;
    QString cod;
    QString codLargo;
};

namespace catalogo = tables::VELTMATERIAS;
// A field's width in the catalogue's layout.
int ancho(const QString& campo) {
    for (const tables::FieldDef& f : catalogo::fields())
        if (f.name == campo)
            return f.width;
    return 0;
}
int anchoNombre() {
    return ancho(catalogo::NOMBRE);
}
int anchoCodigo() {
    return std::min(ancho(catalogo::COD), ancho(catalogo::CODLARGO));
}

QList<Row> readCatalogue(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw RunError(QStringLiteral("No se puede leer %1").arg(path));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QChar(u'\n'));
    QList<Row> rows;
    bool header = true;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines.at(i);
        if (line.endsWith(QChar(u'\r')))
            line.chop(1);
        if (AllTrim(line).isEmpty() || line.startsWith(QChar(u'#')))
            continue;
        const QString where = QStringLiteral("%1, línea %2").arg(path).arg(i + 1);
        const QStringList fields = line.split(QChar(u';'));
        if (fields.size() != 3)
            throw RunError(
                QStringLiteral("%1: se esperaban tres campos separados por ;").arg(where));
        if (header) {
            if (fields != QStringList({"NOMBRE", "COD", "CODLARGO"}))
                throw RunError(
                    QStringLiteral("%1: se esperaba la cabecera NOMBRE;COD;CODLARGO").arg(where));
            header = false;
            continue;
        }
        // Names are compared whole and codes used as written, so nothing may be cut.
        const Row row{AllTrim(fields.at(0)), AllTrim(fields.at(1)), AllTrim(fields.at(2))};
        if (row.nombre.isEmpty() || row.nombre.size() > anchoNombre())
            throw RunError(QStringLiteral("%1: el nombre debe tener de 1 a %2 caracteres")
                               .arg(where)
                               .arg(anchoNombre()));
        if (row.cod.size() > anchoCodigo() || row.codLargo.size() > anchoCodigo())
            throw RunError(QStringLiteral("%1: COD y CODLARGO tienen como mucho %2 caracteres")
                               .arg(where)
                               .arg(anchoCodigo()));
        rows.append(row);
    }
    return rows;
}

void writeCatalogue(const QString& folder, const QList<Row>& rows) {
    tables::DeleteTable(folder, catalogo::kName);
    tables::CreateTable(folder, catalogo::kName, catalogo::fields());
    tables::Table table;
    table.open(folder, catalogo::kName, tables::OpenMode::Exclusive);
    for (const Row& row : rows) {
        table.append();
        table.setText(catalogo::NOMBRE, row.nombre);
        table.setText(catalogo::COD, row.cod);
        table.setText(catalogo::CODLARGO, row.codLargo);
        table.post();
    }
    table.close();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "Uso: make_catalog <catálogo.csv> <carpeta de salida>\n");
        return 2;
    }
    try {
        writeCatalogue(QString::fromLocal8Bit(argv[2]),
                       readCatalogue(QString::fromLocal8Bit(argv[1])));
    } catch (const RunError& e) {
        std::fprintf(stderr, "make_catalog: %s\n", e.what());
        return 1;
    }
    return 0;
}
