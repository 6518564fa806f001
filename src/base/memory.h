// Large blocks of zero-filled memory, for the grids and the vertex log, and
// how much memory the machine has.
#ifndef ZORVEL_MEMORY_H
#define ZORVEL_MEMORY_H

#include <cstddef>

namespace zorvel {

// The machine's physical memory in bytes; kFallbackMemory where it does not say.
constexpr unsigned long long kFallbackMemory = 1ULL << 40;
unsigned long long machine_memory();
// The memory the process can really have now: the smallest of what the
// system has available, what its cgroup's limit leaves and what its
// address-space limit leaves.
unsigned long long usable_memory();

// Blocks of at least this many bytes are worth a mapping of their own.
constexpr std::size_t kMappedBytes = std::size_t{8} << 20;

// One anonymous mapping of `bytes`, zero-filled and populated up front: the
// system hands fresh memory out a page at a time on first touch, and a large
// block costs less in one call. In huge pages where the system has free
// blocks of that size to spare (see huge_page_room).
// nullptr where the system offers no such thing.
void* map_zeroed(std::size_t bytes);

// The bytes free in blocks of at least `block` bytes, from the text of
// /proc/buddyinfo (per zone, the count of free blocks of 1, 2, 4 ... pages
// of `page` bytes).
unsigned long long free_in_blocks(const char* buddyinfo, std::size_t page, std::size_t block);
void unmap(void* base, std::size_t bytes);

}  // namespace zorvel

#endif
