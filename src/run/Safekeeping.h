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
//   IDENTIDAD   a token made once for this working folder
//   PREPARANDO  copies being taken before a run touches a table (nothing touched yet)
//   EN_CURSO    the copies of a run in progress; its presence marks a run not finished
//   EN_CURSO/MANIFIESTO  the folder (path and token) and the tables kept, by checksum
//   EN_CURSO/DIARIO      the tables the run has started and finished rewriting
//   EN_CURSO/HECHO       written when that run has finished: what it wrote, by checksum
//   ANTERIOR    the tables as they were before the last completed run, for `restore`
//   DESCARTAR   a folder being removed
// Each of these files ends with its own checksum and appears under its name only whole. A
// bookkeeping call that fails is an error, never "nothing there": copies are let go only
// once what they put back has been checked against them.
namespace run {

// VELTRA_RESPALDO in the working folder.
QString backupFolder(const QString& workDir);

// The exclusive lock of a working folder, held for as long as the object lives. The
// operating system drops it with the process, so a killed run leaves no stale lock.
class FolderLock {
public:
    enum class Need { Required, IfWritable };
    // Throws RunError naming the folder when another run holds it, or when the lock file
    // cannot be made. With IfWritable a folder that cannot be written at all (its
    // permissions or a read-only file system) is used without the lock (ownsLock() false):
    // no import can run there either; unless an unfinished import is there.
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
// user when there was something to do, else an empty text. Call under the lock. Refuses
// (RunError) to put back copies taken in another folder, or tables changed since in a way
// the interrupted run did not, unless force. *undone: an unfinished run was undone.
QString finishInterrupted(const QString& workDir, bool force = false, bool* undone = nullptr);

// The tables a run rewrites, copied aside before it touches any of them. Unless commit()
// is called, the destructor (or the next run, after a kill) puts every one of them back
// byte for byte, and removes those that did not exist. A table that is a symbolic link or
// no regular file is refused before anything is touched.
class TableSafekeeping {
public:
    // tables: names without ".DBF"; their .DBF and .MDX files are kept. keptIfMissing:
    // tables kept too, but put back only where they are missing then (the user's codes).
    TableSafekeeping(const QString& workDir, const QStringList& tables,
                     const QStringList& keptIfMissing = {});
    ~TableSafekeeping();
    TableSafekeeping(const TableSafekeeping&) = delete;
    TableSafekeeping& operator=(const TableSafekeeping&) = delete;

    // Before each step: the tables of the step before are finished (their checksums are
    // recorded), these are being rewritten.
    void beforeStep(const QStringList& tables);
    // The run finished: its tables are flushed to disk, what it wrote is recorded, and
    // the copies become the set `restore` puts back. Once what it wrote is recorded the
    // run has completed: a later failure tidying the copies is returned as a warning
    // (empty when none).
    QString commit();
    // Puts the tables back now by renaming the copies into place, which needs no free
    // space, and checks them (the destructor does nothing more afterwards). Touches
    // nothing when the copies' record cannot be read.
    void rollback();

private:
    QString workDir_;
    QStringList tables_;
    QStringList open_;
    QString journal_;
    bool done_ = false;
};

struct RestoreResult {
    bool restored = false;
    QStringList changed; // tables changed since the import, when refused for that
    QStringList tables;  // what was put back (or removed), as file names
    QString message;     // Spanish, for the user
    QString warning;     // restored, but the copies could not be tidied
};

// Puts back the tables as they were before the last completed import (or restore). The
// set it replaces is kept in their place, so a second restore undoes the first. Refuses,
// naming them, when tables were changed since that import, unless force. Call under
// the lock, after finishInterrupted.
RestoreResult restoreLastImport(const QString& workDir, bool force);

} // namespace run
