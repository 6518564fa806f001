// The values a run carries from one phase to the next, under the names the
// program has always used for them.
#ifndef ZORVEL_RUN_STATE_H
#define ZORVEL_RUN_STATE_H

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

#include "elevation_grid.h"
#include "grid.h"
#include "vertex_log.h"

namespace zorvel {

// The drawing extents of the header's $EXTMIN and $EXTMAX, in drawing units.
struct Extents {
    double min_x = 0.0, min_y = 0.0, min_alt = 0.0;
    double max_x = 0.0, max_y = 0.0, max_alt = 0.0;
};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

struct RunState {
    // the most memory the grids may take, in bytes; 0 for the machine's memory
    unsigned long long grid_memory_limit = 0;
    // drawings of this many bytes or more have pass one read by two threads
    std::size_t ahead_min_bytes = std::size_t{8} << 20;
    // the most memory pass one may give to the log of the vertices that saves
    // pass two reading the drawing again; kLogBoundOfDrawing: see vertex_log_bound
    std::size_t vertex_log_bytes = kLogBoundOfDrawing;

    // the four files and their paths
    FileHandle f1;   // input drawing, read
    FileHandle f2;   // raw image, written in binary
    FileHandle f2d;  // descriptor text
    FileHandle f3d;  // correspondence table text
    std::string nomim1;     // drawing path
    std::string nomim2;     // raw image path
    std::string nomdescr2;  // descriptor path
    std::string nomdescr3;  // correspondence table path

    double pix_size = 0.0;  // the pixel size of the grid: typed, then the rotated one
    double size_pix = 0.0;  // the pixel size as typed, for the descriptor
    Extents ext;

    int nb_lig = 0;  // grid rows
    int nb_col = 0;  // grid columns
    ElevationGrid dtab;       // elevations, nb_lig + 2 rows by nb_col + 2 columns
    int dtab_width = 1;       // bytes per cell dtab starts with (see ElevationCount)
    Grid<unsigned char> tab;  // class numbers, nb_lig rows by nb_col columns, made from dtab

    int val_minimo = 0;  // correspondence table minimum
    int val_maximo = 0;  // correspondence table maximum

    int nb_lig3 = 0;           // rows of the cropped image
    int nb_col3 = 0;           // columns of the cropped image
    Grid<unsigned char> tab3;  // the cropped class grid, a window on tab (declared after it)
};

}  // namespace zorvel

#endif
