#include "cli/summary.h"

#include "base/messages.h"
#include "cli/sheets.h"

namespace zorvel {

void summary(std::FILE* out, const CommandLine& cl, const FinishedRun& rs, const std::string& image,
             const std::vector<std::string>& paths, const std::string& interval_why) {
    std::string sheets;
    for (const std::string& d : cl.drawings) sheets += (sheets.empty() ? "" : " ") + d;
    std::fprintf(out, T_("zorvel_raster: %s -> %s\n"), sheets.c_str(), image.c_str());
    std::fprintf(out, T_("  cuadricula: %d lineas x %d columnas, pixel %s (girado %s grados a la %s)\n"),
                 rs.whole.nb_lig, rs.whole.nb_col, number_text(rs.pix_size).c_str(), number_text(rs.turn.angle).c_str(),
                 rs.turn.sentido == 0 ? T_("izquierda") : T_("derecha"));
    if (rs.image.nb_lig3 == 0)
        std::fputs(T_("  imagen: ninguna celda clasificada, imagen vacia\n"), out);
    else
        std::fprintf(out, T_("  imagen: %d lineas x %d columnas desde la linea %d, columna %d de la cuadricula\n"),
                     rs.image.nb_lig3, rs.image.nb_col3, rs.image.min_i + rs.whole.i0, rs.image.min_j + rs.whole.j0);
    const ClassTable& ct = rs.classes;
    if (ct.num_segment >= 1)
        std::fprintf(out, T_("  clases: %lld, de %d a %d cada %d (%d en la tabla, sin celdas)\n"), ct.num_segment,
                     ct.tabord[1], ct.tabord[static_cast<std::size_t>(ct.num_segment)], ct.intervalo,
                     ct.tabord.back());
    else
        std::fputs(T_("  clases: ninguna\n"), out);
    std::fprintf(out, T_("  intervalo: %s\n"), interval_why.c_str());
    if (rs.fill)
        std::fprintf(out, T_("  relleno: %lld celdas entre dos curvas, %lld en cimas y hondonadas, %lld planas, %lld sin elevacion\n"),
                     rs.fill->between, rs.fill->domed, rs.fill->flat, rs.fill->unreached);
    std::fputs(T_("  archivos:"), out);
    for (const std::string& p : paths)
        if (path_exists(p)) std::fprintf(out, " %s", p.c_str());
    std::fputs("\n", out);
}

}  // namespace zorvel
