#include "elevation_grid.h"

#include <bit>

namespace zorvel {

namespace {

// Codes 0 and 1: the fill of a new grid, so that its zero-filled memory
// already reads -999.0, and the 0.0 of its last row and column.
constexpr double kFirstValues[] = {kNoElevation, 0.0};

std::uint64_t bits_of(double v) { return std::bit_cast<std::uint64_t>(v); }

template <typename From, typename To, typename Convert>
void convert_rows(const Grid<From>& from, Grid<To>& to, int lig, int col, Convert convert) {
    for (int i = 0; i < lig; ++i) {
        const From* src = from[i];
        To* dst = to[i];
        for (int j = 0; j < col; ++j) dst[j] = convert(src[j]);
    }
}

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

int ElevationCount::width() const {
    if (many_) return 8;
    const std::size_t codes = seen_.size() + 2;  // -999.0 and 0.0 have theirs from the start
    return codes <= 256 ? 1 : codes <= 65536 ? 2 : 8;
}

ElevationGrid ElevationGrid::make(int nb_col, int nb_lig, int width) {
    ElevationGrid g;
    if (width == 8) {
        g.plain_ = Grid<double>::make(nb_col, nb_lig);
        if (!g.plain_) return g;
        // one row and one column fewer than allocated: the last ones keep their 0.0
        for (int i = 0; i < nb_lig - 1; ++i)
            for (int j = 0; j < nb_col - 1; ++j) g.plain_[i][j] = kNoElevation;
    } else {
        if (width == 2)
            g.codes16_ = Grid<unsigned short>::make(nb_col, nb_lig);
        else
            g.codes8_ = Grid<unsigned char>::make(nb_col, nb_lig);
        if (!g.codes8_ && !g.codes16_) return g;
        for (std::uint32_t c = 0; c < 2; ++c) {
            g.values_.push_back(kFirstValues[c]);
            g.index_.emplace(bits_of(kFirstValues[c]), c);
        }
        g.last_bits_ = bits_of(kNoElevation);
        g.last_code_ = 0;
        // one row and one column fewer than allocated: the last ones hold 0.0
        const auto last_row_and_column = [&](auto& cells) {
            for (int j = 0; j < nb_col; ++j) cells[nb_lig - 1][j] = 1;
            for (int i = 0; i < nb_lig; ++i) cells[i][nb_col - 1] = 1;
        };
        if (width == 2)
            last_row_and_column(g.codes16_);
        else
            last_row_and_column(g.codes8_);
    }
    g.width_ = width == 8 || width == 2 ? width : 1;
    g.lig_ = nb_lig;
    g.col_ = nb_col;
    return g;
}

double ElevationGrid::at(int i, int j) const {
    if (width_ == 1) return values_[codes8_[i][j]];
    if (width_ == 2) return values_[codes16_[i][j]];
    return plain_[i][j];
}

bool ElevationGrid::code_of(double alti, std::uint32_t& code) {
    const std::uint64_t bits = bits_of(alti);
    if (bits == last_bits_) {
        code = last_code_;
        return true;
    }
    const auto [at, added] = index_.try_emplace(bits, static_cast<std::uint32_t>(values_.size()));
    if (added) {
        values_.push_back(alti);
        const std::size_t fits = width_ == 1 ? 256 : 65536;
        if (values_.size() > fits) {
            if (!widen()) {
                failed_ = true;  // the new elevation has no cell width: nothing more is drawn
                return false;
            }
            if (width_ == 8) return true;  // no codes any more: the caller writes alti
        }
    }
    code = at->second;
    last_bits_ = bits;
    last_code_ = code;
    return true;
}

bool ElevationGrid::widen() {
    if (width_ == 1) {
        Grid<unsigned short> wide = Grid<unsigned short>::make(col_, lig_);
        if (!wide) return false;
        convert_rows(codes8_, wide, lig_, col_, [](unsigned char c) { return static_cast<unsigned short>(c); });
        codes16_ = std::move(wide);
        codes8_ = Grid<unsigned char>();
        width_ = 2;
        return true;
    }
    Grid<double> wide = Grid<double>::make(col_, lig_);
    if (!wide) return false;
    convert_rows(codes16_, wide, lig_, col_, [this](unsigned short c) { return values_[c]; });
    plain_ = std::move(wide);
    codes16_ = Grid<unsigned short>();
    values_.clear();
    index_.clear();
    width_ = 8;
    return true;
}

template <typename Write>
bool ElevationGrid::write(double alti, Write&& w) {
    if (width_ == 0 || failed_) return false;
    if (width_ != 8) {
        std::uint32_t code = 0;
        if (!code_of(alti, code)) return false;
        // coding may have widened the grid, up to plain elevations
        if (width_ == 1) {
            w(codes8_, static_cast<unsigned char>(code));
            return true;
        }
        if (width_ == 2) {
            w(codes16_, static_cast<unsigned short>(code));
            return true;
        }
    }
    w(plain_, alti);
    return true;
}

bool ElevationGrid::set(int i, int j, double alti) {
    return write(alti, [&](auto& cells, auto value) { cells[i][j] = value; });
}

bool ElevationGrid::draw(Cell deb, Cell fin, double alti) {
    return write(alti, [&](auto& cells, auto value) { trace_segment(target(cells), deb, fin, value); });
}

Grid<unsigned char> ElevationGrid::release_codes() {
    Grid<unsigned char> codes = std::move(codes8_);
    *this = ElevationGrid();
    return codes;
}

}  // namespace zorvel
