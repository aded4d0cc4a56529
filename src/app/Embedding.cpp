#include "app/Embedding.h"
#include "app/EmbeddingNative.h"

#include <QWidget>
#include <QWindow>

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
    // The system's own means first where they are complete (Windows: the child style set
    // before SetParent, so the window is never a pop-up owned by the host); otherwise Qt's
    // foreign-window support, which on X11 reparents.
    window_.winId(); // the native window must exist before it can be reparented
    if (!embedding::native::reparent(window_, hostId_)) {
        QWindow* foreign = QWindow::fromWinId(WId(hostId_));
        if (!foreign)
            return false;
        foreign_ = foreign;
        window_.windowHandle()->setParent(foreign);
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
    return embedding::native::hostSize(hostId_);
}
