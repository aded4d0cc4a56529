#pragma once

#include "tables/DbfFormat.h"

#include <QString>
#include <optional>
#include <string>

// The bytes of one field of a record: reading them as values, writing values into them,
// and the keys that locate and filter compare. `table` names the table in messages; a
// row pointer is the start of a record (byte 0 the deletion flag), null for no row.
namespace tables::detail {

// The types this store reads and writes; a table may hold others, which are only skipped.
bool knownType(char type);

std::optional<double> parseNumber(const QString& s);
bool isTrueChar(char c);
bool isFalseChar(char c);

[[noreturn]] void notWhole(const QString& value, const DbfField& f, const QString& table);
[[noreturn]] void notNumber(const QString& value, const DbfField& f, const QString& table);
[[noreturn]] void wrongKind(const DbfField& f, const QString& table, const QString& what);
[[noreturn]] void unreadable(const DbfField& f, const QString& table);

// ---- reading ----

QString readText(const char* row, const DbfField& f, const QString& table);
bool readIsNull(const char* row, const DbfField& f, const QString& table);
qint32 readInteger(const char* row, const DbfField& f, const QString& table);
double readReal(const char* row, const DbfField& f, const QString& table);
bool readBoolean(const char* row, const DbfField& f, const QString& table);

// ---- writing into a record being appended or edited ----

void writeText(char* row, const DbfField& f, const QString& value, const QString& table);
void writeInt(char* row, const DbfField& f, qint32 value, const QString& table);
void writeFloat(char* row, const DbfField& f, double value, const QString& table);
void writeBool(char* row, const DbfField& f, bool value, const QString& table);

// ---- keys ----

// Appends the key part of the field's stored value.
void appendRowKey(std::string& key, const char* row, const DbfField& f);
// Appends the key part a sought value must have; false when no row can hold it.
bool appendValueKey(std::string& key, const QString& value, const DbfField& f,
                    const QString& table);

} // namespace tables::detail
