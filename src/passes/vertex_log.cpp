#include "passes/vertex_log.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>

#include "reading/drawing_reader.h"
#include "base/files.h"
#include "base/memory.h"
#include "base/numeric.h"


namespace zorvel {

namespace {

// An event is one byte, then what its fields need: 0 for a polyline; for a
// vertex kVertexTag with the coding of X, Y and Z in two bits each.
constexpr unsigned char kPolyline = 0;
constexpr unsigned char kVertexTag = 0x40;
enum Coding : unsigned {
    kDecimal = 0,     // the difference of m from the field's last m, same frac
    kNewFrac = 1,     // frac, then m itself
    kBitsDelta = 2,   // the difference of the bits from the field's last value's
    kSame = 3,        // the field's last value again: nothing follows
};

constexpr int kMaxFrac = 9;              // decimals tried for a value
constexpr double kExactBelow = 2251799813685248.0;  // 2^51: m and its double exact, rounding below
// After this many values in a row that were no short decimal, a field looks
// for one only once in this many values: a drawing written at full
// precision would pay the search on every value.
constexpr unsigned kMissesBeforeBits = 16;
constexpr unsigned kRetryEvery = 256;

std::uint64_t zigzag(std::uint64_t d) {
    const auto s = static_cast<std::int64_t>(d);
    return (static_cast<std::uint64_t>(s) << 1) ^ static_cast<std::uint64_t>(s >> 63);
}
std::uint64_t unzigzag(std::uint64_t z) { return (z >> 1) ^ (~(z & 1) + 1); }

// A number as its byte count, then that many bytes, the low one first: a
// fixed-size copy and no loop either way. The log's chunks keep room behind
// their last event (see kEventMax), so a copy may run past the bytes used.
constexpr std::uint64_t kLowBytes[9] = {0,          0xff,           0xffff,           0xffffff,
                                        0xffffffff, 0xffffffffff,   0xffffffffffff,   0xffffffffffffff,
                                        ~std::uint64_t{0}};

unsigned char* put_sized(unsigned char* p, std::uint64_t v) {
    const auto n = static_cast<unsigned>((std::bit_width(v) + 7) / 8);
    *p++ = static_cast<unsigned char>(n);
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &v, sizeof v);
    } else {
        for (unsigned k = 0; k < 8; ++k) p[k] = static_cast<unsigned char>(v >> (8 * k));
    }
    return p + n;
}

std::uint64_t get_sized(const unsigned char*& p) {
    const unsigned n = *p++;
    std::uint64_t v = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&v, p, sizeof v);
        v &= kLowBytes[n];
    } else {
        for (unsigned k = 0; k < n; ++k) v |= std::uint64_t{p[k]} << (8 * k);
    }
    p += n;
    return v;
}

// The value m / 10^frac stands for, computed as the reader computes a plain
// decimal.
double value_of(std::uint64_t m, int frac) {
    const auto s = static_cast<std::int64_t>(m);
    return decimal_value(static_cast<std::uint64_t>(s < 0 ? -s : s), frac, s < 0);
}

// Whether some m gives v exactly with frac decimals.
bool exact(double v, int frac, std::uint64_t& m) {
    const double t = v * exact_pow10(frac);
    if (!(std::fabs(t) < kExactBelow)) return false;  // NaN too
    // t rounded to a whole number: below 2^51 adding and taking away 1.5 * 2^52 does it
    constexpr double kRound = 6755399441055744.0;
    const auto r = static_cast<std::uint64_t>(static_cast<std::int64_t>((t + kRound) - kRound));
    if (bits_of(value_of(r, frac)) != bits_of(v)) return false;
    m = r;
    return true;
}

}  // namespace

std::size_t vertex_log_bound(std::FILE* drawing) {
    std::size_t bound = kLogBoundMin;
    if (const auto size = regular_file_size(drawing)) bound = std::max(bound, *size / 3);
    return static_cast<std::size_t>(std::min<unsigned long long>(bound, machine_memory() / 4));
}

VertexLog::VertexLog(std::size_t bound) : bound_(bound) {}

unsigned char* VertexLog::put_value(unsigned char* p, Field& f, double v, unsigned& coding) {
    const std::uint64_t bits = bits_of(v);
    const std::uint64_t last_bits = f.bits;
    f.bits = bits;
    if (bits == last_bits) {
        coding = kSame;
        return p;
    }
    std::uint64_t m = 0;
    const bool search = f.misses < kMissesBeforeBits || f.misses % kRetryEvery == 0;
    if (search && exact(v, f.frac, m)) {
        coding = kDecimal;
        p = put_sized(p, zigzag(m - f.m));
        f.m = m;
        f.misses = 0;
        return p;
    }
    for (int frac = 0; search && frac <= kMaxFrac; ++frac) {
        if (frac == f.frac || !exact(v, frac, m)) continue;
        coding = kNewFrac;
        *p++ = static_cast<unsigned char>(frac);
        p = put_sized(p, zigzag(m));
        f.m = m;
        f.frac = frac;
        f.misses = 0;
        return p;
    }
    ++f.misses;
    coding = kBitsDelta;
    return put_sized(p, zigzag(bits - last_bits));
}

void VertexLog::ChunkFree::operator()(unsigned char* p) const {
    if (mapped != 0)
        unmap(p, mapped);
    else
        delete[] p;
}

unsigned char* VertexLog::room() {
    if (chunks_.empty() || chunks_.back().size - chunks_.back().used < kEventMax) {
        Chunk c;
        c.size = chunks_.empty() ? kFirstChunk : kChunk;
        void* m = c.size == kChunk ? map_zeroed(kChunk) : nullptr;
        if (m != nullptr)
            c.data = std::unique_ptr<unsigned char[], ChunkFree>(static_cast<unsigned char*>(m), ChunkFree{kChunk});
        else
            c.data = std::unique_ptr<unsigned char[], ChunkFree>(new (std::nothrow) unsigned char[c.size], ChunkFree{0});
        if (!c.data) {
            drop();
            return nullptr;
        }
        chunks_.push_back(std::move(c));
    }
    return chunks_.back().data.get() + chunks_.back().used;
}

void VertexLog::commit(const unsigned char* end) {
    Chunk& c = chunks_.back();
    const auto used = static_cast<std::size_t>(end - c.data.get());
    bytes_ += used - c.used;
    c.used = used;
    if (bytes_ > bound_) drop();
}

void VertexLog::drop() {
    dropped_ = true;
    chunks_.clear();
    chunks_.shrink_to_fit();
    bytes_ = 0;
}

void VertexLog::polyline(std::size_t top) {
    if (dropped_) return;
    if (start_ == SIZE_MAX) start_ = top;
    unsigned char* p = room();
    if (p == nullptr) return;
    *p++ = kPolyline;
    commit(p);
}

void VertexLog::vertex(std::size_t top, double x, double y, double z, std::size_t failed_before,
                       std::size_t failed_after) {
    if (dropped_) return;
    if (start_ == SIZE_MAX) {
        start_ = top;
        failed_at_start_ = failed_before;
    }
    // a failed read kept a value from before: pass two might not have it
    if (failed_after != failed_at_start_) {
        drop();
        return;
    }
    unsigned char* tag = room();
    if (tag == nullptr) return;
    unsigned cx = 0, cy = 0, cz = 0;
    unsigned char* p = put_value(tag + 1, fields_[0], x, cx);
    p = put_value(p, fields_[1], y, cy);
    p = put_value(p, fields_[2], z, cz);
    *tag = static_cast<unsigned char>(kVertexTag | cx | cy << 2 | cz << 4);
    commit(p);
}

void VertexLog::extents() {
    if (start_ != SIZE_MAX) drop();
}

void VertexLog::append(VertexLog&& rest) {
    if (dropped_ || rest.dropped_) {
        drop();
        return;
    }
    if (rest.start_ == SIZE_MAX) return;
    if (start_ == SIZE_MAX) start_ = rest.start_;
    if (!rest.chunks_.empty()) rest.chunks_.front().fresh = true;
    for (Chunk& c : rest.chunks_) chunks_.push_back(std::move(c));
    bytes_ += rest.bytes_;
    rest.chunks_.clear();
    // whatever is recorded from here on continues the appended log
    fields_[0] = rest.fields_[0];
    fields_[1] = rest.fields_[1];
    fields_[2] = rest.fields_[2];
    if (bytes_ > bound_) drop();
}

PassEnd VertexLog::replay(ContourSink& sink, int& segm, Report& report) const {
    Field f[3];
    const auto get = [](const unsigned char*& p, Field& field, unsigned coding) {
        switch (coding) {
            case kDecimal:
                field.m += unzigzag(get_sized(p));
                field.bits = bits_of(value_of(field.m, field.frac));
                break;
            case kNewFrac:
                field.frac = *p++;
                field.m = unzigzag(get_sized(p));
                field.bits = bits_of(value_of(field.m, field.frac));
                break;
            case kBitsDelta:
                field.bits += unzigzag(get_sized(p));
                break;
            default:
                break;
        }
        return std::bit_cast<double>(field.bits);
    };
    for (const Chunk& c : chunks_) {
        if (c.fresh) f[0] = f[1] = f[2] = Field{};
        const unsigned char* p = c.data.get();
        const unsigned char* end = p + c.used;
        while (p < end) {
            const unsigned char tag = *p++;
            if (tag == kPolyline) {
                ++segm;
                report.polyline(segm);
                sink.polyline();
                continue;
            }
            const double x = get(p, f[0], tag & 3u);
            const double y = get(p, f[1], (tag >> 2) & 3u);
            const double z = get(p, f[2], (tag >> 4) & 3u);
            if (!sink.vertex(x, y, z)) return PassEnd::stopped;
        }
    }
    return PassEnd::end_of_file;
}

}  // namespace zorvel
