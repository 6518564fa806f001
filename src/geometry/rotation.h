// Rotation of a grid point about the grid centre.
#ifndef ZORVEL_ROTATION_H
#define ZORVEL_ROTATION_H

namespace zorvel {

struct Turned {
    double id2;  // the turned row
    double jd2;  // the turned column
};

// Turns (i_in, j_in) by angle degrees about (nb_lig / 2, nb_col / 2): sens 0
// counter-clockwise as the grid is displayed, any other sens clockwise.
Turned rotation(double angle, int sens, double i_in, double j_in, int nb_lig, int nb_col);

}  // namespace zorvel

#endif
