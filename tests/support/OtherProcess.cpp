#include "OtherProcess.h"

#include "tables/Table.h"
#include "text/RunError.h"

#include <QCoreApplication>
#include <QProcessEnvironment>
#include <gtest/gtest.h>
#include <iostream>
#include <string>

namespace {

constexpr const char* kHelperEnv = "VT_TABLE_LOCK_HELPER";

} // namespace

// Runs in the other process: VT_TABLE_LOCK_HELPER = folder|table|shared or exclusive|
// "hold" (keep it open until standard input closes) or "try" (open, report, close).
TEST(TableLockHelper, DISABLED_Run) {
    const QStringList args = qEnvironmentVariable(kHelperEnv).split(u'|');
    if (args.size() != 4)
        GTEST_SKIP() << "only run by the lock tests";
    const tables::OpenMode mode = args[2] == QStringLiteral("exclusive")
                                      ? tables::OpenMode::Exclusive
                                      : tables::OpenMode::Shared;
    tables::Table t;
    try {
        t.open(args[0], args[1], mode);
    } catch (const RunError& e) {
        std::cout << "@@error " << e.message().toStdString() << std::endl;
        return;
    }
    std::cout << (args[3] == QStringLiteral("hold") ? "@@held" : "@@ok") << std::endl;
    if (args[3] == QStringLiteral("hold")) {
        std::string line;
        while (std::getline(std::cin, line)) {
        }
    }
}

namespace testing_support {

OtherProcess::OtherProcess(const QString& folder, const QString& table, const char* mode,
                           const char* action) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(
        QString::fromLatin1(kHelperEnv),
        QStringList{folder, table, QString::fromLatin1(mode), QString::fromLatin1(action)}.join(
            u'|'));
    process_.setProcessEnvironment(env);
    process_.setProgram(QCoreApplication::applicationFilePath());
    process_.setArguments({QStringLiteral("--gtest_also_run_disabled_tests"),
                           QStringLiteral("--gtest_filter=TableLockHelper.DISABLED_Run")});
    process_.start();
}

OtherProcess::~OtherProcess() {
    release();
}

QString OtherProcess::report() {
    while (!output_.contains("@@") || !output_.mid(output_.indexOf("@@")).contains('\n')) {
        if (!process_.waitForReadyRead(20000))
            return QStringLiteral("no report: ") + QString::fromLocal8Bit(output_);
        output_ += process_.readAllStandardOutput();
    }
    const QByteArray rest = output_.mid(output_.indexOf("@@") + 2);
    return QString::fromUtf8(rest.left(rest.indexOf('\n'))).trimmed();
}

void OtherProcess::release() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.closeWriteChannel();
    if (!process_.waitForFinished(20000))
        process_.kill();
}

} // namespace testing_support
