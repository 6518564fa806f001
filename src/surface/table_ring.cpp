#include "surface/fill_table.h"

#include <algorithm>

namespace zorvel {

std::vector<std::pair<int, int>> ring_cells(const WindowTable& t, int rows, int cols) {
    const GridPart p = table_part(t, rows, cols);
    std::vector<std::pair<int, int>> cells;
    for (int i = p.i0; i < p.i0 + p.nb_lig; ++i)
        for (int j = p.j0; j < p.j0 + p.nb_col; ++j)
            if (i < t.i0 || i >= t.i0 + t.nb_lig || j < t.j0 || j >= t.j0 + t.nb_col) cells.push_back({i, j});
    return cells;
}

std::optional<PartRing> ring_in_part(const WindowTable& t, const Segments& segs) {
    const GridPart& p = segs.part;
    const auto cells = ring_cells(t, p.rows, p.cols);
    if (cells.size() != t.ring.size()) return std::nullopt;
    const auto own = [&](LineKey k, LineKey& out) {
        if (k == kNoLine) return true;
        const auto s = std::lower_bound(segs.numbers.begin(), segs.numbers.end(), segment_of(k));
        if (s == segs.numbers.end() || *s != segment_of(k)) return false;
        out = (k & ~LineKey{0xFFFFFFFFu}) | static_cast<LineKey>(s - segs.numbers.begin());
        return true;
    };
    PartRing ring;
    for (std::size_t n = 0; n < cells.size(); ++n) {
        const auto [i, j] = cells[n];
        RingCell c{i - p.i0, j - p.j0, kNoLine, kNoLine};
        if (c.i < 0 || c.i >= p.nb_lig || c.j < 0 || c.j >= p.nb_col) return std::nullopt;
        if (!own(t.ring[n].first, c.a) || !own(t.ring[n].second, c.b)) return std::nullopt;
        ring.push_back(c);
    }
    return ring;
}

void take_table_segments(Segments& segs, const WindowTable& table) {
    std::vector<RunOnSegment> more = table.run_ons;
    more.insert(more.end(), table.reached.begin(), table.reached.end());
    std::sort(more.begin(), more.end(), [](const RunOnSegment& x, const RunOnSegment& y) { return x.number < y.number; });
    std::vector<double> levels = segs.levels;
    for (const RunOnSegment& g : more) levels.push_back(g.level);
    std::sort(levels.begin(), levels.end());
    levels.erase(std::unique(levels.begin(), levels.end()), levels.end());
    const auto code = [&](double v) {
        return static_cast<std::uint32_t>(std::lower_bound(levels.begin(), levels.end(), v) - levels.begin());
    };
    if (levels.size() != segs.levels.size())
        for (Segment& g : segs.all) g.level = code(segs.levels[g.level]);
    std::vector<Segment> all;
    std::vector<std::uint32_t> numbers;
    all.reserve(segs.all.size() + more.size());
    numbers.reserve(all.capacity());
    std::size_t k = 0;
    for (const RunOnSegment& g : more) {
        for (; k < segs.all.size() && segs.numbers[k] < g.number; ++k) {
            all.push_back(segs.all[k]);
            numbers.push_back(segs.numbers[k]);
        }
        if (k < segs.all.size() && segs.numbers[k] == g.number) continue;  // the part's own already
        all.push_back(Segment{g.i0, g.j0, g.di, g.dj, 0.0, code(g.level), segs.lines});
        numbers.push_back(g.number);
    }
    for (; k < segs.all.size(); ++k) {
        all.push_back(segs.all[k]);
        numbers.push_back(segs.numbers[k]);
    }
    segs.all.swap(all);
    segs.numbers.swap(numbers);
    segs.levels.swap(levels);
}

}  // namespace zorvel
