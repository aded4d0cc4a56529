#include "cli/Cli.h"
#include "tables/Folders.h"
#include "tables/Table.h"
#include "text/RunError.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace cli {

namespace {

// "N 11.2", "C 8", "I 4": the type letter and length as dBase tools show them.
QString describe(const tables::StoredField& f) {
    QString s = QStringLiteral("%1 %2").arg(QChar::fromLatin1(f.type)).arg(f.length);
    if (f.decimals > 0)
        s += QStringLiteral(".%1").arg(f.decimals);
    return s;
}

// The level a version byte stands for; the low three bits carry it, the high ones say
// whether a memo file goes with the table.
QString levelOf(int version) {
    const int level = version & 0x07;
    if (level == 4)
        return QStringLiteral("7");
    if (level == 3)
        return QStringLiteral("III-5");
    return QStringLiteral("0x%1").arg(version, 2, 16, QLatin1Char('0'));
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
        return usageError(io, (!opts.ok() ? opts.error()
                               : opts.positional().size() != 1
                                   ? QStringLiteral("Indique una tabla.")
                                   : QStringLiteral("Formato desconocido: %1 "
                                                    "(csv o json)")
                                         .arg(format)));
    }
    // A path names the file itself; a bare name is a table of the working folder.
    const QString arg = opts.positional().first();
    QString folder = opts.value(QStringLiteral("workdir"), tables::workingFolder());
    QString name = arg;
    if (arg.contains(u'/') || arg.contains(u'\\') ||
        (!opts.has(QStringLiteral("workdir")) && QFileInfo(arg).isFile())) {
        const QFileInfo fi(arg);
        folder = fi.absolutePath();
        name = fi.fileName();
    }
    try {
        tables::Table t;
        t.open(folder, name, tables::OpenMode::Shared);
        const QList<tables::StoredField> fields = t.storedFields();
        const QString level = levelOf(t.versionByte());
        if (format == QLatin1String("json")) {
            QJsonArray jf;
            for (const auto& f : fields)
                jf.append(QJsonObject{{QStringLiteral("nombre"), f.name},
                                      {QStringLiteral("tipo"), QString(QChar::fromLatin1(f.type))},
                                      {QStringLiteral("ancho"), f.length},
                                      {QStringLiteral("decimales"), f.decimals}});
            QJsonArray rows;
            for (t.first(); !t.atEnd(); t.next()) {
                QJsonObject row;
                for (const auto& f : fields)
                    row.insert(f.name, t.text(f.name));
                rows.append(row);
            }
            const QJsonObject all{{QStringLiteral("tabla"), t.name()},
                                  {QStringLiteral("nivel"), level},
                                  {QStringLiteral("campos"), jf},
                                  {QStringLiteral("filas"), rows}};
            io.out << QString::fromUtf8(QJsonDocument(all).toJson(QJsonDocument::Indented));
        } else {
            io.out << "# " << t.name() << ": dBase nivel " << level << ", " << t.rowCount()
                   << " filas\n";
            QStringList desc;
            for (const auto& f : fields)
                desc << f.name + u' ' + describe(f);
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
