#pragma once

#include <QtGlobal>

// Memory for a run that builds a large document tree and large tables in a short time.
namespace run {

// While alive, the program's heap grows in one step by room for about `expected` bytes and
// keeps what it frees for reuse, and where the system offers it that room is backed by
// large memory pages: a tree of a million small nodes then costs a few hundred page faults
// instead of tens of thousands, which on some machines take longer than the parsing itself.
// Only how memory is obtained changes; a system without the means leaves it as it is.
class BulkMemory {
public:
    explicit BulkMemory(qint64 expected);
    ~BulkMemory();
    BulkMemory(const BulkMemory&) = delete;
    BulkMemory& operator=(const BulkMemory&) = delete;

private:
    bool active_ = false;
};

} // namespace run
