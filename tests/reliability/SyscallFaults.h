#pragma once

// The batch tool run under strace with one system call made to fail (an errno, or SIGKILL)
// as a disk or a network drive would: the call is picked by what it touches, found in a
// first run over the same folder state, then failed in a second one.

#include "TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace reliability {

struct ToolResult {
    int exitCode = -1;
    bool killed = false;
    QString out;
    QString err;
    QString said() const { return out + err; }
};

inline bool haveStrace() {
    return !QStandardPaths::findExecutable(QStringLiteral("strace")).isEmpty();
}

// One call to fail: the occurrence'th call of `syscall` whose traced line holds `touching`
// (strace -y shows the path of a descriptor), counted from the first line holding `after`
// when that is given. error: "ENOSPC", "EIO" ... or "KILL". onward: that call and every
// later one of the kind fail.
struct SyscallFault {
    QString syscall;
    QString touching;
    QString error = QStringLiteral("EIO");
    int occurrence = 1;
    QString after;
    bool onward = false;
};

inline SyscallFault syscallFault(const char* syscall, const char* touching, const char* error,
                                 const char* after = "", bool onward = false) {
    return {QString::fromLatin1(syscall), QString::fromUtf8(touching),
            QString::fromLatin1(error),   1,
            QString::fromUtf8(after),     onward};
}

inline ToolResult runProcess(const QString& program, const QStringList& args) {
    QProcess p;
    // The leak checker of a sanitized build stops with an error of its own when the
    // process is traced, so the tool under strace is run without it.
    if (program == QLatin1String("strace")) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
        env.insert(QStringLiteral("ASAN_OPTIONS"), asan.isEmpty()
                                                       ? QStringLiteral("detect_leaks=0")
                                                       : asan + QStringLiteral(":detect_leaks=0"));
        p.setProcessEnvironment(env);
    }
    p.start(program, args);
    EXPECT_TRUE(p.waitForFinished(180000)) << args.join(u' ').toStdString();
    ToolResult r;
    r.killed = p.exitStatus() != QProcess::NormalExit;
    r.exitCode = r.killed ? -1 : p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// Which invocation of the fault's system call, in the process's main thread, it is; 0 when
// the recorded trace holds none.
inline int invocationIn(const QString& traceFile, const SyscallFault& f) {
    QFile trace(traceFile);
    if (!trace.open(QIODevice::ReadOnly))
        return 0;
    const QStringList lines = QString::fromUtf8(trace.readAll()).split(u'\n');
    QString mainPid;
    int count = 0;
    int seen = 0;
    bool started = f.after.isEmpty();
    for (const QString& line : lines) {
        const QString pid = line.section(u' ', 0, 0);
        if (mainPid.isEmpty() && !pid.isEmpty())
            mainPid = pid;
        if (!started && line.contains(f.after))
            started = true;
        const QString call = line.section(u' ', 1).trimmed();
        // "<... name resumed>" lines finish a call already counted.
        if (pid != mainPid || !call.startsWith(f.syscall + u'('))
            continue;
        ++count;
        if (started && line.contains(f.touching) && ++seen == f.occurrence)
            return count;
    }
    return 0;
}

// Runs the tool twice from the same state (reset() brings it back): traced, to find the
// call, then with that call failing. *found: whether the call was met at all.
inline ToolResult runWithFault(const QString& tool, const QStringList& args, const SyscallFault& f,
                               const std::function<void()>& reset, bool* found = nullptr) {
    QTemporaryDir scratch;
    const QString traceFile = scratch.filePath(QStringLiteral("trace"));
    reset();
    // The line that starts the count may be of another call: those are recorded too.
    const QString traced =
        f.after.isEmpty() ? f.syscall : f.syscall + QStringLiteral(",%file,desc");
    runProcess(QStringLiteral("strace"),
               QStringList{QStringLiteral("-f"), QStringLiteral("-qq"), QStringLiteral("-y"),
                           QStringLiteral("-s0"), QStringLiteral("-e"),
                           QStringLiteral("trace=%1").arg(traced), QStringLiteral("-o"), traceFile,
                           tool} +
                   args);
    const int n = invocationIn(traceFile, f);
    if (found)
        *found = n > 0;
    reset();
    if (n == 0)
        return runProcess(tool, args);
    const QString what = f.error == QLatin1String("KILL") ? QStringLiteral("signal=KILL")
                                                          : QStringLiteral("error=%1").arg(f.error);
    return runProcess(QStringLiteral("strace"),
                      QStringList{QStringLiteral("-f"), QStringLiteral("-qq"), QStringLiteral("-o"),
                                  QStringLiteral("/dev/null"), QStringLiteral("-e"),
                                  QStringLiteral("trace=%1").arg(f.syscall), QStringLiteral("-e"),
                                  QStringLiteral("inject=%1:%2:when=%3%4")
                                      .arg(f.syscall, what)
                                      .arg(n)
                                      .arg(f.onward ? QStringLiteral("+") : QString()),
                                  tool} +
                          args);
}

// Every file under a folder, bookkeeping included, to put a state back exactly.
inline QMap<QString, QByteArray> wholeTree(const QString& dir) {
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(dir).relativeFilePath(path), testing_support::readFile(path));
    }
    return files;
}

inline void putTree(const QString& dir, const QMap<QString, QByteArray>& files) {
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        testing_support::writeFile(QDir(dir).filePath(it.key()), it.value());
}

// The system's own English words for the errors a disk gives.
inline QString englishSystemText(const QString& said) {
    for (const char* s :
         {"No space left", "Input/output error", "Too many open files", "Permission denied",
          "File name too long", "Read-only file system", "No such file or directory"}) {
        if (said.contains(QLatin1String(s)))
            return QString::fromLatin1(s);
    }
    return {};
}

} // namespace reliability
