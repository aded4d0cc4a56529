#pragma once

#include <QString>

// Pushing what was written down to the disk, so that a power cut after a run said it
// finished cannot take its tables with it.
namespace run {

// Flushes the file's data to the disk; false with the reason when it cannot.
bool syncFile(const QString& path, QString* error = nullptr);

// Flushes a folder's entries (new, renamed and removed names); a no-op where the system
// does that on its own.
void syncFolder(const QString& path);

} // namespace run
