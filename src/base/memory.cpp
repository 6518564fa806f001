#include "base/memory.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <system_error>
#include <thread>

#if defined(__linux__)
#include <sys/mman.h>
#include <sys/resource.h>
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

namespace {

// The first number in the file at path, or 0 where it has none ("max").
unsigned long long number_in(const std::string& path) {
    std::ifstream f(path);
    unsigned long long v = 0;
    return (f >> v) ? v : 0;
}

// What a cgroup's memory limit leaves, where the process is in one that has
// a limit: v2 (memory.max, memory.current) or v1 (limit_in_bytes, usage_in_bytes).
unsigned long long cgroup_room() {
    std::ifstream groups("/proc/self/cgroup");
    unsigned long long room = ULLONG_MAX;
    for (std::string line; std::getline(groups, line);) {
        const std::size_t first = line.find(':'), second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos) continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        const std::string path = line.substr(second + 1);
        std::string limit, usage;
        if (controllers.empty()) {
            limit = "/sys/fs/cgroup" + path + "/memory.max";
            usage = "/sys/fs/cgroup" + path + "/memory.current";
        } else if (controllers == "memory") {
            limit = "/sys/fs/cgroup/memory" + path + "/memory.limit_in_bytes";
            usage = "/sys/fs/cgroup/memory" + path + "/memory.usage_in_bytes";
        } else {
            continue;
        }
        const unsigned long long max = number_in(limit);
        if (max == 0) continue;  // no such file, or no limit
        const unsigned long long used = number_in(usage);
        room = std::min(room, max > used ? max - used : 0);
    }
    return room;
}

}  // namespace

unsigned long long usable_memory() {
    unsigned long long room = machine_memory();
#if defined(__linux__)
    // the memory the system can give without swapping
    std::ifstream info("/proc/meminfo");
    for (std::string key; info >> key;) {
        unsigned long long kib = 0;
        info >> kib;
        if (key == "MemAvailable:") {
            room = std::min(room, kib * 1024);
            break;
        }
        info.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    room = std::min(room, cgroup_room());
    // the address space the process may still take
    rlimit as{};
    if (getrlimit(RLIMIT_AS, &as) == 0 && as.rlim_cur != RLIM_INFINITY) {
        std::ifstream statm("/proc/self/statm");
        unsigned long long pages = 0;
        statm >> pages;
        const unsigned long long taken = pages * static_cast<unsigned long long>(sysconf(_SC_PAGESIZE));
        room = std::min<unsigned long long>(room, as.rlim_cur > taken ? as.rlim_cur - taken : 0);
    }
#endif
    return room;
}

unsigned long long free_in_blocks(const char* buddyinfo, std::size_t page, std::size_t block) {
    unsigned long long total = 0;
    for (const char* p = buddyinfo; *p != '\0';) {
        // "Node 0, zone   Normal    312    107 ...": the counts follow the zone's name
        const char* zone = std::strstr(p, "zone");
        const char* end = std::strchr(p, '\n');
        if (end == nullptr) end = p + std::strlen(p);
        if (zone != nullptr && zone < end) {
            const char* q = zone + 4;
            while (q < end && *q == ' ') ++q;
            while (q < end && *q != ' ') ++q;  // the name
            unsigned long long pages = 1;
            for (;;) {
                char* after = nullptr;
                const unsigned long long count = std::strtoull(q, &after, 10);
                if (after == q || after > end) break;
                if (pages * page >= block) total += count * pages * page;
                pages *= 2;
                q = after;
            }
        }
        p = *end == '\n' ? end + 1 : end;
    }
    return total;
}

namespace {

// Whether `bytes` may come in huge pages: where the kernel holds free blocks
// of a huge page or more for twice as much, it hands them out as they are.
// Where it does not (memory fragmented by an earlier large job), asking for
// huge pages makes the first touch compact memory, which took a third of a
// run; small pages then.
bool huge_page_room(std::size_t bytes) {
#if defined(__linux__)
    const unsigned long long huge = number_in("/sys/kernel/mm/transparent_hugepage/hpage_pmd_size");
    if (huge == 0 || bytes < huge) return false;
    std::ifstream f("/proc/buddyinfo");
    const std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    return free_in_blocks(text.c_str(), static_cast<std::size_t>(sysconf(_SC_PAGESIZE)), huge) / 2 >= bytes;
#else
    (void)bytes;
    return false;
#endif
}

}  // namespace

void populate(void* start, std::size_t bytes) {
#if defined(__linux__)
    const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t from = (reinterpret_cast<std::uintptr_t>(start) + page - 1) / page * page;
    const std::uintptr_t to = (reinterpret_cast<std::uintptr_t>(start) + bytes) / page * page;
    if (to <= from) return;
    char* base = reinterpret_cast<char*>(from);
    bytes = to - from;
#ifdef MADV_HUGEPAGE
    // fewer faults to fill it, and fewer misses of the address cache when
    // the drawer stores cells all over a grid
    if (huge_page_room(bytes)) (void)madvise(base, bytes, MADV_HUGEPAGE);
#endif
    // a hint: without it the block is the same, only slower to touch
#ifdef MADV_POPULATE_WRITE
    // a large block in two halves, one on a thread of its own: the kernel
    // zeroes every page, and the other core is idle meanwhile
    constexpr std::size_t kHalvedFrom = std::size_t{32} << 20;
    const std::size_t first = bytes / 2 / page * page;
    std::thread other;
    if (bytes >= kHalvedFrom && first > 0) {
        try {
            other = std::thread([=] { (void)madvise(base + first, bytes - first, MADV_POPULATE_WRITE); });
        } catch (const std::system_error&) {
        }
    }
    (void)madvise(base, other.joinable() ? first : bytes, MADV_POPULATE_WRITE);
    if (other.joinable()) other.join();
#endif
#else
    (void)start;
    (void)bytes;
#endif
}

void advise_huge(void* start, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t huge = std::uintptr_t{2} << 20;
    const std::uintptr_t from = (reinterpret_cast<std::uintptr_t>(start) + huge - 1) / huge * huge;
    const std::uintptr_t to = (reinterpret_cast<std::uintptr_t>(start) + bytes) / huge * huge;
    if (to > from && huge_page_room(to - from)) (void)madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#else
    (void)start;
    (void)bytes;
#endif
}

void* map_zeroed(std::size_t bytes) {
#if defined(__linux__)
    void* base = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (base == MAP_FAILED) return nullptr;
    populate(base, bytes);
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
