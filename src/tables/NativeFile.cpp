#include "tables/NativeFile.h"
#include "tables/TableIo.h"

namespace tables::detail {

IoHooks& ioHooks() {
    static IoHooks hooks;
    return hooks;
}

void resetIoHooks() {
    ioHooks() = IoHooks{};
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

} // namespace tables::detail
