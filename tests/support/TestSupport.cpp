#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

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

ToolRun runBatchTool(const QStringList& args, const QString& home, const QString& cwd,
                     int timeoutMs) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TLTEMP"), home + QStringLiteral("/TLTEMP"));
    env.insert(QStringLiteral("HOME"), home);
    p.setProcessEnvironment(env);
    if (!cwd.isEmpty())
        p.setWorkingDirectory(cwd);
    p.start(batchTool(), args);
    ToolRun o;
    if (!p.waitForStarted(30000) || !p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        o.err = QStringLiteral("no terminó: ") + p.errorString();
        return o;
    }
    o.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    o.out = QString::fromUtf8(p.readAllStandardOutput());
    o.err = QString::fromUtf8(p.readAllStandardError());
    return o;
}

std::ostream& operator<<(std::ostream& os, const ToolRun& o) {
    return os << "exit " << o.code << "\n--- stdout\n"
              << o.out.toStdString() << "--- stderr\n"
              << o.err.toStdString();
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

void ScriptedHost::showCursos(CursosLogic& dialog) {
    ++cursosShown;
    if (onCursos)
        onCursos(dialog);
}

void ScriptedHost::showPlantillas(PlantillasLogic& dialog) {
    ++plantillasShown;
    if (onPlantillas)
        onPlantillas(dialog);
}
