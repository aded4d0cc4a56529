#include "tables/NativeFile.h"
#include "tables/TableIo.h"

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tables::detail {

IoHooks& ioHooks() {
    static IoHooks hooks;
    return hooks;
}

void resetIoHooks() {
    ioHooks() = IoHooks{};
}

NativeFile::~NativeFile() {
    close();
}

bool NativeFile::writeAt(qint64 offset, const char* data, qint64 size, QString* error) {
    if (!writable_) {
        *error = QStringLiteral("el archivo es de solo lectura");
        return false;
    }
    if (const auto& hook = ioHooks().write)
        return hook(*this, offset, data, size, error);
    return nativeWriteAt(offset, data, size, error);
}

bool NativeFile::readAll(QByteArray* out, QString* error) const {
    if (const auto& hook = ioHooks().read)
        return hook(*this, out, error);
    return nativeReadAll(out, error);
}

bool NativeFile::truncate(qint64 size, QString* error) {
    if (const auto& hook = ioHooks().truncate)
        return hook(*this, size, error);
    return nativeTruncate(size, error);
}

#ifdef Q_OS_WIN

namespace {
QString lastError() {
    wchar_t* text = nullptr;
    const DWORD code = GetLastError();
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString s = text ? QString::fromWCharArray(text).trimmed() : QString::number(code);
    LocalFree(text);
    return s;
}
} // namespace

// Share modes do the locking: none for exclusive use, read and write for shared use, so
// that a conflicting open fails with a sharing violation.
NativeFile::OpenResult NativeFile::open(const QString& path, LockKind lock, bool create,
                                        QString* error) {
    close();
    const DWORD share = lock == LockKind::Exclusive ? 0 : (FILE_SHARE_READ | FILE_SHARE_WRITE);
    const auto wpath = reinterpret_cast<const wchar_t*>(path.utf16());
    HANDLE h = CreateFileW(wpath, GENERIC_READ | GENERIC_WRITE, share, nullptr,
                           create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool canWrite = true;
    if (h == INVALID_HANDLE_VALUE && !create && GetLastError() == ERROR_ACCESS_DENIED) {
        canWrite = false;
        h = CreateFileW(wpath, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                        nullptr);
    }
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        *error = lastError();
        if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION)
            return OpenResult::Locked;
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
            return OpenResult::Missing;
        return OpenResult::Failed;
    }
    handle_ = h;
    writable_ = canWrite;
    path_ = path;
    return OpenResult::Ok;
}

void NativeFile::close() {
    if (handle_)
        CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
    writable_ = false;
}

bool NativeFile::isOpen() const {
    return handle_ != nullptr;
}

qint64 NativeFile::size(QString* error) const {
    LARGE_INTEGER s;
    if (!GetFileSizeEx(static_cast<HANDLE>(handle_), &s)) {
        *error = lastError();
        return -1;
    }
    return s.QuadPart;
}

bool NativeFile::nativeReadAll(QByteArray* out, QString* error) const {
    const qint64 total = size(error);
    if (total < 0)
        return false;
    out->resize(total);
    qint64 done = 0;
    while (done < total) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(done);
        at.OffsetHigh = static_cast<DWORD>(done >> 32);
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(qMin<qint64>(total - done, 1 << 30));
        if (!ReadFile(static_cast<HANDLE>(handle_), out->data() + done, want, &got, &at)) {
            *error = lastError();
            return false;
        }
        if (got == 0)
            break;
        done += got;
    }
    out->resize(done);
    return true;
}

bool NativeFile::nativeTruncate(qint64 size, QString* error) {
    LARGE_INTEGER at;
    at.QuadPart = size;
    if (!SetFilePointerEx(static_cast<HANDLE>(handle_), at, nullptr, FILE_BEGIN) ||
        !SetEndOfFile(static_cast<HANDLE>(handle_))) {
        *error = lastError();
        return false;
    }
    return true;
}

bool NativeFile::nativeWriteAt(qint64 offset, const char* data, qint64 size, QString* error) {
    qint64 done = 0;
    while (done < size) {
        OVERLAPPED at{};
        const qint64 pos = offset + done;
        at.Offset = static_cast<DWORD>(pos);
        at.OffsetHigh = static_cast<DWORD>(pos >> 32);
        DWORD put = 0;
        const DWORD want = static_cast<DWORD>(qMin<qint64>(size - done, 1 << 30));
        if (!WriteFile(static_cast<HANDLE>(handle_), data + done, want, &put, &at) || put == 0) {
            *error = lastError();
            return false;
        }
        done += put;
    }
    return true;
}

bool heldByOther(const QString& path) {
    HANDLE h = CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()), GENERIC_READ, 0, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(h);
    return false;
}

#else

namespace {
// The reasons a user can act on, in the language of our messages; the system's own text
// for the rest.
QString errnoText(int code) {
    switch (code) {
    case ENOENT:
        return QStringLiteral("no existe el archivo o la carpeta");
    case ENOTDIR:
        return QStringLiteral("una parte de la ruta no es una carpeta");
    case EACCES:
    case EPERM:
        return QStringLiteral("permiso denegado");
    case EROFS:
        return QStringLiteral("el sistema de archivos es de solo lectura");
    case ENOSPC:
        return QStringLiteral("no queda espacio en el disco");
#ifdef EDQUOT
    case EDQUOT:
        return QStringLiteral("se ha superado la cuota de disco");
#endif
    case EISDIR:
        return QStringLiteral("es una carpeta");
    case EIO:
        return QStringLiteral("error de entrada/salida del disco");
    default:
        return QString::fromLocal8Bit(std::strerror(code));
    }
}
} // namespace

// flock() locks belong to the open file description, so they survive other descriptors of
// the same file being closed, and other processes using flock() see them.
NativeFile::OpenResult NativeFile::open(const QString& path, LockKind lock, bool create,
                                        QString* error) {
    close();
    const QByteArray name = path.toLocal8Bit();
    int flags = O_RDWR | O_CLOEXEC;
    if (create)
        flags |= O_CREAT;
    int fd = ::open(name.constData(), flags, 0666);
    bool canWrite = true;
    if (fd < 0 && !create && (errno == EACCES || errno == EROFS || errno == EPERM)) {
        canWrite = false;
        fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    }
    if (fd < 0) {
        const int code = errno;
        *error = errnoText(code);
        return code == ENOENT ? OpenResult::Missing : OpenResult::Failed;
    }
    const int op = (lock == LockKind::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    int rc;
    do {
        rc = ::flock(fd, op);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int code = errno;
        ::close(fd);
        *error = errnoText(code);
        return code == EWOULDBLOCK ? OpenResult::Locked : OpenResult::Failed;
    }
    fd_ = fd;
    writable_ = canWrite;
    path_ = path;
    return OpenResult::Ok;
}

void NativeFile::close() {
    if (fd_ >= 0)
        ::close(fd_); // releases the lock
    fd_ = -1;
    writable_ = false;
}

bool NativeFile::isOpen() const {
    return fd_ >= 0;
}

qint64 NativeFile::size(QString* error) const {
    struct stat st;
    if (::fstat(fd_, &st) != 0) {
        *error = errnoText(errno);
        return -1;
    }
    return st.st_size;
}

bool NativeFile::nativeReadAll(QByteArray* out, QString* error) const {
    const qint64 total = size(error);
    if (total < 0)
        return false;
    out->resize(total);
    qint64 done = 0;
    while (done < total) {
        const ssize_t got = ::pread(fd_, out->data() + done, total - done, done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            *error = errnoText(errno);
            return false;
        }
        if (got == 0)
            break;
        done += got;
    }
    out->resize(done);
    return true;
}

bool NativeFile::nativeTruncate(qint64 size, QString* error) {
    if (::ftruncate(fd_, size) != 0) {
        *error = errnoText(errno);
        return false;
    }
    return true;
}

bool NativeFile::nativeWriteAt(qint64 offset, const char* data, qint64 size, QString* error) {
    qint64 done = 0;
    while (done < size) {
        const ssize_t put = ::pwrite(fd_, data + done, size - done, offset + done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            *error = errnoText(put < 0 ? errno : ENOSPC);
            return false;
        }
        done += put;
    }
    return true;
}

bool heldByOther(const QString& path) {
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

#endif

} // namespace tables::detail
