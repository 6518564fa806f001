// Class assignment and corner cleanup of a 10,000 x 10,000 grid against one
// plain pass over a byte grid of the same size (read every cell, write every cell).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <vector>

#include "dialogue/dialogue.h"
#include "bench_support.h"
#include "classes/classes.h"
#include "classes/classify.h"

using namespace zorvel;

namespace {

// contours: a ring pattern in which about one cell in eight holds one of 20 elevations
ElevationGrid draw_rings(int n) {
    ElevationGrid dtab = ElevationGrid::make(n + 2, n + 2);
    for (int i = 0; i < n + 2 && dtab; ++i)
        for (int j = 0; j < n + 2; ++j) {
            const double r = std::hypot(i - n / 2.0, j - n / 2.0);
            if (static_cast<int>(r) % 8 == 0) dtab.set(i, j, 100.0 + 10.0 * (static_cast<int>(r) / 8 % 20) + 0.25);
        }
    return dtab;
}

}  // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 7;
    Grid<unsigned char> tab;
    const ClassTable ct = class_values(100, 300, 10);
    std::FILE* sink = std::fopen("/dev/null", "w");
    DialogueReport report(sink);  // the progress lines a dialogue run writes
    // the plain pass: every cell of a byte grid read, and a byte written for it
    Grid<unsigned char> plain_in = Grid<unsigned char>::make(n, n);
    Grid<unsigned char> plain_out = Grid<unsigned char>::make(n, n);
    if (!plain_in || !plain_out) {
        std::fprintf(stderr, "no memory for a %d x %d grid\n", n, n);
        return 1;
    }

    std::vector<double> assign, cleanup, plain;
    std::uint64_t classified = 0;
    std::uint64_t drawn = 0;
    for (int k = 0; k < rounds; ++k) {
        tab = Grid<unsigned char>();
        ElevationGrid dtab = draw_rings(n);
        if (!dtab) {
            std::fprintf(stderr, "no memory for a %d x %d grid\n", n, n);
            return 1;
        }
        drawn = 0;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) drawn += dtab.at(i, j) != kNoElevation;
        assign.push_back(bench::seconds([&] {
            tab = class_assignment(report, dtab, n, n, ct).tab;
            if (!tab) std::abort();
        }));
        cleanup.push_back(bench::seconds([&] { corner_cleanup(tab, n, n); }));
        plain.push_back(bench::seconds([&] {
            for (int i = 0; i < n; ++i) {
                const unsigned char* a = plain_in[i];
                unsigned char* t = plain_out[i];
                for (int j = 0; j < n; ++j) t[j] = static_cast<unsigned char>(a[j] + 1);
            }
        }));
    }
    std::fclose(sink);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) classified += tab[i][j] != kEmptyCell;
    // the cleanup only removes cells, so the classified count cannot pass the drawn one
    if (classified == 0 || classified > drawn) {
        std::fprintf(stderr, "inconsistent results: %llu classified of %llu drawn\n",
                     static_cast<unsigned long long>(classified), static_cast<unsigned long long>(drawn));
        return 1;
    }
    const bench::Timing a = bench::summarize(assign), c = bench::summarize(cleanup), p = bench::summarize(plain);
    std::printf("grid %d x %d, %llu of %llu drawn cells classified\n", n, n,
                static_cast<unsigned long long>(classified), static_cast<unsigned long long>(drawn));
    std::printf("assignment %.3f s, cleanup %.3f s, plain byte pass %.3f s: (assignment+cleanup)/pass %.2fx (min of %d)\n",
                a.min, c.min, p.min, (a.min + c.min) / p.min, rounds);
    return 0;
}
