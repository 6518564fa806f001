// The types a raster's cells are written as, and their names in GDAL's
// words (-ot, a VRT's dataType).
#ifndef ZORVEL_CELL_TYPE_H
#define ZORVEL_CELL_TYPE_H

#include <optional>
#include <string_view>

namespace zorvel {

// Byte: the classes; Float32 and Float64: the elevations.
enum class CellType { Byte, Float32, Float64 };

inline const char* type_name(CellType t) {
    switch (t) {
        case CellType::Byte: return "Byte";
        case CellType::Float32: return "Float32";
        case CellType::Float64: return "Float64";
    }
    return "";
}

// The type a name stands for, none for any other word (the case counts, as
// in GDAL's -ot).
inline std::optional<CellType> cell_type_named(std::string_view name) {
    for (const CellType t : {CellType::Byte, CellType::Float32, CellType::Float64})
        if (name == type_name(t)) return t;
    return std::nullopt;
}

}  // namespace zorvel

#endif
