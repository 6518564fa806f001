// The shapes the reader learns from the drawing: of its vertex records,
// and of the words between them, from the first two that are alike.
#include "reading/drawing_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace zorvel {

// Whether the two records, this one (bytes, its words' starts and ends)
// and the one before, make a shape: a word stays where both have it alike,
// blanks before it included; the codes and the blanks must stay. next
// takes the shape where they do.
bool DrawingReader::shape_of_two(RecordShape& next, const std::vector<unsigned char>& bytes,
                                 const std::vector<std::uint16_t>& words, const RecordShape& r, std::size_t skipped) {
    std::size_t at = 0, start = 0;
    int count = 0;
    // whether bytes [a, a_end) of this record are those [b, b_end) of the one before
    const auto same = [&](std::size_t a, std::size_t a_end, std::size_t b, std::size_t b_end) {
        return std::equal(bytes.begin() + static_cast<std::ptrdiff_t>(a), bytes.begin() + static_cast<std::ptrdiff_t>(a_end),
                          r.before.begin() + static_cast<std::ptrdiff_t>(b), r.before.begin() + static_cast<std::ptrdiff_t>(b_end));
    };
    const auto put = [&](const unsigned char* p, std::size_t len) {
        std::memcpy(next.fixed + at, p, len);
        at += len;
    };
    const auto hole_at = [&](std::size_t length, RecordShape::Hole hole) {
        next.pieces[count++] = RecordShape::Piece{static_cast<std::uint16_t>(start), static_cast<std::uint16_t>(length), hole};
        start = at;
    };
    std::size_t before_end = 0, end = 0;  // where the last word of each ended
    for (std::size_t k = 0; k < words.size() / 2; ++k) {
        const std::size_t w = words[2 * k], b_w = r.before_words[2 * k];
        // the blanks before the word
        if (!same(end, w, before_end, b_w)) return false;
        put(bytes.data() + end, w - end);
        const bool alike = same(w, words[2 * k + 1], b_w, r.before_words[2 * k + 1]);
        const std::size_t value = k < skipped ? 0 : k - skipped;  // 0, 2, 4, 6: codes; 1, 3, 5: values
        RecordShape::Hole hole = RecordShape::end;
        if (k < skipped && !alike) hole = k + 1 == skipped ? RecordShape::last_word : RecordShape::word;
        if (k >= skipped && value % 2 == 1) hole = static_cast<RecordShape::Hole>(RecordShape::x + value / 2);
        if (k >= skipped && value % 2 == 0 && !alike) return false;
        if (hole == RecordShape::end) {
            put(bytes.data() + w, words[2 * k + 1] - w);
            if (k + 1 == skipped) {
                next.last_fixed = true;
                take_word(next.last, bytes.data() + w, words[2 * k + 1] - w);
            }
        } else {
            hole_at(at - start, hole);
        }
        end = words[2 * k + 1];
        before_end = r.before_words[2 * k + 1];
    }
    // the blank after the record, looked at
    put(bytes.data() + end, 1);
    hole_at(at - start, RecordShape::end);
    next.count = count;
    return true;
}

void DrawingReader::learn_record(const unsigned char* from, const unsigned char* to, int skip,
                                 const int (&codes)[4]) {
    RecordShape& r = shape_;
    if (!r.learning) {
        // too many records did not fit: this one and the next make a new shape
        r.learning = true;
        r.before.clear();
    }
    // the record's words, and the blank after the last one
    const auto n = static_cast<std::size_t>(to - from);
    std::vector<std::uint16_t> words;
    if (n + 1 > RecordShape::kBytes) return;
    for (const unsigned char* p = detail::skip_blanks(from); p < to; p = detail::skip_blanks(p)) {
        words.push_back(static_cast<std::uint16_t>(p - from));
        while (detail::kClasses[*p] == 0) ++p;
        words.push_back(static_cast<std::uint16_t>(p - from));
    }
    const std::size_t skipped = skip > 0 ? static_cast<std::size_t>(skip) : 0;
    std::vector<unsigned char> bytes(from, to + 1);
    if (r.before.empty() || r.before_words.size() != words.size() || words.size() != 2 * (skipped + 7)) {
        r.before = std::move(bytes);
        r.before_words = std::move(words);
        return;
    }
    RecordShape next;
    next.learning = false;
    next.skip = skip;
    std::memcpy(next.codes, codes, sizeof codes);
    if (!words.empty() && shape_of_two(next, bytes, words, r, skipped)) {
        shape_ = next;
        return;
    }
    r.before = std::move(bytes);
    r.before_words = std::move(words);
}

void DrawingReader::learn_gap(std::size_t from, std::size_t top) {
    // the bytes must still be buffered, the keyword's blank after it too
    if (from < base_ || top < from || pos_ >= end_ || !is_blank(static_cast<unsigned char>(data_[pos_]))) return;
    const std::size_t len = consumed() + 1 - from;
    // a NUL could stand for the sentinel
    if (len > GapShape::kBytes || std::memchr(data_ + (from - base_), '\0', len) != nullptr) return;
    std::memcpy(gap_.bytes, data_ + (from - base_), len);
    gap_.len = len;
    gap_.top = top - from;
    gap_.misses = 0;
    take_word(gap_.keyword, reinterpret_cast<const unsigned char*>(data_) + pos_ - 6, 6);
}

}  // namespace zorvel
