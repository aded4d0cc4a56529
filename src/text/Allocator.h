#pragma once

// Tuning of the C library's allocator for the runs, called once at the start of a program.
//
// A run builds and frees trees of a million small nodes and more. glibc keeps small freed
// blocks on quick lists and merges them all in one sweep at the next large allocation;
// for a freed document that sweep costs more than merging each block as it is freed (a
// fifth of the export of a large school, measured). Elsewhere this does nothing.
void tuneAllocator();
