// Ownership of a row-pointer matrix: rows [row][column], zero-filled.
#ifndef ZORVEL_GRID_H
#define ZORVEL_GRID_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "matrices.h"
#include "base/memory.h"

namespace zorvel {

constexpr unsigned char kEmptyCell = 255;  // tab: a cell without a class
constexpr double kNoElevation = -999.0;    // dtab: a cell no segment reached

// Whether the eight cells of a class grid row from p on are all empty: most
// of a grid is, and the sweeps over it step across such runs at once.
inline bool eight_empty_cells(const unsigned char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w == ~std::uint64_t{0};
}

// Whether the eight codes from p on are all 0, the fill of a grid of codes.
template <typename Code>
bool eight_zero_codes(const Code* p) {
    std::uint64_t run[sizeof(Code)];
    std::memcpy(run, p, sizeof run);
    std::uint64_t any = 0;
    for (const std::uint64_t w : run) any |= w;
    return any == 0;
}

template <typename T>
class Grid {
    static_assert(std::is_same_v<T, double> || std::is_same_v<T, unsigned short> ||
                      std::is_same_v<T, unsigned char>,
                  "the program keeps elevations, their codes and class numbers only");

public:
    Grid() = default;
    // nb_col columns by nb_lig rows, zero-filled; empty when it cannot be had.
    //
    // A small grid comes from the matrices library, a block per row. A large
    // one is the most memory a run touches, and on first touch the system
    // hands memory out a page at a time: its rows are cut from one mapping
    // that is populated in one call, cheaper than a fault for every page.
    static Grid make(int nb_col, int nb_lig) {
        Grid g;
        if (nb_col <= 0 || nb_lig <= 0) return g;
        const std::size_t row = static_cast<std::size_t>(nb_col) * sizeof(T);
        const std::size_t bytes = row * static_cast<std::size_t>(nb_lig);
        if (bytes >= kMappedBytes) {
            void* base = map_zeroed(bytes);
            T** pointers = base != nullptr ? new (std::nothrow) T*[static_cast<std::size_t>(nb_lig)] : nullptr;
            if (pointers != nullptr) {
                for (int i = 0; i < nb_lig; ++i)
                    pointers[i] = reinterpret_cast<T*>(static_cast<char*>(base) + row * static_cast<std::size_t>(i));
                g.rows_ = pointers;
                g.mapped_ = base;
                g.mapped_bytes_ = bytes;
                g.lig_ = g.held_lig_ = nb_lig;
                g.col_ = nb_col;
                return g;
            }
            if (base != nullptr) unmap(base, bytes);
        }
        if constexpr (std::is_same_v<T, double>)
            g.rows_ = dmatrice(nb_col, nb_lig);
        else if constexpr (std::is_same_v<T, unsigned short>)
            g.rows_ = usmatrice(nb_col, nb_lig);
        else
            g.rows_ = ucmatrice(nb_col, nb_lig);
        if (g.rows_ != nullptr) {
            g.lig_ = g.held_lig_ = nb_lig;
            g.col_ = nb_col;
        }
        return g;
    }
    // The nb_lig rows by nb_col columns of g from row min_i and column
    // min_j, without a copy: the window holds its own row pointers and
    // borrows the cells, so g must outlive it. Empty when the rectangle
    // leaves g or the pointers cannot be had.
    static Grid window(const Grid& g, int min_i, int min_j, int nb_lig, int nb_col) {
        Grid w;
        if (nb_col <= 0 || nb_lig <= 0 || min_i < 0 || min_j < 0 || min_i > g.lig_ - nb_lig ||
            min_j > g.col_ - nb_col)
            return w;
        T** pointers = new (std::nothrow) T*[static_cast<std::size_t>(nb_lig)];
        if (pointers == nullptr) return w;
        for (int k = 0; k < nb_lig; ++k) pointers[k] = g.rows_[min_i + k] + min_j;
        w.rows_ = pointers;
        w.borrowed_ = true;
        w.lig_ = nb_lig;
        w.col_ = nb_col;
        return w;
    }
    // The same rows, seen as the first nb_lig rows of their first nb_col
    // columns: a grid can become a smaller one without a copy.
    Grid narrowed(int nb_col, int nb_lig) && {
        Grid g(std::move(*this));
        if (nb_lig >= 0 && nb_lig <= g.lig_) g.lig_ = nb_lig;
        if (nb_col >= 0 && nb_col <= g.col_) g.col_ = nb_col;
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
        if (borrowed_) {
            delete[] rows_;
        } else if (mapped_ != nullptr) {
            delete[] rows_;
            unmap(mapped_, mapped_bytes_);
        } else if constexpr (std::is_same_v<T, double>) {
            frdmatrice(rows_, held_lig_);
        } else if constexpr (std::is_same_v<T, unsigned short>) {
            frusmatrice(rows_, held_lig_);
        } else {
            frucmatrice(rows_, held_lig_);
        }
    }

    explicit operator bool() const { return rows_ != nullptr; }
    T** rows() const { return rows_; }
    T* operator[](int i) const { return rows_[i]; }
    int nb_rows() const { return lig_; }
    int nb_cols() const { return col_; }

private:
    void swap(Grid& o) noexcept {
        std::swap(rows_, o.rows_);
        std::swap(mapped_, o.mapped_);
        std::swap(mapped_bytes_, o.mapped_bytes_);
        std::swap(borrowed_, o.borrowed_);
        std::swap(lig_, o.lig_);
        std::swap(held_lig_, o.held_lig_);
        std::swap(col_, o.col_);
    }
    T** rows_ = nullptr;
    void* mapped_ = nullptr;  // the mapping that holds the rows of a large grid
    std::size_t mapped_bytes_ = 0;
    bool borrowed_ = false;   // a window: the cells belong to another grid
    int lig_ = 0;
    int held_lig_ = 0;  // the rows allocated, which a narrowed grid may not show
    int col_ = 0;
};

}  // namespace zorvel

#endif
