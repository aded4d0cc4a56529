#include "cli/Cli.h"
#include "tables/Folders.h"
#include "tables/Table.h"
#include "text/RunError.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace cli {

namespace {

QString typeName(tables::FieldType t) {
    switch (t) {
    case tables::FieldType::Text:
        return QStringLiteral("texto");
    case tables::FieldType::Integer:
        return QStringLiteral("entero");
    case tables::FieldType::Float:
        return QStringLiteral("real");
    case tables::FieldType::Boolean:
        return QStringLiteral("lógico");
    }
    return QString();
}

QString csvField(const QString& v) {
    if (!v.contains(u',') && !v.contains(u'"') && !v.contains(u'\n') && !v.contains(u'\r'))
        return v;
    QString q = v;
    q.replace(u'"', QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

} // namespace

int runTable(const QStringList& args, Streams io) {
    const Options opts(args, {QStringLiteral("workdir"), QStringLiteral("format")}, {});
    const QString format = opts.value(QStringLiteral("format"), QStringLiteral("csv"));
    if (!opts.ok() || opts.positional().size() != 1 ||
        (format != QLatin1String("csv") && format != QLatin1String("json"))) {
        io.err << (opts.ok() ? QStringLiteral("Indique una tabla y un formato csv o json.")
                             : opts.error())
               << '\n'
               << usageText();
        return Usage;
    }
    // A path names the file itself; a bare name is a table of the working folder.
    const QString arg = opts.positional().first();
    QString folder = opts.value(QStringLiteral("workdir"), workingFolder());
    QString name = arg;
    if (arg.contains(u'/') || arg.contains(u'\\') || QFileInfo::exists(arg)) {
        const QFileInfo fi(arg);
        folder = fi.absolutePath();
        name = fi.fileName();
    }
    try {
        tables::Table t;
        t.open(folder, name, tables::OpenMode::Shared);
        const QList<tables::FieldDef> fields = t.fields();
        if (format == QLatin1String("json")) {
            QJsonArray jf;
            for (const auto& f : fields)
                jf.append(QJsonObject{{QStringLiteral("nombre"), f.name},
                                      {QStringLiteral("tipo"), typeName(f.type)},
                                      {QStringLiteral("ancho"), f.width}});
            QJsonArray rows;
            for (t.first(); !t.atEnd(); t.next()) {
                QJsonObject row;
                for (const auto& f : fields)
                    row.insert(f.name, t.text(f.name));
                rows.append(row);
            }
            const QJsonObject all{{QStringLiteral("tabla"), t.name()},
                                  {QStringLiteral("campos"), jf},
                                  {QStringLiteral("filas"), rows}};
            io.out << QString::fromUtf8(QJsonDocument(all).toJson(QJsonDocument::Indented));
        } else {
            io.out << "# " << t.name() << ": " << t.rowCount() << " filas\n";
            QStringList desc;
            for (const auto& f : fields)
                desc << QStringLiteral("%1 %2 %3").arg(f.name, typeName(f.type)).arg(f.width);
            io.out << "# " << desc.join(QStringLiteral(", ")) << '\n';
            QStringList header;
            for (const auto& f : fields)
                header << csvField(f.name);
            io.out << header.join(u',') << '\n';
            for (t.first(); !t.atEnd(); t.next()) {
                QStringList line;
                for (const auto& f : fields)
                    line << csvField(t.text(f.name));
                io.out << line.join(u',') << '\n';
            }
        }
        io.out.flush();
        return Done;
    } catch (const RunError& e) {
        io.err << e.message() << '\n';
        return RunFailed;
    }
}

} // namespace cli
