#pragma once

#include "tables/DbfFormat.h"
#include "tables/NativeFile.h"
#include "tables/RowIndex.h"
#include "tables/Table.h"

#include <QHash>
#include <cstring>
#include <utility>
#include <vector>

namespace tables {

// An open table: its file, its records in memory, the cursor over them and the row being
// appended or edited. Locating and filtering are the index's; field bytes are the codec's.
class TablePrivate {
public:
    enum class State { Browse, Edit, Insert };

    TablePrivate() : index(layout, store) {}
    ~TablePrivate();
    TablePrivate(const TablePrivate&) = delete;
    TablePrivate& operator=(const TablePrivate&) = delete;

    QString name; // as the caller gave it, without ".DBF"
    detail::NativeFile file;
    detail::DbfLayout layout;
    detail::RowStore store;
    detail::RowIndex index;
    QHash<QString, int> byName; // upper-cased field name -> field
    // Field names as callers usually write them (already upper-cased, no blanks): a
    // comparison each instead of an upper-cased copy and a hash per field access.
    std::vector<std::pair<QString, int>> plainNames;
    int foreignField = -1; // the first field of a type this store does not handle; -1: none
    int pos = -1;          // ordinal of the current row; -1: none
    bool eof = true;
    State state = State::Browse;
    std::vector<char> buffer;  // the row being appended or edited
    std::vector<char> scratch; // record + end byte for one write
    char headerStamp[7] = {};  // date and record count, header bytes 1..7
    bool postFailed = false;   // the pending row could not be written
    bool holding = false;      // appended rows wait in memory for writeHeld (holdWrites)
    quint32 written = 0;       // records the file holds with a header that counts them
    bool streaming = false;    // appended rows go to the file, not to the store (writeThrough)
    quint32 onDisk = 0;        // streaming: records in the file, counted by the header or not
    std::vector<char> pending; // streaming: records made and not yet in the file

    bool isOpen() const { return file.isOpen(); }
    int recLen() const { return layout.recordLength; }
    const char* current() const {
        if (state != State::Browse)
            return buffer.data();
        return pos >= 0 ? store.record(pos) : nullptr;
    }

    int field(const QString& fieldName) const {
        for (const auto& [plain, fi] : plainNames) {
            if (plain.size() == fieldName.size() &&
                std::memcmp(plain.constData(), fieldName.constData(),
                            std::size_t(plain.size()) * sizeof(QChar)) == 0)
                return fi;
        }
        return lookUp(fieldName);
    }
    const detail::DbfField& def(int fi) const { return layout.fields[fi]; }

    char* editable(int fi) {
        if (state == State::Browse)
            notEditing();
        const detail::DbfField& f = layout.fields[fi];
        if (f.type == '+')
            autoNumbered(f);
        return buffer.data();
    }

    // Finds the file and opens it as open() does, rows another Table of this program holds
    // back written first; throws as open() throws. Gives the path opened.
    QString openFile(const QString& folder, const QString& tableName, OpenMode mode);
    void load(const QString& folder, const QString& tableName, OpenMode mode);
    void reset();
    void first();
    void post();
    void writeHeld();
    void writePending();
    void blankRow();
    void requireWritable() const;

private:
    int lookUp(const QString& fieldName) const;
    [[noreturn]] void notEditing() const;
    [[noreturn]] void autoNumbered(const detail::DbfField& f) const;
    [[noreturn]] void writeFailed(const QString& why) const;
    void write(qint64 offset, const char* data, qint64 size);
};

// Fails naming the table (when there is one) that is not open.
[[noreturn]] void notOpen(const TablePrivate* d);

#define VT_REQUIRE_OPEN()                                                                          \
    do {                                                                                           \
        if (!d || !d->isOpen())                                                                    \
            notOpen(d.get());                                                                      \
    } while (0)

} // namespace tables
