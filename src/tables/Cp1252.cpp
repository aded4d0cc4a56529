#include "tables/Cp1252.h"

#include <algorithm>
#include <array>

namespace tables::cp1252 {
namespace {

// 0x80..0x9F; the five unassigned bytes map to the C1 control of the same value, as the
// Windows conversion functions do, so that every byte reads back unchanged.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char encodeOne(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (std::size_t i = 0; i < kHigh.size(); ++i) {
        if (kHigh[i] == c)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

} // namespace

QByteArray encode(QStringView text) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i; // one character outside the code page: one "?"
            out.append('?');
            continue;
        }
        out.append(encodeOne(c.unicode()));
    }
    return out;
}

qsizetype encodeInto(QStringView text, char* out, qsizetype max) {
    qsizetype n = 0;
    for (qsizetype i = 0; i < text.size() && n < max; ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
            out[n++] = '?';
            continue;
        }
        out[n++] = encodeOne(c.unicode());
    }
    return n;
}

QString decode(const char* data, qsizetype size) {
    QString out(size, Qt::Uninitialized);
    QChar* dst = out.data();
    for (qsizetype i = 0; i < size; ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        dst[i] = (b >= 0x80 && b < 0xA0) ? QChar(kHigh[b - 0x80]) : QChar(b);
    }
    return out;
}

QString asStored(QStringView text) {
    const QByteArray b = encode(text);
    return decode(b.constData(), b.size());
}

QString asStored(const QString& text) {
    // Latin-1 characters outside the C1 controls are stored as their own byte and read
    // back unchanged.
    const bool unchanged = std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        const char16_t u = c.unicode();
        return u < 0x80 || (u >= 0xA0 && u <= 0xFF);
    });
    return unchanged ? text : asStored(QStringView(text));
}

namespace {

bool unassigned(unsigned char b) {
    return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
}

} // namespace

bool byteToChar(unsigned char byte, char16_t& out) {
    if (unassigned(byte))
        return false;
    out = (byte >= 0x80 && byte < 0xA0) ? kHigh[byte - 0x80] : char16_t(byte);
    return true;
}

bool charToByte(char32_t c, unsigned char& out) {
    const char b = encodeOne(c);
    out = static_cast<unsigned char>(b);
    if (b == '?' && c != U'?')
        return false;
    return !unassigned(out);
}

} // namespace tables::cp1252
