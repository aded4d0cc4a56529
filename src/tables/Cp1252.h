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
// The text as a table gives it back once stored: what the code page cannot hold reads
// "?". Compare a value from memory in this form with one read from a table.
QString asStored(QStringView text);
QString asStored(const QString& text); // the same string when it is stored as it is

} // namespace tables::cp1252
