// Fuzz target: the terrain fill on any lines, vertices and levels at the
// doubles' edges included, on grids that one thread fills and on grids that
// two share. It must end, fill the same on one thread as on two, count every
// cell, and keep every elevation within the levels' span beyond them (a top
// or a hollow rises or sinks by less than the interval around it).
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/grid.h"
#include "fuzz_input.h"
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
    ContourLines again = lines;
    std::vector<double> one, two;
    const auto a = fill_surface(one, rows, cols, std::move(lines), 0, 0, false);
    const auto b = fill_surface(two, rows, cols, std::move(again), 0, 0, true);
    if (!a || !b) return 0;  // out of memory
    if (one.size() != static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols) ||
        std::memcmp(one.data(), two.data(), one.size() * sizeof(double)) != 0)
        std::abort();
    if (a->between + a->domed + a->flat + a->unreached != static_cast<long long>(one.size())) std::abort();
    // (a top or a hollow may reach the whole span, and an ulp more)
    const double beyond = (highest - lowest) * 1.001;
    for (const double z : one)
        if (z != kNoElevation && (!std::isfinite(z) || (std::isfinite(beyond) && (z < lowest - beyond || z > highest + beyond))))
            std::abort();
    return 0;
}
