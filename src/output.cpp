#include "output.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace zorvel {

namespace {

constexpr int kCropStart = 10000;  // where the smallest row and column start
constexpr std::size_t kImageBuffer = std::size_t{1} << 20;  // bytes of the raw image written at a time

constexpr const char* kCredit = "zorvel_raster: curvas de nivel en imagen clasificada";

// Flushes and closes an output, reporting the first error with the file's name.
bool close_output(Console& con, FileHandle& f, const std::string& path) {
    const bool written = std::fflush(f.get()) == 0 && !std::ferror(f.get());
    const int saved = errno;
    const bool closed = std::fclose(f.release()) == 0;
    if (written && closed) return true;
    stop_line(con, "no se puede escribir " + path + ": " + std::strerror(written ? errno : saved));
    return false;
}

}  // namespace

Crop bounding_box(const Grid<unsigned char>& tab, int nb_lig, int nb_col) {
    Crop c{true, kCropStart, 0, kCropStart, 0};
    for (int i = 0; i < nb_lig; ++i) {
        const unsigned char* row = tab[i];
        // a row's first and last occupied cells are all that count: it is
        // read from both ends, most of a grid being empty eight cells at a time
        int first = 0;
        while (first + 8 <= nb_col && eight_empty_cells(row + first)) first += 8;
        while (first < nb_col && row[first] == kEmptyCell) ++first;
        if (first == nb_col) continue;
        int last = nb_col - 1;
        while (last - 8 >= first && eight_empty_cells(row + last - 7)) last -= 8;
        while (row[last] == kEmptyCell) --last;
        c.empty = false;
        if (i < c.min_i) c.min_i = i;
        if (i > c.max_i) c.max_i = i;
        if (first < c.min_j) c.min_j = first;
        if (last > c.max_j) c.max_j = last;
    }
    return c;
}

bool extraction(Console& con, RunState& rs) {
    const Crop c = bounding_box(rs.tab, rs.nb_lig, rs.nb_col);
    if (c.empty) {
        // an image of 0 by 0 rather than the -9999 that the bounds would give
        rs.nb_lig3 = 0;
        rs.nb_col3 = 0;
        std::fputs("\n\n Ninguna celda clasificada: la imagen queda vacia \n", con.out);
    } else {
        rs.nb_lig3 = c.max_i - c.min_i + 1;
        rs.nb_col3 = c.max_j - c.min_j + 1;
        // the crop is a window on tab: its cells are not copied
        rs.tab3 = Grid<unsigned char>::window(rs.tab, c.min_i, c.min_j, rs.nb_col3, rs.nb_lig3);
        if (!rs.tab3) {
            stop_line(con, "sin memoria para la imagen recortada de " + std::to_string(rs.nb_lig3) + " lineas y " +
                               std::to_string(rs.nb_col3) + " columnas");
            return false;
        }
    }
    std::FILE* f = rs.f2d.get();
    std::fprintf(f, "%d\n%d\n%d\n%d\n%d\n%lf\n\n", rs.nb_lig3, rs.nb_col3, 1, rs.val_minimo, rs.val_maximo,
                 rs.size_pix);
    std::fputs("\n\n\n Coordenadas UTM :", f);
    std::fprintf(f, "\n\tX min : %lf Y min : %lf ", rs.ext.min_x, rs.ext.min_y);
    std::fprintf(f, "\n\tX max : %lf Y max : %lf ", rs.ext.max_x, rs.ext.max_y);
    std::fprintf(f, "\n\n\t\t\t\t%s", kCredit);
    return close_output(con, rs.f2d, rs.nomdescr2);
}

bool save(Console& con, RunState& rs) {
    // rows go out through a large buffer: a few big writes rather than
    // several per row (a hint: the default buffer does the same more slowly)
    const std::size_t image = static_cast<std::size_t>(rs.nb_lig3) * static_cast<std::size_t>(rs.nb_col3);
    std::vector<char> buffer(image > kImageBuffer ? kImageBuffer : 0);
    if (!buffer.empty()) (void)std::setvbuf(rs.f2.get(), buffer.data(), _IOFBF, buffer.size());
    bool written = true;
    for (int i = 0; i < rs.nb_lig3 && written; ++i)
        written = std::fwrite(rs.tab3[i], static_cast<std::size_t>(rs.nb_col3), 1, rs.f2.get()) == 1;
    if (!written) {
        stop_line(con, "no se puede escribir " + rs.nomim2 + ": " + std::strerror(errno));
        std::fclose(rs.f2.release());
        return false;
    }
    return close_output(con, rs.f2, rs.nomim2);
}

}  // namespace zorvel
