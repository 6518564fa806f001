// Times the fill between the contours alone, on a grid of contour cells
// the program wrote (the raw image of -ot Float64 -of ENVI, nodata -9999):
// the same step as a surface interpolator run on a raster of contours.
//
//   fill_timing <image_zorvl.raw> <columns> <rows> [rounds=7] [threads=2]
//
// Prints the median and minimum seconds, and the filled cells' sum, which
// every round must give the same.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/grid.h"
#include "bench_support.h"
#include "surface/surface_fill.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: fill_timing <image_zorvl.raw> <columns> <rows> [rounds=7] [threads=2]\n");
        return 2;
    }
    const int cols = std::atoi(argv[2]), rows = std::atoi(argv[3]);
    const int rounds = argc > 4 ? std::atoi(argv[4]) : 7;
    const bool two = argc > 5 ? std::atoi(argv[5]) != 1 : true;
    std::vector<double> contours(static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows));
    std::FILE* f = std::fopen(argv[1], "rb");
    if (f == nullptr || std::fread(contours.data(), sizeof(double), contours.size(), f) != contours.size()) {
        std::perror(argv[1]);
        return 1;
    }
    std::fclose(f);
    for (double& v : contours)
        if (v == -9999.0) v = zorvel::kNoElevation;
    std::vector<double> times;
    double sum = 0;
    for (int k = 0; k < rounds; ++k) {
        std::vector<double> grid = contours;
        times.push_back(zorvel::bench::seconds([&] {
            if (!zorvel::fill_surface(grid, rows, cols, two)) std::exit(1);
        }));
        double s = 0;
        for (const double v : grid)
            if (v != zorvel::kNoElevation) s += v;
        if (k > 0 && s != sum) {
            std::fprintf(stderr, "round %d gave another surface\n", k);
            return 1;
        }
        sum = s;
    }
    const auto t = zorvel::bench::summarize(times);
    std::printf("fill %.4f s (median of %d, min %.4f), sum %.17g\n", t.median, rounds, t.min, sum);
    return 0;
}
