#include "tables/DbfFormat.h"

#include "tables/Cp1252.h"
#include "text/RunError.h"

#include <bit>
#include <cstring>

namespace tables::detail {
namespace {

quint32 le32(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
}

int le16(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return int(u[0]) | int(u[1]) << 8;
}

void putLe16(char* at, int value) {
    at[0] = char(value & 0xFF);
    at[1] = char((value >> 8) & 0xFF);
}

quint64 be64(const char* p) {
    quint64 v = 0;
    for (int i = 0; i < 8; ++i)
        v = v << 8 | static_cast<unsigned char>(p[i]);
    return v;
}

void putBe64(char* at, quint64 v) {
    for (int i = 7; i >= 0; --i) {
        at[i] = char(v & 0xFF);
        v >>= 8;
    }
}

[[noreturn]] void bad(const QString& path, const QString& why) {
    throw RunError(
        QStringLiteral("El archivo %1 no es una tabla dBase válida: %2.").arg(path, why));
}

QString fieldName(const char* at, int size) {
    int n = 0;
    while (n < size && at[n] != 0)
        ++n;
    return cp1252::decode(at, n).trimmed();
}

// Lengths a type must have; 0 where the descriptor decides.
int fixedLength(char t) {
    switch (t) {
    case 'I':
    case '+':
        return 4;
    case 'O':
    case 'D':
        return 8;
    case 'L':
        return 1;
    default:
        return 0;
    }
}

} // namespace

DbfLayout parseHeader(const QByteArray& file, const QString& path) {
    return parseHeader(file, file.size(), path);
}

DbfLayout parseHeader(const QByteArray& file, qint64 fileSize, const QString& path) {
    const qint64 size = fileSize;
    if (file.size() < qMin<qint64>(size, 0x10000))
        bad(path, QStringLiteral("está truncado (%1 bytes)").arg(file.size()));
    if (size < 32)
        bad(path, QStringLiteral("está truncado (%1 bytes)").arg(size));
    const char* p = file.constData();
    DbfLayout layout;
    layout.version = static_cast<quint8>(p[0]);
    const int level = layout.version & 0x07;
    if (level != 3 && level != 4)
        bad(path, QStringLiteral("versión de formato desconocida (0x%1)")
                      .arg(layout.version, 2, 16, QLatin1Char('0')));
    layout.level7 = level == 4;
    const int base = layout.level7 ? kLevel7HeaderSize : 32;
    const int step = layout.level7 ? kLevel7DescriptorSize : 32;
    const int nameSize = layout.level7 ? kLevel7NameSize : 11;
    const int typeAt = layout.level7 ? 32 : 11;
    const int lengthAt = layout.level7 ? 33 : 16;
    if (size < base)
        bad(path, QStringLiteral("está truncado (%1 bytes)").arg(size));

    layout.recordCount = le32(p + 4);
    layout.headerLength = le16(p + 8);
    layout.recordLength = le16(p + 10);
    if (layout.headerLength < base + 1 || layout.headerLength > size)
        bad(path, QStringLiteral("la longitud de la cabecera (%1) no cabe en el archivo (%2 bytes)")
                      .arg(layout.headerLength)
                      .arg(size));

    int offset = 1;
    int pos = base;
    while (pos < layout.headerLength && p[pos] != kHeaderEnd) {
        if (pos + step > layout.headerLength)
            bad(path, QStringLiteral("la descripción de los campos está cortada"));
        DbfField f;
        f.name = fieldName(p + pos, nameSize);
        f.type = p[pos + typeAt];
        f.length = static_cast<unsigned char>(p[pos + lengthAt]);
        f.decimals = static_cast<unsigned char>(p[pos + lengthAt + 1]);
        f.descriptorPos = pos;
        if (layout.level7)
            f.nextAutoinc = le32(p + pos + 40);
        const QString shown =
            f.name.isEmpty() ? QStringLiteral("%1").arg(layout.fields.size() + 1) : f.name;
        // A field of a type this store does not handle (memo, timestamp, null flags ...)
        // is kept with its bytes counted in the record; only reading it fails.
        const int fixed = fixedLength(f.type);
        if (f.length == 0 || (fixed && f.length != fixed))
            bad(path, QStringLiteral("el campo %1 tiene una longitud no válida (%2)")
                          .arg(shown)
                          .arg(f.length));
        f.offset = offset;
        offset += f.length;
        layout.fields.push_back(f);
        pos += step;
    }
    if (layout.fields.empty())
        bad(path, QStringLiteral("no tiene campos"));
    if (layout.recordLength < offset)
        bad(path, QStringLiteral("la longitud de registro (%1) no coincide con sus campos (%2)")
                      .arg(layout.recordLength)
                      .arg(offset));
    const qint64 needed =
        qint64(layout.headerLength) + qint64(layout.recordCount) * layout.recordLength;
    if (needed > size)
        bad(path, QStringLiteral("el número de registros (%1) no cabe en el archivo (%2 bytes)")
                      .arg(layout.recordCount)
                      .arg(size));
    return layout;
}

void putDate(char* at, const QDate& date) {
    at[0] = char(qBound(0, date.year() - 1900, 255));
    at[1] = char(date.month());
    at[2] = char(date.day());
}

void putLe32(char* at, quint32 value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = char(value & 0xFF);
        value >>= 8;
    }
}

QByteArray level7Header(std::vector<DbfField>& fields, const QDate& date, quint32 count) {
    const int headerLength = kLevel7HeaderSize + kLevel7DescriptorSize * int(fields.size()) + 1;
    QByteArray h(headerLength, '\0');
    char* p = h.data();
    p[0] = 0x04;
    putDate(p + 1, date);
    putLe32(p + 4, count);
    putLe16(p + 8, headerLength);
    std::memcpy(p + 32, kLanguageDriver, std::strlen(kLanguageDriver));
    int offset = 1;
    int pos = kLevel7HeaderSize;
    for (DbfField& f : fields) {
        const QByteArray name = cp1252::encode(f.name).left(kMaxFieldName);
        std::memcpy(p + pos, name.constData(), name.size());
        p[pos + 32] = f.type;
        p[pos + 33] = char(f.length);
        p[pos + 34] = char(f.decimals);
        f.offset = offset;
        f.descriptorPos = pos;
        offset += f.length;
        pos += kLevel7DescriptorSize;
    }
    putLe16(p + 10, offset);
    p[pos] = kHeaderEnd;
    return h;
}

void encodeLong(char* at, qint32 value) {
    const quint32 v = static_cast<quint32>(value) ^ 0x80000000u;
    at[0] = char(v >> 24);
    at[1] = char((v >> 16) & 0xFF);
    at[2] = char((v >> 8) & 0xFF);
    at[3] = char(v & 0xFF);
}

std::optional<qint32> decodeLong(const char* at) {
    const auto* u = reinterpret_cast<const unsigned char*>(at);
    const quint32 v =
        quint32(u[0]) << 24 | quint32(u[1]) << 16 | quint32(u[2]) << 8 | quint32(u[3]);
    if (v == 0)
        return std::nullopt;
    return static_cast<qint32>(v ^ 0x80000000u);
}

void encodeDouble(char* at, double value) {
    constexpr quint64 sign = quint64(1) << 63;
    quint64 bits = std::bit_cast<quint64>(value);
    bits = (bits & sign) ? ~bits : (bits ^ sign);
    putBe64(at, bits);
}

std::optional<double> decodeDouble(const char* at) {
    constexpr quint64 sign = quint64(1) << 63;
    quint64 bits = be64(at);
    if (bits == 0)
        return std::nullopt;
    bits = (bits & sign) ? (bits ^ sign) : ~bits;
    return std::bit_cast<double>(bits);
}

} // namespace tables::detail
