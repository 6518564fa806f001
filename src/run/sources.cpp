#include "run/sources.h"

#include <algorithm>
#include <limits>
#include <string>

#include "base/messages.h"
#include "output/envi_header.h"

namespace zorvel {

namespace {

// The map rectangle from which contours can reach the window's cells and
// their margin: the window with `margin` cells round it (within the grid)
// and a few cells more (a walk strays from its segment by less than two
// cells), turned back onto the map.
Extents window_box(const GridLayout& l, const GridSize& g, const RotationChoice& turn, const GridWindow& window,
                   int margin) {
    const WindowCells around = with_margin(window, margin, g.nb_lig, g.nb_col);
    const GridWindow w = margin > 0 ? GridWindow{around.j0, around.i0, around.cols, around.rows} : window;
    constexpr int kReach = 5;
    const ImagePlace place{w.ysize + 2 * kReach, w.xsize + 2 * kReach, w.yoff - kReach, w.xoff - kReach,
                           g.nb_lig,           g.nb_col,           l.pix_size,        l.frame.min_x,
                           l.frame.min_y,      turn};
    const auto t = image_geotransform(place);
    constexpr double inf = std::numeric_limits<double>::infinity();
    Extents box{.min_x = inf, .min_y = inf, .max_x = -inf, .max_y = -inf};
    for (const int r : {0, place.nb_lig3})
        for (const int c : {0, place.nb_col3}) {
            const double x = t[0] + c * t[1] + r * t[2], y = t[3] + c * t[4] + r * t[5];
            box.min_x = std::min(box.min_x, x);
            box.min_y = std::min(box.min_y, y);
            box.max_x = std::max(box.max_x, x);
            box.max_y = std::max(box.max_y, y);
        }
    return box;
}

}  // namespace

std::optional<PassOne> first_pass(Console& con, Report& report, DrawingScan& d, const PassOneOptions& o,
                                  OgrSource* ogr) {
    if (ogr == nullptr) return pass_one(con, report, d, o);
    const Extents& extents = o.extents.fixed_extents != nullptr ? *o.extents.fixed_extents : ogr->extents();
    return pass_one_of(con, report, d, o, extents, [&](ContourSink& sink) {
        std::string why;
        const bool read = ogr->read(sink, why);
        if (!read && !why.empty()) stop_line(con, why);
        if (read && !ogr->doubt().empty()) warn_line(con, ogr->doubt());
        return read;
    });
}

std::vector<Sheet> sheets_of(const RunFiles& files, RunSettings& settings, const ContourSource& source) {
    std::vector<MoreSource> all{{files.nomim1, files.f1.get(), source.ogr}};
    all.insert(all.end(), source.more.begin(), source.more.end());
    std::vector<Sheet> sheets;
    for (const MoreSource& m : all) {
        std::optional<int> reg = 0;
        if (m.ogr == nullptr) reg = settings.skip_count(m.file, m.path);
        if (!reg) return {};
        sheets.push_back(Sheet{std::make_unique<DrawingScan>(m.file, m.path, *reg), m.ogr});
    }
    return sheets;
}

std::optional<Extents> united_extents(Console& con, std::vector<Sheet>& sheets, const ExtentsPolicy& policy) {
    std::optional<Extents> united;
    for (Sheet& s : sheets) {
        const auto e = s.ogr != nullptr ? std::optional<Extents>(s.ogr->extents()) : header_extents(con, *s.d, policy);
        if (!e) return std::nullopt;
        if (!united) {
            united = *e;
            continue;
        }
        united->min_x = std::min(united->min_x, e->min_x);
        united->min_y = std::min(united->min_y, e->min_y);
        united->max_x = std::max(united->max_x, e->max_x);
        united->max_y = std::max(united->max_y, e->max_y);
    }
    return united;
}

void read_near_window(std::vector<Sheet>& sheets, RunSettings& settings, const ExtentsPolicy& policy) {
    const auto window = settings.window();
    // a window of the fill reads every line (each is cut into segments as
    // the whole grid's are, and those beyond its margin tell it what it
    // cannot vouch for), but one that fills with its plan's table and the
    // table's margin: the table holds what lies beyond, and the lines near
    // the window and its margin are all it needs
    const WindowTable* table = settings.fill_tables().given;
    const bool by_table = settings.fill() && table != nullptr && settings.window_margin() == table->margin;
    // and the plan that makes the tables strip by strip reads every line
    if (!window || settings.limits_from_vertices() || (settings.fill() && !by_table) || settings.fill_tables().by_strips ||
        !policy.layout)
        return;
    const Extents* ext = policy.fixed_extents;
    for (Sheet& s : sheets) {
        if (s.ogr == nullptr) continue;
        std::string why;
        const auto layout = policy.layout(ext != nullptr ? *ext : s.ogr->extents(), why);
        const auto size = layout ? size_grid(layout->frame, layout->pix_size) : std::nullopt;
        const auto turn = settings.rotation();
        // a grid that cannot be laid is refused by pass one, with its reason
        if (!size || !turn) return;
        s.ogr->read_only_within(window_box(*layout, *size, *turn, *window, by_table ? table->margin : 0));
    }
}

}  // namespace zorvel
