#include "cli/Answers.h"
#include "text/SystemError.h"

#include "exchange/ExchangeDocument.h"
#include "text/Clipper.h"

#include "tables/Cp1252.h"
#include "tables/Folders.h"
#include "tables/WorkingTables.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace cli {

namespace {

// The width of a field of CURSOST. Longer keys are stored cut, so they are matched cut;
// a longer level or course is refused rather than cut unseen.
int widthOf(const char* field) {
    for (const tables::FieldDef& f : CursosLogic::fields())
        if (f.name == QLatin1String(field))
            return f.width;
    return 0;
}

// Splits one CSV line at sep, honouring double quotes.
QStringList splitCsvLine(const QString& line, QChar sep) {
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
        } else if (c == sep) {
            fields << cur;
            cur.clear();
        } else {
            cur += c;
        }
    }
    fields << cur;
    return fields;
}

// UTF-8 (with or without a byte-order mark); a file that is not valid UTF-8 is taken as
// Windows-1252, as a Spanish spreadsheet saves it.
QString decodeCodesFile(QByteArray bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return tables::cp1252::decode(bytes.constData(), bytes.size());
}

} // namespace

bool readCodes(const QString& path, CodesByKey& codes, QString& error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("No se puede leer el archivo de códigos %1: %2")
                    .arg(path, text::inOurWords(f.errorString()));
        return false;
    }
    const QStringList lines = decodeCodesFile(f.readAll()).split(u'\n');
    const QStringList expected{QStringLiteral("CLAVE"), QStringLiteral("NIVEL"),
                               QStringLiteral("CURSO")};
    const auto fail = [&](qsizetype n, const QString& why) {
        error = QStringLiteral("%1, línea %2: %3").arg(path).arg(n + 1).arg(why);
        return false;
    };
    const int keyWidth = widthOf("CLAVE");
    const int levelWidth = widthOf("NIVEL");
    const int courseWidth = widthOf("CURSO");
    QHash<QString, qsizetype> lineOfKey;
    QChar sep;
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QString line = lines.at(n);
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        if (sep.isNull()) {
            // The header tells the separator: commas, or semicolons as a spreadsheet set to
            // Spanish writes them.
            for (const QChar candidate : {QChar(u','), QChar(u';')}) {
                QStringList names;
                for (const QString& h : splitCsvLine(line, candidate))
                    names << h.trimmed().toUpper();
                if (names == expected)
                    sep = candidate;
            }
            if (sep.isNull())
                return fail(n, QStringLiteral("la cabecera debe ser CLAVE,NIVEL,CURSO (o "
                                              "CLAVE;NIVEL;CURSO)"));
            continue;
        }
        const QStringList fields = splitCsvLine(line, sep);
        if (fields.size() != 3)
            return fail(n, QStringLiteral("se esperan tres campos (CLAVE%1NIVEL%1CURSO)").arg(sep));
        // Keys as the course step stores them in CURSOST.CLAVE, so that they match.
        const QString key =
            tables::cp1252::asStored(RTrim(LeftStr(AllTrim(fields.at(0)), keyWidth)));
        const QString nivel = fields.at(1).trimmed();
        const QString curso = fields.at(2).trimmed();
        if (const auto seen = lineOfKey.constFind(key); seen != lineOfKey.cend())
            return fail(
                n, QStringLiteral("la clave %1 ya se dio en la línea %2").arg(key).arg(*seen + 1));
        if (nivel.size() > levelWidth)
            return fail(n, QStringLiteral("el NIVEL «%1» de la clave %2 tiene más de %3 caracteres")
                               .arg(nivel, key)
                               .arg(levelWidth));
        if (curso.size() > courseWidth)
            return fail(n, QStringLiteral("el CURSO «%1» de la clave %2 tiene más de %3 caracteres")
                               .arg(curso, key)
                               .arg(courseWidth));
        lineOfKey.insert(key, n);
        codes.insert(key, {nivel, curso});
    }
    if (sep.isNull()) {
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

// What is wrong with the --frames value as such, whatever the document holds: an
// empty code among others ("1101,"), a code given twice, more than two codes. Empty
// when nothing is.
QString framesOptionProblem(const QStringList& codes) {
    // An empty --frames names no frame at all: the choice is missing, as without it.
    if (codes.size() == 1 && AllTrim(codes.first()).isEmpty())
        return QString();
    QStringList seen;
    for (const QString& code : codes) {
        const QString c = AllTrim(code);
        if (c.isEmpty())
            return QStringLiteral("--frames %1 tiene un código vacío.")
                .arg(codes.join(QLatin1Char(',')));
        if (seen.contains(c))
            return QStringLiteral("--frames repite el marco horario %1.").arg(c);
        seen << c;
    }
    if (seen.size() > 2)
        return QStringLiteral(
            "Demasiados marcos horarios en --frames: se pueden elegir uno o dos.");
    return QString();
}

FrameChoice chooseFrames(const exchange::Document& doc, const QStringList& codes) {
    SilentRunHost host;
    PlantillasLogic dialog(host, doc);
    FrameChoice choice;
    choice.frames = dialog.frames();
    choice.frameCount = int(choice.frames.size());
    choice.asked = choice.frameCount >= 2;
    // A malformed --frames is refused even where no choice is needed.
    if (const QString problem = framesOptionProblem(codes); !problem.isEmpty()) {
        choice.asked = true;
        choice.problem = problem;
        return choice;
    }
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
    if (const QString why = opts.emptyPath(
            {QStringLiteral("workdir"), QStringLiteral("catalog"), QStringLiteral("codes")});
        !why.isEmpty())
        return usageError(io, why);
    o.document = QFileInfo(opts.positional().first()).absoluteFilePath();
    if (!QFileInfo(o.document).isFile()) {
        io.err << "No existe archivo: " << QDir::toNativeSeparators(o.document) << '\n';
        return RunFailed;
    }
    o.workDir = opts.value(QStringLiteral("workdir"), tables::workingFolder());
    o.catalogPath = opts.value(QStringLiteral("catalog"),
                               QDir(tables::programFolder()).filePath(tables::VELTMATERIAS::kFile));
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
