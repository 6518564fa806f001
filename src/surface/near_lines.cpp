// The room of the two nearest levels: their keys, the cells' flags, and the
// other segments of the few cells that more than two meet.
#include "surface/nearest_lines.h"

#include <algorithm>
#include <bit>

#include "base/threads.h"

namespace zorvel {

namespace {

// The room for n keys, each kNoLine. A large room new from the heap has its
// pages populated first, on two threads: touched a page at a time by the
// one thread that fills it, it took longer than the fill's first sweep.
double* room_for(std::vector<double>& room, std::size_t n) {
    if (room.capacity() < n && n * sizeof(double) >= kMappedBytes) {
        std::vector<double>().swap(room);
        room.reserve(n);
        room.push_back(0.0);
        populate(room.data(), n * sizeof(double));
    }
    room.assign(n, std::bit_cast<double>(kNoLine));
    return room.data();
}

}  // namespace

NearLines::NearLines(int nb_lig, int nb_col, bool split, std::vector<double>& room)
    : lig_(nb_lig),
      col_(nb_col),
      width_(static_cast<std::ptrdiff_t>(nb_col) + 2),
      a_(room_for(room, cells(nb_lig, nb_col))),
      b_(cells(nb_lig, nb_col)),
      flags_(b_.size()) {
    const auto none = [this](std::size_t from, std::size_t to) {
        std::fill(b_.data() + from, b_.data() + to, kNoLine);
    };
    if (!split) {
        none(0, b_.size());
        return;
    }
    const std::size_t half = b_.size() / 2;
    Helper other([&] { none(half, b_.size()); });
    if (!other.started()) none(half, b_.size());
    none(0, half);
    other.join();
}

std::pair<const std::uint32_t*, const std::uint32_t*> NearLines::others(std::size_t k) const {
    // among those of its row
    const std::size_t row = k / static_cast<std::size_t>(width_);
    const auto first = other_cells_.begin() + other_rows_[row], last = other_cells_.begin() + other_rows_[row + 1];
    const auto [lo, hi] = std::equal_range(first, last, k);
    const std::uint32_t* at = other_segments_.data();
    return {at + (lo - other_cells_.begin()), at + (hi - other_cells_.begin())};
}

void NearLines::take_others(SegmentsMet (&met)[3], bool split) {
    SegmentsMet others[3];
    unsigned char* flags = flags_.data();
    const LineKey* b = b_.data();
    const auto sift = [&](int part) {
        for (const auto& [k, s] : met[part]) {
            flags[k] = static_cast<unsigned char>(flags[k] & ~kCrowded);
            if (b[k] != kNoLine && s != segment_of(a_[k]) && s != segment_of(b[k])) others[part].emplace_back(k, s);
        }
        met[part] = {};
    };
    // the run-ons' cells lie in either half: theirs after the halves'
    if (split) {
        Helper other([&] { sift(1); });
        if (!other.started()) sift(1);
        sift(0);
        other.join();
    } else {
        sift(0);
        sift(1);
    }
    sift(2);
    SegmentsMet& all = others[0];
    for (int part = 1; part < 3; ++part) all.insert(all.end(), others[part].begin(), others[part].end());
    std::sort(all.begin(), all.end());
    other_cells_.resize(all.size());
    other_segments_.resize(all.size());
    for (std::size_t n = 0; n < all.size(); ++n) {
        other_cells_[n] = all[n].first;
        other_segments_[n] = all[n].second;
        flags[all[n].first] |= kCrowded;
    }
    // where each row's begin, border rows included, and where the last ends
    other_rows_.assign(static_cast<std::size_t>(lig_) + 3, 0);
    for (std::size_t row = 0, n = 0; row < other_rows_.size(); ++row) {
        while (n < all.size() && all[n].first < row * static_cast<std::size_t>(width_)) ++n;
        other_rows_[row] = n;
    }
}

}  // namespace zorvel
