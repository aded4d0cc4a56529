#include "run/Durable.h"
#include "text/SystemError.h"

#include <windows.h>

namespace run {

bool syncFile(const QString& path, QString* error) {
    HANDLE h = CreateFileW(reinterpret_cast<LPCWSTR>(path.utf16()), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE || !FlushFileBuffers(h)) {
        if (error)
            *error = text::systemReasonAndAdvice(
                std::error_code(static_cast<int>(GetLastError()), std::system_category()));
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        return false;
    }
    CloseHandle(h);
    return true;
}

void syncFolder(const QString&) {
    // NTFS records a folder's entries in its journal: nothing to flush.
}

} // namespace run
