#include "classify.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "numeric.h"

namespace zorvel {

namespace {

constexpr int kProgressRows = 200;  // rows between two progress lines

}  // namespace

bool class_assignment(std::FILE* out, RunState& rs, const ClassTable& ct) {
    std::fputs("\n\n Guardando  \n\n", out);
    const int nb_lig = rs.nb_lig;
    const int nb_col = rs.nb_col;
    const auto progress = [&](int i) {
        if ((i + 1) % kProgressRows == 0) std::fprintf(out, "\tlinea %d        \r       ", i + 1);
    };
    const int width = rs.dtab.width();
    if (width == 1 || width == 2) {
        // a class for every code, found once; the empty cells are code 0 and
        // are looked up like the others: -999 may be a class value
        const std::vector<double>& values = rs.dtab.values();
        std::vector<unsigned char> code_class(values.size());
        for (std::size_t c = 0; c < values.size(); ++c) code_class[c] = ct.class_of(whole_elevation(values[c]));
        if (width == 1) {
            // a class takes the place of its code, in the same byte
            unsigned char table[256];
            std::memset(table, kEmptyCell, sizeof table);
            std::memcpy(table, code_class.data(), code_class.size());
            const unsigned char empty = table[0];
            Grid<unsigned char> cells = rs.dtab.release_codes();
            for (int i = 0; i < nb_lig; ++i) {
                progress(i);
                unsigned char* row = cells[i];
                int j = 0;
                for (; j + 8 <= nb_col; j += 8) {
                    std::uint64_t w;
                    std::memcpy(&w, row + j, sizeof w);
                    if (w == 0) {
                        std::memset(row + j, empty, 8);  // eight empty cells
                        continue;
                    }
                    for (int k = j; k < j + 8; ++k) row[k] = table[row[k]];
                }
                for (; j < nb_col; ++j) row[j] = table[row[j]];
            }
            rs.tab = std::move(cells).narrowed(nb_col, nb_lig);
            return true;
        }
        rs.tab = Grid<unsigned char>::make(nb_col, nb_lig);
        if (!rs.tab) return false;
        for (int i = 0; i < nb_lig; ++i) {
            progress(i);
            const unsigned short* codes = rs.dtab.codes16()[i];
            unsigned char* cls = rs.tab[i];
            for (int j = 0; j < nb_col; ++j) cls[j] = code_class[codes[j]];
        }
        return true;
    }
    rs.tab = Grid<unsigned char>::make(nb_col, nb_lig);
    if (!rs.tab) return false;
    rs.dtab.visit([&](auto rows, auto value) {
        for (int i = 0; i < nb_lig; ++i) {
            progress(i);
            unsigned char* cls = rs.tab[i];
            if (!ct.lookup.empty()) {
                // no branch on the cell's content; the table is held in
                // locals, since a byte store could otherwise change it as far
                // as the compiler knows
                const unsigned char* lookup = ct.lookup.data();
                const std::uint64_t last = ct.lookup.size() - 1;
                const std::uint64_t low = static_cast<std::uint64_t>(ct.lookup_low);
                for (int j = 0; j < nb_col; ++j) {
                    const std::uint64_t at = static_cast<std::uint64_t>(whole_elevation(value(rows[i][j]))) - low;
                    cls[j] = lookup[std::min(at, last)];
                }
            } else {
                for (int j = 0; j < nb_col; ++j) cls[j] = ct.class_of(whole_elevation(value(rows[i][j])));
            }
        }
    });
    return true;
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
