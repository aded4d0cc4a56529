#pragma once

#include <QString>
#include <QStringList>
#include <memory>

// What keeps a school's working tables whole: one run at a time per working folder, and
// a set of tables that a run rewrites either rewritten whole or left as it was, even when
// the process is killed or the machine loses power.
//
// All of it lives in one subfolder of the working folder, VELTRA_RESPALDO:
//   BLOQUEO     the lock file every run holds from start to end
//   PREPARANDO  copies being taken before a run touches a table (nothing touched yet)
//   EN_CURSO    the copies of a run in progress; its presence marks a run not finished
//   EN_CURSO/HECHO   written when that run has finished: what it wrote, by checksum
//   ANTERIOR    the tables as they were before the last completed run, for `restore`
//   DESCARTAR   a folder being removed
namespace run {

// VELTRA_RESPALDO in the working folder.
QString backupFolder(const QString& workDir);

// The exclusive lock of a working folder, held for as long as the object lives. The
// operating system drops it with the process, so a killed run leaves no stale lock.
class FolderLock {
public:
    enum class Need { Required, IfWritable };
    // Throws RunError naming the folder when another run holds it, or (Required) when
    // the lock file cannot be made. With IfWritable a folder that cannot be written is
    // used without the lock (ownsLock() false): no import can run there either.
    FolderLock(const QString& workDir, Need need);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool ownsLock() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Finishes what a run killed in the middle left: puts back the tables of a run that had
// not finished, or completes the bookkeeping of one that had. Returns one line for the
// user when there was something to do, else an empty text. Call under the lock.
QString finishInterrupted(const QString& workDir);

// The tables a run rewrites, copied aside before it touches any of them. Unless commit()
// is called, the destructor (or the next run, after a kill) puts every one of them back
// byte for byte, and removes those that did not exist.
class TableSafekeeping {
public:
    // tables: names without ".DBF"; their .DBF and .MDX files are kept.
    TableSafekeeping(const QString& workDir, const QStringList& tables);
    ~TableSafekeeping();
    TableSafekeeping(const TableSafekeeping&) = delete;
    TableSafekeeping& operator=(const TableSafekeeping&) = delete;

    // The run finished: its tables are flushed to disk, what it wrote is recorded, and
    // the copies become the set `restore` puts back.
    void commit();
    // Puts the tables back now (the destructor does nothing more afterwards).
    void rollback();

private:
    QString workDir_;
    QStringList tables_;
    bool done_ = false;
};

struct RestoreResult {
    bool restored = false;
    QStringList changed; // tables changed since the import, when refused for that
    QStringList tables;  // what was put back (or removed), as file names
    QString message;     // Spanish, for the user
};

// Puts back the tables as they were before the last completed import (or restore). The
// set it replaces is kept in their place, so a second restore undoes the first. Refuses,
// naming them, when tables were changed since that import, unless force. Call under
// the lock, after finishInterrupted.
RestoreResult restoreLastImport(const QString& workDir, bool force);

} // namespace run
