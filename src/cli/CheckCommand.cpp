#include "cli/CliHost.h"
#include "exchange/ExchangeDocument.h"
#include "tables/Folders.h"
#include "tables/Table.h"
#include "text/Clipper.h"
#include "text/RunError.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

namespace cli {

namespace {

using exchange::NodeList;

// A whole number as the runs convert it: optional sign, decimal digits, 32 bits.
bool isWholeNumber(const QString& s) {
    bool ok = false;
    s.toInt(&ok, 10);
    if (!ok)
        return false;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (!(c.isDigit() && c.unicode() < 128) && !(i == 0 && (c == u'-' || c == u'+')))
            return false;
    }
    return true;
}

// Trims every character from U+0000 to U+0020, as the course dialog does.
QString trimControl(const QString& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && s.at(b).unicode() <= 0x20)
        ++b;
    while (e > b && s.at(e - 1).unicode() <= 0x20)
        --e;
    return s.mid(b, e - b);
}

struct GroupRule {
    const char* seq;
    int minItems; // records with fewer items are passed over
};

const GroupRule kGroups[] = {
    {"CURSOS_DEL_CENTRO", 2}, {"MATERIAS", 2}, {"ACTIVIDADES", 2},        {"EMPLEADOS", 2},
    {"DEPENDENCIAS", 2},      {"UNIDADES", 2}, {"JORNADAS_ESCOLARES", 0}, {"TRAMOS_HORARIOS", 0},
    {"ORIGENES", 2},          {"NIVELES", 2},  {"CURSOS_NIVELES", 2},     {"AUTORIZACIONES", 2},
};

} // namespace

int runCheck(const QStringList& args, Streams io) {
    const Options opts(args, {QStringLiteral("workdir")}, {});
    if (!opts.ok() || opts.positional().size() != 1) {
        io.err << (opts.ok() ? QStringLiteral("Indique un documento.") : opts.error()) << '\n'
               << usageText();
        return Usage;
    }
    const QString path = QFileInfo(opts.positional().first()).absoluteFilePath();
    const QString workDir = opts.value(QStringLiteral("workdir"), workingFolder());
    if (!QFileInfo(path).isFile()) {
        io.err << "No existe archivo: " << path << '\n';
        return RunFailed;
    }

    bool wouldComplete = true;
    QTextStream& out = io.out;
    try {
        const exchange::Document doc = exchange::Document::load(path);
        if (!doc.ok()) {
            out << "Documento: " << path << "\n  no es XML bien formado: " << doc.errorString()
                << '\n';
            out << "La importación no se haría: el documento no se puede leer.\n";
            return RunFailed;
        }
        const QString enc = doc.encoding();
        out << "Documento: " << path << "\n  XML bien formado, codificación "
            << (enc.isEmpty() ? QStringLiteral("UTF-8 (sin declaración)") : enc) << '\n';

        // School year: one of the first two groups must carry more than one item.
        const NodeList top = doc.topLevelGroups();
        bool yearFound = false;
        for (int i = 0; i < 2 && i < top.size(); ++i)
            yearFound = yearFound || exchange::dataItems(top.at(i)).size() > 1;
        if (!yearFound) {
            wouldComplete = false;
            out << "ERROR  Ninguno de los dos primeros grupos de datos trae el año académico: "
                   "la importación terminaría en PERIODOS.\n";
        }

        out << "Grupos de datos:\n";
        QHash<QString, NodeList> records;
        for (const GroupRule& g : kGroups) {
            const QString seq = QString::fromLatin1(g.seq);
            const NodeList recs = doc.recordsOf(seq);
            records.insert(seq, recs);
            QStringList skipped;
            for (int i = 0; i < recs.size(); ++i)
                if (exchange::dataItems(recs.at(i)).size() < g.minItems)
                    skipped << QString::number(i + 1);
            out << QStringLiteral("  %1: %2 registros").arg(seq).arg(recs.size());
            if (!skipped.isEmpty())
                out << QStringLiteral(", se pasarían por alto los registros %1")
                           .arg(skipped.join(QStringLiteral(", ")));
            out << '\n';
        }

        // Time frames and their slots.
        const NodeList frames = records.value(QStringLiteral("JORNADAS_ESCOLARES"));
        const NodeList slots = records.value(QStringLiteral("TRAMOS_HORARIOS"));
        QHash<QString, int> slotCount;
        for (const auto& s : slots)
            slotCount[LeftStr(exchange::itemValue(exchange::dataItems(s), 4), 10)]++;
        out << "Marcos horarios:\n";
        for (const auto& f : frames) {
            const NodeList items = exchange::dataItems(f);
            const QString code = exchange::itemValue(items, 0);
            out << QStringLiteral("  %1 \"%2\": %3 tramos\n")
                       .arg(code, exchange::itemValue(items, 1))
                       .arg(slotCount.value(LeftStr(code, 10)));
        }
        if (frames.size() >= 2)
            out << "  Hay más de un marco: la importación pide elegir uno o dos (--frames).\n";

        // Course offerings that the saved codes do not cover.
        QHash<QString, std::pair<QString, QString>> saved;
        if (QFileInfo::exists(QDir(workDir).filePath(QStringLiteral("CURSOST2.DBF")))) {
            tables::Table t;
            t.open(workDir, QStringLiteral("CURSOST2"));
            for (t.first(); !t.atEnd(); t.next()) {
                const QString key = t.text(QStringLiteral("CLAVE"));
                if (!saved.contains(key))
                    saved.insert(
                        key, {t.text(QStringLiteral("NIVEL")), t.text(QStringLiteral("CURSO"))});
            }
        }
        QStringList lacking;
        for (const auto& r : records.value(QStringLiteral("CURSOS_DEL_CENTRO"))) {
            const NodeList items = exchange::dataItems(r);
            if (items.size() < 2)
                continue;
            const QString key = LeftStr(exchange::itemValue(items, 0), 10);
            const auto codes = saved.value(key);
            if (trimControl(codes.first).isEmpty() || trimControl(codes.second).isEmpty())
                lacking << key;
        }
        if (lacking.isEmpty())
            out << "Ofertas de curso: todas tienen nivel y curso guardados en CURSOST2.\n";
        else
            out << "Ofertas de curso sin nivel o curso tras recuperar CURSOST2 (" << lacking.size()
                << "): " << lacking.join(QStringLiteral(", ")) << '\n';

        // Values that would end the run with a conversion error.
        QStringList fatal;
        auto checkNumber = [&](const QString& seq, int rec, int item, QString value) {
            if (!isWholeNumber(value))
                fatal << QStringLiteral("%1, registro %2, dato %3: \"%4\" no es un número entero")
                             .arg(seq)
                             .arg(rec + 1)
                             .arg(item)
                             .arg(value);
        };
        for (int i = 0; i < slots.size(); ++i) {
            const NodeList items = exchange::dataItems(slots.at(i));
            for (int k : {2, 3}) {
                QString v = exchange::itemValue(items, k);
                if (v.size() < 4)
                    v.prepend(u'0');
                checkNumber(QStringLiteral("TRAMOS_HORARIOS"), i, k, v);
            }
        }
        const struct {
            const char* seq;
            QList<int> items;
        } catalogues[] = {{"ORIGENES", {0}},
                          {"NIVELES", {0}},
                          {"CURSOS_NIVELES", {0, 1}},
                          {"AUTORIZACIONES", {0, 1, 2, 3}}};
        const bool catalogsRead = !records.value(QStringLiteral("ORIGENES")).isEmpty();
        for (const auto& c : catalogues) {
            if (!catalogsRead)
                break; // without ORIGENES the import leaves the catalogues alone
            const QString seq = QString::fromLatin1(c.seq);
            const NodeList recs = records.value(seq);
            for (int i = 0; i < recs.size(); ++i) {
                const NodeList items = exchange::dataItems(recs.at(i));
                if (items.size() < 2)
                    continue;
                for (int k : c.items)
                    checkNumber(seq, i, k, exchange::itemValue(items, k));
            }
        }
        for (const QString& f : fatal)
            out << "ERROR  " << f << '\n';
        if (!fatal.isEmpty())
            wouldComplete = false;
    } catch (const RunError& e) {
        io.err << e.message() << '\n';
        return RunFailed;
    }
    out << (wouldComplete ? "La importación llegaría a su fin.\n"
                          : "La importación no llegaría a su fin.\n");
    return wouldComplete ? Done : RunFailed;
}

} // namespace cli
