#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <memory>

namespace tables {

namespace detail {
class NativeFile;
}

// A file beside the tables (a copy of one, the lock of a run) opened with the locks the
// tables take, so that other processes see them. Reads and writes go straight to the
// system, past the table store's I/O hooks, which stand for the tables alone.
class LockedFile {
public:
    enum class Lock { Shared, Exclusive };
    enum class OpenResult { Ok, Locked, Missing, Failed };

    LockedFile();
    ~LockedFile();
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

    // Opens and takes the lock without waiting; create: make the file when missing.
    // On failure *error holds the system's reason.
    [[nodiscard]] OpenResult open(const QString& path, Lock lock, bool create, QString* error);
    void close();
    bool isOpen() const;

    qint64 size(QString* error) const;
    [[nodiscard]] bool readAll(QByteArray* out, QString* error) const;
    // Up to size bytes from offset; *got says how many (fewer only at the end).
    [[nodiscard]] bool readAt(qint64 offset, char* data, qint64 size, qint64* got,
                              QString* error) const;
    // The bytes become the whole file.
    [[nodiscard]] bool replaceAll(const QByteArray& bytes, QString* error);

private:
    std::unique_ptr<detail::NativeFile> file_;
};

} // namespace tables
