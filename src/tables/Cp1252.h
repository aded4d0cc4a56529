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

// One byte and one character, for converters that work on other representations (the
// XML library's). The five bytes the code page leaves unassigned are not characters
// here: strict conversion refuses them both ways, as the systems' own converters do.
bool byteToChar(unsigned char byte, char16_t& out);
bool charToByte(char32_t c, unsigned char& out);

} // namespace tables::cp1252
