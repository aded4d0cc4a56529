#pragma once

#include <QtGlobal>

namespace text {

// Tuning of the C library's allocator for the runs, called once at the start of a program.
//
// A run builds and frees trees of a million small nodes and more. glibc keeps small freed
// blocks on quick lists and merges them all in one sweep at the next large allocation;
// for a freed document that sweep costs more than merging each block as it is freed (a
// fifth of the export of a large school, measured). Elsewhere this does nothing.
void tuneAllocator();

// For one run: while alive, the heap grows in one step by room for about `expected` bytes
// and keeps what is freed for reuse, and where the system offers it that room is backed by
// large memory pages. Building a tree of a million small nodes then costs a few hundred
// page faults instead of tens of thousands, which on some machines take longer than the
// parsing itself. Only how memory is obtained changes; elsewhere this does nothing.
class BulkMemory {
public:
    explicit BulkMemory(qint64 expected);
    ~BulkMemory();
    BulkMemory(const BulkMemory&) = delete;
    BulkMemory& operator=(const BulkMemory&) = delete;

private:
    bool active_ = false;
};

} // namespace text
