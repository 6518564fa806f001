#include "passes/second_half.h"

#include <new>

#include <algorithm>
#include <cstring>
#include <system_error>
#include <vector>

namespace zorvel {

namespace {

constexpr std::size_t kLookBytes = std::size_t{64} << 10;  // searched for a place to start

bool blank(char c) { return is_blank(static_cast<unsigned char>(c)); }

// The offset just behind a word "0" followed by the word VERTEX, the first
// after `at`: there the scanner of a well-formed drawing stands at the top of
// its loop. SIZE_MAX when the window holds none.
std::size_t first_vertex_after(std::FILE* f, std::size_t at, std::size_t size) {
    if (fseeko(f, static_cast<off_t>(at), SEEK_SET) != 0) return SIZE_MAX;
    std::vector<char> w(std::min(kLookBytes, size - at));
    const std::size_t n = std::fread(w.data(), 1, w.size(), f);
    for (std::size_t k = 3; k + 7 <= n; ++k) {
        if (std::memcmp(&w[k], "VERTEX", 6) != 0 || !blank(w[k + 6]) || !blank(w[k - 1])) continue;
        std::size_t b = k;
        while (b > 0 && blank(w[b - 1])) --b;
        if (b >= 2 && w[b - 1] == '0' && blank(w[b - 2])) return at + b;
    }
    return SIZE_MAX;
}

}  // namespace

SecondHalfScan::SecondHalfScan(const std::string& path, std::FILE* f, int reg, std::size_t min_bytes, std::size_t log_bound)
    : reg_(reg), log_(log_bound) {
#ifndef _WIN32
    const auto size = regular_file_size(f);
    if (!size || *size < min_bytes || *size < 2) return;
    f_.reset(std::fopen(path.c_str(), "rb"));
    // the name could lead elsewhere by now: only the same file will do
    if (!same_file(f, f_.get())) return;
    const std::size_t split = first_vertex_after(f_.get(), *size / 2, *size);
    if (split == SIZE_MAX) return;
    try {
        split_ = split;
        thread_ = std::thread([this] { work(); });
    } catch (const std::system_error&) {
        split_ = SIZE_MAX;  // one thread reads it all
    }
#else
    (void)path;
    (void)f;
    (void)min_bytes;
#endif
}

SecondHalfScan::~SecondHalfScan() { cancel(); }

bool SecondHalfScan::logged() {
    if (thread_.joinable()) thread_.join();
    return usable_ && log_.usable();
}

void SecondHalfScan::cancel() {
    cancel_.store(true, std::memory_order_relaxed);
    if (thread_.joinable()) thread_.join();
}

namespace {

// What the second half tells: its vertices, and whether it met extents,
// which would change the grid in the middle of the pass (the main scan sees
// to those itself).
class SecondHalfSink final : public ContourSink {
public:
    SecondHalfSink(const DrawingReader& rd, const std::atomic<bool>& cancel, VertexTally& tally, long long& vertices)
        : rd_(rd), cancel_(cancel), tally_(tally), vertices_(vertices) {}
    bool max_y_read(const Extents&) override { return false; }
    bool extents_read(const Extents&) override {
        extents = true;
        return true;
    }
    bool vertex(double, double, double z) override {
        if (cancel_.load(std::memory_order_relaxed)) return false;
        if (rd_.failed_reads() == 0) anchored = true;
        ++vertices_;
        tally_.take(z);
        return true;
    }
    bool extents = false;
    bool anchored = false;  // a whole vertex read before any read failed

private:
    const DrawingReader& rd_;
    const std::atomic<bool>& cancel_;
    VertexTally& tally_;
    long long& vertices_;
};

}  // namespace

void SecondHalfScan::work() {
    // without the memory for its half, the main scan reads on by itself
    try {
        scan_half();
    } catch (const std::bad_alloc&) {
        usable_ = false;
    }
}

void SecondHalfScan::scan_half() {
    DrawingReader rd(f_.get());
    if (!rd.seek(split_)) return;
    ScanState st;
    st.reg = reg_;
    Extents scratch;
    SecondHalfSink half(rd, cancel_, tally_, vertices_);
    // its polylines are reported by the main thread, when it joins
    Report untold;
    const PassEnd end = scan_until(rd, st, scratch, half, untold, SIZE_MAX, &log_);
    // A failed read keeps the value before it: from the first vertex on,
    // those are the second half's own, before it they are not known here.
    usable_ = end == PassEnd::end_of_file && !half.extents && (rd.failed_reads() == 0 || half.anchored);
    st_ = st;
}

bool SecondHalfScan::join(ScanState& st, VertexTally& tally, Report& report, VertexLog* log) {
    if (thread_.joinable()) thread_.join();
    if (!usable_) return false;
    for (int k = 1; k <= st_.segm; ++k) report.polyline(st.segm + k);
    st.segm += st_.segm;
    st.texte = st_.texte;
    if (vertices_ > 0) {
        st.val = st_.val;
        st.dval1 = st_.dval1;
        st.dval2 = st_.dval2;
        st.dval3 = st_.dval3;
    }
    // a half without vertices leaves its bounds infinite, and changes nothing
    tally.add(tally_);
    if (st.vertices == 0) st.first_vertex = st_.first_vertex;
    st.vertices += st_.vertices;
    st.misplaced += st_.misplaced;
    if (log != nullptr) log->append(std::move(log_));
    return true;
}

}  // namespace zorvel
