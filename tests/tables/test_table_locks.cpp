// Shared and exclusive use between two processes.
#include "OtherProcess.h"
#include "TablesTestSupport.h"

#include <QFile>

using namespace tables;
using namespace tables_testing;

namespace {

using testing_support::OtherProcess;

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
