#include "text/Allocator.h"

// The Windows heap needs no preparing: it already reserves in large steps.
namespace text {

BulkMemory::BulkMemory(qint64) {}
BulkMemory::~BulkMemory() = default;

} // namespace text
