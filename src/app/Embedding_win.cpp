#include "app/EmbeddingNative.h"

#include <QWidget>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace embedding::native {

void prepare(bool) {}

std::optional<QSize> hostSize(quint32 hostId) {
    const HWND host = reinterpret_cast<HWND>(quintptr(hostId));
    RECT r;
    if (!IsWindow(host) || !GetClientRect(host, &r))
        return std::nullopt;
    return QSize(int(r.right - r.left), int(r.bottom - r.top));
}

// The child style first, then the system call: a window given a parent while it still
// has the pop-up style only belongs to the host (not clipped by it, not moved with it,
// IsChild false).
bool reparent(QWidget& window, quint32 hostId) {
    const HWND child = reinterpret_cast<HWND>(window.winId());
    const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
    SetWindowLongPtrW(child, GWL_STYLE,
                      (style & ~LONG_PTR(WS_POPUP | WS_CAPTION | WS_THICKFRAME)) | WS_CHILD);
    return SetParent(child, reinterpret_cast<HWND>(quintptr(hostId))) != nullptr;
}

} // namespace embedding::native
