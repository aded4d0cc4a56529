#include "exchange/XmlSupport.h"

#include "tables/Cp1252.h"

#include <libxml/encoding.h>

// Windows-1252 for the XML library, from our own code-page table. The library converts
// through the system's converter where it has one, and a Windows build has none: with its
// own handler, registered before any other is looked up, a document declared
// windows-1252 reads and writes the same bytes on every system. What the code page cannot
// hold is refused the way the system converters refuse it: a byte it leaves unassigned
// is an encoding error when reading, and a character it lacks is handed back to the
// library, which writes a character reference.
namespace exchange {
namespace {

// Returns the bytes written; -2 with the counts up to the refused byte or character.
int fromCp1252(unsigned char* out, int* outlen, const unsigned char* in, int* inlen) {
    if (!in || !inlen) {
        *outlen = 0;
        return 0;
    }
    int i = 0;
    int o = 0;
    int result = 0;
    for (; i < *inlen; ++i) {
        char16_t c = 0;
        if (!tables::cp1252::byteToChar(in[i], c)) {
            result = -2;
            break;
        }
        const int need = c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
        if (o + need > *outlen)
            break;
        if (need == 1) {
            out[o++] = static_cast<unsigned char>(c);
        } else if (need == 2) {
            out[o++] = static_cast<unsigned char>(0xC0 | (c >> 6));
            out[o++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
        } else {
            out[o++] = static_cast<unsigned char>(0xE0 | (c >> 12));
            out[o++] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
            out[o++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
        }
    }
    *inlen = i;
    *outlen = o;
    return result < 0 ? result : o;
}

int toCp1252(unsigned char* out, int* outlen, const unsigned char* in, int* inlen) {
    if (!in || !inlen) { // the library's first call, before any text
        *outlen = 0;
        if (inlen)
            *inlen = 0;
        return 0;
    }
    int i = 0;
    int o = 0;
    int result = 0;
    while (i < *inlen && o < *outlen) {
        const unsigned char lead = in[i];
        const int length = lead < 0x80    ? 1
                           : lead >= 0xF0 ? 4
                           : lead >= 0xE0 ? 3
                           : lead >= 0xC0 ? 2
                                          : 0;
        if (length == 0) { // not UTF-8: the library gave it, so it is not ours to mend
            result = -2;
            break;
        }
        if (i + length > *inlen)
            break; // the rest of this character comes with the next call
        char32_t c = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (int k = 1; k < length; ++k)
            c = (c << 6) | (in[i + k] & 0x3F);
        unsigned char b = 0;
        if (!tables::cp1252::charToByte(c, b)) {
            result = -2;
            break;
        }
        out[o++] = b;
        i += length;
    }
    *inlen = i;
    *outlen = o;
    return result < 0 ? result : o;
}

} // namespace

void registerEncodings() {
    // The library keeps the handler for the life of the process.
    xmlCharEncodingHandlerPtr handler =
        xmlNewCharEncodingHandler("WINDOWS-1252", fromCp1252, toCp1252);
    if (handler)
        xmlAddEncodingAlias("WINDOWS-1252", "CP1252");
}

} // namespace exchange
