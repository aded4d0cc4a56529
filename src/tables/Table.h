#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

// dBase tables as Tempolan and the engine it uses read and write them. Every failing
// operation throws RunError with a Spanish message naming the table.
namespace tables {

enum class FieldType { Text, Integer, Float, Boolean };

struct FieldDef {
    QString name;
    FieldType type = FieldType::Text;
    int width = 0; // text fields only (1..100 for tables we create)
};

enum class OpenMode { Shared, Exclusive };

// A field as the file declares it, for showing any table as it is: the dBase type letter
// (C N F L D M I O + ...), the length in bytes and the decimals. A table may hold fields of
// types this store does not handle (memo, timestamp ...): it opens, and only reading such a
// field fails; rows cannot be appended to it or edited.
struct StoredField {
    QString name;
    char type = 'C';
    int length = 0;
    int decimals = 0;
};

// Whether the file at path exists in any letter case of its name.
bool FileExists(const QString& path);

// Deletes the one file at path that FileExists and open find (any letter case of its
// name); a file that cannot be deleted, or that another program holds, is left.
void DeleteTableFile(const QString& path);

// Deletes NAME.DBF, then NAME.MDX, in folder, where present (each as DeleteTableFile
// finds it); a file that cannot be deleted is left.
void DeleteTable(const QString& folder, const QString& name);

// Creates an empty level-7 table NAME.DBF in folder (replacing nothing: the caller
// deletes first), fields in list order, no index.
void CreateTable(const QString& folder, const QString& name, const QList<FieldDef>& fields);

// The rows a Table opened shared on NAME in folder would count (rowCount() without a
// filter), read a block of records at a time instead of whole: for telling how large a
// table is without holding it. Fails as open() fails.
int CountRows(const QString& folder, const QString& name);

class TablePrivate;

class Table {
public:
    Table();
    ~Table();
    Table(Table&&) noexcept;
    Table& operator=(Table&&) noexcept;
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    // name: case-insensitive, ".DBF" optional. Exclusive use fails while another
    // process holds the file; shared use fails while another holds it exclusively.
    void open(const QString& folder, const QString& name, OpenMode mode = OpenMode::Shared);
    void close(); // posts a pending row first
    // From now on rows appended are kept in memory and written to the file together, with
    // the header, when the table is closed, when writeHeld() is called or when another
    // Table of this program opens the same file: a bulk fill then costs a few writes
    // instead of two per row. A failing write is reported there, not by post(); what is
    // on disk is always a whole table, without the rows not yet written.
    void holdWrites();
    // For a table a step only fills: from now on rows appended go to the file as they are
    // made, a block of them at a time, beyond the rows the header counts, and are not kept
    // in memory. The header counts them when the table is closed or writeHeld() is called
    // (or another Table of this program opens the file), so what the header counts on disk
    // is always whole rows. Reading, moving and rowCount() see only the rows before.
    void writeThrough();
    void writeHeld();
    bool isOpen() const;
    QString name() const;
    QList<FieldDef> fields() const;
    QList<StoredField> storedFields() const; // read-only view of the file's descriptors
    int versionByte() const;                 // byte 0 of the file: 0x03 level III-5, 0x04 level 7

    void append(); // posts a pending row first
    void edit();   // on an empty table, appends instead
    void post();
    void cancel();
    bool isEditing() const; // a row appended or edited and not yet posted

    // Setting fails with "Dataset not in edit or insert mode" outside append/edit.
    void setText(const QString& field, const QString& value);
    void setInt(const QString& field, qint32 value);
    void setFloat(const QString& field, double value);
    void setBool(const QString& field, bool value);

    // Reading with no current row (an empty table, or nothing the filter lets through)
    // gives empty values. integer() of any field but a filled integer field parses its
    // text: an optional sign and decimal digits within 32 bits, nothing else.
    QString text(const QString& field) const; // without the trailing blanks
    qint32 integer(const QString& field) const;
    double real(const QString& field) const;
    bool boolean(const QString& field) const;
    bool isNull(const QString& field) const;

    // Moving posts a pending row first. Past the end the last row stays current.
    void first();
    void next();
    bool atEnd() const;

    // fields: names joined by ";"; one value per field. Moves to the first matching
    // row in table order.
    bool locate(const QString& fields, const QStringList& values);

    // Only the rows whose field holds value, compared as locate compares; clearFilter()
    // lets every row through again.
    void setFilter(const QString& field, const QString& value);
    void clearFilter();

    int rowCount() const; // the rows the filter lets through

private:
    std::unique_ptr<TablePrivate> d;
};

} // namespace tables
