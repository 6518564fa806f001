// Ownership of a row-pointer matrix made by the matrices library.
#ifndef ZORVEL_GRID_H
#define ZORVEL_GRID_H

#include <type_traits>
#include <utility>

#include "matrices.h"

namespace zorvel {

constexpr unsigned char kEmptyCell = 255;  // tab: a cell without a class
constexpr double kNoElevation = -999.0;    // dtab: a cell no segment reached

template <typename T>
class Grid {
    static_assert(std::is_same_v<T, double> || std::is_same_v<T, unsigned char>,
                  "the program keeps elevations and class numbers only");

public:
    Grid() = default;
    // nb_col columns by nb_lig rows, zero-filled; empty when it cannot be had.
    static Grid make(int nb_col, int nb_lig) {
        Grid g;
        if constexpr (std::is_same_v<T, double>)
            g.rows_ = dmatrice(nb_col, nb_lig);
        else
            g.rows_ = ucmatrice(nb_col, nb_lig);
        if (g.rows_ != nullptr) {
            g.lig_ = nb_lig;
            g.col_ = nb_col;
        }
        return g;
    }
    Grid(Grid&& o) noexcept { swap(o); }
    Grid& operator=(Grid&& o) noexcept {
        Grid tmp(std::move(o));
        swap(tmp);
        return *this;
    }
    Grid(const Grid&) = delete;
    Grid& operator=(const Grid&) = delete;
    ~Grid() {
        if constexpr (std::is_same_v<T, double>)
            frdmatrice(rows_, lig_);
        else
            frucmatrice(rows_, lig_);
    }

    explicit operator bool() const { return rows_ != nullptr; }
    T** rows() const { return rows_; }
    T* operator[](int i) const { return rows_[i]; }
    int nb_rows() const { return lig_; }
    int nb_cols() const { return col_; }

private:
    void swap(Grid& o) noexcept {
        std::swap(rows_, o.rows_);
        std::swap(lig_, o.lig_);
        std::swap(col_, o.col_);
    }
    T** rows_ = nullptr;
    int lig_ = 0;
    int col_ = 0;
};

}  // namespace zorvel

#endif
