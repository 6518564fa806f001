#include "cli/class_settings.h"

#include <cmath>
#include <cstdint>
#include <utility>

#include "geometry/grid_layout.h"
#include "reading/drawing_reader.h"
#include "reading/dxf_scanner.h"

namespace zorvel {

namespace {

std::int64_t floor_div(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// The table limits for an interval: at or below the lowest elevation, and
// the first class value strictly above the highest, so that the top contour
// has a class too. An interval of the user's runs from its multiples; the
// contours' own interval runs from the lowest contour, which need not be one
// (contours at 105, 115 ... every 10).
std::pair<std::int64_t, std::int64_t> limits_for(int intervalo, const DrawnRange& drawn, bool from_contours) {
    if (from_contours)
        return {drawn.lowest, drawn.lowest + ((static_cast<std::int64_t>(drawn.highest) - drawn.lowest) / intervalo + 1) *
                                                 intervalo};
    return {floor_div(drawn.lowest, intervalo) * intervalo, (floor_div(drawn.highest, intervalo) + 1) * intervalo};
}

// The whole elevations of the drawn grid; where it has none but is filled,
// those of the filled grid: contours whose whole elevation is -999 draw
// cells that read as empty, but the fill takes their level.
DrawnRange drawn_or_filled(const ClassHints& hints) {
    const DrawnRange drawn = hints.drawn();
    if (drawn.any || !hints.filled || !(hints.filled->first >= INT32_MIN && hints.filled->second < INT32_MAX))
        return drawn;
    return {true, static_cast<int>(std::floor(hints.filled->first)), static_cast<int>(std::floor(hints.filled->second))};
}

}  // namespace

std::optional<int> CommandLineSettings::skip_count(std::FILE* drawing, const std::string& path) {
    if (cl_.reg) return *cl_.reg;
    DrawingReader rd(drawing);
    const int found = first_fitting_skip_count(rd);
    std::rewind(drawing);
    if (found < 0) {
        stop_line(con_, T_("el dibujo ") + path +
                            T_(" no tiene registros VERTEX con el codigo 10 de X: indique -reg"));
        return std::nullopt;
    }
    return found;
}

int CommandLineSettings::data_interval(const ClassHints& hints) {
    const ContourInterval c = hints.contours();
    if (c.distinct < 2) {
        interval_why_ = T_("1: una sola elevacion entera en las curvas");
        return 1;
    }
    if (c.interval == 0) {
        stop_line(con_, T_("la equidistancia de las curvas sale del rango de los enteros: indique -interval"));
        return 0;
    }
    interval_why_ = std::to_string(c.interval) + T_(": la equidistancia de las curvas (el maximo comun divisor de las "
                    "diferencias entre sus ") + std::to_string(c.distinct) + T_(" elevaciones enteras)");
    const DrawnRange drawn = hints.drawn();
    if (!drawn.any || (cl_.minimum && cl_.maximum)) return c.interval;
    // the smallest multiple of the contour interval whose classes fit a byte
    for (std::int64_t k = 1;; ++k) {
        const std::int64_t iv = k * c.interval;
        if (iv > INT32_MAX) return c.interval;  // the too-many-intervals stop says the rest
        const auto [lo, hi] = limits_for(static_cast<int>(iv), drawn, true);
        const std::int64_t low = cl_.minimum ? *cl_.minimum : lo, high = cl_.maximum ? *cl_.maximum : hi;
        if ((high - low) / iv > kMaxSegments) continue;
        if (k > 1) {
            warn_line(con_, T_("la equidistancia de las curvas, ") + std::to_string(c.interval) + T_(", da mas de ") +
                                std::to_string(kMaxSegments) + T_(" clases: se toma el menor multiplo que cabe, ") +
                                std::to_string(iv) + T_(" (indique otro con -interval)"));
            interval_why_ = std::to_string(iv) + T_(": el menor multiplo de la equidistancia de las curvas (") +
                            std::to_string(c.interval) + T_(") cuyas clases caben en ") + std::to_string(kMaxSegments);
        }
        return static_cast<int>(iv);
    }
}

CommandLineSettings::Interval CommandLineSettings::interval(const ClassHints& hints) {
    if (cl_.interval) {
        interval_why_ = std::to_string(*cl_.interval) + T_(": dado con -interval");
        return {*cl_.interval, false};
    }
    if (cl_.dialogue_grid) {
        interval_why_ = std::to_string(hints.suggested) + T_(": el que sugiere el dialogo");
        if (hints.suggested == 0)
            stop_line(con_, T_("no se puede sugerir un intervalo (la cuadricula tiene menos de diez elevaciones "
                               "distintas): indique -interval"));
        return {hints.suggested, false};
    }
    return {data_interval(hints), true};
}

std::optional<ClassChoice> CommandLineSettings::classes(const ClassHints& hints) {
    const auto [intervalo, from_contours] = interval(hints);
    if (intervalo == 0) return std::nullopt;
    // the limits not given come from the grid's elevations
    const DrawnRange drawn = (!cl_.minimum || !cl_.maximum) ? drawn_or_filled(hints) : DrawnRange{true, 0, 0};
    if (!drawn.any && cl_.te) {
        const Extents& t = *cl_.te;
        const Extents& e = hints.sources;
        stop_line(con_, message(T_("ninguna curva cae en las extensiones de -te (X de {1} a {2}, Y de {3} a {4}); "
                                   "las de las curvas son X de {5} a {6}, Y de {7} a {8}"),
                                {number_text(t.min_x), number_text(t.max_x), number_text(t.min_y), number_text(t.max_y),
                                 number_text(e.min_x), number_text(e.max_x), number_text(e.min_y), number_text(e.max_y)}));
        return std::nullopt;
    }
    if (!drawn.any) {
        stop_line(con_, T_("ninguna celda de la cuadricula tiene elevacion: indique -min y -max"));
        return std::nullopt;
    }
    // the limits a multiple of the interval at or below the lowest elevation,
    // and strictly above the highest, so that the top contour has a class too
    const auto [floor_limit, ceiling_limit] = limits_for(intervalo, drawn, from_contours);
    std::int64_t minimo = cl_.minimum ? *cl_.minimum : floor_limit;
    std::int64_t maximo = cl_.maximum ? *cl_.maximum : ceiling_limit;
    // a filled grid rises above its top contour and sinks below its lowest:
    // the limits not given take whole intervals more, to give those cells a band
    if (hints.filled) {
        const auto [lowest, highest] = *hints.filled;
        // whole intervals in doubles; past the ints' range by far, as far as a check below stops
        const auto widening = [iv = intervalo](double intervals) {
            const double by = intervals * iv;
            return by < 0x1p40 ? static_cast<std::int64_t>(by) : std::int64_t{1} << 40;
        };
        if (!cl_.minimum && lowest < static_cast<double>(minimo))
            minimo -= widening(std::ceil((static_cast<double>(minimo) - lowest) / intervalo));
        if (!cl_.maximum && highest >= static_cast<double>(maximo))
            maximo += widening(std::floor((highest - static_cast<double>(maximo)) / intervalo) + 1);
    }
    if (minimo < INT32_MIN || maximo > INT32_MAX || maximo - minimo > INT32_MAX || maximo - minimo < INT32_MIN) {
        stop_line(con_, T_("los limites de la tabla salen del rango de los enteros: indique -min y -max"));
        return std::nullopt;
    }
    // a limit given beyond the other, taken from the contours, leaves no class
    if (minimo >= maximo) {
        stop_line(con_, message(T_("los limites de la tabla, de {1} a {2}, no dejan ninguna clase: indique -min y -max"),
                                {std::to_string(minimo), std::to_string(maximo)}));
        return std::nullopt;
    }
    const std::int64_t num_segment = (maximo - minimo) / intervalo;
    if (num_segment > kMaxSegments) {
        stop_line(con_, T_("el numero total de intervalos (") + std::to_string(num_segment + 1) +
                            T_(") es demasiado grande: indique otro -interval, -min o -max"));
        return std::nullopt;
    }
    const int lo = static_cast<int>(minimo), hi = static_cast<int>(maximo);
    return ClassChoice{lo, hi, class_values(lo, hi, intervalo)};
}

}  // namespace zorvel
