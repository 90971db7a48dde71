// counting_allocator: counts the heap allocations of one process.
//
// The alloc_tests binary replaces malloc, calloc, realloc, the aligned
// allocators and free with thin wrappers around the C library's own
// allocator (operator new reaches them through malloc). A process that
// called arm() counts every allocation from then on; the counts live in
// memory shared with forked children once share() ran, so a test can read
// what a server child allocated.
#pragma once

#include <cstddef>

namespace alloc_count {

// Moves the counts into memory that children forked afterwards share with
// this process, and sets them to zero. Call before forking.
void share();

// Counts this process's allocations from now on (not those of a parent or
// of children forked earlier).
void arm();

// Allocations counted so far, in every armed process sharing the counts.
long total();

// The size of allocation number `i` (0-based) for the first few; 0 beyond.
std::size_t size_of(int i);

inline constexpr int KEPT_SIZES = 8;

}  // namespace alloc_count
