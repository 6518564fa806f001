#include "base/memory.h"

#include <algorithm>
#include <climits>
#include <fstream>
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

void* map_zeroed(std::size_t bytes) {
#if defined(__linux__)
    void* base = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (base == MAP_FAILED) return nullptr;
    // a hint: without it the block is the same, only slower to touch. No
    // huge pages: where memory is fragmented (after any large job) the
    // kernel compacts it on the first touch, which took a third of a run
#ifdef MADV_POPULATE_WRITE
    // a large block in two halves, one on a thread of its own: the kernel
    // zeroes every page, and the other core is idle meanwhile
    constexpr std::size_t kHalvedFrom = std::size_t{32} << 20;
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t first = bytes / 2 / page * page;
    std::thread other;
    if (bytes >= kHalvedFrom && first > 0) {
        try {
            other = std::thread([=] { (void)madvise(static_cast<char*>(base) + first, bytes - first, MADV_POPULATE_WRITE); });
        } catch (const std::system_error&) {
        }
    }
    (void)madvise(base, other.joinable() ? first : bytes, MADV_POPULATE_WRITE);
    if (other.joinable()) other.join();
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
