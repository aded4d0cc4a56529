#include "text/Allocator.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
#define VT_GLIBC_HEAP 1
#endif
#if defined(__SANITIZE_ADDRESS__)
#undef VT_GLIBC_HEAP // the sanitizer brings its own allocator
#endif
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#undef VT_GLIBC_HEAP
#endif
#endif

#ifdef VT_GLIBC_HEAP
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace text {

#ifdef VT_GLIBC_HEAP

namespace {

// glibc's settings as documented for a process that never changed them, and the values
// its own adaptive threshold reaches after large blocks were freed.
constexpr int kDefaultTopPad = 128 * 1024;
constexpr int kDefaultTrimThreshold = 128 * 1024;
constexpr int kLargeMmapThreshold = 32 * 1024 * 1024;
constexpr std::uintptr_t kLargePage = std::uintptr_t(2) << 20;

} // namespace

BulkMemory::BulkMemory(qint64 expected) {
    if (expected <= 0)
        return;
    const qint64 room = std::min<qint64>(expected, qint64(1) << 30);
    active_ = true;
    // Blocks up to 32 MB come from the heap and freed ones stay there for the next table
    // or buffer, instead of each being mapped, touched page by page and given back.
    mallopt(M_MMAP_THRESHOLD, kLargeMmapThreshold);
    mallopt(M_TRIM_THRESHOLD, int(room));
    mallopt(M_TOP_PAD, int(room));
    // A block just larger than the heap's free top makes the heap grow, by the pad; freed
    // at once, it leaves all of that room free at the top.
    const std::size_t top = mallinfo2().keepcost;
    if (top < std::size_t(room)) {
        void* volatile block = std::malloc(top + 4096); // volatile: not optimised away
        std::free(block);
    }
    const auto end = reinterpret_cast<std::uintptr_t>(sbrk(0));
    const std::uintptr_t begin = end - mallinfo2().keepcost;
    const std::uintptr_t from = (begin + kLargePage - 1) & ~(kLargePage - 1);
    const std::uintptr_t to = end & ~(kLargePage - 1);
    if (to > from)
        madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
    // Growing further goes back to small steps.
    mallopt(M_TOP_PAD, kDefaultTopPad);
}

BulkMemory::~BulkMemory() {
    if (!active_)
        return;
    mallopt(M_TRIM_THRESHOLD, kDefaultTrimThreshold);
    malloc_trim(0);
}

#else

BulkMemory::BulkMemory(qint64) {}
BulkMemory::~BulkMemory() = default;

#endif

} // namespace text
