#include "text/Allocator.h"

#include <cstdlib> // defines __GLIBC__ where that is the C library

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace text {

void tuneAllocator() {
#if defined(__GLIBC__)
    mallopt(M_MXFAST, 0);
#endif
}

} // namespace text
