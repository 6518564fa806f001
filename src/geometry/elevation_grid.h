// The elevation grid of pass two. A contour drawing carries few distinct
// elevations, so a cell holds a code into the list of the elevations drawn:
// one byte for up to 256 codes, two bytes up to 65,536, the elevation itself
// beyond. Pass one counts the elevations, and the grid is made with cells as
// wide as they need; a cell always reads back the exact double drawn into it.
#ifndef ZORVEL_ELEVATION_GRID_H
#define ZORVEL_ELEVATION_GRID_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <variant>
#include <vector>

#include "base/grid.h"
#include "base/numeric.h"
#include "geometry/trace_droite.h"

namespace zorvel {

// How many distinct elevations the vertices of a drawing carry, counted up to
// 65,536: how wide the cells of its elevation grid must be.
class ElevationCount {
public:
    void take(double alti) {
        const std::uint64_t bits = bits_of(alti);
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
    // The distinct elevations counted, when there were no more than 65,536
    // (all_counted); past that count they are not kept.
    bool all_counted() const { return !many_; }
    std::vector<double> values() const;

private:
    static constexpr std::size_t kMany = 65536;
    void note(std::uint64_t bits);
    std::unordered_set<std::uint64_t> seen_;
    std::uint64_t last_ = 0;
    bool have_last_ = false;
    bool many_ = false;
};

// Cells that hold codes into the list of elevations.
template <typename Code>
struct CodedCells {
    Grid<Code> cells;
    std::vector<double> values;  // code -> elevation
    double at(int i, int j) const { return values[cells[i][j]]; }
};

// Cells that hold the elevations themselves.
struct PlainCells {
    Grid<double> cells;
    double at(int i, int j) const { return cells[i][j]; }
};

class ElevationGrid {
public:
    ElevationGrid() = default;
    // nb_col columns by nb_lig rows, all -999.0 but the last row and column,
    // which hold 0.0, with cells of `width` bytes (1, 2 or 8); empty when it
    // cannot be had.
    static ElevationGrid make(int nb_col, int nb_lig, int width = 1);

    explicit operator bool() const { return lig_ != 0; }
    int nb_rows() const { return lig_; }
    int nb_cols() const { return col_; }

    double at(int i, int j) const {
        return std::visit([&](const auto& c) { return c.at(i, j); }, cells_);
    }
    // Writes one cell; false when alti is an elevation more than the cells
    // can code, which only a drawing that changed since it was counted brings.
    bool set(int i, int j, double alti);
    // The walk from deb to fin drawn with alti; false as for set.
    bool draw(Cell deb, Cell fin, double alti);
    // The one-byte cells as walks draw into them, and the elevation coded
    // last with its code: for a caller that draws the commonest segments,
    // at that elevation, itself (neighbour_step). Nullopt for wider cells.
    struct ByteSteps {
        DrawTarget<unsigned char> target;
        std::uint64_t bits;
        unsigned char code;
    };
    std::optional<ByteSteps> byte_steps() {
        auto* c = std::get_if<CodedCells<unsigned char>>(&cells_);
        if (c == nullptr || !*this) return std::nullopt;
        return ByteSteps{{c->cells.rows(), draw_lig_, draw_col_, i0_, j0_}, last_bits_, static_cast<unsigned char>(last_code_)};
    }
    // Makes the grid a window on a larger one: its cells from [0][0] on are
    // rows i0.. and columns j0.. of the grid the walks count in, nb_rows by
    // nb_cols of them drawn (the rest, as made, left as they are).
    void place_window(int i0, int j0, int nb_rows, int nb_cols) {
        i0_ = i0;
        j0_ = j0;
        draw_lig_ = nb_rows;
        draw_col_ = nb_cols;
    }

    // Calls f with the cells: CodedCells<unsigned char>, CodedCells<unsigned
    // short> or PlainCells, whichever the grid holds. f may take them over.
    template <typename F>
    decltype(auto) visit(F&& f) {
        return std::visit(f, cells_);
    }
    template <typename F>
    decltype(auto) visit(F&& f) const {
        return std::visit(f, cells_);
    }

private:
    // The code of alti, a new one when it has none: false when there are
    // already `room` codes.
    bool code_of(double alti, std::size_t room, std::vector<double>& values, std::uint32_t& code);
    template <typename Write>
    bool write(double alti, Write&& w);

    std::variant<CodedCells<unsigned char>, CodedCells<unsigned short>, PlainCells> cells_;
    std::unordered_map<std::uint64_t, std::uint32_t> index_;  // bits of an elevation -> code
    std::uint64_t last_bits_ = 0;  // the elevation coded last, which most segments share
    std::uint32_t last_code_ = 0;
    int lig_ = 0;
    int col_ = 0;
    // the cells walks draw into, and where they lie in the grid the walks count in
    int draw_lig_ = 0;
    int draw_col_ = 0;
    int i0_ = 0;
    int j0_ = 0;
};

}  // namespace zorvel

#endif
