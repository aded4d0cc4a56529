#pragma once

#include "tables/NativeFile.h"

#include <functional>

// Every byte the table store reads or writes passes through these hooks, so that a test can
// make the disk fill up after a given number of bytes, or keep a table's bytes in memory
// (the file on disk then still gives the name and the lock).
namespace tables::detail {

struct IoHooks {
    using Write = std::function<bool(NativeFile& file, qint64 offset, const char* data, qint64 size,
                                     QString* error)>;
    // Writes size bytes at offset; returns false with a reason in *error.
    Write write;
    // Reads the whole file into *out.
    std::function<bool(const NativeFile& file, QByteArray* out, QString* error)> read;
    // Cuts or extends the file to size bytes.
    std::function<bool(NativeFile& file, qint64 size, QString* error)> truncate;

    // Hooks that change the writes only.
    static IoHooks writes(Write hook) {
        IoHooks hooks;
        hooks.write = std::move(hook);
        return hooks;
    }
};

// The hooks in place; none by default.
const IoHooks& ioHooks();

// Puts hooks in place for as long as it lives; the ones before come back on every way
// out, so a test that fails half way leaves the next one the real disk.
class ScopedIoHooks {
public:
    explicit ScopedIoHooks(IoHooks hooks);
    ~ScopedIoHooks();
    ScopedIoHooks(const ScopedIoHooks&) = delete;
    ScopedIoHooks& operator=(const ScopedIoHooks&) = delete;

private:
    IoHooks previous_;
};

} // namespace tables::detail
