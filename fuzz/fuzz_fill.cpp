// Fuzz target: the terrain fill on any lines, vertices and levels at the
// doubles' edges included, on grids that one thread fills and on grids that
// two share. It must end, fill the same on one thread as on two, count every
// cell, and keep every elevation within the levels' span beyond them (a top
// or a hollow rises or sinks by less than the interval around it); a part of
// the grid must fill the cells it keeps as the whole grid, to the last bit,
// or count them as cells it cannot vouch for, alone or with the table the
// whole grid's fill made for it.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/grid.h"
#include "fuzz_input.h"
#include "surface/strip_tables.h"
#include "surface/surface_fill.h"

using namespace zorvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::uint8_t* p = data;
    std::size_t left = size;
    int rows = 1 + take<std::uint8_t>(p, left) % 40, cols = 1 + take<std::uint8_t>(p, left) % 40;
    const std::uint8_t mode = take<std::uint8_t>(p, left);
    if ((mode & 0x0c) == 0x0c) rows += 64, cols *= 40;  // a grid two threads share
    ContourLines lines;
    double lowest = HUGE_VAL, highest = -HUGE_VAL;
    while (left >= 3) {
        const auto op = take<std::uint8_t>(p, left);
        GridPoint at{};
        double level = 0.0;
        if ((mode & 1) != 0) {  // any doubles
            at = GridPoint{take<double>(p, left), take<double>(p, left)};
            level = take<double>(p, left);
        } else {  // quarter cells in and around the grid, a few levels
            at = GridPoint{take<std::uint8_t>(p, left) % 200 / 4.0 - 5, take<std::uint8_t>(p, left) % 200 / 4.0 - 5};
            level = 100.0 + 10 * (op % 7);
        }
        const bool first = (op & 0x80) != 0 || lines.size() == 0;
        lines.vertex(at, level, first);
        if (!first && std::isfinite(level)) lowest = std::min(lowest, level), highest = std::max(highest, level);
    }
    ContourLines again = lines, part_lines = lines, table_lines = lines, tiled_lines = lines;
    // a part of the grid, its window and margin drawn from the input
    std::uint32_t h = 2166136261u;
    for (std::size_t k = 0; k < size; ++k) h = (h ^ data[k]) * 16777619u;
    const int wh = 1 + static_cast<int>(h % static_cast<unsigned>(rows)), ww = 1 + static_cast<int>((h >> 8) % static_cast<unsigned>(cols));
    const int wi = static_cast<int>((h >> 4) % static_cast<unsigned>(rows - wh + 1)), wj = static_cast<int>((h >> 12) % static_cast<unsigned>(cols - ww + 1));
    // and the table the whole grid's fill makes for it
    std::vector<WindowTable> tables;
    const FillTables make{[&](int, int) {
                              WindowTable t;
                              t.i0 = wi, t.j0 = wj, t.nb_lig = wh, t.nb_col = ww;
                              return std::vector<WindowTable>{t};
                          },
                          &tables};
    std::vector<double> one, two;
    const auto a = fill_surface(one, GridPart::whole(rows, cols), std::move(lines), false, nullptr, make);
    const auto b = fill_surface(two, GridPart::whole(rows, cols), std::move(again), true);
    if (!a || !b) return 0;  // out of memory
    if (one.size() != static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols) ||
        std::memcmp(one.data(), two.data(), one.size() * sizeof(double)) != 0)
        std::abort();
    if (a->between + a->domed + a->flat + a->unreached != static_cast<long long>(one.size())) std::abort();
    // the cells the part keeps are the whole grid's, or it says it cannot
    // vouch for them: alone, and with the table
    if ((mode & 0x10) != 0 && tables.size() == 1) {
        for (const bool table : {false, true}) {
            const int m = table ? std::max(1, tables[0].margin) : static_cast<int>((h >> 20) % 24);
            const int pi = std::max(0, wi - m), pj = std::max(0, wj - m);
            const GridPart part{rows, cols, pi, pj, std::min(rows, wi + wh + m) - pi, std::min(cols, wj + ww + m) - pj};
            const KeptCells keep{wi - pi, wj - pj, wh, ww};
            const FillTables given{{}, nullptr, table ? &tables[0] : nullptr};
            std::vector<double> z;
            const auto c = fill_surface(z, part, std::move(table ? table_lines : part_lines), (mode & 0x20) != 0, &keep, given);
            if (c && c->unsure == 0)
                for (int i = 0; i < wh; ++i)
                    if (std::memcmp(z.data() + static_cast<std::size_t>(keep.i0 + i) * static_cast<std::size_t>(part.nb_col) + keep.j0,
                                    one.data() + static_cast<std::size_t>(wi + i) * static_cast<std::size_t>(cols) + wj,
                                    static_cast<std::size_t>(ww) * sizeof(double)) != 0)
                        std::abort();
        }
    }
    // windows of the part's size over the whole grid: their tables strip by
    // strip are the whole grid's fill's, byte for byte
    if ((mode & 0x40) != 0) {
        const FillTables::Windows tiles = [&](int r, int c) {
            std::vector<WindowTable> ts;
            for (int i = 0; i < r; i += wh)
                for (int j = 0; j < c; j += ww) {
                    WindowTable t;
                    t.i0 = i, t.j0 = j, t.nb_lig = std::min(wh, r - i), t.nb_col = std::min(ww, c - j);
                    ts.push_back(t);
                }
            return ts;
        };
        std::vector<WindowTable> whole, strips = tiles(rows, cols);
        std::vector<double> z;
        if (!fill_surface(z, GridPart::whole(rows, cols), ContourLines(tiled_lines), false, nullptr, FillTables{tiles, &whole}))
            return 0;
        tabulate_by_strips(tiled_lines, rows, cols, strips, (mode & 0x20) != 0);
        if (encode_tables(strips) != encode_tables(whole)) std::abort();
    }
    // (a top or a hollow may reach the whole span, and an ulp more)
    const double beyond = (highest - lowest) * 1.001;
    for (const double z : one)
        if (z != kNoElevation && (!std::isfinite(z) || (std::isfinite(beyond) && (z < lowest - beyond || z > highest + beyond))))
            std::abort();
    return 0;
}
