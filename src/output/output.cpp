#include "output/output.h"
#include "base/messages.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base/numeric.h"

namespace zorvel {

namespace {

constexpr int kCropStart = 10000;  // where the smallest row and column start
constexpr std::size_t kImageBuffer = std::size_t{1} << 20;  // bytes of the raw image written at a time

constexpr const char* kCredit = "zorvel_raster: curvas de nivel en imagen clasificada";

}  // namespace

bool write_table(Console& con, FileHandle& f3d, const std::string& path, const ClassTable& ct) {
    for (long long k = 1; k <= ct.num_segment + 1; ++k)
        std::fprintf(f3d.get(), " %lld %d \n", k, ct.tabord[static_cast<std::size_t>(k)]);
    return close_output(con, f3d, path);
}

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

std::optional<CroppedImage> extraction(Console& con, Report& report, const Grid<unsigned char>& tab, int nb_lig,
                                       int nb_col, const DescriptorValues& dv, FileHandle& f2d,
                                       const std::string& path, bool crop, const Crop* keep) {
    const Crop c = keep != nullptr ? *keep
                   : crop          ? bounding_box(tab, nb_lig, nb_col)
                                   : Crop{nb_lig <= 0 || nb_col <= 0, 0, nb_lig - 1, 0, nb_col - 1};
    CroppedImage image;
    if (c.empty) {
        // an image of 0 by 0 rather than the -9999 that the bounds would give
        report.empty_image();
    } else {
        image.nb_lig3 = c.max_i - c.min_i + 1;
        image.nb_col3 = c.max_j - c.min_j + 1;
        image.min_i = c.min_i;
        image.min_j = c.min_j;
        // the crop is a window on tab: its cells are not copied
        image.tab3 = Grid<unsigned char>::window(tab, c.min_i, c.min_j, image.nb_lig3, image.nb_col3);
        if (!image.tab3) {
            stop_no_memory(con, T_("la imagen recortada"), image.nb_lig3, image.nb_col3);
            return std::nullopt;
        }
    }
    if (!f2d) return image;
    std::FILE* f = f2d.get();
    std::fprintf(f, "%d\n%d\n%d\n%d\n%d\n%lf\n\n", image.nb_lig3, image.nb_col3, 1, dv.val_minimo, dv.val_maximo,
                 dv.size_pix);
    std::fputs("\n\n\n Coordenadas UTM :", f);
    std::fprintf(f, "\n\tX min : %lf Y min : %lf ", dv.ext.min_x, dv.ext.min_y);
    std::fprintf(f, "\n\tX max : %lf Y max : %lf ", dv.ext.max_x, dv.ext.max_y);
    std::fprintf(f, "\n\n\t\t\t\t%s", kCredit);
    if (!close_output(con, f2d, path)) return std::nullopt;
    return image;
}

bool save(Console& con, const CroppedImage& image, FileHandle& f2, const std::string& path) {
    // rows go out through a large buffer: a few big writes rather than
    // several per row (a hint: the default buffer does the same more slowly)
    const std::size_t bytes = static_cast<std::size_t>(image.nb_lig3) * static_cast<std::size_t>(image.nb_col3);
    std::vector<char> buffer(bytes > kImageBuffer ? kImageBuffer : 0);
    if (!buffer.empty()) (void)std::setvbuf(f2.get(), buffer.data(), _IOFBF, buffer.size());
    bool written = true;
    for (int i = 0; i < image.nb_lig3 && written; ++i)
        written = std::fwrite(image.tab3[i], static_cast<std::size_t>(image.nb_col3), 1, f2.get()) == 1;
    if (!written) {
        stop_line(con, T_("no se puede escribir ") + path + ": " + std::strerror(errno));
        std::fclose(f2.release());
        return false;
    }
    // closed here, while the buffer is still ours
    return close_output(con, f2, path);
}

bool save_values(Console& con, const CroppedImage& image, const std::vector<double>& alti, int nb_col,
                 const ValueImage& v, FileHandle& f2, const std::string& path) {
    const bool single = v.type == CellType::Float32;
    const std::size_t cell = single ? 4 : 8, row_bytes = cell * static_cast<std::size_t>(image.nb_col3);
    // as many whole rows at a time as make about kImageBuffer
    const std::size_t rows_at_once = std::max<std::size_t>(1, kImageBuffer / std::max<std::size_t>(1, row_bytes));
    std::vector<unsigned char> out(std::min(rows_at_once, static_cast<std::size_t>(std::max(image.nb_lig3, 0))) * row_bytes);
    bool written = true;
    for (int i = 0; i < image.nb_lig3 && written;) {
        unsigned char* p = out.data();
        for (std::size_t r = 0; r < rows_at_once && i < image.nb_lig3; ++r, ++i) {
            const double* cells = alti.data() + static_cast<std::size_t>(image.min_i + i) * static_cast<std::size_t>(nb_col) +
                                  image.min_j;
            for (int j = 0; j < image.nb_col3; ++j, p += cell) {
                const double a = cells[j] == kNoElevation ? v.nodata : cells[j];
                // the bytes of the value, least significant first, whatever the machine
                const std::uint64_t bits = single ? std::bit_cast<std::uint32_t>(static_cast<float>(a)) : bits_of(a);
                for (std::size_t b = 0; b < cell; ++b) p[b] = static_cast<unsigned char>(bits >> (8 * b));
            }
        }
        const std::size_t n = static_cast<std::size_t>(p - out.data());
        written = std::fwrite(out.data(), 1, n, f2.get()) == n;
    }
    if (!written) {
        stop_line(con, T_("no se puede escribir ") + path + ": " + std::strerror(errno));
        std::fclose(f2.release());
        return false;
    }
    return close_output(con, f2, path);
}

}  // namespace zorvel
