#include "tables/NativeFile.h"

#include "text/SystemError.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tables::detail {

namespace {
int fd(qintptr handle) {
    return static_cast<int>(handle);
}

// The system's reason in the words of our messages, with the advice that fits it.
QString errnoText(int code) {
    return text::systemReasonAndAdvice(std::error_code(code, std::generic_category()));
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
    handle_ = fd;
    writable_ = canWrite;
    path_ = path;
    return OpenResult::Ok;
}

void NativeFile::close() {
    if (handle_ >= 0)
        ::close(fd(handle_)); // releases the lock
    handle_ = -1;
    writable_ = false;
}

bool NativeFile::isOpen() const {
    return handle_ >= 0;
}

qint64 NativeFile::size(QString* error) const {
    struct stat st;
    if (::fstat(fd(handle_), &st) != 0) {
        *error = errnoText(errno);
        return -1;
    }
    return st.st_size;
}

bool NativeFile::nativeReadAt(qint64 offset, char* data, qint64 size, qint64* got,
                              QString* error) const {
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd(handle_), data + done, size - done, offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *error = errnoText(errno);
            return false;
        }
        if (n == 0)
            break;
        done += n;
    }
    *got = done;
    return true;
}

bool NativeFile::nativeReadAll(QByteArray* out, QString* error) const {
    const qint64 total = size(error);
    if (total < 0)
        return false;
    out->resize(total);
    qint64 done = 0;
    while (done < total) {
        const ssize_t got = ::pread(fd(handle_), out->data() + done, total - done, done);
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
    if (::ftruncate(fd(handle_), size) != 0) {
        *error = errnoText(errno);
        return false;
    }
    return true;
}

bool NativeFile::nativeWriteAt(qint64 offset, const char* data, qint64 size, QString* error) {
    qint64 done = 0;
    while (done < size) {
        const ssize_t put = ::pwrite(fd(handle_), data + done, size - done, offset + done);
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

} // namespace tables::detail
