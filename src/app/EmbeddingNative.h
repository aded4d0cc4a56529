#pragma once

#include <QSize>
#include <QtGlobal>
#include <optional>

class QWidget;

// What placing our window inside the host's asks of the operating system; one
// implementation per system.
namespace embedding::native {

// Before the application starts: picks the window system that can embed, when the
// program was started to be embedded.
void prepare(bool toBeEmbedded);

// The host window's inner size; nothing when that window does not exist.
std::optional<QSize> hostSize(quint32 hostId);

// Makes `window` a child of the host by the system's own means, where they are complete;
// false where Qt's foreign windows are to do it instead.
bool reparent(QWidget& window, quint32 hostId);

} // namespace embedding::native
