#include "classify.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "numeric.h"

namespace zorvel {

namespace {

constexpr int kProgressRows = 200;  // rows between two progress lines

// neighbour weights, clockwise from the upper left
constexpr int kAboveLeft = 1, kAbove = 2, kAboveRight = 4, kRight = 8;
constexpr int kBelowRight = 16, kBelow = 32, kBelowLeft = 64, kLeft = 128;

constexpr bool is_corner(int jval) {
    return jval == (kAbove | kRight) || jval == (kRight | kBelow) || jval == (kBelow | kLeft) ||
           jval == (kAbove | kLeft);
}

}  // namespace

void class_assignment(std::FILE* out, RunState& rs, const ClassTable& ct) {
    std::fputs("\n\n Guardando  \n\n", out);
    // empty cells are compared like any other: -999 may be a class value
    const unsigned char empty_class = ct.class_of(whole_elevation(kNoElevation));
    for (int i = 0; i < rs.nb_lig; ++i) {
        if ((i + 1) % kProgressRows == 0) std::fprintf(out, "\tlinea %d        \r       ", i + 1);
        const double* alt = rs.dtab[i];
        unsigned char* cls = rs.tab[i];
        if (!ct.lookup.empty()) {
            // no branch on the cell's content: empty cells are looked up like
            // the others; the table is held in locals, since a byte store
            // could otherwise change it as far as the compiler knows
            const unsigned char* lookup = ct.lookup.data();
            const std::uint64_t last = ct.lookup.size() - 1;
            const std::uint64_t low = static_cast<std::uint64_t>(ct.lookup_low);
            const int nb_col = rs.nb_col;
            for (int j = 0; j < nb_col; ++j) {
                const std::uint64_t at = static_cast<std::uint64_t>(whole_elevation(alt[j])) - low;
                cls[j] = lookup[std::min(at, last)];
            }
        } else {
            for (int j = 0; j < rs.nb_col; ++j)
                cls[j] = alt[j] == kNoElevation ? empty_class : ct.class_of(whole_elevation(alt[j]));
        }
    }
}

void corner_cleanup(Grid<unsigned char>& tab, int nb_lig, int nb_col) {
    // in place, row by row: a cleared corner's two neighbours touch each other
    // diagonally, so no later mask turns on what was cleared before it
    for (int i = 1; i < nb_lig - 1; ++i) {
        const unsigned char* up = tab[i - 1];
        unsigned char* row = tab[i];
        const unsigned char* down = tab[i + 1];
        for (int j = 1; j < nb_col - 1; ++j) {
            // most of a grid is empty: step over eight empty cells at a time
            if (j + 8 <= nb_col - 1 && eight_empty_cells(row + j)) {
                j += 7;
                continue;
            }
            const unsigned char val = row[j];
            if (val == kEmptyCell) continue;
            int jval = 0;
            if (up[j - 1] == val) jval += kAboveLeft;
            if (up[j] == val) jval += kAbove;
            if (up[j + 1] == val) jval += kAboveRight;
            if (row[j + 1] == val) jval += kRight;
            if (down[j + 1] == val) jval += kBelowRight;
            if (down[j] == val) jval += kBelow;
            if (down[j - 1] == val) jval += kBelowLeft;
            if (row[j - 1] == val) jval += kLeft;
            if (is_corner(jval)) row[j] = kEmptyCell;
        }
    }
}

}  // namespace zorvel
