#include "app/ResultFile.h"

#include <QStringList>
#include <QtEndian>
#include <optional>

namespace {

struct Line {
    QString text; // without its ending
    QString end;  // "\r\n", "\n", "\r" or empty for a last line without ending
};

QList<Line> splitLines(const QString& s) {
    QList<Line> lines;
    qsizetype start = 0;
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = s.at(i);
        if (c != u'\n' && c != u'\r')
            continue;
        Line line{s.mid(start, i - start), QString(c)};
        if (c == u'\r' && i + 1 < n && s.at(i + 1) == u'\n') {
            line.end = QStringLiteral("\r\n");
            ++i;
        }
        lines.append(line);
        start = i + 1;
    }
    if (start < n)
        lines.append(Line{s.mid(start), QString()});
    return lines;
}

// Blanks and tabs around names do not count, as in Windows' own reader.
QString trimmed(const QString& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && (s.at(b) == u' ' || s.at(b) == u'\t'))
        ++b;
    while (e > b && (s.at(e - 1) == u' ' || s.at(e - 1) == u'\t'))
        --e;
    return s.mid(b, e - b);
}

// The name of a section header line; nothing for any other line.
std::optional<QString> sectionName(const QString& line) {
    const QString t = trimmed(line);
    if (!t.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = t.indexOf(u']');
    if (close < 0)
        return std::nullopt;
    return trimmed(t.mid(1, close - 1));
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString withValue(const QString& text, const QString& section, const QString& key,
                  const QString& value) {
    QList<Line> lines = splitLines(text);
    QString eol = QStringLiteral("\r\n");
    for (const Line& l : lines) {
        if (!l.end.isEmpty()) {
            eol = l.end;
            break;
        }
    }

    const QString entry = key + u'=' + value;
    qsizetype sectionAt = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const std::optional<QString> name = sectionName(lines[i].text);
        if (name && sameName(*name, section)) {
            sectionAt = i;
            break;
        }
    }

    if (sectionAt < 0) {
        if (!lines.isEmpty() && lines.last().end.isEmpty())
            lines.last().end = eol;
        lines.append(Line{u'[' + section + u']', eol});
        lines.append(Line{entry, eol});
    } else {
        qsizetype lastFilled = sectionAt;
        bool replaced = false;
        for (qsizetype i = sectionAt + 1; i < lines.size(); ++i) {
            const QString& t = lines[i].text;
            if (sectionName(t))
                break;
            if (!trimmed(t).isEmpty())
                lastFilled = i;
            // A line holding the bare name, without "=", is that key too.
            const qsizetype eq = t.indexOf(u'=');
            const QString name = trimmed(eq >= 0 ? t.left(eq) : t);
            if (sameName(name, key)) {
                // The key keeps its spelling; only the value changes.
                lines[i].text = name + u'=' + value;
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            if (lines[lastFilled].end.isEmpty())
                lines[lastFilled].end = eol;
            lines.insert(lastFilled + 1, Line{entry, eol});
        }
    }

    QString out;
    for (const Line& l : lines)
        out += l.text + l.end;
    return out;
}

} // namespace

namespace {

// UTF-16 text after a byte-order mark, in the byte order that mark gives.
QString fromUtf16(const QByteArray& bytes, bool bigEndian) {
    QString text((bytes.size() - 2) / 2, Qt::Uninitialized);
    const auto* in = reinterpret_cast<const uchar*>(bytes.constData() + 2);
    for (qsizetype i = 0; i < text.size(); ++i)
        text[i] = QChar(bigEndian ? qFromBigEndian<quint16>(in + 2 * i)
                                  : qFromLittleEndian<quint16>(in + 2 * i));
    return text;
}

QByteArray toUtf16(const QString& text, bool bigEndian) {
    QByteArray bytes(2 + text.size() * 2, Qt::Uninitialized);
    auto* out = reinterpret_cast<uchar*>(bytes.data());
    if (bigEndian)
        qToBigEndian<quint16>(0xFEFF, out);
    else
        qToLittleEndian<quint16>(0xFEFF, out);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (bigEndian)
            qToBigEndian<quint16>(text.at(i).unicode(), out + 2 + 2 * i);
        else
            qToLittleEndian<quint16>(text.at(i).unicode(), out + 2 + 2 * i);
    }
    return bytes;
}

} // namespace

QByteArray withProfileString(const QByteArray& contents, const QString& section, const QString& key,
                             const QString& value) {
    const bool little = contents.startsWith("\xFF\xFE");
    if (little || contents.startsWith("\xFE\xFF")) {
        const QString out = withValue(fromUtf16(contents, !little), section, key, value);
        return toUtf16(out, !little);
    }
    // Any 8-bit file: Latin-1 maps each byte to one character and back, so lines that
    // are not ours come out exactly as they went in, whatever their code page.
    QByteArray bom;
    QByteArray body = contents;
    if (body.startsWith("\xEF\xBB\xBF")) {
        bom = body.left(3);
        body = body.mid(3);
    }
    const QString out = withValue(QString::fromLatin1(body), section, key, value);
    return bom + out.toLatin1();
}
