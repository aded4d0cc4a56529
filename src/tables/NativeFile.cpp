#include "tables/NativeFile.h"
#include "tables/TableIo.h"

#include <utility>

namespace tables::detail {

namespace {

IoHooks& installedHooks() {
    static IoHooks hooks;
    return hooks;
}

} // namespace

const IoHooks& ioHooks() {
    return installedHooks();
}

ScopedIoHooks::ScopedIoHooks(IoHooks hooks)
    : previous_(std::exchange(installedHooks(), std::move(hooks))) {}

ScopedIoHooks::~ScopedIoHooks() {
    installedHooks() = std::move(previous_);
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

} // namespace tables::detail
