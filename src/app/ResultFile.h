#pragma once

#include <QByteArray>
#include <QString>

// Tempolan reads the outcome of an embedded run from its settings file. That file is
// Tempolan's own: only our key may change, every other byte must stay as it was.

// The file's contents with `key` of `section` set to `value`. Section and key names
// match without regard to letter case; a line holding only the key's name, without "=",
// is the key's line; a missing section is added at the end, a missing key after the last
// non-blank line of its section. Every other line is kept byte for byte. A file starting
// with a UTF-16 byte-order mark stays UTF-16 in that mark's byte order.
QByteArray withProfileString(const QByteArray& contents, const QString& section, const QString& key,
                             const QString& value);

// Writes one key of a Windows-style settings file, creating the file when missing; the
// system's own function on Windows. False when the file cannot be read or written; the
// file is then left as it was (except where it must be written in place, its folder
// taking no new file, and that write fails).
bool writeProfileString(const QString& path, const QString& section, const QString& key,
                        const QString& value);
