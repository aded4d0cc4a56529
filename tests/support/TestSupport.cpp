#include "TestSupport.h"

#include "import/CursosLogic.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif
#include <gtest/gtest.h>
#include <sstream>

namespace testing_support {

QString fixturesDir() {
    return QDir::cleanPath(QStringLiteral(VT_FIXTURES_DIR));
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QString batchTool() {
    return QStringLiteral(VT_BATCH_TOOL);
}

ToolRun runBatchTool(const QStringList& args, const BatchRun& how) {
    QProcess p;
    if (!how.home.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TLTEMP"), how.home + QStringLiteral("/TLTEMP"));
        env.insert(QStringLiteral("HOME"), how.home);
        p.setProcessEnvironment(env);
    }
    if (!how.cwd.isEmpty())
        p.setWorkingDirectory(how.cwd);
#ifndef Q_OS_WIN
    // Windows permissions are the folder's, not the user's id.
    if (how.unprivileged && geteuid() == 0)
        p.setChildProcessModifier([] {
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(99);
        });
#endif
    p.start(batchTool(), args);
    ToolRun o;
    if (!p.waitForStarted(30000) || !p.waitForFinished(how.timeoutMs)) {
        p.kill();
        p.waitForFinished();
        o.err = QStringLiteral("no terminó: ") + p.errorString();
        return o;
    }
    o.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    o.out = QString::fromUtf8(p.readAllStandardOutput());
    o.err = QString::fromUtf8(p.readAllStandardError());
#ifdef Q_OS_WIN
    // The console's text mode ends Windows lines with CR LF; what is said is the same.
    o.out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    o.err.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
#endif
    return o;
}

QMap<QString, QByteArray> snapshot(const QString& dir, SnapshotScope scope) {
    QDir::Filters filters = QDir::Files;
    if (scope.folders)
        filters |= QDir::Dirs | QDir::NoDotAndDotDot;
    if (scope.hidden)
        filters |= QDir::Hidden;
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, filters, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = QDir(dir).relativeFilePath(path);
        if (!scope.bookkeeping && (name == QLatin1String("VELTRA_RESPALDO") ||
                                   name.startsWith(QLatin1String("VELTRA_RESPALDO/"))))
            continue;
        files.insert(name, readFile(path));
    }
    return files;
}

std::ostream& operator<<(std::ostream& os, const ToolRun& o) {
    return os << "exit " << o.code << "\n--- stdout\n"
              << o.out.toStdString() << "--- stderr\n"
              << o.err.toStdString();
}

namespace {

// "3. CrearAulas: AULAT 2 filas": the lines the steps print as they finish.
QStringList stepLines(const QString& out) {
    static const QRegularExpression step(QStringLiteral("^\\d+\\. "));
    QStringList lines = out.split(u'\n');
    lines.removeIf([](const QString& l) { return !step.match(l).hasMatch(); });
    return lines;
}

// The first line of what a run said on standard error, without Qt's notes on the machine.
QString firstErrorLine(const QString& err) {
    for (const QString& l : err.split(u'\n'))
        if (!l.isEmpty() && !l.startsWith(QLatin1String("QStandardPaths:")))
            return l;
    return {};
}

} // namespace

void expectCheckAgreesWithImport(const ToolRun& check, const ToolRun& import,
                                 const QString& importJson) {
    const std::string both = "--- check\n" + (std::ostringstream() << check).str() +
                             "\n--- import\n" + (std::ostringstream() << import).str();
    EXPECT_EQ(stepLines(check.out), stepLines(import.out)) << both;
    switch (import.code) {
    case 0:
        EXPECT_EQ(check.code, 0) << both;
        EXPECT_TRUE(check.out.endsWith(QStringLiteral("La importación llegaría a su fin.\n")))
            << both;
        break;
    case 1:
        EXPECT_EQ(check.code, 1) << both;
        EXPECT_TRUE(
            check.out.contains(QStringLiteral("\nERROR  ") + firstErrorLine(import.err) + u'\n'))
            << both;
        break;
    case 3: {
        EXPECT_EQ(check.code, 1) << both;
        EXPECT_TRUE(check.out.contains(QStringLiteral("\nFALTA  "))) << both;
        EXPECT_FALSE(check.out.contains(QStringLiteral("\nERROR  "))) << both;
        // The offerings the import named, or the frame problem it gave.
        const QString first = firstErrorLine(import.err);
        const QString keysAfter = QStringLiteral("(dé sus códigos con --codes): ");
        if (const qsizetype at = first.indexOf(keysAfter); at >= 0)
            EXPECT_TRUE(check.out.contains(QStringLiteral("): ") +
                                           first.mid(at + keysAfter.size()) + u'\n'))
                << both;
        else
            EXPECT_TRUE(check.out.contains(QStringLiteral("  ") + first + u'\n')) << both;
        break;
    }
    default:
        ADD_FAILURE() << "salida inesperada de la importación\n" << both;
    }
    if (import.code != 0)
        return;
    const QJsonObject report = QJsonDocument::fromJson(readFile(importJson)).object();
    const QJsonObject counts = report[QStringLiteral("counts")].toObject();
    EXPECT_FALSE(counts.isEmpty()) << both;
    for (auto it = counts.begin(); it != counts.end(); ++it) {
        QStringList where;
        for (const QJsonValue& v : report[QStringLiteral("items")].toArray()) {
            const QJsonObject item = v.toObject();
            if (item[QStringLiteral("kind")].toString() != it.key())
                continue;
            const QString place = item.contains(QStringLiteral("group"))
                                      ? item[QStringLiteral("group")].toString()
                                      : item[QStringLiteral("table")].toString();
            where << QStringLiteral("%1 %2").arg(place).arg(item[QStringLiteral("record")].toInt());
        }
        EXPECT_EQ(where.size(), it.value().toInt()) << it.key().toStdString() << '\n' << both;
        QString line = QStringLiteral("\n  %1: %2").arg(it.key()).arg(where.size());
        if (!where.isEmpty())
            line += QStringLiteral(" (%1)").arg(where.join(QStringLiteral(", ")));
        EXPECT_TRUE(check.out.contains(line + u'\n')) << line.toStdString() << "\n" << both;
    }
}

} // namespace testing_support

std::optional<QString> ScriptedHost::chooseDocument() {
    if (documents.empty())
        return std::nullopt;
    auto answer = documents.front();
    documents.pop_front();
    return answer;
}

void ScriptedHost::showMessage(const QString& text) {
    messages << text;
}

bool ScriptedHost::askOkCancel(const QString& caption, const QString& text) {
    messages << caption;
    questions << text;
    if (answers.empty())
        return false;
    const bool a = answers.front();
    answers.pop_front();
    return a;
}

void ScriptedHost::reportError(const QString& text) {
    messages << text;
    errors << text;
}

void ScriptedHost::setBusy(bool busy) {
    busyDepth += busy ? 1 : -1;
}

bool ScriptedHost::recoverSavedCodes() {
    return askOkCancel(CursosLogic::kRecoveryCaption, CursosLogic::kRecoveryText);
}

void ScriptedHost::askCourseCodes(CursosLogic& dialog) {
    ++cursosShown;
    if (onCursos)
        onCursos(dialog);
}

void ScriptedHost::askFrames(PlantillasLogic& dialog) {
    ++plantillasShown;
    if (onPlantillas)
        onPlantillas(dialog);
}
