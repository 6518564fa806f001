#include "surface/surface_fill.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "base/grid.h"
#include "base/threads.h"
#include "surface/band_profile.h"
#include "surface/fill_sums.h"
#include "surface/fill_table.h"
#include "surface/level_areas.h"
#include "surface/nearest_lines.h"
#include "surface/part_check.h"
#include "surface/segments.h"
#include "surface/side_bands.h"

namespace zorvel {

namespace {

// A grid this small is filled on one thread.
constexpr long long kSharedCells = 1 << 16;

using Band = FarBand;

class Fill {
public:
    Fill(const Segments& segs, NearLines& g, bool split)
        : segs_(segs), g_(g), split_(split), sides_(2 * segs.all.size()) {}

    // Each side of each segment: the bands whose cells have it as their
    // nearest segment of its level, then those along its stretch of line.
    // The two halves of the rows are summed apart on one thread too, so
    // that the sums are the same.
    void gather_bands() {
        std::vector<SideBands> second(sides_.size());
        sum_side_bands(segs_, g_, split_, sides_, second);
        for (std::size_t k = 0; k < second.size(); ++k) sides_[k].add(second[k]);
        std::vector<SideBands>().swap(second);
        smooth_along_lines(segs_, sides_, split_, segs_.part.is_whole() ? nullptr : &looked_);
        settle_bands();
    }

    // The areas of cells that one level only reaches, each marked in b with
    // its number, and what the bands around them tell.
    void gather_areas() {
        mark_areas();
        // the two halves of the rows summed apart, as the bands are
        std::vector<Area> second(areas_);
        tell_areas(segs_, g_, beyond_, split_, areas_, second);
        for (std::size_t n = 0; n < areas_.size(); ++n) {
            areas_[n].add(second[n]);
            areas_[n].settle();
        }
    }

    // The kept cells whose elevation the part cannot vouch for (part_check.h),
    // before the values take the nearest levels' room.
    long long unsure(const KeptCells& keep) {
        PartCheck check(segs_, g_);
        check.take(std::move(looked_));
        const KeysInDoubles a = g_.a();
        const LineKey* b = g_.b();
        const auto far_side = [&](std::uint32_t s, int i, int j) {
            return 2 * static_cast<std::size_t>(s) + static_cast<std::size_t>(1 - segs_.side(s, i, j));
        };
        // an area is doubted where one of its cells is, or a band beyond its contours
        std::vector<unsigned char> doubted(areas_.size(), 0);
        for (int i = 0; i < g_.nb_lig(); ++i)
            for (int j = 0; j < g_.nb_col(); ++j) {
                const std::size_t k = g_.at(i, j);
                if (marked(b[k]) && (!check.sure(i, j) || !check.side_sure(far_side(segment_of(a[k]), i, j))))
                    doubted[static_cast<std::size_t>(b[k] & ~kAreaMark)] = 1;
            }
        long long n = 0;
        for (int i = keep.i0; i < keep.i0 + keep.nb_lig; ++i)
            for (int j = keep.j0; j < keep.j0 + keep.nb_col; ++j) {
                const std::size_t k = g_.at(i, j);
                if (a[k] == kNoLine || !check.sure(i, j))
                    ++n;
                else if (marked(b[k]))
                    n += doubted[static_cast<std::size_t>(b[k] & ~kAreaMark)];
                else
                    n += !check.side_sure(far_side(segment_of(a[k]), i, j)) || !check.side_sure(far_side(segment_of(b[k]), i, j));
            }
        return n;
    }

    // The tables of windows of the whole grid (fill_table.h), every other
    // one on a second thread.
    void tabulate(std::vector<WindowTable>& tables) const {
        const SegmentSquares squares(segs_);
        const auto every_other = [&](std::size_t first) {
            for (std::size_t n = first; n < tables.size(); n += 2) {
                tabulate_window(tables[n], segs_, g_, beyond_, areas_);
                list_part_segments(tables[n], segs_, squares);
            }
        };
        if (!split_ || tables.size() < 2) {
            every_other(0);
            every_other(1);
            return;
        }
        Helper other([&] { every_other(1); });
        if (!other.started()) every_other(1);
        every_other(0);
        other.join();
    }

    // In a part, the bands and the areas of the whole grid from a window's
    // table; the kept cells that the part cannot vouch for.
    long long take_table(const WindowTable& t, const KeptCells& keep) {
        std::vector<SideBands>().swap(sides_);
        return take_window_table(t, keep, segs_, g_, beyond_, areas_);
    }

    // The elevation of every cell, into alti, the room of the nearest keys
    // (each cell's key read before its elevation takes its place), then
    // row after row without the border; what the cells got, of those kept
    // where `keep` names them (a window's margin is not its own).
    SurfaceFill values(std::vector<double>& alti, const KeptCells* keep) const {
        const auto kept = [keep](int i, int j) {
            return keep == nullptr ||
                   (i >= keep->i0 && i < keep->i0 + keep->nb_lig && j >= keep->j0 && j < keep->j0 + keep->nb_col);
        };
        // a half left without rows must not bring its zeros to the range
        SurfaceFill halves[2];
        for (SurfaceFill& h : halves) h.lowest = HUGE_VAL, h.highest = -HUGE_VAL;
        in_halves(segs_.part, split_, [&](int r0, int r1, int half) {
            // counted apart from the other thread's counts, which share their cache line
            SurfaceFill h = halves[half], margin;
            const KeysInDoubles a = g_.a();
            const LineKey* b = g_.b();
            for (int i = r0; i < r1; ++i)
                for (int j = 0; j < g_.nb_col(); ++j) {
                    // the keys ahead in the row have not yet given way to elevations
                    if (const std::size_t f = g_.at(i, j) + kAhead; j + kAhead < g_.nb_col()) {
                        if (a[f] != kNoLine) {
                            __builtin_prefetch(&segs_.all[segment_of(a[f])]);
                            __builtin_prefetch(&beyond_[2 * static_cast<std::size_t>(segment_of(a[f]))]);
                        }
                        if (b[f] != kNoLine && !marked(b[f])) {
                            __builtin_prefetch(&segs_.all[segment_of(b[f])]);
                            __builtin_prefetch(&beyond_[2 * static_cast<std::size_t>(segment_of(b[f]))]);
                        }
                    }
                    double& z = alti[g_.at(i, j)];
                    const bool own = kept(i, j);
                    z = value(i, j, own ? h : margin);
                    if (z == kNoElevation || !own) continue;
                    h.lowest = std::min(h.lowest, z);
                    h.highest = std::max(h.highest, z);
                }
            halves[half] = h;
        });
        // each row moves down to its place: none lands on a row not yet moved
        const std::size_t cols = static_cast<std::size_t>(g_.nb_col());
        for (int i = 0; i < g_.nb_lig(); ++i)
            std::memmove(alti.data() + static_cast<std::size_t>(i) * cols, alti.data() + g_.at(i, 0), cols * sizeof(double));
        alti.resize(static_cast<std::size_t>(g_.nb_lig()) * cols);
        SurfaceFill r;
        r.between = halves[0].between + halves[1].between;
        r.domed = halves[0].domed + halves[1].domed;
        r.flat = halves[0].flat + halves[1].flat;
        r.unreached = halves[0].unreached + halves[1].unreached;
        r.lowest = std::min(halves[0].lowest, halves[1].lowest);
        r.highest = std::max(halves[0].highest, halves[1].highest);
        if (r.lowest > r.highest) r.lowest = r.highest = 0.0;
        return r;
    }

private:
    // The bands beyond each side of each segment, where it has any. The sums
    // are let go.
    void settle_bands() {
        beyond_.resize(sides_.size());
        const auto some = [](const SideBands& o) { return o.cells > 0 && o.width > 0.0; };
        for (std::size_t s = 0; s < segs_.all.size(); ++s)
            for (std::size_t side = 0; side < 2; ++side) {
                const SideBands& own = sides_[2 * s + side];
                if (some(own)) beyond_[2 * s + side] = Band{own.mean_level(), own.mean_width()};
            }
        std::vector<SideBands>().swap(sides_);
    }

    // Marks each area of cells that one level alone reaches (four-connected)
    // with its number, run by run.
    void mark_areas() {
        const KeysInDoubles a = g_.a();
        LineKey* b = g_.b();
        const auto lone = [&](std::size_t k, std::uint32_t level) {
            return a[k] != kNoLine && b[k] == kNoLine && segs_.all[segment_of(a[k])].level == level;
        };
        for (int i = 0; i < g_.nb_lig(); ++i)
            for (int j = 0; j < g_.nb_col(); ++j) {
                const std::size_t k = g_.at(i, j);
                if (a[k] == kNoLine || b[k] != kNoLine) continue;
                const std::uint32_t level = segs_.all[segment_of(a[k])].level;
                const LineKey id = kAreaMark | areas_.size();
                areas_.push_back(Area{level});
                mark_four_connected(g_, 0, 0, g_.nb_lig(), g_.nb_col(), i, j, id, [&](std::size_t m) { return lone(m, level); });
            }
    }

    const Band* beyond(std::uint32_t s, int i, int j) const { return beyond_of(segs_, beyond_, s, i, j); }

    // A cell between levels a (segment sa, at da) and b (sb, at db): each
    // end's slope from the bands beyond it.
    double band_value(std::uint32_t sa, std::uint32_t sb, double da, double db, int i, int j) const {
        const double va = segs_.level_of(sa), vb = segs_.level_of(sb);
        const double w = da + db;
        BandEnd end_a, end_b;
        if (w > 0.0) {
            if (const Band* far = beyond(sa, i, j))
                end_a = band_end(half_difference(va, far->level) / half_difference(vb, va) * (w / far->width), far->width / w);
            if (const Band* far = beyond(sb, i, j))
                end_b = band_end(half_difference(far->level, vb) / half_difference(vb, va) * (w / far->width), far->width / w);
        }
        return across_band(va, vb, w > 0.0 ? da / w : 0.5, end_a, end_b);
    }

    // A cell of an area that level v alone reaches, at d from it.
    static double area_value(const Area& area, double v, double d, SurfaceFill& h) {
        if (area.flat()) {
            ++h.flat;
            return v;
        }
        ++h.domed;
        const double u = d / area.d_max;
        const double rise = area.top * (2 * u - u * u);  // H (2u - u^2) / 2
        // at the doubles' edge the rise stops there
        const double z = 2 * (v / 2 + (area.balance > 0 ? rise : -rise));
        return std::isfinite(z) ? z : std::copysign(DBL_MAX, z);
    }

    // A reached cell's elevation, never the mark of a cell without one.
    static double reached(double z) { return z == kNoElevation ? kAboveNoElevation : z; }

    double value(int i, int j, SurfaceFill& h) const {
        const std::size_t k = g_.at(i, j);
        const LineKey ka = g_.a()[k], kb = g_.b()[k];
        if (ka == kNoLine) {
            ++h.unreached;
            return kNoElevation;
        }
        const std::uint32_t sa = segment_of(ka);
        const double da = segs_.distance(sa, i, j);
        if (marked(kb))
            return reached(area_value(areas_[static_cast<std::size_t>(kb & ~kAreaMark)], segs_.level_of(sa), da, h));
        ++h.between;
        const std::uint32_t sb = segment_of(kb);
        return reached(band_value(sa, sb, da, segs_.distance(sb, i, j), i, j));
    }

    const Segments& segs_;
    NearLines& g_;
    bool split_;
    std::vector<SideBands> sides_;  // two a segment
    std::vector<Band> beyond_;      // two a segment
    std::vector<Area> areas_;
    Consulted looked_;  // in a part of the grid: what each side's stretch looked at
};

}  // namespace

std::optional<SurfaceFill> fill_surface(std::vector<double>& alti, const GridPart& part, ContourLines&& lines,
                                        bool two_threads, const KeptCells* keep, const FillTables& tables) {
    SurfaceFill r;
    const int nb_lig = part.nb_lig, nb_col = part.nb_col;
    if (nb_lig <= 0 || nb_col <= 0) return r;
    const bool split = two_threads && nb_lig >= 64 && static_cast<long long>(nb_lig) * nb_col >= kSharedCells;
    try {
        Segments segs = segments_of(lines, part, split);
        ContourLines{}.swap(lines);
        // a part that takes its table needs only the segments that meet it
        const bool given = tables.given != nullptr && keep != nullptr && !part.is_whole();
        if (given) keep_part_segments(segs, tables.given);
        // the table's ring holds the whole grid's keys about the window, by
        // segments the part keeps (or none of its cells can be vouched for)
        std::optional<PartRing> ring;
        if (given && !tables.given->ring.empty()) ring = ring_in_part(*tables.given, segs);
        const bool ringless = given && !tables.given->ring.empty() && !ring;
        const auto near = nearest_lines(segs, split, alti, ring ? &*ring : nullptr);
        // its room is had again for the bands
        near->let_go_of_spreading();
        Fill fill(segs, *near, split);
        long long unsure = 0;
        if (tables.given != nullptr && keep != nullptr) {
            unsure = fill.take_table(*tables.given, *keep);
            if (ringless) unsure = static_cast<long long>(keep->nb_lig) * keep->nb_col;
        } else {
            fill.gather_bands();
            fill.gather_areas();
            if (keep != nullptr && !part.is_whole()) unsure = fill.unsure(*keep);
            if (tables.made != nullptr && tables.windows && part.is_whole()) {
                *tables.made = tables.windows(part.rows, part.cols);
                fill.tabulate(*tables.made);
            }
        }
        SurfaceFill filled = fill.values(alti, keep);
        filled.unsure = unsure;
        return filled;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

}  // namespace zorvel
