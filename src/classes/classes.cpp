#include "classes/classes.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <numeric>
#include <string>
#include <utility>

#include "base/numeric.h"

namespace zorvel {

std::vector<int> distinct_elevations(const ElevationGrid& dtab, int nb_lig, int nb_col, std::size_t keep) {
    std::vector<int> tabval;
    // takes the whole elevation of a cell; false once `keep` are kept
    const auto take = [&](double alt) {
        const std::int64_t val = whole_elevation(alt);
        // -999 marks the empty cells, and whatever contour truncates to it
        if (val == -999 || val == kNoWholeElevation) return true;
        bool seen = false;
        for (int v : tabval) seen = seen || v == val;
        if (!seen) tabval.push_back(static_cast<int>(val));
        return tabval.size() < keep;
    };
    dtab.visit([&](const auto& c) {
        using Cells = std::decay_t<decltype(c)>;
        if constexpr (std::is_same_v<Cells, PlainCells>) {
            for (int i = 0; i < nb_lig && tabval.size() < keep; ++i)
                for (int j = 0; j < nb_col; ++j)
                    if (!take(c.cells[i][j])) return;
        } else {
            // a code is looked at once, where it first appears; most cells
            // hold code 0, the empty cell, and are passed over eight at a time
            using Code = std::decay_t<decltype(c.cells[0][0])>;
            std::vector<unsigned char> done(c.values.size(), 0);
            done[0] = 1;  // -999
            std::size_t left = c.values.size() - 1;
            for (int i = 0; i < nb_lig && left > 0 && tabval.size() < keep; ++i) {
                const Code* row = c.cells[i];
                for (int j = 0; j < nb_col; ++j) {
                    if (j + 8 <= nb_col && eight_zero_codes(row + j)) {
                        j += 7;
                        continue;
                    }
                    const Code code = row[j];
                    if (done[code]) continue;
                    done[code] = 1;
                    --left;
                    if (!take(c.values[code])) return;
                }
            }
        }
    });
    return tabval;
}

int suggested_interval(const std::vector<int>& tabval) {
    const auto at = [&](std::size_t pos) -> std::int64_t { return pos <= tabval.size() ? tabval[pos - 1] : 0; };
    std::int64_t d = at(10) - at(9);
    if (d < 0) d = -d;
    return d > INT_MAX ? 0 : static_cast<int>(d);
}

ContourInterval contour_interval(const std::vector<double>& elevations) {
    std::vector<std::int64_t> whole;
    for (double e : elevations) {
        const std::int64_t w = whole_elevation(e);
        // -999 is the mark of an empty cell, never a contour of the grid
        if (w != kNoWholeElevation && w != -999) whole.push_back(w);
    }
    std::sort(whole.begin(), whole.end());
    whole.erase(std::unique(whole.begin(), whole.end()), whole.end());
    // sorted, the differences between neighbours have the divisor of them all
    std::int64_t g = 0;
    for (std::size_t k = 1; k < whole.size(); ++k) g = std::gcd(g, whole[k] - whole[k - 1]);
    return ContourInterval{g > INT_MAX ? 0 : static_cast<int>(g), whole.size()};
}

ClassTable class_values(int val_minimo, int val_maximo, int intervalo) {
    ClassTable ct;
    ct.intervalo = intervalo;
    // int division truncates toward zero: -25 / 10 gives -2
    ct.num_segment = (static_cast<std::int64_t>(val_maximo) - val_minimo) / intervalo;
    ct.tabord.assign(1, 0);
    std::int64_t val_deb = static_cast<std::int64_t>(val_minimo) - intervalo;
    for (long long k = 1; k <= ct.num_segment + 1; ++k) {
        val_deb += intervalo;
        // between val_minimo and val_maximo, so always an int
        ct.tabord.push_back(static_cast<int>(val_deb));
    }
    if (ct.num_segment >= 1) {
        // the classes given to cells, 1..num_segment, span this many whole elevations
        const std::int64_t first = ct.tabord[1];
        const std::int64_t last = ct.tabord[static_cast<std::size_t>(ct.num_segment)];
        const std::int64_t low = std::min(first, last);
        if (std::max(first, last) - low < kLookupSpan) {
            // one entry more than the span, kept empty, for every elevation outside it
            std::vector<unsigned char> lookup(static_cast<std::size_t>(std::max(first, last) - low + 2), kEmptyCell);
            for (long long k = 1; k <= ct.num_segment; ++k)
                lookup[static_cast<std::size_t>(ct.tabord[static_cast<std::size_t>(k)] - low)] =
                    static_cast<unsigned char>(k);
            ct.lookup = std::move(lookup);
            ct.lookup_low = low;
        }
    }
    return ct;
}

}  // namespace zorvel
