#include "reading/drawing_reader.h"

#if defined(__linux__)
#define ZORVEL_MAPPED_READING 1
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "base/interrupts.h"
#include "base/messages.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <type_traits>

#include "base/files.h"

namespace zorvel {

namespace {

// The buffer for a file of this many bytes: no larger than the file needs
// (a small drawing costs no megabyte), never under 2.
std::size_t buffer_for(std::FILE* f, std::size_t chunk) {
    std::size_t cap = chunk < 2 ? 2 : chunk;
    const auto size = regular_file_size(f);
    if (size && *size < cap - 1) cap = std::max<std::size_t>(2, *size + 1);
    return cap;
}

}  // namespace

DrawingReader::DrawingReader(std::FILE* f, std::size_t chunk) : f_(f), cap_(buffer_for(f, chunk)) {
    if (chunk >= kReadChunk && map_whole()) return;
    buf_.assign(cap_ + 1 + kPad, '\0');
    data_ = buf_.data();
}

DrawingReader::~DrawingReader() { unmap(); }

void DrawingReader::unmap() {
#ifdef ZORVEL_MAPPED_READING
    if (map_ == nullptr) return;
    forget_bus_error(map_);
    munmap(map_, map_bytes_);
    map_ = nullptr;
#endif
}

namespace {

constexpr std::size_t kLetGoEvery = std::size_t{8} << 20;  // bytes read between two let-goes
constexpr std::size_t kKeptBehind = std::size_t{1} << 20;  // bytes behind the reading kept

}  // namespace

bool DrawingReader::map_whole() {
#ifdef ZORVEL_MAPPED_READING
    // under a bound on the address space the mapping would count against it
    rlimit as{};
    if (f_ == nullptr || getrlimit(RLIMIT_AS, &as) != 0 || as.rlim_cur != RLIM_INFINITY) return false;
    struct stat st {};
    const int fd = fileno(f_);
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) return false;
    const off_t at = ftello(f_);
    if (at < 0 || at > st.st_size) return false;
    const auto size = static_cast<std::size_t>(st.st_size);
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    // the file, then at least a page of zeros: the NUL after the data and
    // the padding (the rest of the file's last page reads as zeros too)
    const std::size_t bytes = (size + page - 1) / page * page + page;
    void* base = mmap(nullptr, bytes, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (base == MAP_FAILED) return false;
    // the drawing's name, for the stop line should it be cut short meanwhile
    char name[4096];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = readlink(link.c_str(), name, sizeof name - 1);
    const std::string path = n > 0 ? std::string(name, static_cast<std::size_t>(n)) : link;
    const std::string line = std::string("zorvel_raster: ") + T_("no se puede leer ") + path + ": " +
                             T_("el archivo se ha acortado mientras se leia") + "\n";
    if (mmap(base, size, PROT_READ, MAP_PRIVATE | MAP_FIXED, fd, 0) == MAP_FAILED ||
        !stop_on_bus_error(base, bytes, line)) {
        munmap(base, bytes);
        return false;
    }
    (void)madvise(base, size, MADV_SEQUENTIAL);
    map_ = base;
    map_bytes_ = bytes;
    data_ = static_cast<const char*>(base);
    cap_ = size + 1;
    base_ = 0;
    pos_ = static_cast<std::size_t>(at);
    end_ = size;
    source_done_ = true;
    released_ = 0;
    release_at_ = pos_ + kLetGoEvery;
    return true;
#else
    return false;
#endif
}

void DrawingReader::let_go_behind() {
    release_at_ = pos_ + kLetGoEvery;
#ifdef ZORVEL_MAPPED_READING
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t to = pos_ > kKeptBehind ? (pos_ - kKeptBehind) / page * page : 0;
    if (to <= released_) return;
    // the pages read again later (the header, by pass two) come back from the system's cache
    (void)madvise(static_cast<char*>(map_) + released_, to - released_, MADV_DONTNEED);
    released_ = to;
#endif
}

void DrawingReader::rewind() {
    std::rewind(f_);  // also clears the stream's own indicators
#ifdef ZORVEL_MAPPED_READING
    if (map_ != nullptr) {
        eof_flag_ = false;
        error_text_.clear();
        // a drawing whose size changed since is mapped again, or read
        struct stat st {};
        if (fstat(fileno(f_), &st) == 0 && st.st_size == static_cast<off_t>(end_)) {
            pos_ = 0;
            released_ = 0;
            release_at_ = kLetGoEvery;
            return;
        }
        unmap();
        if (map_whole()) return;
        cap_ = buffer_for(f_, kReadChunk);
        buf_.assign(cap_ + 1 + kPad, '\0');
        data_ = buf_.data();
        release_at_ = SIZE_MAX;
    }
#endif
    base_ = pos_ = end_ = 0;
    buf_[0] = '\0';
    source_done_ = false;
    eof_flag_ = false;
    error_text_.clear();
}

bool DrawingReader::seek(std::size_t offset) {
    if (offset > static_cast<std::size_t>(INT64_MAX)) return false;
#ifdef _WIN32
    if (_fseeki64(f_, static_cast<__int64>(offset), SEEK_SET) != 0) return false;
#else
    if (fseeko(f_, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
#endif
    if (map_ != nullptr) {
        pos_ = std::min(offset, end_);
        base_ = offset - pos_;
        eof_flag_ = false;
        error_text_.clear();
        release_at_ = pos_ + kLetGoEvery;
        return true;
    }
    base_ = offset;
    pos_ = end_ = 0;
    buf_[0] = '\0';
    source_done_ = false;
    eof_flag_ = false;
    error_text_.clear();
    return true;
}

// Reads more of the file behind what is buffered; false when nothing came.
bool DrawingReader::fill() {
    if (source_done_) return false;
    if (pos_ > 0) {
        base_ += pos_;
        std::memmove(buf_.data(), buf_.data() + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
    }
    if (end_ == cap_) return false;
    errno = 0;
    const std::size_t got = std::fread(buf_.data() + end_, 1, cap_ - end_, f_);
    end_ += got;
    buf_[end_] = '\0';
    if (got == 0) {
        source_done_ = true;
        if (std::ferror(f_)) {
            error_text_ = errno != 0 ? std::strerror(errno) : T_("error de lectura");
            return false;
        }
    }
    return got > 0;
}

// White space before a conversion; running into the end sets the indicator.
bool DrawingReader::skip_space() {
    for (;;) {
        while (pos_ < end_ && is_blank(static_cast<unsigned char>(data_[pos_]))) ++pos_;
        if (pos_ < end_) return true;
        if (!fill()) {
            if (!error()) eof_flag_ = true;
            return false;
        }
    }
}

// The word at pos_, whole in the buffer: len characters, followed by white
// space or by the end of the file. too_long when it does not fit the buffer.
DrawingReader::Span DrawingReader::word_span(std::size_t& len, bool& ends_at_eof) {
    if (!skip_space()) return Span::none;
    std::size_t j = pos_;
    for (;;) {
        while (j < end_ && !is_blank(static_cast<unsigned char>(data_[j]))) ++j;
        // a mapped drawing holds every word whole: one no buffer could hold is as long
        if (map_ != nullptr && j - pos_ >= kWordMax) {
            len = kWordMax;
            return Span::too_long;
        }
        if (j < end_) {
            len = j - pos_;
            ends_at_eof = false;
            return Span::word;
        }
        const std::size_t scanned = j - pos_;
        if (pos_ == 0 && end_ == cap_) {
            // the word fills the buffer: make room for it, up to a bound
            if (cap_ >= kWordMax) {
                len = scanned;
                return Span::too_long;
            }
            cap_ = std::min(cap_ * 2, kWordMax);
            buf_.resize(cap_ + 1 + kPad);
            data_ = buf_.data();
        }
        if (!fill()) {
            if (error()) return Span::none;
            len = end_ - pos_;
            ends_at_eof = true;
            return Span::word;
        }
        j = pos_ + scanned;
    }
}

// The long ways: words at the end of the buffered data, and every shape the
// fast paths of the header leave to them.

bool DrawingReader::read_word_slow(Token& t) {
    std::size_t len = 0;
    bool ends_at_eof = false;
    const Span span = word_span(len, ends_at_eof);
    if (span == Span::none) return false;
    const std::size_t kept = len < static_cast<std::size_t>(kTokenMax) ? len : kTokenMax;
    std::memcpy(t.text, data_ + pos_, kept);
    t.text[kept] = '\0';
    if (span == Span::word) {
        pos_ += len;
        if (ends_at_eof) eof_flag_ = true;
        return true;
    }
    // a word longer than the buffer: the rest of it is consumed, never a token
    pos_ += len;
    for (;;) {
        if (pos_ == end_ && !fill()) {
            if (!error()) eof_flag_ = true;
            return true;
        }
        while (pos_ < end_ && !is_blank(static_cast<unsigned char>(data_[pos_]))) ++pos_;
        if (pos_ < end_) return true;
    }
}

// Any other shape is converted as the C library's formatted input converts
// it, quirks included: the characters it takes, those it gives back, and the
// conversion of what it took (strtol or strtod). The word and the blank
// after it are handed over as a stream that ends there.
template <typename T, typename Scan>
bool DrawingReader::convert_slow(Scan scan, T& v, std::size_t len, bool ends_at_eof, bool complete) {
    const bool blank_follows = complete && !ends_at_eof;
    const CScan got = scan(data_ + pos_, len + (blank_follows ? 1 : 0), v);
    if (!complete && got.consumed >= len) {
        error_text_ = "palabra demasiado larga donde se espera un numero";
        return false;
    }
    if (ends_at_eof && got.hit_end) eof_flag_ = true;
    pos_ += got.consumed;
    return got.ok;
}

// The long way for a number: a word whole in the buffer in the common shape
// is taken at once, any other goes to the C library's way of scanning.
template <typename T>
bool DrawingReader::read_number_slow(T& v) {
    std::size_t len = 0;
    bool ends_at_eof = false;
    const Span span = word_span(len, ends_at_eof);
    if (span == Span::none) return false;
    const char* w = data_ + pos_;
    T got{};
    bool whole = false;
    if constexpr (std::is_same_v<T, int>) {
        const auto* u = reinterpret_cast<const unsigned char*>(w);
        const unsigned char* p = nullptr;
        whole = detail::plain_int(u, p, got) && p == u + len;
    } else {
        whole = decimal_word(w, len, got);
    }
    if (span == Span::word && whole) {
        v = got;
        pos_ += len;
        if (ends_at_eof) eof_flag_ = true;
        return true;
    }
    if constexpr (std::is_same_v<T, int>)
        return convert_slow(c_scan_int, v, len, ends_at_eof, span == Span::word);
    else
        return convert_slow(c_scan_double, v, len, ends_at_eof, span == Span::word);
}

template bool DrawingReader::read_number_slow(int&);
template bool DrawingReader::read_number_slow(double&);

}  // namespace zorvel
