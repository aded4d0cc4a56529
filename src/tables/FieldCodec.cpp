#include "tables/FieldCodec.h"

#include "tables/Cp1252.h"
#include "tables/TablePrivate.h"
#include "text/RunError.h"
#include "text/WholeNumber.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace tables::detail {

namespace {

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

void putText(char* at, const DbfField& f, QStringView value) {
    const qsizetype n = cp1252::encodeInto(value, at, f.length);
    std::memset(at + n, ' ', f.length - n);
}

void putInt(char* at, const DbfField& f, qint32 v, const QString& shown, const QString& table) {
    if (!text::fitsIntegerField(v))
        throw RunError(
            QStringLiteral("El valor %1 está fuera del intervalo del campo %2 de la tabla %3.")
                .arg(shown, f.name, table));
    encodeLong(at, v);
}

void putNumeric(char* at, const DbfField& f, const QString& digits, const QString& table) {
    if (digits.size() > f.length)
        throw RunError(QStringLiteral("El valor %1 no cabe en el campo %2 de la tabla %3.")
                           .arg(digits, f.name, table));
    const QByteArray b = digits.toLatin1();
    const int pad = f.length - int(b.size());
    std::memset(at, ' ', pad);
    std::memcpy(at + pad, b.constData(), b.size());
}

QString numericText(const DbfField& f, double v) {
    return f.decimals > 0 ? QString::number(v, 'f', f.decimals) : QString::number(v, 'f', 0);
}

} // namespace

bool knownType(char type) {
    switch (type) {
    case 'C':
    case 'N':
    case 'F':
    case 'L':
    case 'D':
    case 'I':
    case 'O':
    case '+':
        return true;
    default:
        return false;
    }
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

void notWhole(const QString& value, const DbfField& f, const QString& table) {
    throw RunError(QStringLiteral("'%1' no es un número entero válido (tabla %2, campo %3).")
                       .arg(value, table, f.name));
}

void notNumber(const QString& value, const DbfField& f, const QString& table) {
    throw RunError(QStringLiteral("'%1' no es un número válido (tabla %2, campo %3).")
                       .arg(value, table, f.name));
}

void wrongKind(const DbfField& f, const QString& table, const QString& what) {
    throw RunError(
        QStringLiteral("El campo %1 de la tabla %2 no admite %3.").arg(f.name, table, what));
}

void unreadable(const DbfField& f, const QString& table) {
    const QString type = f.type >= 0x20 && f.type < 0x7F
                             ? QString(QChar::fromLatin1(f.type))
                             : QStringLiteral("0x%1").arg(static_cast<unsigned char>(f.type), 2, 16,
                                                          QLatin1Char('0'));
    throw RunError(QStringLiteral("No se puede leer el campo %1 de la tabla %2: es de un tipo que "
                                  "este programa no maneja (%3). Compruebe que la tabla es la "
                                  "que corresponde.")
                       .arg(f.name, table, type));
}

// ---- reading ----

QString readText(const char* row, const DbfField& f, const QString& table) {
    if (!row) {
        if (!knownType(f.type))
            unreadable(f, table);
        return {};
    }
    const char* at = row + f.offset;
    switch (f.type) {
    case 'C': {
        const auto [p, n] = textBytes(at, f.length);
        return cp1252::decode(p, n);
    }
    case 'I':
    case '+': {
        const auto v = decodeLong(at);
        return v ? QString::number(*v) : QString();
    }
    case 'O': {
        const auto v = decodeDouble(at);
        return v ? QString::number(*v, 'g', QLocale::FloatingPointShortest) : QString();
    }
    case 'L':
        return isTrueChar(*at)    ? QStringLiteral("T")
               : isFalseChar(*at) ? QStringLiteral("F")
                                  : QString();
    case 'N':
    case 'F':
    case 'D': {
        const auto [p, n] = trimmedBytes(at, f.length);
        return cp1252::decode(p, n);
    }
    default:
        unreadable(f, table);
    }
}

bool readIsNull(const char* row, const DbfField& f, const QString& table) {
    if (!row) {
        if (!knownType(f.type))
            unreadable(f, table);
        return true;
    }
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
    case 'N':
    case 'F':
    case 'D':
        return trimmedBytes(at, f.length).second == 0;
    default:
        unreadable(f, table);
    }
}

qint32 readInteger(const char* row, const DbfField& f, const QString& table) {
    if (row && (f.type == 'I' || f.type == '+')) {
        if (const auto v = decodeLong(row + f.offset))
            return *v;
    }
    const QString t = readText(row, f, table);
    const auto v = text::parseWholeNumber(t);
    if (!v)
        notWhole(t, f, table);
    return *v;
}

double readReal(const char* row, const DbfField& f, const QString& table) {
    if (!row) {
        if (!knownType(f.type))
            unreadable(f, table);
        return 0.0;
    }
    switch (f.type) {
    case 'O':
        return decodeDouble(row + f.offset).value_or(0.0);
    case 'I':
    case '+':
        return decodeLong(row + f.offset).value_or(0);
    case 'N':
    case 'F':
        if (readIsNull(row, f, table))
            return 0.0;
        break;
    default:
        break;
    }
    const QString t = readText(row, f, table);
    const auto v = parseNumber(t);
    if (!v)
        notNumber(t, f, table);
    return *v;
}

bool readBoolean(const char* row, const DbfField& f, const QString& table) {
    if (f.type != 'L' && f.type != 'C')
        wrongKind(f, table, QStringLiteral("la lectura como valor lógico"));
    return row && isTrueChar(row[f.offset]);
}

// ---- writing ----

void writeText(char* row, const DbfField& f, const QString& value, const QString& table) {
    char* at = row + f.offset;
    switch (f.type) {
    case 'C':
        putText(at, f, value);
        return;
    case 'I':
        if (value.isEmpty()) {
            std::memset(at, 0, 4);
            return;
        }
        if (const auto v = text::parseWholeNumber(value))
            return putInt(at, f, *v, value, table);
        notWhole(value, f, table);
    case 'O':
        if (value.isEmpty()) {
            std::memset(at, 0, 8);
            return;
        }
        if (const auto v = parseNumber(value))
            return encodeDouble(at, *v);
        notNumber(value, f, table);
    case 'N':
    case 'F':
        if (value.isEmpty()) {
            std::memset(at, ' ', f.length);
            return;
        }
        if (f.decimals == 0) {
            if (const auto v = text::parseWholeNumber(value))
                return putNumeric(at, f, QString::number(*v), table);
            notWhole(value, f, table);
        }
        if (const auto v = parseNumber(value))
            return putNumeric(at, f, numericText(f, *v), table);
        notNumber(value, f, table);
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
            throw RunError(QStringLiteral("'%1' no es un valor lógico válido (tabla %2, campo %3).")
                               .arg(value, table, f.name));
        return;
    }
    case 'D': {
        const bool ok = value.isEmpty() ||
                        (value.size() == 8 && std::all_of(value.begin(), value.end(), [](QChar c) {
                             return c >= u'0' && c <= u'9';
                         }));
        if (!ok)
            throw RunError(
                QStringLiteral("'%1' no es una fecha AAAAMMDD válida (tabla %2, campo %3).")
                    .arg(value, table, f.name));
        putText(at, f, value);
        return;
    }
    default:
        wrongKind(f, table, QStringLiteral("texto"));
    }
}

void writeInt(char* row, const DbfField& f, qint32 v, const QString& table) {
    char* at = row + f.offset;
    switch (f.type) {
    case 'C':
        return putText(at, f, QString::number(v));
    case 'I':
        return putInt(at, f, v, QString::number(v), table);
    case 'O':
        return encodeDouble(at, v);
    case 'N':
    case 'F':
        return putNumeric(at, f, numericText(f, v), table);
    default:
        wrongKind(f, table, QStringLiteral("números enteros"));
    }
}

void writeFloat(char* row, const DbfField& f, double v, const QString& table) {
    char* at = row + f.offset;
    switch (f.type) {
    case 'C':
        return putText(at, f, QString::number(v, 'g', QLocale::FloatingPointShortest));
    case 'I': {
        const QString shown = QString::number(v, 'g', QLocale::FloatingPointShortest);
        if (v != std::trunc(v) || v < std::numeric_limits<qint32>::min() ||
            v > std::numeric_limits<qint32>::max())
            notWhole(shown, f, table);
        return putInt(at, f, static_cast<qint32>(v), shown, table);
    }
    case 'O':
        return encodeDouble(at, v);
    case 'N':
    case 'F':
        return putNumeric(at, f, numericText(f, v), table);
    default:
        wrongKind(f, table, QStringLiteral("números"));
    }
}

void writeBool(char* row, const DbfField& f, bool v, const QString& table) {
    char* at = row + f.offset;
    if (f.type == 'L' || f.type == 'C') {
        *at = v ? 'T' : 'F';
        if (f.type == 'C')
            std::memset(at + 1, ' ', f.length - 1);
        return;
    }
    wrongKind(f, table, QStringLiteral("valores lógicos"));
}

// ---- keys ----

void appendRowKey(std::string& key, const char* row, const DbfField& f) {
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
        encodeDouble(b, v);
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

bool appendValueKey(std::string& key, const QString& value, const DbfField& f,
                    const QString& table) {
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
        const auto v = text::parseWholeNumber(value);
        if (!v)
            notWhole(value, f, table);
        if (!text::fitsIntegerField(*v))
            return false;
        char b[4];
        encodeLong(b, *v);
        key.append(b, 4);
        return true;
    }
    case 'O':
    case 'N':
    case 'F': {
        std::optional<double> v;
        if (f.type == 'N' && f.decimals == 0) {
            const auto w = text::parseWholeNumber(value);
            if (!w)
                notWhole(value, f, table);
            v = *w;
        } else {
            v = parseNumber(value);
            if (!v)
                notNumber(value, f, table);
        }
        char b[8];
        encodeDouble(b, *v);
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
    case 'D': {
        const QByteArray b = cp1252::encode(value.trimmed());
        key.append(b.constData(), b.size());
        key.push_back('\0');
        return true;
    }
    default:
        unreadable(f, table);
    }
}

} // namespace tables::detail

// ---------------------------------------------------------------------------------------
// The table's field access, beside the codec so that each call reaches it directly.

namespace tables {

void Table::setText(const QString& field, const QString& value) {
    VT_REQUIRE_OPEN();
    const int fi = d->field(field);
    detail::writeText(d->editable(fi), d->def(fi), value, d->name);
}

void Table::setInt(const QString& field, qint32 value) {
    VT_REQUIRE_OPEN();
    const int fi = d->field(field);
    detail::writeInt(d->editable(fi), d->def(fi), value, d->name);
}

void Table::setFloat(const QString& field, double value) {
    VT_REQUIRE_OPEN();
    const int fi = d->field(field);
    detail::writeFloat(d->editable(fi), d->def(fi), value, d->name);
}

void Table::setBool(const QString& field, bool value) {
    VT_REQUIRE_OPEN();
    const int fi = d->field(field);
    detail::writeBool(d->editable(fi), d->def(fi), value, d->name);
}

QString Table::text(const QString& field) const {
    VT_REQUIRE_OPEN();
    return detail::readText(d->current(), d->def(d->field(field)), d->name);
}

qint32 Table::integer(const QString& field) const {
    VT_REQUIRE_OPEN();
    return detail::readInteger(d->current(), d->def(d->field(field)), d->name);
}

double Table::real(const QString& field) const {
    VT_REQUIRE_OPEN();
    return detail::readReal(d->current(), d->def(d->field(field)), d->name);
}

bool Table::boolean(const QString& field) const {
    VT_REQUIRE_OPEN();
    return detail::readBoolean(d->current(), d->def(d->field(field)), d->name);
}

bool Table::isNull(const QString& field) const {
    VT_REQUIRE_OPEN();
    return detail::readIsNull(d->current(), d->def(d->field(field)), d->name);
}

} // namespace tables
