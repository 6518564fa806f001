#include "classes.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "numeric.h"

namespace zorvel {

std::vector<int> distinct_elevations(const ElevationGrid& dtab, int nb_lig, int nb_col, std::size_t keep) {
    std::vector<int> tabval;
    dtab.visit([&](const auto& cells) {
        for (int i = 0; i < nb_lig && tabval.size() < keep; ++i) {
            for (int j = 0; j < nb_col && tabval.size() < keep; ++j) {
                const std::int64_t val = whole_elevation(cells.at(i, j));
                // -999 marks the empty cells, and whatever contour truncates to it
                if (val == -999 || val == kNotWhole) continue;
                bool seen = false;
                for (int v : tabval) seen = seen || v == val;
                if (!seen) tabval.push_back(static_cast<int>(val));
            }
        }
    });
    return tabval;
}

int suggested_interval(const std::vector<int>& tabval) {
    const auto at = [&](std::size_t pos) -> std::int64_t { return pos <= tabval.size() ? tabval[pos - 1] : 0; };
    std::int64_t d = at(10) - at(9);
    if (d < 0) d = -d;
    return d > INT_MAX ? 0 : static_cast<int>(d);
}

ClassTable class_values(int val_minimo, int val_maximo, int intervalo) {
    ClassTable ct;
    ct.intervalo = intervalo;
    // int division truncates toward zero: -25 / 10 gives -2
    ct.num_segment = (static_cast<std::int64_t>(val_maximo) - val_minimo) / intervalo;
    ct.tabord.assign(1, 0);
    std::int64_t val_deb = static_cast<std::int64_t>(val_minimo) - intervalo;
    for (long long k = 1; k <= ct.num_segment + 1; ++k) {
        val_deb += intervalo;
        // between val_minimo and val_maximo, so always an int
        ct.tabord.push_back(static_cast<int>(val_deb));
    }
    if (ct.num_segment >= 1) {
        // the classes given to cells, 1..num_segment, span this many whole elevations
        const std::int64_t first = ct.tabord[1];
        const std::int64_t last = ct.tabord[static_cast<std::size_t>(ct.num_segment)];
        const std::int64_t low = std::min(first, last);
        if (std::max(first, last) - low < kLookupSpan) {
            // one entry more than the span, kept empty, for every elevation outside it
            std::vector<unsigned char> lookup(static_cast<std::size_t>(std::max(first, last) - low + 2), kEmptyCell);
            for (long long k = 1; k <= ct.num_segment; ++k)
                lookup[static_cast<std::size_t>(ct.tabord[static_cast<std::size_t>(k)] - low)] =
                    static_cast<unsigned char>(k);
            ct.lookup = std::move(lookup);
            ct.lookup_low = low;
        }
    }
    return ct;
}

std::optional<ClassChoice> class_dialogue(Console& con, int suggested) {
    std::fprintf(con.out, "\n\n Intervalo altimetrico = %d ", suggested);
    const auto rep = ask_int(con, "\n\n 0 ====> tomar en cuenta este intervalo\n 1 ====> elegir otro\n ",
                             "la eleccion del intervalo",
                             [](int r) { return (r == 0 || r == 1) ? Verdict::accept() : Verdict::ask_again(); });
    if (!rep) return std::nullopt;
    int intervalo = suggested;
    if (*rep == 0 && intervalo == 0) std::fputs("\n un intervalo de 0 no sirve: elija otro ", con.out);
    if (*rep == 1 || intervalo == 0) {
        const auto typed = ask_int(con, "\n valor del intervalo ? ", "el valor del intervalo", [](int v) {
            return v != 0 ? Verdict::accept() : Verdict::refuse("\n un intervalo de 0 no sirve: elija otro ");
        });
        if (!typed) return std::nullopt;
        intervalo = *typed;
    }
    std::fputs("\n\n Definicion de los valores de la tabla de correspondencia :", con.out);
    for (;;) {
        const auto minimo = ask_int(con, "\n\n\tValor minimo ? ", "el valor minimo");
        if (!minimo) return std::nullopt;
        const auto maximo = ask_int(con, "\n\tValor maximo ? ", "el valor maximo");
        if (!maximo) return std::nullopt;
        const std::int64_t range = static_cast<std::int64_t>(*maximo) - *minimo;
        if (range < INT_MIN || range > INT_MAX) {
            std::fputs("\n la diferencia entre el maximo y el minimo sale del rango de los enteros ", con.out);
            continue;
        }
        const long long num_segment = range / intervalo;
        if (num_segment > kMaxSegments) {
            std::fprintf(con.out, "\n\n El numero total de intervalos (%lld) es demasiado grande ", num_segment + 1);
            wait_key(con);
            return std::nullopt;
        }
        return ClassChoice{*minimo, *maximo, class_values(*minimo, *maximo, intervalo)};
    }
}

bool write_table(Console& con, FileHandle& f3d, const std::string& path, const ClassTable& ct) {
    for (long long k = 1; k <= ct.num_segment + 1; ++k)
        std::fprintf(f3d.get(), " %lld %d \n", k, ct.tabord[static_cast<std::size_t>(k)]);
    return close_output(con, f3d, path);
}

}  // namespace zorvel
