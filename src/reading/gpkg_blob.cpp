#include "reading/gpkg_blob.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <utility>

namespace zorvel {

namespace {

constexpr unsigned char kBigEndian = 0;     // a byte order byte of 0: XDR
constexpr unsigned char kLittleEndian = 1;  // 1: NDR
constexpr unsigned char kExtendedFlag = 0x20;  // a type of some extension follows, not well-known binary
// collections in collections: no real data nests further, and GDAL's own
// limit, a little deeper, is GDAL's to apply
constexpr int kDeepest = 16;

enum Base : std::uint32_t { kPoint = 1, kLineString, kPolygon, kMultiPoint, kMultiLineString, kMultiPolygon, kCollection };

// A geometry's type: its base kind and the coordinates each vertex carries.
struct Kind {
    std::uint32_t base = 0;
    bool z = false, m = false;
    std::size_t stride() const { return 8 * (2 + static_cast<std::size_t>(z) + static_cast<std::size_t>(m)); }
};

// A number stored in the byte order given (big: XDR), as this machine holds it.
template <typename T>
T number_at(const unsigned char* p, bool big) {
    unsigned char b[sizeof(T)];
    std::memcpy(b, p, sizeof(T));
    if (big != (std::endian::native == std::endian::big))
        for (std::size_t k = 0; k < sizeof(T) / 2; ++k) std::swap(b[k], b[sizeof(T) - 1 - k]);
    T v;
    std::memcpy(&v, b, sizeof(T));
    return v;
}
std::uint32_t u32_at(const unsigned char* p, bool big) { return number_at<std::uint32_t>(p, big); }
double f64_at(const unsigned char* p, bool big) { return number_at<double>(p, big); }

// The type word: ISO's thousands (1000 Z, 2000 M, 3000 ZM) or the high
// bits some writers set instead; false for what is not a simple feature
// read here (curves, surfaces, a type with its SRID inside).
bool kind_of(std::uint32_t t, Kind& k) {
    if ((t & 0x20000000u) != 0) return false;
    k.z = (t & 0x80000000u) != 0;
    k.m = (t & 0x40000000u) != 0;
    t &= 0x0FFFFFFFu;
    const std::uint32_t dims = t / 1000;
    if (dims > 3) return false;
    k.z = k.z || dims == 1 || dims == 3;
    k.m = k.m || dims == 2 || dims == 3;
    k.base = t % 1000;
    return k.base >= kPoint && k.base <= kCollection;
}

// What the check of a geometry found, as the OGR route would judge it.
struct Found {
    bool vertices = false;   // any vertex: the geometry is not empty
    bool z = false;          // any part with Z: GDAL's geometry is 3D
    bool flat_line = false;  // a line or ring with vertices but without Z
    bool bad_z = false;      // a line's Z that is NaN or infinite
    double z_value = 0.0;    // the first such
};

// One geometry in well-known binary, walked twice: first checked whole,
// then told. Each walk moves `at` past the geometry.
class Walker {
public:
    Walker(const unsigned char* end, ContourSink& sink, const double* elevation)
        : end_(end), sink_(sink), elevation_(elevation) {}

    // Checks the geometry at `at` and its parts; false when it is not read
    // here (GDAL may read it otherwise, or refuse it).
    bool check(const unsigned char*& at, int depth, Kind& kind, Found& f) const {
        bool big = false;
        if (depth > kDeepest || !head(at, big, kind)) return false;
        f.z = f.z || kind.z;
        std::uint32_t count = 0;
        switch (kind.base) {
            case kPoint:
                if (!fits(at, kind.stride())) return false;
                f.vertices = f.vertices || !(std::isnan(f64_at(at, big)) && std::isnan(f64_at(at + 8, big)));
                at += kind.stride();
                return true;
            case kLineString:
                return points(at, big, kind, f);
            case kPolygon:
                if (!number(at, big, count)) return false;
                for (std::uint32_t r = 0; r < count; ++r)
                    if (!points(at, big, kind, f)) return false;
                return true;
            default:
                if (!number(at, big, count)) return false;
                for (std::uint32_t p = 0; p < count; ++p) {
                    Kind part;
                    if (!check(at, depth + 1, part, f)) return false;
                    // a multi-part geometry holds parts of its own kind alone
                    if (kind.base != kCollection && part.base != kind.base - 3) return false;
                }
                return true;
        }
    }

    // Tells the lines of a geometry that check has passed; false when the
    // sink stopped.
    bool tell(const unsigned char*& at, long long& zero_z) {
        bool big = false;
        Kind kind;
        head(at, big, kind);
        std::uint32_t count = 0;
        switch (kind.base) {
            case kPoint:
                at += kind.stride();
                return true;
            case kLineString:
                return line(at, big, kind, zero_z);
            case kPolygon:
                number(at, big, count);
                for (std::uint32_t r = 0; r < count; ++r)
                    if (!line(at, big, kind, zero_z)) return false;
                return true;
            default:
                number(at, big, count);
                for (std::uint32_t p = 0; p < count; ++p)
                    if (!tell(at, zero_z)) return false;
                return true;
        }
    }

private:
    bool fits(const unsigned char* at, std::size_t bytes) const {
        return static_cast<std::size_t>(end_ - at) >= bytes;
    }
    bool number(const unsigned char*& at, bool big, std::uint32_t& n) const {
        if (!fits(at, 4)) return false;
        n = u32_at(at, big);
        at += 4;
        return true;
    }
    bool head(const unsigned char*& at, bool& big, Kind& kind) const {
        if (!fits(at, 5) || (at[0] != kBigEndian && at[0] != kLittleEndian)) return false;
        big = at[0] == kBigEndian;
        const std::uint32_t type = u32_at(at + 1, big);
        at += 5;
        return kind_of(type, kind);
    }
    // A run of points: its count, then every vertex's coordinates.
    bool points(const unsigned char*& at, bool big, const Kind& kind, Found& f) const {
        std::uint32_t n = 0;
        if (!number(at, big, n)) return false;
        const std::size_t stride = kind.stride();
        if (static_cast<std::size_t>(end_ - at) / stride < n) return false;
        if (n > 0) {
            f.vertices = true;
            f.flat_line = f.flat_line || !kind.z;
        }
        if (kind.z && !f.bad_z)
            for (std::uint32_t k = 0; k < n; ++k) {
                const double z = f64_at(at + k * stride + 16, big);
                if (std::isfinite(z)) continue;
                f.bad_z = true;
                f.z_value = z;
                break;
            }
        at += n * stride;
        return true;
    }
    bool line(const unsigned char*& at, bool big, const Kind& kind, long long& zero_z) {
        std::uint32_t n = 0;
        number(at, big, n);
        if (n == 0) return true;  // an empty line or ring is no polyline
        const std::size_t stride = kind.stride();
        sink_.polyline();
        std::uint32_t zeros = 0;
        for (std::uint32_t k = 0; k < n; ++k, at += stride) {
            const double z = elevation_ != nullptr ? *elevation_ : f64_at(at + 16, big);
            zeros += z == 0.0;
            if (!sink_.vertex(f64_at(at, big), f64_at(at + 8, big), z)) return false;
        }
        if (zeros > 0 && zeros < n && elevation_ == nullptr) zero_z += zeros;
        return true;
    }

    const unsigned char* end_;
    ContourSink& sink_;
    const double* elevation_;  // the feature's, for every vertex; nullptr: each its Z
};

}  // namespace

BlobLines tell_blob_lines(const unsigned char* blob, std::size_t size, ContourSink& sink, BlobTally& tally,
                          const double* elevation) {
    // the header: "GP", version 0, flags, the SRS id, then an envelope of 0,
    // 4, 6, 6 or 8 doubles as the flags say; the flag that says the geometry
    // is empty is not taken at its word, GDAL reads what follows all the same
    constexpr std::size_t kHeader = 8;
    constexpr std::size_t kEnvelope[] = {0, 32, 48, 48, 64};
    if (size < kHeader || blob[0] != 'G' || blob[1] != 'P' || blob[2] != 0) return BlobLines::gdal;
    const unsigned char flags = blob[3];
    if ((flags & kExtendedFlag) != 0) return BlobLines::gdal;
    const unsigned envelope = (flags >> 1) & 7u;
    if (envelope >= std::size(kEnvelope) || size < kHeader + kEnvelope[envelope]) return BlobLines::gdal;
    const unsigned char* wkb = blob + kHeader + kEnvelope[envelope];
    Walker walker(blob + size, sink, elevation);
    const unsigned char* at = wkb;
    Kind kind;
    Found found;
    if (!walker.check(at, 0, kind, found)) return BlobLines::gdal;
    if (!found.vertices) return BlobLines::empty;
    // an elevation given stands for every Z, had or not
    if (elevation == nullptr && (!found.z || found.flat_line)) return BlobLines::no_z;
    if (elevation == nullptr && found.bad_z) {
        tally.non_finite = found.z_value;
        return BlobLines::not_finite;
    }
    at = wkb;
    return walker.tell(at, tally.zero_z) ? BlobLines::told : BlobLines::stopped;
}

}  // namespace zorvel
