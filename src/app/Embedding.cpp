#include "app/Embedding.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#ifdef Q_OS_WIN
#include <windows.h>
#elif defined(VT_HAVE_XCB)
#include <cstdlib>
#include <xcb/xcb.h>
#endif

HostEmbedding::HostEmbedding(QWidget& window, quint32 hostId, QObject* parent)
    : QObject(parent), window_(window), hostId_(hostId) {
    timer_.setInterval(500);
    connect(&timer_, &QTimer::timeout, this, &HostEmbedding::poll);
}

// The foreign window now owns ours as a child object; it goes with the application.
HostEmbedding::~HostEmbedding() = default;

bool HostEmbedding::embed() {
    if (!hostSize())
        return false;
    // Qt's foreign-window support: on X11 it reparents, on Windows it calls SetParent
    // and gives the window the child style.
    QWindow* foreign = QWindow::fromWinId(WId(hostId_));
    window_.winId(); // the native window must exist before it can be reparented
    if (foreign) {
        foreign_ = foreign;
        window_.windowHandle()->setParent(foreign);
    } else {
#ifdef Q_OS_WIN
        // Without Qt's foreign windows: the system call, and the child style by hand.
        const HWND child = reinterpret_cast<HWND>(window_.winId());
        const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
        SetWindowLongPtrW(child, GWL_STYLE,
                          (style & ~LONG_PTR(WS_POPUP | WS_CAPTION | WS_THICKFRAME)) | WS_CHILD);
        if (!SetParent(child, reinterpret_cast<HWND>(quintptr(hostId_))))
            return false;
#else
        return false;
#endif
    }
    embedded_ = true;
    // The foreign window reports no size of its own: fill the host by hand.
    window_.setMinimumSize(0, 0);
    window_.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    window_.move(0, 0);
    poll();
    timer_.start();
    return true;
}

void HostEmbedding::poll() {
    const std::optional<QSize> size = hostSize();
    if (!size) {
        timer_.stop();
        Q_EMIT hostGone();
        return;
    }
    if (*size != lastSize_ && size->width() > 0 && size->height() > 0) {
        lastSize_ = *size;
        // The host measures in device pixels, Qt's geometry does not.
        const qreal ratio = window_.devicePixelRatioF();
        window_.setGeometry(0, 0, qRound(size->width() / ratio), qRound(size->height() / ratio));
    }
}

std::optional<QSize> HostEmbedding::hostSize() const {
#ifdef Q_OS_WIN
    const HWND host = reinterpret_cast<HWND>(quintptr(hostId_));
    RECT r;
    if (!IsWindow(host) || !GetClientRect(host, &r))
        return std::nullopt;
    return QSize(int(r.right - r.left), int(r.bottom - r.top));
#elif defined(VT_HAVE_XCB)
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return std::nullopt;
    xcb_connection_t* c = x11->connection();
    xcb_generic_error_t* error = nullptr;
    xcb_get_geometry_reply_t* g =
        xcb_get_geometry_reply(c, xcb_get_geometry(c, xcb_drawable_t(hostId_)), &error);
    free(error);
    if (!g)
        return std::nullopt;
    const QSize size(g->width, g->height);
    free(g);
    return size;
#else
    return std::nullopt;
#endif
}
