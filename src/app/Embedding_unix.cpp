#include "app/EmbeddingNative.h"

#include <QByteArray>
#include <QGuiApplication>

#ifdef VT_HAVE_XCB
#include <cstdlib>
#include <xcb/xcb.h>
#endif

namespace embedding::native {

// Placing the window inside the host's needs X11; Wayland cannot do it.
void prepare(bool toBeEmbedded) {
#ifndef Q_OS_MACOS
    if (toBeEmbedded && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArray("xcb"));
#else
    Q_UNUSED(toBeEmbedded);
#endif
}

std::optional<QSize> hostSize([[maybe_unused]] quint32 hostId) {
#ifdef VT_HAVE_XCB
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return std::nullopt;
    xcb_connection_t* c = x11->connection();
    xcb_generic_error_t* error = nullptr;
    xcb_get_geometry_reply_t* g =
        xcb_get_geometry_reply(c, xcb_get_geometry(c, xcb_drawable_t(hostId)), &error);
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

bool reparent(QWidget&, quint32) {
    return false;
}

} // namespace embedding::native
