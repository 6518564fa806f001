#include "classes/classify.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <thread>
#include <type_traits>
#include <vector>

#include "base/numeric.h"
#include "base/threads.h"

namespace zorvel {

namespace {

constexpr int kProgressRows = 200;  // rows between two progress lines
// Grids of this many cells or more have their rows shared by two threads.
constexpr long long kSharedCells = 1 << 20;

// Calls rows(from, to) for rows 0..nb_lig-1 in two ranges, the second on a
// thread of its own for a large grid (where one can be had); the first range
// ends at the returned row.
template <typename Rows>
int in_two(int nb_lig, int nb_col, Rows&& rows) {
    if (static_cast<long long>(nb_lig) * nb_col < kSharedCells) {
        rows(0, nb_lig);
        return nb_lig;
    }
    Helper other([&rows, nb_lig] { rows(nb_lig / 2, nb_lig); });
    const int half = other.started() ? nb_lig / 2 : nb_lig;
    rows(0, half);
    other.join();
    return half;
}

// The classes of plain cells (doubles): one load per cell from the table,
// no branch on the cell's content.
template <typename Progress, typename Lost>
Classified classify_plain(const PlainCells& c, int nb_lig, int nb_col, const ClassTable& ct, Progress&& progress,
                          Lost&& lost, const CountedCells& counted) {
    const int j0 = std::max(counted.j0, 0), j1 = std::min(counted.j1, nb_col);
    Classified out;
    out.tab = Grid<unsigned char>::make(nb_col, nb_lig);
    if (!out.tab) return out;
    // the table is held in locals, since a byte store could otherwise
    // change it as far as the compiler knows
    const unsigned char* lookup = ct.lookup.data();
    const std::uint64_t last = ct.lookup.empty() ? 0 : ct.lookup.size() - 1;
    const std::uint64_t low = static_cast<std::uint64_t>(ct.lookup_low);
    for (int i = 0; i < nb_lig; ++i) {
        progress(i);
        const double* alt = c.cells[i];
        unsigned char* cls = out.tab[i];
        if (lookup != nullptr) {
            for (int j = 0; j < nb_col; ++j)
                cls[j] = lookup[std::min(static_cast<std::uint64_t>(whole_elevation(alt[j])) - low, last)];
        } else {
            for (int j = 0; j < nb_col; ++j) cls[j] = ct.class_of(whole_elevation(alt[j]));
        }
        if (i >= counted.i0 && i < counted.i1)
            for (int j = j0; j < j1; ++j) out.unclassified += lost(alt[j], cls[j]);
    }
    return out;
}

// One-byte codes: a class takes the place of its code, in the same byte;
// the halves of a large grid on two threads, the progress of the second
// told once the first is done. The cells lost.
template <typename Progress>
long long classify_in_place(Grid<unsigned char>& cells, int nb_lig, int nb_col, const unsigned char* code_class,
                            const unsigned char* code_lost, Progress&& progress) {
    const unsigned char empty = code_class[0];
    long long lost_in[2] = {0, 0};
    const auto rows = [&, nb_col, empty](int from, int to) {
        // locals: a byte store could change anything reached through a reference
        const unsigned char* classes = code_class;
        const unsigned char* losses = code_lost;
        long long count = 0;
        for (int i = from; i < to; ++i) {
            if (from == 0) progress(i);
            unsigned char* row = cells[i];
            int j = 0;
            for (; j + 8 <= nb_col; j += 8) {
                if (eight_zero_codes(row + j)) {
                    std::memset(row + j, empty, 8);  // eight empty cells
                    continue;
                }
                for (int k = j; k < j + 8; ++k) {
                    count += losses[row[k]];
                    row[k] = classes[row[k]];
                }
            }
            for (; j < nb_col; ++j) {
                count += losses[row[j]];
                row[j] = classes[row[j]];
            }
        }
        lost_in[from == 0 ? 0 : 1] = count;
    };
    const int first = in_two(nb_lig, nb_col, rows);
    for (int i = first; i < nb_lig; ++i) progress(i);
    return lost_in[0] + lost_in[1];
}

// The classes of coded cells: a class for every code, found once; the empty
// cells are code 0 and are looked up like the others (-999 may be a class value).
template <typename Cells, typename Progress, typename Lost>
Classified classify_coded(Cells& c, int nb_lig, int nb_col, const ClassTable& ct, Progress&& progress, Lost&& lost,
                          const CountedCells& counted) {
    Classified out;
    constexpr std::size_t kCodes = std::size_t{1} << (8 * sizeof(c.cells[0][0]));
    unsigned char code_class[kCodes];
    unsigned char code_lost[kCodes] = {};
    std::memset(code_class, kEmptyCell, sizeof code_class);
    for (std::size_t k = 0; k < c.values.size(); ++k) {
        code_class[k] = ct.class_of(whole_elevation(c.values[k]));
        code_lost[k] = lost(c.values[k], code_class[k]);
    }
    // the cells counted, where not all: before their codes are gone
    const auto lost_within = [&] {
        long long n = 0;
        for (int i = std::max(counted.i0, 0); i < std::min(counted.i1, nb_lig); ++i)
            for (int j = std::max(counted.j0, 0); j < std::min(counted.j1, nb_col); ++j) n += code_lost[c.cells[i][j]];
        return n;
    };
    const long long within = counted.all() ? 0 : lost_within();
    if constexpr (sizeof(c.cells[0][0]) == 1) {
        out.unclassified = classify_in_place(c.cells, nb_lig, nb_col, code_class, code_lost, progress);
        if (!counted.all()) out.unclassified = within;
        out.tab = std::move(c.cells).narrowed(nb_col, nb_lig);
        return out;
    }
    out.tab = Grid<unsigned char>::make(nb_col, nb_lig);
    if (!out.tab) return out;
    for (int i = 0; i < nb_lig; ++i) {
        progress(i);
        const auto* codes = c.cells[i];
        unsigned char* cls = out.tab[i];
        for (int j = 0; j < nb_col; ++j) {
            cls[j] = code_class[codes[j]];
            out.unclassified += code_lost[codes[j]];
        }
    }
    if (!counted.all()) out.unclassified = within;
    return out;
}

}  // namespace

Classified class_assignment(Report& report, ElevationGrid& dtab, int nb_lig, int nb_col, const ClassTable& ct,
                            const ProgressPart& part, const CountedCells& counted) {
    report.classifying();
    const auto progress = [&](int i) {
        if ((i + 1) % kProgressRows != 0) return;
        report.classified_rows(i + 1);
        part.at(static_cast<double>(i + 1) / nb_lig);
    };
    // a drawn elevation without a class is a loss, but for the last class value
    const std::int64_t top = ct.tabord.size() > 1 ? ct.tabord.back() : kNoWholeElevation;
    const auto lost = [&](double alt, unsigned char cls) {
        return cls == kEmptyCell && alt != kNoElevation && whole_elevation(alt) != top;
    };
    return dtab.visit([&](auto& c) {
        if constexpr (std::is_same_v<std::decay_t<decltype(c)>, PlainCells>)
            return classify_plain(c, nb_lig, nb_col, ct, progress, lost, counted);
        else
            return classify_coded(c, nb_lig, nb_col, ct, progress, lost, counted);
    });
}

Classified band_assignment(const std::vector<double>& alti, int nb_lig, int nb_col, const ClassTable& ct,
                           const CountedCells& counted) {
    Classified out;
    out.tab = Grid<unsigned char>::make(nb_col, nb_lig);
    if (!out.tab) return out;
    const double first = ct.num_segment >= 1 ? ct.tabord[1] : 0.0;
    const double interval = ct.intervalo;
    const double bands = static_cast<double>(std::max(ct.num_segment, 0LL));
    const double* z = alti.data();
    for (int i = 0; i < nb_lig; ++i) {
        unsigned char* cls = out.tab[i];
        for (int j = 0; j < nb_col; ++j, ++z) {
            cls[j] = kEmptyCell;
            if (*z == kNoElevation) continue;
            // the band below the first class value and those past the last are none
            const double k = bands == 0.0 ? -1.0 : std::floor((*z - first) / interval);
            if (k >= 0.0 && k < bands)
                cls[j] = static_cast<unsigned char>(k + 1.0);
            else if (counted.within(i, j))
                ++out.unclassified;
        }
    }
    return out;
}

void corner_cleanup(Grid<unsigned char>& tab, int nb_lig, int nb_col) {
    // A corner's two neighbours of its class touch each other diagonally, so
    // neither of them is a corner, before or after it is cleared; clearing
    // a cell never changes whether another one is a corner. So each row is
    // judged whole, from its cells before the clearing, into a row of its own
    // (a loop the compiler turns into wide compares), and copied back.
    // For the same reason the rows can be cleared by two threads, each
    // judging the row next to the other's from a copy taken before either
    // starts: what the other clears there changes no judgement.
    if (nb_lig < 3 || nb_col < 3) return;
    const auto width = static_cast<std::size_t>(nb_col);
    const int half = nb_lig / 2;
    const std::vector<unsigned char> above_half(tab[half - 1], tab[half - 1] + width);
    const std::vector<unsigned char> at_half(tab[half], tab[half] + width);
    const auto rows = [&, nb_lig, nb_col, half](int from, int to) {
        // locals: a byte store could change anything reached through a reference
        unsigned char* const* grid = tab.rows();
        const unsigned char* above = above_half.data();
        const unsigned char* below = at_half.data();
        std::vector<unsigned char> judged(width);
        unsigned char* out = judged.data();
        for (int i = std::max(from, 1); i < std::min(to, nb_lig - 1); ++i) {
            const unsigned char* up = i == half && from == half ? above : grid[i - 1];
            const unsigned char* row = grid[i];
            const unsigned char* down = i + 1 == half && to == half ? below : grid[i + 1];
            for (int j = 1; j < nb_col - 1; ++j) {
                const unsigned char v = row[j];
                // the four masks are one side neighbour (left or right) and one
                // vertical one (above or below) of the cell's class, no other
                const bool side = (row[j - 1] == v) != (row[j + 1] == v);
                const bool vertical = (up[j] == v) != (down[j] == v);
                const bool diagonal = (up[j - 1] == v) | (up[j + 1] == v) | (down[j - 1] == v) | (down[j + 1] == v);
                const bool corner = (v != kEmptyCell) & side & vertical & !diagonal;
                out[j] = corner ? kEmptyCell : v;
            }
            std::memcpy(grid[i] + 1, out + 1, static_cast<std::size_t>(nb_col - 2));
        }
    };
    in_two(nb_lig, nb_col, rows);
}

}  // namespace zorvel
