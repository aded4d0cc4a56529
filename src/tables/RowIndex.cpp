#include "tables/RowIndex.h"

#include "tables/FieldCodec.h"

#include <algorithm>

namespace tables::detail {

namespace {

std::string indexName(const std::vector<int>& fields) {
    std::string s;
    for (int fi : fields) {
        s += std::to_string(fi);
        s += ';';
    }
    return s;
}

} // namespace

void RowIndex::clear() {
    indexes_.clear();
    clearFilter();
}

std::string RowIndex::rowKey(const char* row, const std::vector<int>& fields) const {
    std::string key;
    for (int fi : fields)
        appendRowKey(key, row, layout_.fields[fi]);
    return key;
}

// Built on first use for a field combination, then kept up to date by appended/changing.
RowIndex::Index& RowIndex::index(const std::vector<int>& fields) {
    auto [it, added] = indexes_.try_emplace(indexName(fields));
    Index& ix = it->second;
    if (added) {
        ix.fields = fields;
        for (int i = 0; i < store_.count(); ++i)
            ix.buckets[rowKey(store_.record(i), fields)].push_back(i);
    }
    return ix;
}

const std::vector<int>* RowIndex::find(const std::vector<int>& fields, const std::string& key) {
    const Index& ix = index(fields);
    const auto it = ix.buckets.find(key);
    return it == ix.buckets.end() ? nullptr : &it->second;
}

void RowIndex::setFilter(int field, std::string key) {
    filtered_ = true;
    filterFields_ = {field};
    filterKey_ = std::move(key);
}

void RowIndex::clearFilter() {
    filtered_ = false;
    filterFields_.clear();
    filterKey_.clear();
}

const std::vector<int>* RowIndex::filterRows() {
    return find(filterFields_, filterKey_);
}

bool RowIndex::visible(int ordinal) const {
    return !filtered_ || rowKey(store_.record(ordinal), filterFields_) == filterKey_;
}

int RowIndex::first() {
    if (!filtered_)
        return store_.count() == 0 ? -1 : 0;
    const auto* list = filterRows();
    return list && !list->empty() ? list->front() : -1;
}

int RowIndex::next(int after) {
    if (!filtered_)
        return after + 1 < store_.count() ? after + 1 : -1;
    const auto* list = filterRows();
    if (!list)
        return -1;
    const auto it = std::upper_bound(list->begin(), list->end(), after);
    return it == list->end() ? -1 : *it;
}

int RowIndex::count() {
    if (!filtered_)
        return store_.count();
    const auto* list = filterRows();
    return list ? int(list->size()) : 0;
}

void RowIndex::appended(int ordinal) {
    for (auto& [ignored, ix] : indexes_)
        ix.buckets[rowKey(store_.record(ordinal), ix.fields)].push_back(ordinal);
}

void RowIndex::changing(int ordinal, const char* before, const char* after) {
    for (auto& [ignored, ix] : indexes_) {
        const std::string was = rowKey(before, ix.fields);
        const std::string now = rowKey(after, ix.fields);
        if (was == now)
            continue;
        auto old = ix.buckets.find(was);
        if (old != ix.buckets.end()) {
            auto& list = old->second;
            const auto at = std::lower_bound(list.begin(), list.end(), ordinal);
            if (at != list.end() && *at == ordinal)
                list.erase(at);
            if (list.empty())
                ix.buckets.erase(old);
        }
        auto& list = ix.buckets[now];
        list.insert(std::lower_bound(list.begin(), list.end(), ordinal), ordinal);
    }
}

} // namespace tables::detail
