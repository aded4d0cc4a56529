#include "tables/Table.h"

#include "tables/Cp1252.h"
#include "tables/DbfFormat.h"
#include "tables/NativeFile.h"
#include "run/RunError.h"
#include "text/WholeNumber.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <unordered_map>

namespace tables {

using detail::DbfField;
using detail::DbfLayout;
using detail::LockKind;
using detail::NativeFile;

namespace {

const QString kNotEditing = QStringLiteral("Dataset not in edit or insert mode");

// Where name (any letter case) lies in folder; empty when there is no such file.
QString findFile(const QString& folder, const QString& fileName) {
    const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    const QString exact = dir.filePath(fileName);
    if (QFileInfo(exact).isFile())
        return exact;
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& e : entries) {
        if (e.compare(fileName, Qt::CaseInsensitive) == 0)
            return dir.filePath(e);
    }
    return {};
}

QString baseName(const QString& name) {
    if (name.endsWith(QLatin1String(".DBF"), Qt::CaseInsensitive))
        return name.chopped(4);
    return name;
}

std::optional<double> parseNumber(const QString& s) {
    bool ok = false;
    const double v = QLocale::c().toDouble(s.trimmed(), &ok);
    if (!ok)
        return std::nullopt;
    return v;
}

bool isTrueChar(char c) {
    return c == 'T' || c == 't' || c == 'Y' || c == 'y';
}

bool isFalseChar(char c) {
    return c == 'F' || c == 'f' || c == 'N' || c == 'n';
}

// Text bytes of a C field as they read: up to the first NUL, without trailing blanks.
std::pair<const char*, int> textBytes(const char* at, int length) {
    const void* nul = std::memchr(at, 0, length);
    int n = nul ? int(static_cast<const char*>(nul) - at) : length;
    while (n > 0 && at[n - 1] == ' ')
        --n;
    return {at, n};
}

// Bytes of a fixed-width numeric or date field without the blanks around them.
std::pair<const char*, int> trimmedBytes(const char* at, int length) {
    int b = 0;
    int e = length;
    while (b < e && (at[b] == ' ' || at[b] == 0))
        ++b;
    while (e > b && (at[e - 1] == ' ' || at[e - 1] == 0))
        --e;
    return {at + b, e - b};
}

bool allZero(const char* at, int length) {
    for (int i = 0; i < length; ++i) {
        if (at[i] != 0)
            return false;
    }
    return true;
}

FieldType publicType(const DbfField& f) {
    switch (f.type) {
    case 'I':
    case '+':
        return FieldType::Integer;
    case 'O':
    case 'F':
        return FieldType::Float;
    case 'N':
        return f.decimals == 0 ? FieldType::Integer : FieldType::Float;
    case 'L':
        return FieldType::Boolean;
    default:
        return FieldType::Text;
    }
}

struct Index {
    std::vector<int> fields;
    std::unordered_map<std::string, std::vector<int>> buckets; // key -> row ordinals, ascending
};

} // namespace

bool FileExists(const QString& path) {
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).isFile())
        return true;
    const QFileInfo info(path);
    return !findFile(info.path(), info.fileName()).isEmpty();
}

void DeleteTable(const QString& folder, const QString& name) {
    const QString base = baseName(name);
    for (const char* ext : {".DBF", ".MDX"}) {
        const QString path = findFile(folder, base + QLatin1String(ext));
        // A file another program holds cannot be deleted on Windows; leave it here too
        // rather than pull it from under that program.
        if (!path.isEmpty() && !detail::heldByOther(path))
            QFile::remove(path);
    }
}

void CreateTable(const QString& folder, const QString& name, const QList<FieldDef>& fields) {
    const QString base = baseName(name);
    auto fail = [&](const QString& why) {
        throw RunError(QStringLiteral("No se puede crear la tabla %1: %2.").arg(base, why));
    };
    if (base.isEmpty())
        fail(QStringLiteral("falta el nombre"));
    if (fields.isEmpty())
        fail(QStringLiteral("no tiene campos"));
    std::vector<DbfField> defs;
    QStringList seen;
    for (const FieldDef& fd : fields) {
        DbfField f;
        f.name = fd.name;
        const bool validName = !fd.name.isEmpty() && fd.name.size() <= detail::kMaxFieldName &&
                               std::all_of(fd.name.begin(), fd.name.end(), [](QChar c) {
                                   return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
                                          (c >= u'0' && c <= u'9') || c == u'_';
                               });
        if (!validName)
            fail(QStringLiteral("el nombre de campo '%1' no es válido").arg(fd.name));
        if (seen.contains(fd.name, Qt::CaseInsensitive))
            fail(QStringLiteral("el campo %1 está repetido").arg(fd.name));
        seen << fd.name;
        switch (fd.type) {
        case FieldType::Text:
            if (fd.width < 1 || fd.width > detail::kMaxTextWidth)
                fail(QStringLiteral("el ancho del campo %1 (%2) no es válido")
                         .arg(fd.name)
                         .arg(fd.width));
            f.type = 'C';
            f.length = fd.width;
            break;
        case FieldType::Integer:
            f.type = 'I';
            f.length = 4;
            break;
        case FieldType::Float:
            f.type = 'O';
            f.length = 8;
            break;
        case FieldType::Boolean:
            f.type = 'L';
            f.length = 1;
            break;
        }
        defs.push_back(f);
    }
    QByteArray bytes = detail::level7Header(defs, QDate::currentDate(), 0);
    bytes.append(detail::kFileEnd);
    if (bytes.size() > 0xFFFF + 1)
        fail(QStringLiteral("demasiados campos"));
    int recordLength = 1;
    for (const DbfField& f : defs)
        recordLength += f.length;
    if (recordLength > 0xFFFF)
        fail(QStringLiteral("el registro es demasiado largo"));

    QString path = findFile(folder, base + QLatin1String(".DBF"));
    if (path.isEmpty())
        path = QDir(folder).filePath(base + QLatin1String(".DBF"));
    NativeFile file;
    QString error;
    switch (file.open(path, LockKind::Exclusive, true, &error)) {
    case NativeFile::OpenResult::Ok:
        break;
    case NativeFile::OpenResult::Locked:
        fail(QStringLiteral("otro programa la tiene abierta"));
    default:
        fail(error);
    }
    if (!file.truncate(0, &error) || !file.writeAt(0, bytes.constData(), bytes.size(), &error)) {
        // A file without its whole header is no table: every later open would fail on it.
        file.close();
        QFile::remove(path);
        fail(error);
    }
}

class TablePrivate {
public:
    enum class State { Browse, Edit, Insert };

    QString name; // as the caller gave it, without ".DBF"
    NativeFile file;
    DbfLayout layout;
    std::vector<char> records;  // every record of the file, deleted ones too
    std::vector<quint32> rows;  // record numbers of the live rows, in table order
    QHash<QString, int> byName; // upper-cased field name -> field
    // Field names as callers usually write them (already upper-cased, no blanks): a
    // comparison each instead of an upper-cased copy and a hash per field access.
    std::vector<std::pair<QString, int>> plainNames;
    int pos = -1; // ordinal of the current row; -1: none
    bool eof = true;
    State state = State::Browse;
    std::vector<char> buffer;  // the row being appended or edited
    std::vector<char> scratch; // record + end byte for one write
    char headerStamp[7] = {};  // date and record count, header bytes 1..7
    bool postFailed = false;   // the pending row could not be written
    bool filtered = false;
    std::vector<int> filterFields;
    std::string filterKey;
    std::unordered_map<std::string, Index> indexes;

    bool isOpen() const { return file.isOpen(); }
    int recLen() const { return layout.recordLength; }
    const char* record(int ordinal) const {
        return records.data() + qint64(rows[ordinal]) * recLen();
    }
    const char* current() const {
        if (state != State::Browse)
            return buffer.data();
        return pos >= 0 ? record(pos) : nullptr;
    }

    void reset() {
        file.close();
        layout = {};
        records.clear();
        rows.clear();
        byName.clear();
        plainNames.clear();
        pos = -1;
        eof = true;
        state = State::Browse;
        buffer.clear();
        filtered = false;
        filterFields.clear();
        filterKey.clear();
        indexes.clear();
        postFailed = false;
    }

    [[noreturn]] void fail(const QString& message) const { throw RunError(message); }

    int field(const QString& fieldName) const {
        for (const auto& [plain, fi] : plainNames) {
            if (plain.size() == fieldName.size() &&
                std::memcmp(plain.constData(), fieldName.constData(),
                            std::size_t(plain.size()) * sizeof(QChar)) == 0)
                return fi;
        }
        const auto it = byName.constFind(fieldName.trimmed().toUpper());
        if (it == byName.constEnd())
            fail(QStringLiteral("La tabla %1 no tiene el campo %2.").arg(name, fieldName));
        return it.value();
    }

    [[noreturn]] void notWhole(const QString& value, const DbfField& f) const {
        fail(QStringLiteral("'%1' no es un número entero válido (tabla %2, campo %3).")
                 .arg(value, name, f.name));
    }
    [[noreturn]] void notNumber(const QString& value, const DbfField& f) const {
        fail(QStringLiteral("'%1' no es un número válido (tabla %2, campo %3).")
                 .arg(value, name, f.name));
    }
    [[noreturn]] void wrongKind(const DbfField& f, const QString& what) const {
        fail(QStringLiteral("El campo %1 de la tabla %2 no admite %3.").arg(f.name, name, what));
    }

    char* editable(int fi) {
        if (state == State::Browse)
            fail(kNotEditing);
        const DbfField& f = layout.fields[fi];
        if (f.type == '+')
            wrongKind(f, QStringLiteral("valores: se numera solo"));
        return buffer.data() + f.offset;
    }

    // ---- writing field bytes ----

    void putText(char* at, const DbfField& f, QStringView value) {
        const qsizetype n = cp1252::encodeInto(value, at, f.length);
        std::memset(at + n, ' ', f.length - n);
    }

    void putInt(char* at, const DbfField& f, qint32 v, const QString& shown) {
        if (v == std::numeric_limits<qint32>::min())
            fail(QStringLiteral("El valor %1 está fuera del intervalo del campo %2 de la tabla %3.")
                     .arg(shown, f.name, name));
        detail::encodeLong(at, v);
    }

    void putNumeric(char* at, const DbfField& f, const QString& digits) {
        if (digits.size() > f.length)
            fail(QStringLiteral("El valor %1 no cabe en el campo %2 de la tabla %3.")
                     .arg(digits, f.name, name));
        const QByteArray b = digits.toLatin1();
        const int pad = f.length - int(b.size());
        std::memset(at, ' ', pad);
        std::memcpy(at + pad, b.constData(), b.size());
    }

    QString numericText(const DbfField& f, double v) const {
        return f.decimals > 0 ? QString::number(v, 'f', f.decimals) : QString::number(v, 'f', 0);
    }

    void setText(int fi, const QString& value) {
        char* at = editable(fi);
        const DbfField& f = layout.fields[fi];
        switch (f.type) {
        case 'C':
            putText(at, f, value);
            return;
        case 'I':
            if (value.isEmpty()) {
                std::memset(at, 0, 4);
                return;
            }
            if (const auto v = parseWholeNumber(value))
                return putInt(at, f, *v, value);
            notWhole(value, f);
        case 'O':
            if (value.isEmpty()) {
                std::memset(at, 0, 8);
                return;
            }
            if (const auto v = parseNumber(value))
                return detail::encodeDouble(at, *v);
            notNumber(value, f);
        case 'N':
        case 'F':
            if (value.isEmpty()) {
                std::memset(at, ' ', f.length);
                return;
            }
            if (f.decimals == 0) {
                if (const auto v = parseWholeNumber(value))
                    return putNumeric(at, f, QString::number(*v));
                notWhole(value, f);
            }
            if (const auto v = parseNumber(value))
                return putNumeric(at, f, numericText(f, *v));
            notNumber(value, f);
        case 'L': {
            const QString t = value.trimmed();
            const char c = t.isEmpty() ? ' ' : char(t[0].toUpper().toLatin1());
            if (c == ' ')
                *at = ' ';
            else if (isTrueChar(c) || c == 'S')
                *at = 'T';
            else if (isFalseChar(c))
                *at = 'F';
            else
                fail(QStringLiteral("'%1' no es un valor lógico válido (tabla %2, campo %3).")
                         .arg(value, name, f.name));
            return;
        }
        case 'D': {
            const bool ok =
                value.isEmpty() ||
                (value.size() == 8 && std::all_of(value.begin(), value.end(),
                                                  [](QChar c) { return c >= u'0' && c <= u'9'; }));
            if (!ok)
                fail(QStringLiteral("'%1' no es una fecha AAAAMMDD válida (tabla %2, campo %3).")
                         .arg(value, name, f.name));
            putText(at, f, value);
            return;
        }
        default:
            wrongKind(f, QStringLiteral("texto"));
        }
    }

    void setInt(int fi, qint32 v) {
        char* at = editable(fi);
        const DbfField& f = layout.fields[fi];
        switch (f.type) {
        case 'C':
            return putText(at, f, QString::number(v));
        case 'I':
            return putInt(at, f, v, QString::number(v));
        case 'O':
            return detail::encodeDouble(at, v);
        case 'N':
        case 'F':
            return putNumeric(at, f, numericText(f, v));
        default:
            wrongKind(f, QStringLiteral("números enteros"));
        }
    }

    void setFloat(int fi, double v) {
        char* at = editable(fi);
        const DbfField& f = layout.fields[fi];
        switch (f.type) {
        case 'C':
            return putText(at, f, QString::number(v, 'g', QLocale::FloatingPointShortest));
        case 'I': {
            const QString shown = QString::number(v, 'g', QLocale::FloatingPointShortest);
            if (v != std::trunc(v) || v < std::numeric_limits<qint32>::min() ||
                v > std::numeric_limits<qint32>::max())
                notWhole(shown, f);
            return putInt(at, f, static_cast<qint32>(v), shown);
        }
        case 'O':
            return detail::encodeDouble(at, v);
        case 'N':
        case 'F':
            return putNumeric(at, f, numericText(f, v));
        default:
            wrongKind(f, QStringLiteral("números"));
        }
    }

    void setBool(int fi, bool v) {
        char* at = editable(fi);
        const DbfField& f = layout.fields[fi];
        if (f.type == 'L' || f.type == 'C') {
            *at = v ? 'T' : 'F';
            if (f.type == 'C')
                std::memset(at + 1, ' ', f.length - 1);
            return;
        }
        wrongKind(f, QStringLiteral("valores lógicos"));
    }

    // ---- reading field bytes ----

    QString text(const char* row, int fi) const {
        if (!row)
            return {};
        const DbfField& f = layout.fields[fi];
        const char* at = row + f.offset;
        switch (f.type) {
        case 'C': {
            const auto [p, n] = textBytes(at, f.length);
            return cp1252::decode(p, n);
        }
        case 'I':
        case '+': {
            const auto v = detail::decodeLong(at);
            return v ? QString::number(*v) : QString();
        }
        case 'O': {
            const auto v = detail::decodeDouble(at);
            return v ? QString::number(*v, 'g', QLocale::FloatingPointShortest) : QString();
        }
        case 'L':
            return isTrueChar(*at)    ? QStringLiteral("T")
                   : isFalseChar(*at) ? QStringLiteral("F")
                                      : QString();
        default: {
            const auto [p, n] = trimmedBytes(at, f.length);
            return cp1252::decode(p, n);
        }
        }
    }

    bool isNull(const char* row, int fi) const {
        if (!row)
            return true;
        const DbfField& f = layout.fields[fi];
        const char* at = row + f.offset;
        switch (f.type) {
        case 'I':
        case '+':
        case 'O':
            return allZero(at, f.length);
        case 'C':
            return textBytes(at, f.length).second == 0;
        case 'L':
            return !isTrueChar(*at) && !isFalseChar(*at);
        default:
            return trimmedBytes(at, f.length).second == 0;
        }
    }

    // ---- keys for locate and filter ----

    void rowKey(std::string& key, const char* row, int fi) const {
        const DbfField& f = layout.fields[fi];
        const char* at = row + f.offset;
        switch (f.type) {
        case 'C': {
            const auto [p, n] = textBytes(at, f.length);
            key.append(p, n);
            key.push_back('\0');
            return;
        }
        case 'I':
        case '+':
        case 'O':
            key.append(at, f.length);
            return;
        case 'N':
        case 'F': {
            const auto [p, n] = trimmedBytes(at, f.length);
            if (n == 0) {
                key.push_back('\1');
                return;
            }
            bool ok = false;
            const double v = QLocale::c().toDouble(QString::fromLatin1(p, n), &ok);
            if (!ok) {
                key.push_back('\3');
                key.append(p, n);
                key.push_back('\0');
                return;
            }
            char b[8];
            detail::encodeDouble(b, v);
            key.push_back('\2');
            key.append(b, 8);
            return;
        }
        case 'L':
            key.push_back(isTrueChar(*at) ? 'T' : isFalseChar(*at) ? 'F' : ' ');
            return;
        default: {
            const auto [p, n] = trimmedBytes(at, f.length);
            key.append(p, n);
            key.push_back('\0');
            return;
        }
        }
    }

    // The key part a sought value must have; false when no row can hold it.
    bool valueKey(std::string& key, const QString& value, int fi) const {
        const DbfField& f = layout.fields[fi];
        switch (f.type) {
        case 'C': {
            QByteArray b = cp1252::encode(value);
            while (!b.isEmpty() && b.endsWith(' '))
                b.chop(1);
            if (b.contains('\0'))
                return false;
            key.append(b.constData(), b.size());
            key.push_back('\0');
            return true;
        }
        case 'I':
        case '+': {
            const auto v = parseWholeNumber(value);
            if (!v)
                notWhole(value, f);
            if (*v == std::numeric_limits<qint32>::min())
                return false;
            char b[4];
            detail::encodeLong(b, *v);
            key.append(b, 4);
            return true;
        }
        case 'O':
        case 'N':
        case 'F': {
            std::optional<double> v;
            if (f.type == 'N' && f.decimals == 0) {
                const auto w = parseWholeNumber(value);
                if (!w)
                    notWhole(value, f);
                v = *w;
            } else {
                v = parseNumber(value);
                if (!v)
                    notNumber(value, f);
            }
            char b[8];
            detail::encodeDouble(b, *v);
            if (f.type != 'O')
                key.push_back('\2');
            key.append(b, 8);
            return true;
        }
        case 'L': {
            const QString t = value.trimmed();
            const char c = t.isEmpty() ? ' ' : char(t[0].toLatin1());
            key.push_back(isTrueChar(c) ? 'T' : isFalseChar(c) ? 'F' : ' ');
            return true;
        }
        default: {
            const QByteArray b = cp1252::encode(value.trimmed());
            key.append(b.constData(), b.size());
            key.push_back('\0');
            return true;
        }
        }
    }

    std::string rowKey(const char* row, const std::vector<int>& fields) const {
        std::string key;
        for (int fi : fields)
            rowKey(key, row, fi);
        return key;
    }

    static std::string indexName(const std::vector<int>& fields) {
        std::string s;
        for (int fi : fields) {
            s += std::to_string(fi);
            s += ';';
        }
        return s;
    }

    // Built on first use for a field combination, then kept up to date by post().
    Index& index(const std::vector<int>& fields) {
        auto [it, added] = indexes.try_emplace(indexName(fields));
        Index& ix = it->second;
        if (added) {
            ix.fields = fields;
            for (int i = 0; i < int(rows.size()); ++i)
                ix.buckets[rowKey(record(i), fields)].push_back(i);
        }
        return ix;
    }

    const std::vector<int>* filterRows() {
        Index& ix = index(filterFields);
        const auto it = ix.buckets.find(filterKey);
        return it == ix.buckets.end() ? nullptr : &it->second;
    }

    bool visible(int ordinal) const {
        return !filtered || rowKey(record(ordinal), filterFields) == filterKey;
    }

    // ---- navigation ----

    int firstVisible() {
        if (!filtered)
            return rows.empty() ? -1 : 0;
        const auto* list = filterRows();
        return list && !list->empty() ? list->front() : -1;
    }

    int nextVisible(int after) {
        if (!filtered)
            return after + 1 < int(rows.size()) ? after + 1 : -1;
        const auto* list = filterRows();
        if (!list)
            return -1;
        const auto it = std::upper_bound(list->begin(), list->end(), after);
        return it == list->end() ? -1 : *it;
    }

    void first() {
        pos = firstVisible();
        eof = pos < 0;
    }

    int rowCount() {
        if (!filtered)
            return int(rows.size());
        const auto* list = filterRows();
        return list ? int(list->size()) : 0;
    }

    // ---- posting ----

    [[noreturn]] void writeFailed(const QString& why) const {
        fail(QStringLiteral("No se pudo escribir en la tabla %1 (%2): %3.")
                 .arg(name, file.path(), why));
    }

    void write(qint64 offset, const char* data, qint64 size) {
        QString error;
        if (!file.writeAt(offset, data, size, &error)) {
            postFailed = true;
            writeFailed(error);
        }
    }

    void post() {
        if (state == State::Browse)
            return;
        const int n = recLen();
        if (state == State::Insert) {
            const quint32 recNo = layout.recordCount;
            if (recNo == std::numeric_limits<quint32>::max() ||
                rows.size() >= std::size_t(std::numeric_limits<int>::max()))
                fail(QStringLiteral("La tabla %1 está llena.").arg(name));
            for (DbfField& f : layout.fields) {
                if (f.type == '+')
                    detail::encodeLong(buffer.data() + f.offset,
                                       qint32(qMax<quint32>(f.nextAutoinc, 1)));
            }
            // The record and the end byte first, then the count: a program that dies in
            // between leaves a readable table that simply lacks the last row.
            scratch.assign(buffer.begin(), buffer.end());
            scratch.push_back(detail::kFileEnd);
            write(qint64(layout.headerLength) + qint64(recNo) * n, scratch.data(),
                  qint64(scratch.size()));
            detail::putLe32(headerStamp + 3, recNo + 1);
            write(1, headerStamp, sizeof headerStamp);
            for (DbfField& f : layout.fields) {
                if (f.type != '+')
                    continue;
                f.nextAutoinc = qMax<quint32>(f.nextAutoinc, 1) + 1;
                char b[4];
                detail::putLe32(b, f.nextAutoinc);
                write(f.descriptorPos + 40, b, 4);
            }
            layout.recordCount = recNo + 1;
            records.insert(records.end(), buffer.begin(), buffer.end());
            rows.push_back(recNo);
            const int ordinal = int(rows.size()) - 1;
            for (auto& [ignored, ix] : indexes)
                ix.buckets[rowKey(record(ordinal), ix.fields)].push_back(ordinal);
            pos = ordinal;
            eof = false;
        } else {
            const quint32 recNo = rows[pos];
            write(qint64(layout.headerLength) + qint64(recNo) * n, buffer.data(), n);
            char* stored = records.data() + qint64(recNo) * n;
            for (auto& [ignored, ix] : indexes) {
                const std::string before = rowKey(stored, ix.fields);
                const std::string after = rowKey(buffer.data(), ix.fields);
                if (before == after)
                    continue;
                auto old = ix.buckets.find(before);
                if (old != ix.buckets.end()) {
                    auto& list = old->second;
                    const auto at = std::lower_bound(list.begin(), list.end(), pos);
                    if (at != list.end() && *at == pos)
                        list.erase(at);
                    if (list.empty())
                        ix.buckets.erase(old);
                }
                auto& list = ix.buckets[after];
                list.insert(std::lower_bound(list.begin(), list.end(), pos), pos);
            }
            std::memcpy(stored, buffer.data(), n);
        }
        state = State::Browse;
        postFailed = false;
    }

    void blankRow() {
        buffer.assign(recLen(), ' ');
        for (const DbfField& f : layout.fields) {
            if (f.type == 'I' || f.type == '+' || f.type == 'O')
                std::memset(buffer.data() + f.offset, 0, f.length);
        }
    }
};

Table::Table() : d(std::make_unique<TablePrivate>()) {}

Table::~Table() {
    // A row whose post already failed is not tried again while unwinding from that error.
    if (d && d->postFailed)
        d->state = TablePrivate::State::Browse;
    try {
        close();
    } catch (...) {
        // A row that cannot be written at this point is lost; the error was the caller's
        // to see had it closed the table itself.
    }
}

Table::Table(Table&&) noexcept = default;

Table& Table::operator=(Table&& other) noexcept {
    if (this != &other) {
        try {
            close();
        } catch (...) {
        }
        d = std::move(other.d);
    }
    return *this;
}

namespace {
[[noreturn]] void notOpen(const TablePrivate* d) {
    const QString name = d ? d->name : QString();
    throw RunError(name.isEmpty() ? QStringLiteral("La tabla no está abierta.")
                                  : QStringLiteral("La tabla %1 no está abierta.").arg(name));
}
} // namespace

#define VT_REQUIRE_OPEN()                                                                          \
    do {                                                                                           \
        if (!d || !d->isOpen())                                                                    \
            notOpen(d.get());                                                                      \
    } while (0)

void Table::open(const QString& folder, const QString& name, OpenMode mode) {
    close();
    if (!d)
        d = std::make_unique<TablePrivate>();
    d->reset();
    d->name = baseName(name);
    const QString path = findFile(folder, d->name + QLatin1String(".DBF"));
    if (path.isEmpty())
        throw RunError(QStringLiteral("No existe la tabla %1 en la carpeta %2.")
                           .arg(d->name, QDir::toNativeSeparators(folder)));
    QString error;
    const bool exclusive = mode == OpenMode::Exclusive;
    switch (d->file.open(path, exclusive ? LockKind::Exclusive : LockKind::Shared, false, &error)) {
    case NativeFile::OpenResult::Ok:
        break;
    case NativeFile::OpenResult::Locked:
        throw RunError(exclusive
                           ? QStringLiteral("No se puede abrir la tabla %1 en exclusiva: otro "
                                            "programa la está usando.")
                                 .arg(d->name)
                           : QStringLiteral("No se puede abrir la tabla %1: otro programa la "
                                            "tiene abierta en exclusiva.")
                                 .arg(d->name));
    case NativeFile::OpenResult::Missing:
        throw RunError(QStringLiteral("No existe la tabla %1 en la carpeta %2.")
                           .arg(d->name, QDir::toNativeSeparators(folder)));
    case NativeFile::OpenResult::Failed:
        throw RunError(QStringLiteral("No se puede abrir la tabla %1 (%2): %3.")
                           .arg(d->name, QDir::toNativeSeparators(path), error));
    }
    try {
        QByteArray bytes;
        if (!d->file.readAll(&bytes, &error))
            throw RunError(QStringLiteral("No se puede leer la tabla %1 (%2): %3.")
                               .arg(d->name, QDir::toNativeSeparators(path), error));
        d->layout = detail::parseHeader(bytes, QDir::toNativeSeparators(path));
        const int n = d->recLen();
        const char* first = bytes.constData() + d->layout.headerLength;
        d->records.assign(first, first + qint64(d->layout.recordCount) * n);
        d->rows.reserve(d->layout.recordCount);
        for (quint32 r = 0; r < d->layout.recordCount; ++r) {
            if (first[qint64(r) * n] != detail::kDeletedFlag)
                d->rows.push_back(r);
        }
        for (int i = 0; i < int(d->layout.fields.size()); ++i)
            d->byName.insert(d->layout.fields[i].name.toUpper(), i);
        for (auto it = d->byName.cbegin(); it != d->byName.cend(); ++it) {
            if (it.key() == it.key().trimmed())
                d->plainNames.emplace_back(it.key(), it.value());
        }
        // In field order, so the fields a row is filled with are met first.
        std::sort(d->plainNames.begin(), d->plainNames.end(),
                  [](const auto& a, const auto& b) { return a.second < b.second; });
        detail::putDate(d->headerStamp, QDate::currentDate());
        d->first();
    } catch (...) {
        d->reset();
        throw;
    }
}

void Table::close() {
    if (!d || !d->isOpen())
        return;
    try {
        d->post();
    } catch (...) {
        d->reset();
        throw;
    }
    d->reset();
}

bool Table::isOpen() const {
    return d && d->isOpen();
}

QString Table::name() const {
    return d ? d->name : QString();
}

QList<FieldDef> Table::fields() const {
    VT_REQUIRE_OPEN();
    QList<FieldDef> out;
    for (const DbfField& f : d->layout.fields) {
        const FieldType t = publicType(f);
        out.append(FieldDef{f.name, t, t == FieldType::Text ? f.length : 0});
    }
    return out;
}

QList<StoredField> Table::storedFields() const {
    VT_REQUIRE_OPEN();
    QList<StoredField> out;
    for (const DbfField& f : d->layout.fields)
        out.append(StoredField{f.name, f.type, f.length, f.decimals});
    return out;
}

int Table::versionByte() const {
    VT_REQUIRE_OPEN();
    return d->layout.version;
}

void Table::append() {
    VT_REQUIRE_OPEN();
    d->post();
    d->blankRow();
    d->state = TablePrivate::State::Insert;
    d->postFailed = false;
}

void Table::edit() {
    VT_REQUIRE_OPEN();
    if (d->state != TablePrivate::State::Browse)
        return;
    if (d->pos < 0) {
        append(); // nothing to edit in an empty table: the engine appends instead
        return;
    }
    const char* row = d->record(d->pos);
    d->buffer.assign(row, row + d->recLen());
    d->state = TablePrivate::State::Edit;
}

void Table::post() {
    VT_REQUIRE_OPEN();
    d->post();
}

void Table::cancel() {
    VT_REQUIRE_OPEN();
    d->state = TablePrivate::State::Browse;
    d->buffer.clear();
    d->postFailed = false;
}

bool Table::isEditing() const {
    return isOpen() && d->state != TablePrivate::State::Browse;
}

void Table::setText(const QString& field, const QString& value) {
    VT_REQUIRE_OPEN();
    d->setText(d->field(field), value);
}

void Table::setInt(const QString& field, qint32 value) {
    VT_REQUIRE_OPEN();
    d->setInt(d->field(field), value);
}

void Table::setFloat(const QString& field, double value) {
    VT_REQUIRE_OPEN();
    d->setFloat(d->field(field), value);
}

void Table::setBool(const QString& field, bool value) {
    VT_REQUIRE_OPEN();
    d->setBool(d->field(field), value);
}

QString Table::text(const QString& field) const {
    VT_REQUIRE_OPEN();
    return d->text(d->current(), d->field(field));
}

qint32 Table::integer(const QString& field) const {
    VT_REQUIRE_OPEN();
    const int fi = d->field(field);
    const DbfField& f = d->layout.fields[fi];
    const char* row = d->current();
    if (row && (f.type == 'I' || f.type == '+')) {
        if (const auto v = detail::decodeLong(row + f.offset))
            return *v;
    }
    const QString t = d->text(row, fi);
    const auto v = parseWholeNumber(t);
    if (!v)
        d->notWhole(t, f);
    return *v;
}

double Table::real(const QString& field) const {
    VT_REQUIRE_OPEN();
    const int fi = d->field(field);
    const DbfField& f = d->layout.fields[fi];
    const char* row = d->current();
    if (!row)
        return 0.0;
    switch (f.type) {
    case 'O':
        return detail::decodeDouble(row + f.offset).value_or(0.0);
    case 'I':
    case '+':
        return detail::decodeLong(row + f.offset).value_or(0);
    case 'N':
    case 'F':
        if (d->isNull(row, fi))
            return 0.0;
        break;
    default:
        break;
    }
    const QString t = d->text(row, fi);
    const auto v = parseNumber(t);
    if (!v)
        d->notNumber(t, f);
    return *v;
}

bool Table::boolean(const QString& field) const {
    VT_REQUIRE_OPEN();
    const int fi = d->field(field);
    const DbfField& f = d->layout.fields[fi];
    const char* row = d->current();
    if (f.type != 'L' && f.type != 'C')
        d->wrongKind(f, QStringLiteral("la lectura como valor lógico"));
    return row && isTrueChar(row[f.offset]);
}

bool Table::isNull(const QString& field) const {
    VT_REQUIRE_OPEN();
    return d->isNull(d->current(), d->field(field));
}

void Table::first() {
    VT_REQUIRE_OPEN();
    d->post();
    d->first();
}

void Table::next() {
    VT_REQUIRE_OPEN();
    d->post();
    if (d->eof)
        return;
    const int n = d->nextVisible(d->pos);
    if (n < 0)
        d->eof = true; // the last row stays current, as the engine keeps it
    else
        d->pos = n;
}

bool Table::atEnd() const {
    VT_REQUIRE_OPEN();
    return d->eof;
}

bool Table::locate(const QString& fields, const QStringList& values) {
    VT_REQUIRE_OPEN();
    d->post();
    const QStringList names = fields.split(u';');
    if (names.size() != values.size())
        throw RunError(QStringLiteral("Búsqueda en la tabla %1: %2 campos (%3) y %4 valores.")
                           .arg(d->name)
                           .arg(names.size())
                           .arg(fields)
                           .arg(values.size()));
    std::vector<int> fis;
    std::string key;
    bool possible = true;
    for (int i = 0; i < names.size(); ++i) {
        fis.push_back(d->field(names[i]));
        possible = d->valueKey(key, values[i], fis.back()) && possible;
    }
    if (!possible)
        return false;
    const Index& ix = d->index(fis);
    const auto it = ix.buckets.find(key);
    if (it == ix.buckets.end())
        return false;
    for (int ordinal : it->second) {
        if (d->visible(ordinal)) {
            d->pos = ordinal;
            d->eof = false;
            return true;
        }
    }
    return false;
}

void Table::setFilter(const QString& expression) {
    VT_REQUIRE_OPEN();
    d->post();
    const QString e = expression.trimmed();
    if (e.isEmpty()) {
        clearFilter();
        return;
    }
    // FIELD = 'value', a quote inside the value doubled.
    auto bad = [&]() -> RunError {
        return RunError(
            QStringLiteral("Filtro no válido en la tabla %1: %2").arg(d->name, expression));
    };
    const qsizetype eq = e.indexOf(u'=');
    if (eq <= 0)
        throw bad();
    const int fi = d->field(e.left(eq).trimmed());
    qsizetype i = eq + 1;
    while (i < e.size() && e[i] == u' ')
        ++i;
    if (i >= e.size() || e[i] != u'\'')
        throw bad();
    QString value;
    bool closed = false;
    for (++i; i < e.size(); ++i) {
        if (e[i] == u'\'') {
            if (i + 1 < e.size() && e[i + 1] == u'\'') {
                value += u'\'';
                ++i;
                continue;
            }
            closed = true;
            ++i;
            break;
        }
        value += e[i];
    }
    if (!closed || i != e.size())
        throw bad();
    std::string key;
    const bool possible = d->valueKey(key, value, fi);
    d->filtered = true;
    d->filterFields = {fi};
    // A value no row can hold gets a key no row has.
    d->filterKey = possible ? key : std::string("\xff\xff impossible");
    d->first();
}

void Table::clearFilter() {
    VT_REQUIRE_OPEN();
    d->post();
    d->filtered = false;
    d->filterFields.clear();
    d->filterKey.clear();
    d->first();
}

int Table::rowCount() const {
    VT_REQUIRE_OPEN();
    return d->rowCount();
}

} // namespace tables
