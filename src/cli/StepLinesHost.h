#pragma once

#include "cli/CliHost.h"

namespace cli {

// One line per finished step of the import saying what it wrote in `workDir`, printed as
// soon as the step has finished, so that a run that ends early still tells which tables
// are new.
class StepLinesHost : public CliHost {
public:
    StepLinesHost(Streams io, QString document, QString workDir)
        : CliHost(io, std::move(document)), out_(io.out), workDir_(std::move(workDir)) {}

    void stepFinished(int index) override;

private:
    QTextStream& out_;
    QString workDir_;
    int subjectRows_ = 0;
};

} // namespace cli
