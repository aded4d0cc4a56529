#pragma once

#include "tables/NativeFile.h"

#include <functional>

// Every byte the table store writes passes through these hooks, so that a test can make
// the disk fill up after a given number of bytes.
namespace tables::detail {

struct IoHooks {
    // Writes size bytes at offset; returns false with a reason in *error.
    std::function<bool(NativeFile& file, qint64 offset, const char* data, qint64 size,
                       QString* error)>
        write;
};

IoHooks& ioHooks();
void resetIoHooks();

} // namespace tables::detail
