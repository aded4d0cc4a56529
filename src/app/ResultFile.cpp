#include "app/ResultFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>
#include <optional>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

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
            const qsizetype eq = t.indexOf(u'=');
            if (eq >= 0 && sameName(trimmed(t.left(eq)), key)) {
                // The key keeps its spelling; only the value changes.
                lines[i].text = trimmed(t.left(eq)) + u'=' + value;
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

QByteArray withProfileString(const QByteArray& contents, const QString& section, const QString& key,
                             const QString& value) {
    if (contents.startsWith("\xFF\xFE")) {
        const QString text = QString::fromUtf16(
            reinterpret_cast<const char16_t*>(contents.constData() + 2), (contents.size() - 2) / 2);
        const QString out = withValue(text, section, key, value);
        QByteArray bytes("\xFF\xFE", 2);
        bytes.append(reinterpret_cast<const char*>(out.utf16()), out.size() * 2);
        return bytes;
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

bool writeProfileString(const QString& path, const QString& section, const QString& key,
                        const QString& value) {
#ifdef Q_OS_WIN
    return WritePrivateProfileStringW(reinterpret_cast<LPCWSTR>(section.utf16()),
                                      reinterpret_cast<LPCWSTR>(key.utf16()),
                                      reinterpret_cast<LPCWSTR>(value.utf16()),
                                      reinterpret_cast<LPCWSTR>(path.utf16())) != 0;
#else
    QByteArray contents;
    if (QFileInfo::exists(path)) {
        QFile in(path);
        if (!in.open(QIODevice::ReadOnly))
            return false;
        contents = in.readAll();
    }
    const QByteArray updated = withProfileString(contents, section, key, value);
    // Written beside and renamed, so a failed write never leaves half a file.
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    if (out.write(updated) != updated.size()) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
#endif
}
