#include "geometry/elevation_grid.h"

#include <bit>

#include <type_traits>

namespace zorvel {

namespace {

// Codes 0 and 1: the fill of a new grid, so that its zero-filled memory
// already reads -999.0, and the 0.0 of its last row and column.
constexpr double kFirstValues[] = {kNoElevation, 0.0};

template <typename Code>
constexpr std::size_t kCodes = std::size_t{1} << (8 * sizeof(Code));

}  // namespace

void ElevationCount::note(std::uint64_t bits) {
    seen_.insert(bits);
    if (seen_.size() > kMany) {
        many_ = true;
        seen_.clear();
    }
}

void ElevationCount::add(const ElevationCount& o) {
    if (o.many_) {
        many_ = true;
        seen_.clear();
    }
    for (std::uint64_t bits : o.seen_) {
        if (many_) break;
        note(bits);
    }
}

std::vector<double> ElevationCount::values() const {
    std::vector<double> v;
    v.reserve(seen_.size());
    for (std::uint64_t bits : seen_) v.push_back(std::bit_cast<double>(bits));
    return v;
}

int ElevationCount::width() const {
    if (many_) return 8;
    const std::size_t codes = seen_.size() + 2;  // -999.0 and 0.0 have theirs from the start
    return codes <= kCodes<unsigned char> ? 1 : codes <= kCodes<unsigned short> ? 2 : 8;
}

ElevationGrid ElevationGrid::make(int nb_col, int nb_lig, int width) {
    ElevationGrid g;
    const auto coded = [&](auto code) {
        using Code = decltype(code);
        CodedCells<Code> c{Grid<Code>::make(nb_col, nb_lig), {}};
        if (!c.cells) return false;
        for (std::uint32_t k = 0; k < 2; ++k) {
            c.values.push_back(kFirstValues[k]);
            g.index_.emplace(bits_of(kFirstValues[k]), k);
        }
        g.last_bits_ = bits_of(kNoElevation);
        // one row and one column fewer than allocated are -999.0: the last ones hold 0.0
        for (int j = 0; j < nb_col; ++j) c.cells[nb_lig - 1][j] = 1;
        for (int i = 0; i < nb_lig; ++i) c.cells[i][nb_col - 1] = 1;
        g.cells_ = std::move(c);
        return true;
    };
    bool made = false;
    if (width == 8) {
        PlainCells c{Grid<double>::make(nb_col, nb_lig)};
        if (c.cells) {
            // one row and one column fewer than allocated: the last ones keep their 0.0
            for (int i = 0; i < nb_lig - 1; ++i)
                for (int j = 0; j < nb_col - 1; ++j) c.cells[i][j] = kNoElevation;
            g.cells_ = std::move(c);
            made = true;
        }
    } else if (width == 2) {
        made = coded(static_cast<unsigned short>(0));
    } else {
        made = coded(static_cast<unsigned char>(0));
    }
    if (!made) return ElevationGrid();
    g.lig_ = g.draw_lig_ = nb_lig;
    g.col_ = g.draw_col_ = nb_col;
    return g;
}

bool ElevationGrid::code_of(double alti, std::size_t room, std::vector<double>& values, std::uint32_t& code) {
    const std::uint64_t bits = bits_of(alti);
    if (bits == last_bits_) {
        code = last_code_;
        return true;
    }
    const auto found = index_.find(bits);
    if (found != index_.end()) {
        code = found->second;
    } else {
        if (values.size() == room) return false;
        code = static_cast<std::uint32_t>(values.size());
        index_.emplace(bits, code);
        values.push_back(alti);
    }
    last_bits_ = bits;
    last_code_ = code;
    return true;
}

template <typename Write>
bool ElevationGrid::write(double alti, Write&& w) {
    if (!*this) return false;
    // the one-byte cells of most grids first, a branch the compiler sees
    // through rather than a call through the variant's table
    if (auto* c = std::get_if<CodedCells<unsigned char>>(&cells_)) {
        std::uint32_t code = 0;
        if (!code_of(alti, kCodes<unsigned char>, c->values, code)) return false;
        w(c->cells, static_cast<unsigned char>(code));
        return true;
    }
    return std::visit(
        [&](auto& c) {
            using Cells = std::decay_t<decltype(c)>;
            if constexpr (std::is_same_v<Cells, PlainCells>) {
                w(c.cells, alti);
                return true;
            } else {
                using Code = std::decay_t<decltype(c.cells[0][0])>;
                std::uint32_t code = 0;
                if (!code_of(alti, kCodes<Code>, c.values, code)) return false;
                w(c.cells, static_cast<Code>(code));
                return true;
            }
        },
        cells_);
}

bool ElevationGrid::set(int i, int j, double alti) {
    return write(alti, [&](auto& cells, auto value) { cells[i][j] = value; });
}

bool ElevationGrid::draw(Cell deb, Cell fin, double alti) {
    return write(alti, [&](auto& cells, auto value) {
        const DrawTarget<std::decay_t<decltype(value)>> g{cells.rows(), draw_lig_, draw_col_, i0_, j0_};
        if (!neighbour_step(g, deb, fin, value)) trace_segment(g, deb, fin, value);
    });
}

}  // namespace zorvel
