// The elevation grid of pass two. A contour drawing carries few distinct
// elevations, so a cell holds a code into the list of the elevations drawn so
// far: one byte while there are at most 256 of them, two bytes up to 65,536,
// the elevation itself beyond. The grid widens itself when a new elevation
// does not fit; a cell always reads back the exact double drawn into it.
#ifndef ZORVEL_ELEVATION_GRID_H
#define ZORVEL_ELEVATION_GRID_H

#include <cstdint>
#include <bit>
#include <cstddef>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "grid.h"
#include "trace_droite.h"

namespace zorvel {

// How many distinct elevations the vertices of a drawing carry, counted up to
// 65,536: how wide the cells of its elevation grid must start.
class ElevationCount {
public:
    void take(double alti) {
        const auto bits = std::bit_cast<std::uint64_t>(alti);
        // most vertices carry the elevation of the one before
        if (have_last_ && bits == last_) return;
        have_last_ = true;
        last_ = bits;
        if (!many_) note(bits);
    }
    // Adds the elevations counted by another.
    void add(const ElevationCount& o);
    // Bytes per cell of a grid that codes them all besides -999 and 0.0: 1, 2 or 8.
    int width() const;

private:
    static constexpr std::size_t kMany = 65536;
    void note(std::uint64_t bits);
    std::unordered_set<std::uint64_t> seen_;
    std::uint64_t last_ = 0;
    bool have_last_ = false;
    bool many_ = false;
};

class ElevationGrid {
public:
    ElevationGrid() = default;
    // nb_col columns by nb_lig rows, all -999.0 but the last row and column,
    // which hold 0.0, with cells of `width` bytes (1, 2 or 8) to start with;
    // empty when it cannot be had.
    static ElevationGrid make(int nb_col, int nb_lig, int width = 1);

    explicit operator bool() const { return width_ != 0; }
    int nb_rows() const { return lig_; }
    int nb_cols() const { return col_; }
    // bytes per cell: 1 or 2 for codes, 8 for plain elevations
    int width() const { return width_; }

    double at(int i, int j) const;
    // Writes one cell; false when the grid had to widen and could not.
    bool set(int i, int j, double alti);
    // The walk from deb to fin drawn with alti; false as for set.
    bool draw(Cell deb, Cell fin, double alti);

    // Calls f(rows, value) with the cells' own rows and the function that
    // turns a cell into its elevation.
    template <typename F>
    decltype(auto) visit(F&& f) const {
        if (width_ == 1) return f(codes8_.rows(), [this](unsigned char c) { return values_[c]; });
        if (width_ == 2) return f(codes16_.rows(), [this](unsigned short c) { return values_[c]; });
        return f(plain_.rows(), [](double v) { return v; });
    }
    // The elevation of every code, for grids of width 1 or 2.
    const std::vector<double>& values() const { return values_; }
    // The cells of a grid of width 2.
    const Grid<unsigned short>& codes16() const { return codes16_; }
    // Hands over the rows of a one-byte grid, which may then be reused in
    // place; the elevation grid is empty afterwards.
    Grid<unsigned char> release_codes();

private:
    bool code_of(double alti, std::uint32_t& code);
    // Codes alti and calls w(cells, value) with the grid's cells and what
    // goes into them; false as for set.
    template <typename Write>
    bool write(double alti, Write&& w);
    bool widen();
    template <typename T>
    DrawTarget<T> target(const Grid<T>& g) const {
        return DrawTarget<T>{g.rows(), lig_, col_};
    }

    Grid<unsigned char> codes8_;
    Grid<unsigned short> codes16_;
    Grid<double> plain_;
    std::vector<double> values_;                           // code -> elevation
    std::unordered_map<std::uint64_t, std::uint32_t> index_;  // bits of an elevation -> code
    std::uint64_t last_bits_ = 0;  // the elevation coded last, which most segments share
    std::uint32_t last_code_ = 0;
    int width_ = 0;
    bool failed_ = false;  // a widening found no memory
    int lig_ = 0;
    int col_ = 0;
};

}  // namespace zorvel

#endif
