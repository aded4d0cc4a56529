#pragma once

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QTimer>
#include <optional>

class QWidget;
#include <QWindow>

// Places a top-level widget inside a window of another program (Tempolan's host
// window), keeps it sized to that window and tells when the window has gone. On Linux
// this needs the X11 (xcb) platform; elsewhere embed() answers false.
class HostEmbedding : public QObject {
    Q_OBJECT
public:
    HostEmbedding(QWidget& window, quint32 hostId, QObject* parent = nullptr);
    ~HostEmbedding() override;

    // Makes the window a child of the host; false when the platform cannot.
    bool embed();
    bool embedded() const { return embedded_; }

Q_SIGNALS:
    // The host window no longer exists.
    void hostGone();

private:
    void poll();
    // The host's inner size; nothing when the host window does not exist.
    std::optional<QSize> hostSize() const;

    QWidget& window_;
    quint32 hostId_;
    QPointer<QWindow> foreign_;
    QTimer timer_;
    QSize lastSize_;
    bool embedded_ = false;
};
