// Shared and exclusive use between two processes. The other process is this test program
// started again to run the helper below, which opens a table and reports or holds it.
#include "TablesTestSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <iostream>
#include <string>

using namespace tables;
using namespace tables_testing;

namespace {

constexpr const char* kHelperEnv = "VT_TABLE_LOCK_HELPER";

// Runs in the other process: VT_TABLE_LOCK_HELPER = folder|table|shared or exclusive|
// "hold" (keep it open until standard input closes) or "try" (open, report, close).
TEST(TableLockHelper, DISABLED_Run) {
    const QStringList args = qEnvironmentVariable(kHelperEnv).split(u'|');
    if (args.size() != 4)
        GTEST_SKIP() << "only run by the lock tests";
    const OpenMode mode =
        args[2] == QStringLiteral("exclusive") ? OpenMode::Exclusive : OpenMode::Shared;
    Table t;
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

class OtherProcess {
public:
    OtherProcess(const QString& folder, const QString& table, const char* mode,
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
    ~OtherProcess() { release(); }

    // The helper's report: "held", "ok" or "error <message>".
    QString report() {
        while (!output_.contains("@@") || !output_.mid(output_.indexOf("@@")).contains('\n')) {
            if (!process_.waitForReadyRead(20000))
                return QStringLiteral("no report: ") + QString::fromLocal8Bit(output_);
            output_ += process_.readAllStandardOutput();
        }
        const QByteArray rest = output_.mid(output_.indexOf("@@") + 2);
        return QString::fromUtf8(rest.left(rest.indexOf('\n')));
    }

    void release() {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.closeWriteChannel();
        if (!process_.waitForFinished(20000))
            process_.kill();
    }

private:
    QProcess process_;
    QByteArray output_;
};

class TableLocks : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    void SetUp() override {
        CreateTable(tmp.path(), QStringLiteral("SOLUC"),
                    {{QStringLiteral("PROF"), FieldType::Text, 5}});
        Table t;
        t.open(tmp.path(), QStringLiteral("SOLUC"));
        t.append();
        t.setText(QStringLiteral("PROF"), QStringLiteral("ANA"));
        t.close();
    }
    // "" when the table opens in this process, else the error.
    QString openHere(OpenMode mode) {
        Table t;
        try {
            t.open(tmp.path(), QStringLiteral("soluc"), mode);
        } catch (const RunError& e) {
            return e.message();
        }
        return t.rowCount() == 1 ? QString() : QStringLiteral("rows lost");
    }
};

} // namespace

TEST_F(TableLocks, AnotherProcessHoldingTheTable) {
    struct Case {
        const char* held;
        bool sharedOpens;
        bool exclusiveOpens;
    };
    const Case cases[] = {
        {"exclusive", false, false},
        {"shared", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.held);
        OtherProcess other(tmp.path(), QStringLiteral("SOLUC.DBF"), c.held, "hold");
        ASSERT_EQ(other.report(), QStringLiteral("held"));
        const QString shared = openHere(OpenMode::Shared);
        const QString exclusive = openHere(OpenMode::Exclusive);
        EXPECT_EQ(shared.isEmpty(), c.sharedOpens) << shared.toStdString();
        EXPECT_EQ(exclusive.isEmpty(), c.exclusiveOpens) << exclusive.toStdString();
        for (const QString& message : {shared, exclusive}) {
            if (!message.isEmpty()) {
                EXPECT_TRUE(message.contains(QStringLiteral("soluc"))) << message.toStdString();
            }
        }
        // A held table is neither deleted nor replaced.
        DeleteTable(tmp.path(), QStringLiteral("SOLUC"));
        EXPECT_TRUE(QFile::exists(tmp.path() + QStringLiteral("/SOLUC.DBF")));
        EXPECT_TRUE(errorOf([&] {
                        CreateTable(tmp.path(), QStringLiteral("SOLUC"),
                                    {{QStringLiteral("X"), FieldType::Integer, 0}});
                    }).contains(QStringLiteral("SOLUC")));
        other.release();
        EXPECT_EQ(openHere(OpenMode::Exclusive), QString()); // free once the other is gone
    }
}

TEST_F(TableLocks, ThisProcessHoldingTheTable) {
    struct Case {
        OpenMode held;
        const char* tried;
        const char* report; // start of the other process's report
    };
    const Case cases[] = {
        {OpenMode::Exclusive, "shared",
         "error No se puede abrir la tabla SOLUC: otro programa la tiene abierta en exclusiva."},
        {OpenMode::Exclusive, "exclusive", "error No se puede abrir la tabla SOLUC en exclusiva"},
        {OpenMode::Shared, "shared", "ok"},
        {OpenMode::Shared, "exclusive", "error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tried);
        Table held;
        held.open(tmp.path(), QStringLiteral("SOLUC"), c.held);
        OtherProcess other(tmp.path(), QStringLiteral("SOLUC"), c.tried, "try");
        const QString report = other.report();
        EXPECT_TRUE(report.startsWith(QString::fromUtf8(c.report))) << report.toStdString();
    }
}
