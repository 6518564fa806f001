// The program's large blocks come in huge pages. The reading and the fill
// grow vectors of tens of megabytes, and the system hands fresh memory out a
// page at a time on first touch: on the Jacksboro contours every 10 m, a
// fault every 4 KiB took a quarter of the whole job. A block of a megabyte
// or more is had whole huge pages long, aligned on them, and advised so
// (where the system has room for them: see advise_huge). Everything else,
// and every block's release, is the C library's as before.
//
// Left out of the sanitizers' builds: they keep their own allocator, and
// pair what it gives with how it is given back.
#include <cstdint>
#include <cstdlib>
#include <new>

#include "base/memory.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZORVEL_HUGE_BLOCKS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define ZORVEL_HUGE_BLOCKS 0
#endif
#endif
#if !defined(ZORVEL_HUGE_BLOCKS) && defined(__linux__)
#define ZORVEL_HUGE_BLOCKS 1
#endif

#if ZORVEL_HUGE_BLOCKS

namespace {

constexpr std::size_t kHuge = std::size_t{2} << 20;

void* block_of(std::size_t n) {
    if (n < zorvel::kHugeAdviceBytes || n > SIZE_MAX - kHuge) return std::malloc(n == 0 ? 1 : n);
    const std::size_t bytes = (n + kHuge - 1) / kHuge * kHuge;
    void* p = std::aligned_alloc(kHuge, bytes);
    if (p != nullptr) zorvel::advise_huge(p, bytes);
    return p;
}

}  // namespace

void* operator new(std::size_t n) {
    for (;;) {
        if (void* p = block_of(n)) return p;
        const std::new_handler h = std::get_new_handler();
        if (h == nullptr) throw std::bad_alloc();
        h();
    }
}
void* operator new[](std::size_t n) { return ::operator new(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

#endif
