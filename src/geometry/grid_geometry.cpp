#include "geometry/grid_geometry.h"
#include "base/messages.h"

#include <cmath>
#include <string>

#include "base/numeric.h"

namespace zorvel {

double degree_factor() {
    const double pi = std::atan(1.0) * 4.0;
    return static_cast<double>((1.0L / 180.0L) * static_cast<long double>(pi));
}

std::optional<GridSize> size_grid(const Extents& ext, double pix_size) {
    const double dif_x = static_cast<double>(static_cast<long double>(ext.max_x) - ext.min_x);
    const auto nb_col = round_half_up(static_cast<long double>(dif_x) / pix_size);
    const double dif_y = static_cast<double>(static_cast<long double>(ext.max_y) - ext.min_y);
    const auto nb_lig = round_half_up(static_cast<long double>(dif_y) / pix_size);
    if (!nb_col || !nb_lig) return std::nullopt;
    return GridSize{*nb_lig, *nb_col};
}

std::optional<GridSize> grid_sizing(Console& con, Report& report, const Extents& ext, double pix_size,
                                    Approximation which, const std::string& drawing, const std::string& extents_name) {
    const auto size = size_grid(ext, pix_size);
    if (!size) {
        stop_line(con, T_(extents_name.c_str()) + std::string(T_(" con el tamano del pixel dan una cuadricula fuera de rango en ")) + drawing);
        return std::nullopt;
    }
    if (which == Approximation::first)
        report.first_approximation(size->nb_lig, size->nb_col);
    else
        report.second_approximation(pix_size, size->nb_lig, size->nb_col);
    if (size->nb_lig <= 0 || size->nb_col <= 0) {
        stop_line(con, T_("la cuadricula no tiene celdas (lineas = ") + std::to_string(size->nb_lig) +
                           T_(", columnas = ") + std::to_string(size->nb_col) +
                           T_("): revise ") + T_(extents_name.c_str()) + T_(" y el tamano del pixel de ") + drawing);
        return std::nullopt;
    }
    return size;
}

double rotated_pixel_size(double pix_size, int nb_col, double angle) {
    const double r = static_cast<double>(static_cast<long double>(angle) * degree_factor());
    const double cote = static_cast<double>(static_cast<long double>(nb_col) * std::sin(r));
    const double d_col = static_cast<double>(static_cast<long double>(nb_col) - cote);
    // the squares and their sum in extended precision, the sum rounded to double
    const double sum = static_cast<double>(static_cast<long double>(cote) * cote +
                                           static_cast<long double>(d_col) * d_col);
    const double hypo = std::sqrt(sum);
    // the product first, product and quotient in extended precision
    return static_cast<double>((static_cast<long double>(pix_size) * hypo) / nb_col);
}

}  // namespace zorvel
