#include "run/BulkMemory.h"

namespace run {

// The Windows heap needs no preparing: it already reserves in large steps.
BulkMemory::BulkMemory(qint64) {}
BulkMemory::~BulkMemory() = default;

} // namespace run
