#include "scan_ahead.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace zorvel {

namespace {

constexpr std::size_t kLookBytes = std::size_t{64} << 10;  // searched for a place to start

bool blank(char c) { return detail::kClasses[static_cast<unsigned char>(c)] == detail::kBlank; }

// The offset just behind a word "0" followed by the word VERTEX, the first
// after `at`: there the scanner of a well-formed drawing stands at the top of
// its loop. SIZE_MAX when the window holds none.
std::size_t start_after(std::FILE* f, std::size_t at, std::size_t size) {
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

ScanAhead::ScanAhead(const std::string& path, std::FILE* f, int reg, std::size_t min_bytes, std::size_t log_bound)
    : reg_(reg), log_(log_bound) {
#ifndef _WIN32
    struct stat mine {};
    if (f == nullptr || fstat(fileno(f), &mine) != 0 || !S_ISREG(mine.st_mode)) return;
    const auto size = static_cast<std::size_t>(mine.st_size);
    if (size < min_bytes || size < 2) return;
    f_.reset(std::fopen(path.c_str(), "rb"));
    struct stat again {};
    // the name could lead elsewhere by now: only the same file will do
    if (!f_ || fstat(fileno(f_.get()), &again) != 0 || again.st_dev != mine.st_dev || again.st_ino != mine.st_ino)
        return;
    const std::size_t from = start_after(f_.get(), size / 2, size);
    if (from == SIZE_MAX) return;
    try {
        from_ = from;
        thread_ = std::thread([this] { work(); });
    } catch (const std::system_error&) {
        from_ = SIZE_MAX;  // one thread reads it all
    }
#else
    (void)path;
    (void)f;
    (void)min_bytes;
#endif
}

ScanAhead::~ScanAhead() { cancel(); }

void ScanAhead::cancel() {
    cancel_.store(true, std::memory_order_relaxed);
    if (thread_.joinable()) thread_.join();
}

void ScanAhead::work() {
    DrawingReader rd(f_.get());
    if (!rd.seek(from_)) return;
    ScanState st;
    st.reg = reg_;
    Extents scratch;
    bool extents = false;
    bool anchored = false;  // a whole vertex read before any read failed
    PassHooks hooks;
    // the extents would change the grid in the middle of the pass: the main
    // scan sees to that itself
    hooks.before_extents = [&] { extents = true; };
    hooks.at_max_y = [](const Extents&) { return false; };
    hooks.record = &log_;
    hooks.at_vertex = [&](ScanState& s) {
        if (cancel_.load(std::memory_order_relaxed)) return false;
        if (rd.failed_reads() == 0) anchored = true;
        ++vertices_;
        range_.take(s.dval3);
        count_.take(s.dval3);
        return true;
    };
    const PassEnd end = scan_on(rd, st, scratch, hooks, nullptr, SIZE_MAX);
    // A failed read keeps the value before it: from the first vertex on,
    // those are the second half's own, before it they are not known here.
    usable_ = end == PassEnd::end_of_file && !extents && (rd.failed_reads() == 0 || anchored);
    st_ = st;
}

bool ScanAhead::join(ScanState& st, ElevationRange& range, std::FILE* out, VertexLog* record, ElevationCount* count) {
    if (thread_.joinable()) thread_.join();
    if (!usable_) return false;
    for (int k = 1; k <= st_.segm; ++k) segment_line(out, st.segm + k);
    st.segm += st_.segm;
    st.texte = st_.texte;
    if (vertices_ > 0) {
        st.val = st_.val;
        st.dval1 = st_.dval1;
        st.dval2 = st_.dval2;
        st.dval3 = st_.dval3;
    }
    if (st_.segm > 0) st.flag = st_.flag;
    if (range.min_dyn > range_.min_dyn) range.min_dyn = range_.min_dyn;
    if (range.max_dyn < range_.max_dyn) range.max_dyn = range_.max_dyn;
    if (record != nullptr) record->append(std::move(log_));
    if (count != nullptr) count->add(count_);
    return true;
}

PassEnd scan_pass_one(DrawingReader& rd, ScanState& st, Extents& ext, ElevationRange& range,
                      const std::function<bool(const Extents&)>& at_max_y, std::FILE* out, const std::string& path,
                      std::FILE* f, std::size_t min_bytes, VertexLog* record, ElevationCount* count,
                      bool* joined) {
    PassHooks one;
    one.record = record;
    one.at_max_y = at_max_y;
    one.at_vertex = [&](ScanState& s) {
        range.take(s.dval3);
        if (count != nullptr) count->take(s.dval3);
        return true;
    };
    if (joined != nullptr) *joined = false;
    ScanAhead ahead(path, f, st.reg, min_bytes, record != nullptr ? record->bound() : 0);
    st.segm = 0;
    PassEnd end = scan_on(rd, st, ext, one, out, ahead.from());
    if (end != PassEnd::paused) return end;
    if (rd.consumed() == ahead.from() && ahead.join(st, range, out, record, count)) {
        if (joined != nullptr) *joined = true;
        return PassEnd::end_of_file;
    }
    ahead.cancel();
    return scan_on(rd, st, ext, one, out, SIZE_MAX);
}

}  // namespace zorvel
