#include "cli/Answers.h"

#include "exchange/ExchangeDocument.h"
#include "text/Clipper.h"

#include "tables/Folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace cli {

namespace {

// Width of CURSOST.CLAVE: longer keys are stored cut, so they are matched cut.
constexpr int kKeyWidth = 10;
// Frame codes are compared trimmed and cut to the width of DIASHORAST.MARCOXML.
constexpr int kFrameWidth = 10;

// Splits one CSV line, honouring double quotes.
QStringList splitCsvLine(const QString& line) {
    QStringList fields;
    QString cur;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < line.size() && line.at(i + 1) == u'"') {
                cur += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                cur += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            fields << cur;
            cur.clear();
        } else {
            cur += c;
        }
    }
    fields << cur;
    return fields;
}

} // namespace

bool readCodes(const QString& path, CodesByKey& codes, QString& error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("No se puede leer el archivo de códigos %1: %2")
                    .arg(path, f.errorString());
        return false;
    }
    QString text = QString::fromUtf8(f.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    const QStringList lines = text.split(u'\n');
    bool header = true;
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QString line = lines.at(n);
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        const QStringList fields = splitCsvLine(line);
        if (header) {
            QStringList names;
            for (const QString& h : fields)
                names << h.trimmed().toUpper();
            if (names != QStringList{QStringLiteral("CLAVE"), QStringLiteral("NIVEL"),
                                     QStringLiteral("CURSO")}) {
                error = QStringLiteral("%1, línea %2: la cabecera debe ser CLAVE,NIVEL,CURSO")
                            .arg(path)
                            .arg(n + 1);
                return false;
            }
            header = false;
            continue;
        }
        if (fields.size() != 3) {
            error = QStringLiteral("%1, línea %2: se esperan tres campos (CLAVE,NIVEL,CURSO)")
                        .arg(path)
                        .arg(n + 1);
            return false;
        }
        codes.insert(LeftStr(AllTrim(fields.at(0)), kKeyWidth),
                     {fields.at(1).trimmed(), fields.at(2).trimmed()});
    }
    if (header) {
        error = QStringLiteral("%1: falta la cabecera CLAVE,NIVEL,CURSO").arg(path);
        return false;
    }
    return true;
}

QStringList frameCodes(const QString& option) {
    return option.split(u',');
}

QString frameList(const QList<PlantillasLogic::Frame>& frames) {
    QString list;
    for (const auto& f : frames)
        list += QStringLiteral("  %1  %2\n").arg(f.code, f.name);
    return list;
}

FrameChoice chooseFrames(const exchange::Document& doc, const QStringList& codes) {
    SilentRunHost host;
    PlantillasLogic dialog(host, doc);
    FrameChoice choice;
    choice.frames = dialog.frames();
    choice.frameCount = int(choice.frames.size());
    choice.asked = choice.frameCount >= 2;
    if (!choice.asked)
        return choice;
    const auto outcome = dialog.chooseByCodes(codes);
    switch (outcome.status) {
    case PlantillasLogic::Choice::Ok:
        choice.answered = true;
        choice.resultado = dialog.resultado;
        break;
    case PlantillasLogic::Choice::None:
        choice.problem =
            QStringLiteral("El documento tiene %1 marcos horarios: elija uno o dos con --frames.")
                .arg(choice.frameCount);
        break;
    case PlantillasLogic::Choice::Unknown:
        choice.problem = QStringLiteral("Marcos horarios desconocidos en --frames: %1.")
                             .arg(outcome.unknown.join(QStringLiteral(", ")));
        break;
    case PlantillasLogic::Choice::TooMany:
        choice.problem =
            QStringLiteral("Demasiados marcos horarios en --frames: se pueden elegir uno o dos.");
        break;
    }
    return choice;
}

SlotFrames slotFrames(const exchange::Document& doc, const FrameChoice& choice) {
    SlotFrames s;
    if (choice.frameCount == 0)
        return s;
    if (!choice.asked) {
        const exchange::NodeList frames = doc.recordsOf(QStringLiteral("JORNADAS_ESCOLARES"));
        s.code1 = LeftStr(exchange::itemValue(exchange::dataItems(frames.first()), 0), kFrameWidth);
        return s;
    }
    s.two = choice.resultado.size() == 20;
    s.code1 = LeftStr(AllTrim(choice.resultado.left(10)), kFrameWidth);
    if (s.two)
        s.code2 = LeftStr(AllTrim(choice.resultado.mid(10)), kFrameWidth);
    return s;
}

std::optional<int> readImportOptions(const QStringList& args, Streams io, ImportOptions& o) {
    const Options opts(args,
                       {QStringLiteral("workdir"), QStringLiteral("catalog"),
                        QStringLiteral("codes"), QStringLiteral("frames"),
                        QStringLiteral("report")},
                       {QStringLiteral("recover"), QStringLiteral("no-recover")});
    if (!opts.ok() || opts.positional().size() != 1 ||
        (opts.has(QStringLiteral("recover")) && opts.has(QStringLiteral("no-recover")))) {
        return usageError(io, (!opts.ok() ? opts.error()
                               : opts.positional().size() != 1
                                   ? QStringLiteral("Indique un único documento.")
                                   : QStringLiteral("--recover y --no-recover se excluyen.")));
    }
    o.document = QFileInfo(opts.positional().first()).absoluteFilePath();
    if (!QFileInfo(o.document).isFile()) {
        io.err << "No existe archivo: " << QDir::toNativeSeparators(o.document) << '\n';
        return RunFailed;
    }
    o.workDir = opts.value(QStringLiteral("workdir"), workingFolder());
    o.catalogPath = opts.value(QStringLiteral("catalog"),
                               QDir(programFolder()).filePath(QStringLiteral("VELTMATERIAS.DBF")));
    o.recover = !opts.has(QStringLiteral("no-recover"));
    o.reportPath = opts.value(QStringLiteral("report"));
    if (opts.has(QStringLiteral("codes"))) {
        QString error;
        if (!readCodes(opts.value(QStringLiteral("codes")), o.codes, error)) {
            io.err << error << '\n';
            return Usage;
        }
    }
    if (opts.has(QStringLiteral("frames")))
        o.frames = frameCodes(opts.value(QStringLiteral("frames")));
    return std::nullopt;
}

} // namespace cli
