// Elevation classes: the suggested interval, the table limits, the class
// values and the correspondence table.
#ifndef ZORVEL_CLASSES_H
#define ZORVEL_CLASSES_H

#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "geometry/elevation_grid.h"
#include "base/grid.h"
#include "base/numeric.h"

namespace zorvel {

constexpr int kMaxSegments = 253;     // intervals: class numbers stay below kEmptyCell
constexpr std::size_t kDistinctKept = 10;  // only the ninth and tenth values are ever used

// The distinct whole elevations of rows 0..nb_lig-1 and columns 0..nb_col-1,
// in order of first appearance, the first `keep` of them; empty cells and
// values without a whole elevation are left out.
std::vector<int> distinct_elevations(const ElevationGrid& dtab, int nb_lig, int nb_col,
                                     std::size_t keep = kDistinctKept);

// |tabval[10] - tabval[9]|, positions counted from 1, a missing one reading 0;
// 0 when the difference does not fit an int.
int suggested_interval(const std::vector<int>& tabval);

// The contour interval of a set of elevations: the greatest common divisor
// of the differences between their distinct whole elevations (those without
// one left out), and how many there are; an interval of 0 when fewer than two.
struct ContourInterval {
    int interval = 0;
    std::size_t distinct = 0;
};
ContourInterval contour_interval(const std::vector<double>& elevations);

// Widest span of whole elevations looked up in a table rather than computed.
constexpr std::int64_t kLookupSpan = std::int64_t{1} << 22;

// The class values: class number k stands for tabord[k], k = 1..num_segment + 1.
struct ClassTable {
    int intervalo = 0;
    long long num_segment = -1;
    std::vector<int> tabord;  // position 0 unused
    // class numbers of the whole elevations lookup_low, lookup_low + 1, ...:
    // one load per cell instead of a division
    std::vector<unsigned char> lookup;
    std::int64_t lookup_low = 0;

    // The class number of a whole elevation, or kEmptyCell when no class
    // 1..num_segment has that value (the last class value is given to no cell).
    unsigned char class_of(std::int64_t whole) const;
};

inline unsigned char ClassTable::class_of(std::int64_t whole) const {
    if (!lookup.empty()) {
        // unsigned distance: anything below lookup_low (kNoWholeElevation included)
        // wraps past the end and lands on the last entry, kept empty
        const std::uint64_t at = static_cast<std::uint64_t>(whole) - static_cast<std::uint64_t>(lookup_low);
        return lookup[std::min<std::uint64_t>(at, lookup.size() - 1)];
    }
    if (whole == kNoWholeElevation || intervalo == 0 || num_segment < 1) return kEmptyCell;
    // the class values run by intervalo from tabord[1], so the class number
    // follows from the distance to the first one
    const std::int64_t d = whole - tabord[1];
    if (d % intervalo != 0) return kEmptyCell;
    const std::int64_t k = d / intervalo + 1;
    return (k >= 1 && k <= num_segment) ? static_cast<unsigned char>(k) : kEmptyCell;
}

// The interval and the table limits the user chose, and the class values.
struct ClassChoice {
    int val_minimo;
    int val_maximo;
    ClassTable ct;
};

// Class values from the limits and the interval (intervalo != 0).
ClassTable class_values(int val_minimo, int val_maximo, int intervalo);

}  // namespace zorvel

#endif
