// Large blocks of zero-filled memory, for the grids and the vertex log, and
// how much memory the machine has.
#ifndef ZORVEL_MEMORY_H
#define ZORVEL_MEMORY_H

#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

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
// The pages wholly within [start, start + bytes), large or not yet touched
// (a large block just had from the heap), populated up front the same way:
// in huge pages where there is room, on two threads when large. A hint: the
// memory and what it holds are the same without it.
void populate(void* start, std::size_t bytes);
// Blocks of at least this many bytes are worth huge pages.
constexpr std::size_t kHugeAdviceBytes = std::size_t{1} << 20;
// Huge pages asked for the 2 MiB pages wholly within [start, start + bytes),
// where the system has room for them (as populate does): a hint, for a
// block touched or not; the memory and what it holds are the same without it.
void advise_huge(void* start, std::size_t bytes);

// The bytes free in blocks of at least `block` bytes, from the text of
// /proc/buddyinfo (per zone, the count of free blocks of 1, 2, 4 ... pages
// of `page` bytes).
unsigned long long free_in_blocks(const char* buddyinfo, std::size_t page, std::size_t block);
void unmap(void* base, std::size_t bytes);

// n values of T, zero-filled: a mapping of its own when large (map_zeroed),
// else from the heap. Throws std::bad_alloc when it cannot be had.
template <typename T>
class ZeroedArray {
    static_assert(std::is_trivial_v<T>);

public:
    ZeroedArray() = default;
    explicit ZeroedArray(std::size_t n) : size_(n) {
        if (n == 0) return;
        const std::size_t bytes = n * sizeof(T);
        if (bytes >= kMappedBytes && (data_ = static_cast<T*>(map_zeroed(bytes))) != nullptr) {
            mapped_ = true;
            return;
        }
        data_ = new T[n];
        std::memset(static_cast<void*>(data_), 0, bytes);
    }
    ZeroedArray(ZeroedArray&& o) noexcept { swap(o); }
    ZeroedArray& operator=(ZeroedArray&& o) noexcept {
        ZeroedArray(std::move(o)).swap(*this);
        return *this;
    }
    ZeroedArray(const ZeroedArray&) = delete;
    ZeroedArray& operator=(const ZeroedArray&) = delete;
    ~ZeroedArray() {
        if (mapped_)
            unmap(data_, size_ * sizeof(T));
        else
            delete[] data_;
    }
    void swap(ZeroedArray& o) noexcept {
        std::swap(data_, o.data_);
        std::swap(size_, o.size_);
        std::swap(mapped_, o.mapped_);
    }
    T* data() { return data_; }
    const T* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    T* data_ = nullptr;
    std::size_t size_ = 0;
    bool mapped_ = false;
};

}  // namespace zorvel

#endif
