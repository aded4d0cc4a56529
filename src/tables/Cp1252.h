#pragma once

#include <QByteArray>
#include <QString>

// Text in the tables is stored in Windows-1252. Our own table rather than a system codec,
// so that every build behaves alike and a character the code page cannot hold becomes "?".
namespace tables::cp1252 {

QByteArray encode(QStringView text);
// Writes at most max bytes of the encoded text to out (the start of what encode gives);
// returns how many.
qsizetype encodeInto(QStringView text, char* out, qsizetype max);
QString decode(const char* data, qsizetype size);

} // namespace tables::cp1252
