#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The one place that talks to the operating system about table files: opening with a
// shared or exclusive lock that other processes see, reading, and positioned writes.
namespace tables::detail {

enum class LockKind { Shared, Exclusive };

class NativeFile {
public:
    enum class OpenResult { Ok, Locked, Missing, Failed };

    NativeFile() = default;
    ~NativeFile();
    NativeFile(const NativeFile&) = delete;
    NativeFile& operator=(const NativeFile&) = delete;

    // Opens for reading and, where the file allows it, writing, and takes the lock
    // without waiting. create: make the file when missing and open it for writing.
    // On failure *error holds the system's reason.
    OpenResult open(const QString& path, LockKind lock, bool create, QString* error);
    void close();
    bool isOpen() const;
    const QString& path() const { return path_; }

    qint64 size(QString* error) const;

    // Reading, cutting and writing go through the I/O hooks (TableIo.h). A write puts
    // every byte or fails.
    bool readAll(QByteArray* out, QString* error) const;
    bool truncate(qint64 size, QString* error);
    bool writeAt(qint64 offset, const char* data, qint64 size, QString* error);
    // The system calls themselves, for hooks that pass the work on.
    bool nativeReadAll(QByteArray* out, QString* error) const;
    // Up to size bytes from offset into data; *got says how many (fewer only at the end).
    // Outside the hooks: for reading a table in blocks where no hook keeps its bytes.
    bool nativeReadAt(qint64 offset, char* data, qint64 size, qint64* got, QString* error) const;
    bool nativeTruncate(qint64 size, QString* error);
    bool nativeWriteAt(qint64 offset, const char* data, qint64 size, QString* error);

private:
    // The system's handle: a file descriptor, or a Windows HANDLE; -1 while closed.
    qintptr handle_ = -1;
    bool writable_ = false;
    QString path_;
};

// True when another process holds the file in a way that an exclusive lock would wait
// for; a missing or unreadable file is not held.
bool heldByOther(const QString& path);

} // namespace tables::detail
