#include "geometry/rotation.h"

#include <algorithm>
#include <cmath>

namespace zorvel {

Turned rotation(double angle, int sens, double i_in, double j_in, int nb_lig, int nb_col) {
    const double pi = std::atan(1.0) * 4.0;
    const double api = (1.0 / 180.0) * pi;
    const double desv = angle;
    const double ic = nb_lig * 0.5;
    const double jc = nb_col * 0.5;
    // rows grow downward: a point above the centre has a positive dif_i
    double dif_i = ic - i_in;
    double dif_j = j_in - jc;
    double hypo = std::sqrt(dif_i * dif_i + dif_j * dif_j);
    if (std::isinf(hypo) && std::isfinite(dif_i) && std::isfinite(dif_j)) {
        // the squares of a point far outside the grid overflow: scale them
        // down instead (no result that did not overflow changes)
        const double scale = std::max(std::fabs(dif_i), std::fabs(dif_j));
        const double si = dif_i / scale, sj = dif_j / scale;
        hypo = scale * std::sqrt(si * si + sj * sj);
    }
    // the centre has no polar angle; it stays where it is
    if (hypo == 0.0) return Turned{i_in, j_in};
    double S = dif_i / hypo;
    double C = dif_j / hypo;
    double T = std::atan2(S, C) / api;
    if (T < 0) T = T + 360;
    // one correction at most: angles beyond a turn are left to sin and cos
    if (sens == 0) {
        T = T + desv;
        if (T > 360) T = T - 360;
    } else {
        T = T - desv;
        if (T < 0) T = T + 360;
    }
    T = T * api;
    S = std::sin(T);
    C = std::cos(T);
    dif_i = S * hypo;
    dif_j = C * hypo;
    return Turned{ic - dif_i, jc + dif_j};
}

}  // namespace zorvel
