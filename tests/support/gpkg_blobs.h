// GeoPackage geometry blobs written field by field, as writers write them
// and as they should not: for the direct reading's tests and GDAL's.
#ifndef ZORVEL_GPKG_BLOBS_H
#define ZORVEL_GPKG_BLOBS_H

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace zorvel::test {

// A geometry blob written field by field, in either byte order.
class Blob {
public:
    // GeoPackage's header: flags say the byte order (bit 0), the envelope's kind (bits 1-3), empty (bit 4).
    explicit Blob(unsigned char flags = 0x03, std::size_t envelope_doubles = 4) {
        bytes_ = {'G', 'P', 0, flags};
        big_ = (flags & 1) == 0;
        u32(25830);
        for (std::size_t k = 0; k < envelope_doubles; ++k) f64(0);
    }
    Blob& order(bool big) {
        big_ = big;
        bytes_.push_back(big ? 0 : 1);
        return *this;
    }
    // a geometry's byte order and type
    Blob& geometry(std::uint32_t type, bool big = false) { return order(big).u32(type); }
    Blob& u32(std::uint32_t v) {
        for (int k = 0; k < 4; ++k) put(static_cast<unsigned char>(v >> (8 * k)), k);
        return *this;
    }
    Blob& f64(double d) {
        std::uint64_t v;
        std::memcpy(&v, &d, 8);
        for (int k = 0; k < 8; ++k) put(static_cast<unsigned char>(v >> (8 * k)), k);
        return *this;
    }
    Blob& points(std::vector<std::vector<double>> pts) {
        u32(static_cast<std::uint32_t>(pts.size()));
        for (const auto& p : pts)
            for (const double c : p) f64(c);
        return *this;
    }
    std::vector<unsigned char> bytes() const { return bytes_; }

private:
    // byte k of a number, the lowest first: big-endian, each goes before the ones already put
    void put(unsigned char b, int k) {
        if (k == 0) start_ = bytes_.size();
        if (big_)
            bytes_.insert(bytes_.begin() + static_cast<long>(start_), b);
        else
            bytes_.push_back(b);
    }
    std::vector<unsigned char> bytes_;
    std::size_t start_ = 0;
    bool big_ = false;
};

// The blob as an SQL literal: X'47500003...'.
inline std::string sql_blob(const std::vector<unsigned char>& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string s = "X'";
    for (const unsigned char b : bytes) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s + "'";
}

}  // namespace zorvel::test

#endif
