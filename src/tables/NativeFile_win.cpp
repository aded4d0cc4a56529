#include "tables/NativeFile.h"

#include "text/SystemError.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace tables::detail {

namespace {
HANDLE handle(qintptr h) {
    return reinterpret_cast<HANDLE>(h);
}

// In the words of our messages, as on every system.
QString lastError() {
    return text::systemReasonAndAdvice(
        std::error_code(static_cast<int>(GetLastError()), std::system_category()));
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
    handle_ = reinterpret_cast<qintptr>(h);
    writable_ = canWrite;
    path_ = path;
    return OpenResult::Ok;
}

void NativeFile::close() {
    if (isOpen())
        CloseHandle(handle(handle_));
    handle_ = -1;
    writable_ = false;
}

bool NativeFile::isOpen() const {
    return handle_ != -1;
}

qint64 NativeFile::size(QString* error) const {
    LARGE_INTEGER s;
    if (!GetFileSizeEx(handle(handle_), &s)) {
        *error = lastError();
        return -1;
    }
    return s.QuadPart;
}

bool NativeFile::nativeReadAt(qint64 offset, char* data, qint64 size, qint64* got,
                              QString* error) const {
    qint64 done = 0;
    while (done < size) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset + done);
        at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(qMin<qint64>(size - done, 1 << 30));
        if (!ReadFile(handle(handle_), data + done, want, &n, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF)
                break;
            *error = lastError();
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
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(done);
        at.OffsetHigh = static_cast<DWORD>(done >> 32);
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(qMin<qint64>(total - done, 1 << 30));
        if (!ReadFile(handle(handle_), out->data() + done, want, &got, &at)) {
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
    if (!SetFilePointerEx(handle(handle_), at, nullptr, FILE_BEGIN) ||
        !SetEndOfFile(handle(handle_))) {
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
        if (!WriteFile(handle(handle_), data + done, want, &put, &at) || put == 0) {
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

} // namespace tables::detail
