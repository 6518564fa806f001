// Class assignment and corner cleanup of a 10,000 x 10,000 grid against one
// plain pass over the same memory (read every elevation, write every class).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>

#include "bench_support.h"
#include "classes.h"
#include "classify.h"

using namespace zorvel;

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 7;
    RunState rs;
    rs.nb_lig = n;
    rs.nb_col = n;
    rs.dtab = Grid<double>::make(n + 2, n + 2);
    rs.tab = Grid<unsigned char>::make(n, n);
    if (!rs.dtab || !rs.tab) {
        std::fprintf(stderr, "no memory for a %d x %d grid\n", n, n);
        return 1;
    }
    // contours: a ring pattern in which about one cell in eight holds an elevation
    std::mt19937 rng(7);
    for (int i = 0; i < n + 2; ++i)
        for (int j = 0; j < n + 2; ++j) {
            const double r = std::hypot(i - n / 2.0, j - n / 2.0);
            rs.dtab[i][j] = (static_cast<int>(r) % 8 == 0) ? 100.0 + 10.0 * (static_cast<int>(r) / 8 % 20) + 0.25
                                                             : kNoElevation;
        }
    const ClassTable ct = class_values(100, 300, 10);
    std::FILE* sink = std::fopen("/dev/null", "w");

    std::uint64_t classified = 0;
    std::uint64_t baseline_sum = 0;
    const auto [cand, base] = bench::paired(
        rounds,
        [&] {
            class_assignment(sink, rs, ct);
            corner_cleanup(rs.tab, n, n);
        },
        [&] {
            // the plain pass: every elevation read, every class cell written once
            std::uint64_t s = 0;
            for (int i = 0; i < n; ++i) {
                const double* a = rs.dtab[i];
                unsigned char* t = rs.tab[i];
                for (int j = 0; j < n; ++j) {
                    s += a[j] != kNoElevation;
                    t[j] = static_cast<unsigned char>(a[j] != kNoElevation);
                }
            }
            baseline_sum = s;
        });
    const auto [assign, cleanup] = bench::paired(
        rounds, [&] { class_assignment(sink, rs, ct); }, [&] { corner_cleanup(rs.tab, n, n); });
    class_assignment(sink, rs, ct);
    corner_cleanup(rs.tab, n, n);
    std::fclose(sink);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) classified += rs.tab[i][j] != kEmptyCell;
    // the cleanup only removes cells, so the classified count cannot pass the drawn one
    if (classified == 0 || classified > baseline_sum) {
        std::fprintf(stderr, "inconsistent results: %llu classified of %llu drawn\n",
                     static_cast<unsigned long long>(classified), static_cast<unsigned long long>(baseline_sum));
        return 1;
    }
    std::printf("grid %d x %d, %llu of %llu drawn cells classified\n", n, n,
                static_cast<unsigned long long>(classified), static_cast<unsigned long long>(baseline_sum));
    std::printf("of which assignment %.3f s, cleanup %.3f s\n", assign.min, cleanup.min);
    std::printf("classify+cleanup %.3f s, plain pass %.3f s: classify/pass %.2fx (min of %d, spread %.0f%% / %.0f%%)\n",
                cand.min, base.min, cand.min / base.min, rounds, 100 * cand.spread, 100 * base.spread);
    return 0;
}
