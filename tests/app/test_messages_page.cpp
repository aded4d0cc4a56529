// help/mensajes.html against the program: every message the program shows is on the
// page, and every message on the page is still in the program.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

namespace {

QString readText(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

// The text of adjacent C++ string literals, escapes resolved.
QString joinLiterals(const QString& literals) {
    static const QRegularExpression one(QStringLiteral(R"re("((?:[^"\\]|\\.)*)")re"));
    QString text;
    for (auto it = one.globalMatch(literals); it.hasNext();) {
        const QString raw = it.next().captured(1);
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw[i] != u'\\' || i + 1 == raw.size()) {
                text += raw[i];
                continue;
            }
            const QChar c = raw[++i];
            text += c == u'n' ? QChar(u'\n') : c == u'r' ? QChar(u'\r') : c;
        }
    }
    return text;
}

// Placeholders (%1, %2...) as the page writes them.
QString asOnPage(QString text) {
    static const QRegularExpression placeholder(QStringLiteral("%\\d"));
    return text.replace(placeholder, QStringLiteral("…"))
        .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
}

struct Sources {
    QSet<QString> messages; // handed to the user directly, as the page writes them
    QString allLiterals;    // every literal of the program, one a line, as the page writes them
};

// The messages of the program, where it hands a text to the user or to the error report.
Sources programMessages() {
    static const QString literals = QStringLiteral(R"re(((?:\s*"(?:[^"\\]|\\.)*")+))re");
    const QRegularExpression call(
        QStringLiteral(
            R"re(\b(?:RunError|showMessage|reportError|askOkCancel|failed|fail|report_)\s*\(\s*(?:QStringLiteral\(|QString::fromUtf8\()?)re") +
        literals);
    const QRegularExpression constant(
        QStringLiteral(
            R"re(\b(?:k\w*(?:Message|Text|Caption)\w*|conversionError)\s*=\s*(?:QStringLiteral\()?)re") +
        literals);
    const QRegularExpression anyLiterals(literals);
    Sources out;
    QDirIterator it(QStringLiteral(VT_SOURCE_DIR "/src"), {"*.cpp", "*.h"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.contains(QStringLiteral("/src/cli/"))) // the batch tool's own output
            continue;
        const QString text = readText(path);
        for (const QRegularExpression* re : {&call, &constant})
            for (auto m = re->globalMatch(text); m.hasNext();)
                out.messages.insert(asOnPage(joinLiterals(m.next().captured(1))));
        for (auto m = anyLiterals.globalMatch(text); m.hasNext();)
            out.allLiterals += asOnPage(joinLiterals(m.next().captured(1))) + u'\n';
    }
    return out;
}

// The first column of the page's message table.
QStringList pageMessages() {
    const QString page = readText(QStringLiteral(VT_SOURCE_DIR "/help/mensajes.html"));
    static const QRegularExpression cell(QStringLiteral(R"re(<td class="mensaje">(.*?)</td>)re"),
                                         QRegularExpression::DotMatchesEverythingOption);
    QStringList out;
    for (auto m = cell.globalMatch(page); m.hasNext();) {
        QString text = m.next().captured(1);
        text.replace(QRegularExpression(QStringLiteral("<br>\\s*")), QStringLiteral("\n"));
        text.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
            .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
            .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
            .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
        out << text;
    }
    return out;
}

TEST(MessagesPage, ListsEveryMessageOfTheProgram) {
    const Sources program = programMessages();
    ASSERT_GT(program.messages.size(), 10) << "no messages found in the sources";
    const QStringList page = pageMessages();
    ASSERT_FALSE(page.isEmpty()) << "no messages found on the page";
    const QSet<QString> listed(page.begin(), page.end());
    for (const QString& m : program.messages)
        EXPECT_TRUE(listed.contains(m)) << "not on help/mensajes.html: " << m.toStdString();
}

TEST(MessagesPage, ListsNoMessageTheProgramNoLongerShows) {
    const Sources program = programMessages();
    for (const QString& m : pageMessages()) {
        // Each message is one literal, or literals around a placeholder: every piece
        // between placeholders must still be in the program.
        for (const QString& piece : m.split(u'…', Qt::SkipEmptyParts))
            EXPECT_TRUE(program.allLiterals.contains(piece))
                << "the program no longer says: " << m.toStdString();
    }
}

} // namespace
