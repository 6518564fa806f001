#include "surface/segments.h"

#include <algorithm>
#include <bit>
#include <unordered_map>
#include <utility>

#include "base/threads.h"

namespace zorvel {

namespace {

// A vertex within this of the segment its neighbours make (in cells) adds
// nothing the fill can tell from the segment without it.
constexpr double kSimplify = 1.0 / 32;

// A line that ends this close to the grid's edge (in cells) runs on beyond
// it: contours traced from a grid end half a cell inside its edge, and a
// level would otherwise go round their ends along the edge.
constexpr double kToTheEdge = 1.0;

bool finite(const GridPoint& p) { return std::isfinite(p.i) && std::isfinite(p.j); }

// A segment's part farther than this from the grid (in cells) is left out:
// a distance that far is the farthest a key holds all the same, and the
// segment's length and its square stay within the doubles.
constexpr double kFar = 0x1p40;

// The rows, or the columns, from kFar before the grid's first to kFar after its last.
struct Reach {
    double lo, hi;
    Reach(int first, int count) : lo(first - kFar), hi(static_cast<double>(first) + count + kFar) {}
    bool holds(double x) const { return x >= lo && x <= hi; }
};

// The segment from p by (di, dj) cut to its part within the reach of the
// rows and the columns; whether any is left.
bool within_reach(const Reach& rows, const Reach& cols, GridPoint& p, double& di, double& dj) {
    if (rows.holds(p.i) && rows.holds(p.i + di) && cols.holds(p.j) && cols.holds(p.j + dj)) return true;
    double t0 = 0.0, t1 = 1.0;
    if (!clip(p.i, di, rows.lo, rows.hi, t0, t1) || !clip(p.j, dj, cols.lo, cols.hi, t0, t1)) return false;
    const GridPoint from{p.i + t0 * di, p.j + t0 * dj}, to{p.i + t1 * di, p.j + t1 * dj};
    p = from;
    di = to.i - from.i;
    dj = to.j - from.j;
    return true;
}

// Where the end p of a line meets the edge of the grid of nb_lig rows and
// nb_col columns, if it ends by it.
bool edge_by(GridPoint p, int nb_lig, int nb_col, GridPoint& beyond) {
    const double i = p.i, j = p.j;
    const double gaps[4] = {i + 0.5, nb_lig - 0.5 - i, j + 0.5, nb_col - 0.5 - j};
    const int side = static_cast<int>(std::min_element(gaps, gaps + 4) - gaps);
    if (!(gaps[side] <= kToTheEdge) || gaps[side] < -kToTheEdge) return false;
    beyond = p;
    if (side == 0) beyond.i = -1.0;
    if (side == 1) beyond.i = nb_lig;
    if (side == 2) beyond.j = -1.0;
    if (side == 3) beyond.j = nb_col;
    return true;
}

// A kept vertex skips at most this many on (the cost of a skip grows with
// its square).
constexpr std::size_t kReach = 16;

// The vertices of the polyline [first, end) that the fill needs: from each
// kept vertex, the farthest one on (at most kReach on) such that the
// vertices between lie within kSimplify of the segment to it; never past an
// end, a vertex where the level changes, or one beside a vertex that is not
// finite.
void simplified(const ContourLines& lines, std::size_t first, std::size_t end, std::vector<std::size_t>& kept) {
    kept.clear();
    if (end <= first) return;
    const auto must = [&](std::size_t k) {
        return k + 1 == end || lines.level(k) != lines.level(k + 1) || !finite(lines.point(k)) ||
               !finite(lines.point(k - 1)) || !finite(lines.point(k + 1));
    };
    // whether the vertices after a and before c lie within kSimplify of the
    // segment a-c: of its line between a and c, of a or c beyond them (a
    // spur that turns back along the line is no part of the segment)
    const auto within = [&](std::size_t a, std::size_t c) {
        const GridPoint pa = lines.point(a), pc = lines.point(c);
        const double di = pc.i - pa.i, dj = pc.j - pa.j;
        const double len2 = di * di + dj * dj, len = std::sqrt(len2);
        for (std::size_t k = a + 1; k < c; ++k) {
            const GridPoint p = lines.point(k);
            const double along = (p.i - pa.i) * di + (p.j - pa.j) * dj;
            const bool beside = along > 0.0 && along < len2;
            if (beside ? !(std::fabs((p.i - pa.i) * dj - (p.j - pa.j) * di) <= kSimplify * len)
                       : !(std::hypot(p.i - (along <= 0.0 ? pa.i : pc.i), p.j - (along <= 0.0 ? pa.j : pc.j)) <= kSimplify))
                return false;
        }
        return true;
    };
    std::size_t a = first;
    kept.push_back(a);
    while (a + 1 < end) {
        std::size_t b = a + 1;
        while (b + 1 < end && b + 1 - a <= kReach && !must(b) && within(a, b + 1)) ++b;
        kept.push_back(b);
        a = b;
    }
}
// The distinct levels, in ascending order, into segs.levels, and each
// segment's code (level_of: each segment's level): a polyline's segments
// mostly share theirs.
void code_levels(Segments& segs, const std::vector<double>& level_of) {
    std::unordered_map<std::uint64_t, std::uint32_t> seen;
    std::vector<std::uint32_t> provisional(level_of.size());
    double last = 0.0;
    std::uint32_t last_code = ~std::uint32_t{0};
    for (std::size_t s = 0; s < level_of.size(); ++s) {
        if (last_code == ~std::uint32_t{0} || level_of[s] != last) {
            last = level_of[s];
            last_code = seen.try_emplace(std::bit_cast<std::uint64_t>(last), static_cast<std::uint32_t>(seen.size()))
                            .first->second;
            if (last_code == segs.levels.size()) segs.levels.push_back(last);
        }
        provisional[s] = last_code;
    }
    std::vector<std::uint32_t> order(segs.levels.size()), code(segs.levels.size());
    for (std::uint32_t k = 0; k < order.size(); ++k) order[k] = k;
    std::sort(order.begin(), order.end(), [&](std::uint32_t x, std::uint32_t y) { return segs.levels[x] < segs.levels[y]; });
    std::vector<double> ascending(segs.levels.size());
    for (std::uint32_t k = 0; k < order.size(); ++k) {
        code[order[k]] = k;
        ascending[k] = segs.levels[order[k]];
    }
    segs.levels.swap(ascending);
    for (std::size_t s = 0; s < segs.all.size(); ++s) segs.all[s].level = code[provisional[s]];
}

}  // namespace

namespace {

// The segments of polylines [first, last) of the lines, their levels (not
// yet coded) beside them, numbered from polyline 0 and segment 0.
struct Part {
    Segments segs;
    std::vector<double> level_of;
};

void cut_into_segments(const ContourLines& lines, std::size_t first_line, std::size_t last_line, int nb_lig, int nb_col,
                       Part& part) {
    Segments& segs = part.segs;
    std::vector<double>& level_of = part.level_of;  // each segment's level, before the levels are coded
    const std::vector<std::uint32_t>& starts = lines.starts();
    // the segment from p to q at `level` (its part within reach), arc along its polyline at p
    const Reach rows(0, nb_lig), cols(0, nb_col);
    const auto add = [&](GridPoint p, GridPoint q, double level, double& arc) {
        double di = q.i - p.i, dj = q.j - p.j;
        if (!finite(p) || !std::isfinite(di) || !std::isfinite(dj) || !std::isfinite(level) ||
            !within_reach(rows, cols, p, di, dj))
            return false;
        segs.all.push_back(Segment{p.i, p.j, di, dj, arc, 0, segs.lines});
        level_of.push_back(level + 0.0);  // -0 as 0
        arc += std::sqrt(di * di + dj * dj);
        return true;
    };
    const auto edge_beyond = [&](GridPoint p, GridPoint& beyond) { return edge_by(p, nb_lig, nb_col, beyond); };
    const auto end_of = [&](std::size_t l) { return l + 1 < starts.size() ? starts[l + 1] : lines.size(); };
    // at most a segment a vertex, and two at a polyline's ends: pages of the
    // room asked but not used are never touched
    const std::size_t vertices = first_line < last_line ? end_of(last_line - 1) - starts[first_line] : 0;
    segs.all.reserve(vertices + 2 * (last_line - first_line));
    level_of.reserve(segs.all.capacity());
    std::vector<std::size_t> kept;
    for (std::size_t l = first_line; l < last_line; ++l) {
        const std::size_t first = starts[l], end = end_of(l);
        const std::size_t before = segs.all.size();
        double arc = 0.0;
        GridPoint beyond{};
        // a polyline's first vertex ends no segment; each other ends one at its level
        const bool open = end - first >= 2 && finite(lines.point(first)) && finite(lines.point(end - 1)) &&
                          (lines.point(first).i != lines.point(end - 1).i || lines.point(first).j != lines.point(end - 1).j);
        bool sealed = open && edge_beyond(lines.point(first), beyond);
        if (sealed) add(beyond, lines.point(first), lines.level(first + 1), arc);
        const std::size_t own = segs.all.size();
        simplified(lines, first, end, kept);
        for (std::size_t k = 1; k < kept.size(); ++k)
            add(lines.point(kept[k - 1]), lines.point(kept[k]), lines.level(kept[k]), arc);
        // an end short of the edge, to run on from there
        if (open && !sealed && segs.all.size() > own) segs.ends.push_back(End{static_cast<std::uint32_t>(own), true});
        if (open && segs.all.size() > own) {
            const auto last = static_cast<std::uint32_t>(segs.all.size() - 1);
            if (edge_beyond(lines.point(end - 1), beyond))
                add(lines.point(end - 1), beyond, lines.level(end - 1), arc);
            else
                segs.ends.push_back(End{last, false});
        }
        if (segs.all.size() > before) ++segs.lines;
    }
}

// Lines of this many vertices or more are cut into segments on two threads.
constexpr std::size_t kSharedVertices = std::size_t{1} << 16;

}  // namespace

Segments segments_of(const ContourLines& lines, const GridPart& part, bool two_threads) {
    const std::vector<std::uint32_t>& starts = lines.starts();
    // the lines lie in the whole grid's cells, from its first
    const int nb_lig = part.rows, nb_col = part.cols;
    Part first;
    if (!two_threads || lines.size() < kSharedVertices || starts.size() < 2) {
        cut_into_segments(lines, 0, starts.size(), nb_lig, nb_col, first);
    } else {
        // the polylines in two parts of about as many vertices, the second
        // on a thread of its own, its segments and polylines then numbered on
        const std::size_t mid = static_cast<std::size_t>(
            std::lower_bound(starts.begin(), starts.end(), static_cast<std::uint32_t>(lines.size() / 2)) - starts.begin());
        Part second;
        Helper other([&] { cut_into_segments(lines, mid, starts.size(), nb_lig, nb_col, second); });
        if (!other.started()) cut_into_segments(lines, mid, starts.size(), nb_lig, nb_col, second);
        cut_into_segments(lines, 0, mid, nb_lig, nb_col, first);
        other.join();
        Segments& segs = first.segs;
        const auto segments = static_cast<std::uint32_t>(segs.all.size());
        for (Segment g : second.segs.all) {
            g.line += segs.lines;
            segs.all.push_back(g);
        }
        for (End e : second.segs.ends) segs.ends.push_back(End{e.segment + segments, e.at_start});
        segs.lines += second.segs.lines;
        first.level_of.insert(first.level_of.end(), second.level_of.begin(), second.level_of.end());
    }
    code_levels(first.segs, first.level_of);
    first.segs.part = part;
    first.segs.drawn = first.segs.all.size();
    return std::move(first.segs);
}

}  // namespace zorvel
