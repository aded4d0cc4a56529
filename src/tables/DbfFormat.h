#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <optional>
#include <vector>

// The dBase file layout: headers of level III/IV/5 tables (32-byte header and field
// descriptors) and of level 7 tables (68-byte header, 48-byte descriptors), and the
// binary encodings of the level-7 long and double fields.
namespace tables::detail {

constexpr char kDeletedFlag = '*';
constexpr char kLiveFlag = ' ';
constexpr char kHeaderEnd = 0x0D;
constexpr char kFileEnd = 0x1A;
constexpr int kLevel7HeaderSize = 68;
constexpr int kLevel7DescriptorSize = 48;
constexpr int kLevel7NameSize = 32;
constexpr int kMaxFieldName = kLevel7NameSize - 1;
constexpr int kMaxTextWidth = 254;
constexpr const char* kLanguageDriver = "DBWINUS0";

struct DbfField {
    QString name;
    char type = 'C'; // C N F L D I O +, or any other the file declares
    int length = 0;
    int decimals = 0;
    int offset = 0;          // within the record; the deletion flag is byte 0
    int descriptorPos = -1;  // where the descriptor starts in the file
    quint32 nextAutoinc = 0; // '+' fields of level-7 tables
};

struct DbfLayout {
    quint8 version = 0;
    bool level7 = false;
    quint32 recordCount = 0;
    int headerLength = 0;
    int recordLength = 0;
    std::vector<DbfField> fields;
};

// Reads and checks the header of a whole table file; throws RunError naming path when the
// file is not a table this store can read.
DbfLayout parseHeader(const QByteArray& file, const QString& path);
// The same from the file's first bytes (the whole header among them) and its size.
DbfLayout parseHeader(const QByteArray& start, qint64 fileSize, const QString& path);

// The header of a new level-7 table with the given fields (offsets are filled in).
QByteArray level7Header(std::vector<DbfField>& fields, const QDate& date, quint32 count);

// Bytes 1..3 of every header: year - 1900, month, day.
void putDate(char* at, const QDate& date);
void putLe32(char* at, quint32 value);

// Type I and +: big-endian, sign bit flipped; four zero bytes mean empty, so the smallest
// 32-bit value cannot be stored.
void encodeLong(char* at, qint32 value);
std::optional<qint32> decodeLong(const char* at);

// Type O: big-endian; sign bit flipped for a non-negative value, every bit inverted for a
// negative one; eight zero bytes mean empty.
void encodeDouble(char* at, double value);
std::optional<double> decodeDouble(const char* at);

} // namespace tables::detail
