#pragma once
// Live heap bytes of the process, counted by replacing the global operator
// new and delete (counting_allocator.cpp). Sizes are malloc_usable_size(),
// what the allocator really hands out, rounding included; glibc's own 8-byte
// block header is not visible and is not counted.

#include <cstddef>

namespace lightdeck::bench {

// Bytes now allocated through operator new and not yet deleted.
std::size_t liveHeapBytes();

}  // namespace lightdeck::bench
