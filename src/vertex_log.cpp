#include "vertex_log.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <new>

#include "drawing_reader.h"
#include "grid.h"
#include "dxf_scanner.h"

namespace zorvel {

namespace {

enum : unsigned char { kPolyline = 1, kVertex = 2, kVertexSameZ = 3 };

constexpr int kMaxFrac = 9;              // decimals tried for a value
constexpr double kExactBelow = 2251799813685248.0;  // 2^51: m and its double exact, rounding below

std::uint64_t bits_of(double v) { return std::bit_cast<std::uint64_t>(v); }

std::uint64_t zigzag(std::uint64_t d) {
    const auto s = static_cast<std::int64_t>(d);
    return (static_cast<std::uint64_t>(s) << 1) ^ static_cast<std::uint64_t>(s >> 63);
}
std::uint64_t unzigzag(std::uint64_t z) { return (z >> 1) ^ (~(z & 1) + 1); }

unsigned char* put_varint(unsigned char* p, std::uint64_t v) {
    while (v >= 0x80) {
        *p++ = static_cast<unsigned char>(v | 0x80);
        v >>= 7;
    }
    *p++ = static_cast<unsigned char>(v);
    return p;
}

std::uint64_t get_varint(const unsigned char*& p) {
    std::uint64_t v = 0;
    for (int shift = 0;; shift += 7) {
        const unsigned char b = *p++;
        v |= static_cast<std::uint64_t>(b & 0x7f) << shift;
        if (b < 0x80) return v;
    }
}

// The value m / 10^frac stands for, computed as the reader computes a plain
// decimal: the magnitude divided once, the sign put back.
double value_of(std::uint64_t m, int frac) {
    const auto s = static_cast<std::int64_t>(m);
    const double q = static_cast<double>(s < 0 ? -s : s) / detail::kPow10[frac];
    return s < 0 ? -q : q;
}

// Whether some m gives v exactly with frac decimals.
bool exact(double v, int frac, std::uint64_t& m) {
    const double t = v * detail::kPow10[frac];
    if (!(std::fabs(t) < kExactBelow)) return false;  // NaN too
    // t rounded to a whole number: below 2^51 adding and taking away 1.5 * 2^52 does it
    constexpr double kRound = 6755399441055744.0;
    const auto r = static_cast<std::uint64_t>(static_cast<std::int64_t>((t + kRound) - kRound));
    if (bits_of(value_of(r, frac)) != bits_of(v)) return false;
    m = r;
    return true;
}

}  // namespace

VertexLog::VertexLog(std::size_t bound) : bound_(bound) {}

unsigned char* VertexLog::put_value(unsigned char* p, Field& f, double v) {
    std::uint64_t m = 0;
    if (exact(v, f.frac, m)) {
        p = put_varint(p, zigzag(m - f.m) << 1);
        f.m = m;
        return p;
    }
    for (int frac = 0; frac <= kMaxFrac; ++frac) {
        if (frac == f.frac || !exact(v, frac, m)) continue;
        p = put_varint(p, (static_cast<std::uint64_t>(frac + 1) << 1) | 1);
        p = put_varint(p, zigzag(m));
        f.m = m;
        f.frac = frac;
        return p;
    }
    p = put_varint(p, 1);  // the bits themselves
    const std::uint64_t b = bits_of(v);
    std::memcpy(p, &b, sizeof b);
    return p + sizeof b;
}

void VertexLog::ChunkFree::operator()(unsigned char* p) const {
    if (mapped)
        unmap_grid_memory(p, kChunk);
    else
        delete[] p;
}

unsigned char* VertexLog::room() {
    if (chunks_.empty() || chunks_.back().size - chunks_.back().used < kEventMax) {
        Chunk c;
        c.size = chunks_.empty() ? kFirstChunk : kChunk;
        void* m = c.size == kChunk ? map_grid_memory(kChunk) : nullptr;
        if (m != nullptr)
            c.data = std::unique_ptr<unsigned char[], ChunkFree>(static_cast<unsigned char*>(m), ChunkFree{true});
        else
            c.data = std::unique_ptr<unsigned char[], ChunkFree>(new (std::nothrow) unsigned char[c.size], ChunkFree{false});
        if (!c.data) {
            drop();
            return nullptr;
        }
        c.fresh = fresh_next_;
        fresh_next_ = false;
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

void VertexLog::vertex(std::size_t top, const ScanState& st, std::size_t failed_before, std::size_t failed_after) {
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
    unsigned char* p = room();
    if (p == nullptr) return;
    const bool same_z = have_z_ && bits_of(st.dval3) == last_z_bits_;
    *p++ = same_z ? kVertexSameZ : kVertex;
    p = put_value(p, fields_[0], st.dval1);
    p = put_value(p, fields_[1], st.dval2);
    if (!same_z) p = put_value(p, fields_[2], st.dval3);
    last_z_bits_ = bits_of(st.dval3);
    have_z_ = true;
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
    last_z_bits_ = rest.last_z_bits_;
    have_z_ = rest.have_z_;
    if (bytes_ > bound_) drop();
}

PassEnd VertexLog::replay(ScanState& st, const PassHooks& hooks, std::FILE* out) const {
    Field f[3];
    double z = 0.0;
    const auto get = [](const unsigned char*& p, Field& field) {
        const std::uint64_t h = get_varint(p);
        if ((h & 1) == 0) {
            field.m += unzigzag(h >> 1);
            return value_of(field.m, field.frac);
        }
        if (h == 1) {
            std::uint64_t b = 0;
            std::memcpy(&b, p, sizeof b);
            p += sizeof b;
            return std::bit_cast<double>(b);
        }
        field.frac = static_cast<int>((h >> 1) - 1);
        field.m = unzigzag(get_varint(p));
        return value_of(field.m, field.frac);
    };
    for (const Chunk& c : chunks_) {
        if (c.fresh) {
            f[0] = f[1] = f[2] = Field{};
            z = 0.0;
        }
        const unsigned char* p = c.data.get();
        const unsigned char* end = p + c.used;
        while (p < end) {
            const unsigned char tag = *p++;
            if (tag == kPolyline) {
                ++st.segm;
                if (out != nullptr) segment_line(out, st.segm);
                st.flag = 0;
                continue;
            }
            st.dval1 = get(p, f[0]);
            st.dval2 = get(p, f[1]);
            if (tag == kVertex) z = get(p, f[2]);
            st.dval3 = z;
            if (hooks.at_vertex && !hooks.at_vertex(st)) return PassEnd::stopped;
        }
    }
    return PassEnd::end_of_file;
}

}  // namespace zorvel
