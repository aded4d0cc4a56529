#pragma once

#include "tables/DbfFormat.h"

#include <QByteArray>
#include <QtGlobal>
#include <string>
#include <unordered_map>
#include <vector>

namespace tables::detail {

// The records of an open table as read, and which of them are live rows.
struct RowStore {
    // The file as read, header first, cut after its last record; appended records follow.
    // Kept whole rather than copied out, and grown in place as rows are appended.
    QByteArray bytes;
    qsizetype start = 0;       // where record 0 begins in bytes
    std::vector<quint32> rows; // record numbers of the live rows, in table order
    int recordLength = 0;

    const char* recordAt(quint32 recNo) const {
        return bytes.constData() + start + qint64(recNo) * recordLength;
    }
    const char* record(int ordinal) const { return recordAt(rows[ordinal]); }
    char* record(int ordinal) {
        return bytes.data() + start + qint64(rows[ordinal]) * recordLength;
    }
    int count() const { return int(rows.size()); }
};

// Locate and filter: for each combination of fields asked for, the rows by their key,
// built on first use and then kept up to date as rows are appended and edited. Rows are
// named by their ordinal in the store.
class RowIndex {
public:
    RowIndex(const DbfLayout& layout, const RowStore& store) : layout_(layout), store_(store) {}

    void clear(); // every index and the filter

    // The rows whose fields hold key, ascending; null when there are none.
    const std::vector<int>* find(const std::vector<int>& fields, const std::string& key);

    void setFilter(int field, std::string key);
    void clearFilter();
    bool visible(int ordinal) const;
    int first();         // the first row the filter lets through; -1: none
    int next(int after); // the next one after the ordinal given; -1: none
    int count();         // how many the filter lets through

    void appended(int ordinal);
    // Before the store's copy of the row changes from `before` to `after`.
    void changing(int ordinal, const char* before, const char* after);

private:
    struct Index {
        std::vector<int> fields;
        std::unordered_map<std::string, std::vector<int>> buckets; // key -> ordinals, ascending
    };

    std::string rowKey(const char* row, const std::vector<int>& fields) const;
    Index& index(const std::vector<int>& fields);
    const std::vector<int>* filterRows();

    const DbfLayout& layout_;
    const RowStore& store_;
    std::unordered_map<std::string, Index> indexes_;
    bool filtered_ = false;
    std::vector<int> filterFields_;
    std::string filterKey_;
};

} // namespace tables::detail
