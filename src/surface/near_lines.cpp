// The room of the two nearest levels: their keys, the cells' flags, and the
// other segments of the few cells that more than two meet.
#include "surface/nearest_lines.h"

#include <algorithm>

#include "base/threads.h"

namespace zorvel {

namespace {

// The room for n keys, made for them.
double* room_for(std::vector<double>& room, std::size_t n) {
    room.assign(n, 0.0);
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
        for (std::size_t k = from; k < to; ++k) a_.set(k, kNoLine);
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
    const auto [lo, hi] = std::equal_range(other_cells_.begin(), other_cells_.end(), k);
    const std::uint32_t* at = other_segments_.data();
    return {at + (lo - other_cells_.begin()), at + (hi - other_cells_.begin())};
}

void NearLines::take_others(std::vector<std::pair<std::size_t, std::uint32_t>>&& all) {
    std::sort(all.begin(), all.end());
    other_cells_.resize(all.size());
    other_segments_.resize(all.size());
    for (std::size_t n = 0; n < all.size(); ++n) {
        other_cells_[n] = all[n].first;
        other_segments_[n] = all[n].second;
    }
}

}  // namespace zorvel
