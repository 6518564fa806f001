// Reading a fuzz input value by value.
#ifndef ZORVEL_FUZZ_INPUT_H
#define ZORVEL_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>
#include <cstring>

// The next value of type T from p, as its bytes lie; T{} when fewer than
// its size are left, which are then left as they are.
template <typename T>
T take(const std::uint8_t*& p, std::size_t& left) {
    T v{};
    if (left >= sizeof(T)) {
        std::memcpy(&v, p, sizeof(T));
        p += sizeof(T);
        left -= sizeof(T);
    }
    return v;
}

#endif
