#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

// Shared pieces of the batch front end: exit codes, output streams, option parsing.
namespace cli {

enum ExitCode : int { Done = 0, RunFailed = 1, Usage = 2, NeedsAnswer = 3 };

struct Streams {
    QTextStream& out;
    QTextStream& err;
};

// A small option reader: positional arguments and "--name value" / "--flag" options.
class Options {
public:
    Options(const QStringList& args, const QStringList& valueOptions,
            const QStringList& flagOptions);
    bool ok() const { return error_.isEmpty(); }
    QString error() const { return error_; }
    const QStringList& positional() const { return positional_; }
    bool has(const QString& name) const;
    QString value(const QString& name, const QString& fallback = QString()) const;
    // Why one of these options was given an empty value ("--workdir="), or empty: an
    // empty path must not quietly mean the current folder.
    QString emptyPath(const QStringList& names) const;

private:
    QStringList positional_;
    QList<std::pair<QString, QString>> values_;
    QString error_;
};

int runImport(const QStringList& args, Streams io);
int runExport(const QStringList& args, Streams io);
int runCheck(const QStringList& args, Streams io);
int runTable(const QStringList& args, Streams io);
int runRestore(const QStringList& args, Streams io);

QString usageText();

// Writes a usage error and where to read the usage; returns Usage.
int usageError(Streams io, const QString& why);

} // namespace cli
