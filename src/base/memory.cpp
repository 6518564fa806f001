#include "base/memory.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif
#ifndef _WIN32
#include <unistd.h>
#endif

namespace zorvel {

unsigned long long machine_memory() {
#if defined(_SC_PHYS_PAGES) && defined(_SC_PAGESIZE)
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long page = sysconf(_SC_PAGESIZE);
    if (pages > 0 && page > 0) return static_cast<unsigned long long>(pages) * static_cast<unsigned long long>(page);
#endif
    return kFallbackMemory;
}

void* map_zeroed(std::size_t bytes) {
#if defined(__linux__)
    void* base = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (base == MAP_FAILED) return nullptr;
    // a hint: without it the block is the same, only slower to touch. No
    // huge pages: where memory is fragmented (after any large job) the
    // kernel compacts it on the first touch, which took a third of a run
#ifdef MADV_POPULATE_WRITE
    (void)madvise(base, bytes, MADV_POPULATE_WRITE);
#endif
    return base;
#else
    (void)bytes;
    return nullptr;
#endif
}

void unmap(void* base, std::size_t bytes) {
#if defined(__linux__)
    munmap(base, bytes);
#else
    (void)base;
    (void)bytes;
#endif
}

}  // namespace zorvel
