#include "classes/classify.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

#include "base/numeric.h"

namespace zorvel {

namespace {

constexpr int kProgressRows = 200;  // rows between two progress lines

}  // namespace

Classified class_assignment(Report& report, ElevationGrid& dtab, int nb_lig, int nb_col, const ClassTable& ct,
                            const ProgressPart& part) {
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
        using Cells = std::decay_t<decltype(c)>;
        Classified out;
        if constexpr (std::is_same_v<Cells, PlainCells>) {
            out.tab = Grid<unsigned char>::make(nb_col, nb_lig);
            if (!out.tab) return out;
            // one load per cell from the table, no branch on the cell's content;
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
                for (int j = 0; j < nb_col; ++j) out.unclassified += lost(alt[j], cls[j]);
            }
        } else {
            // a class for every code, found once; the empty cells are code 0 and
            // are looked up like the others: -999 may be a class value
            constexpr std::size_t kCodes = std::size_t{1} << (8 * sizeof(c.cells[0][0]));
            unsigned char code_class[kCodes];
            unsigned char code_lost[kCodes] = {};
            std::memset(code_class, kEmptyCell, sizeof code_class);
            for (std::size_t k = 0; k < c.values.size(); ++k) {
                code_class[k] = ct.class_of(whole_elevation(c.values[k]));
                code_lost[k] = lost(c.values[k], code_class[k]);
            }
            long long unclassified = 0;
            if constexpr (sizeof(c.cells[0][0]) == 1) {
                // a class takes the place of its code, in the same byte
                const unsigned char empty = code_class[0];
                for (int i = 0; i < nb_lig; ++i) {
                    progress(i);
                    unsigned char* row = c.cells[i];
                    int j = 0;
                    for (; j + 8 <= nb_col; j += 8) {
                        std::uint64_t w;
                        std::memcpy(&w, row + j, sizeof w);
                        if (w == 0) {
                            std::memset(row + j, empty, 8);  // eight empty cells
                            continue;
                        }
                        for (int k = j; k < j + 8; ++k) {
                            unclassified += code_lost[row[k]];
                            row[k] = code_class[row[k]];
                        }
                    }
                    for (; j < nb_col; ++j) {
                        unclassified += code_lost[row[j]];
                        row[j] = code_class[row[j]];
                    }
                }
                out.tab = std::move(c.cells).narrowed(nb_col, nb_lig);
            } else {
                out.tab = Grid<unsigned char>::make(nb_col, nb_lig);
                if (!out.tab) return out;
                for (int i = 0; i < nb_lig; ++i) {
                    progress(i);
                    const auto* codes = c.cells[i];
                    unsigned char* cls = out.tab[i];
                    for (int j = 0; j < nb_col; ++j) {
                        cls[j] = code_class[codes[j]];
                        unclassified += code_lost[codes[j]];
                    }
                }
            }
            out.unclassified = unclassified;
        }
        return out;
    });
}

Classified band_assignment(const std::vector<double>& alti, int nb_lig, int nb_col, const ClassTable& ct) {
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
            if (bands == 0.0) {
                ++out.unclassified;
                continue;
            }
            // the band below the first class value and those past the last are none
            const double k = std::floor((*z - first) / interval);
            if (k >= 0.0 && k < bands)
                cls[j] = static_cast<unsigned char>(k + 1.0);
            else
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
    if (nb_lig < 3 || nb_col < 3) return;
    std::vector<unsigned char> judged(static_cast<std::size_t>(nb_col));
    unsigned char* out = judged.data();
    for (int i = 1; i < nb_lig - 1; ++i) {
        const unsigned char* up = tab[i - 1];
        const unsigned char* row = tab[i];
        const unsigned char* down = tab[i + 1];
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
        std::memcpy(tab[i] + 1, out + 1, static_cast<std::size_t>(nb_col - 2));
    }
}

}  // namespace zorvel
