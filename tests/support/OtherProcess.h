#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>

namespace testing_support {

// Another process that opens a table, as Tempolan does beside a run: this test program
// started again to run one hidden test (in OtherProcess.cpp). Portable where fork is not.
class OtherProcess {
public:
    // mode: "shared" or "exclusive"; action: "hold" (keep the table open until release())
    // or "try" (open, report, close).
    OtherProcess(const QString& folder, const QString& table, const char* mode, const char* action);
    ~OtherProcess();
    OtherProcess(const OtherProcess&) = delete;
    OtherProcess& operator=(const OtherProcess&) = delete;

    // The helper's report: "held", "ok" or "error <message>".
    QString report();
    void release();

private:
    QProcess process_;
    QByteArray output_;
};

} // namespace testing_support
