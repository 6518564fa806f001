// Both passes at once: the vertices drawn as pass one reads them, where the
// grid is laid out before them and a byte codes every elevation.
#include "passes/passes.h"

#include <cstdint>
#include <utility>

#include "base/numeric.h"
#include "passes/pass_sinks.h"
#include "passes/second_half.h"

namespace zorvel {

namespace {

// What the word scanner tells, to both passes at once; the header's
// extents must hold for every vertex, as they would for the two-pass way
// (moved: they did not, or a vertex came before them).
class ScanToBoth final : public ContourSink {
public:
    ScanToBoth(MeasuringPass& m, DrawingPass& w, const Extents* header) : measure_(m), draw_(w), header_(header) {}
    bool max_y_read(const Extents& e) override {
        if (header_ == nullptr || max_y) return extents_read(e);
        max_y = true;
        moved = !same(e);
        return !moved;
    }
    bool extents_read(const Extents& e) override {
        if (header_ != nullptr && max_y && !same(e)) moved = true;
        return !moved;
    }
    void polyline() override {
        measure_.polyline();
        draw_.polyline();
    }
    bool vertex(double x, double y, double z) override {
        if (header_ != nullptr && !max_y) {
            moved = true;
            return false;
        }
        measure_.vertex(x, y, z);
        return draw_.vertex(x, y, z);
    }
    bool max_y = false;  // the header's maximum Y is read
    bool moved = false;

private:
    bool same(const Extents& e) const {
        return bits_of(e.min_x) == bits_of(header_->min_x) && bits_of(e.min_y) == bits_of(header_->min_y) &&
               bits_of(e.max_x) == bits_of(header_->max_x) && bits_of(e.max_y) == bits_of(header_->max_y);
    }
    MeasuringPass& measure_;
    DrawingPass& draw_;
    const Extents* header_;  // nullptr: the fixed extents, whatever the drawing says
};

// The drawing read to its end by the scanner into both passes: a second
// thread reads its second half into a log, drawn once the first half is
// (the drawer takes the vertices in the drawing's order).
PassEnd scan_both(DrawingScan& d, const PassOneOptions& o, DrawnAsRead& passes, ScanToBoth& both, bool header,
                  Report& report) {
    SecondHalfScan ahead(d.path, d.f, d.st.reg, o.ahead_min_bytes, o.log_bound);
    d.st.segm = 0;
    PassEnd end = scan_until(d.rd, d.st, d.ext, both, report, ahead.split_offset());
    if (end != PassEnd::paused) return end;
    VertexLog rest(o.log_bound);
    if (d.rd.consumed() == ahead.split_offset() && (!header || both.max_y) && ahead.logged() &&
        ahead.join(d.st, passes.one.tally, report, &rest)) {
        passes.one.split = true;
        passes.draw.share_placing();
        int replayed = 0;
        Report told;  // join told of the second half's polylines
        return rest.replay(passes.draw, replayed, told);
    }
    ahead.cancel();
    return scan_until(d.rd, d.st, d.ext, both, report, SIZE_MAX);
}

// The drawing put back at its start, as if it had not been read: the two-pass way reads it.
BothPasses read_again(DrawingScan& d) {
    const int reg = d.st.reg;
    d.rewind();
    d.st = ScanState{};
    d.st.reg = reg;
    d.ext = Extents{};
    return BothPasses{BothPasses::Outcome::read_again, std::nullopt};
}

}  // namespace

BothPasses draw_while_reading(Console& con, Report& report, DrawingScan& d, const PassOneOptions& o,
                              PassTwoOptions two_o, const std::function<bool(ContourSink&)>& read) {
    DrawnAsRead both(con, report, d, o, two_o);
    if (!both.set_up(*o.extents.fixed_extents)) return {};
    // the grid is fixed: the reader places vertices too while the drawer is behind
    both.draw.share_placing();
    Counted counted(both.measure, both.draw, d.st);
    const bool done = read(counted);
    auto two = done ? both.draw.finish() : std::nullopt;
    if (!two) return BothPasses{both.draw.overflowed ? BothPasses::Outcome::read_again : BothPasses::Outcome::stopped,
                                std::nullopt};
    warn_of_all_zero(con, d, both.one.tally);
    return BothPasses{BothPasses::Outcome::drawn,
                      std::pair{measured(std::move(both.one), both.measure, o), std::move(*two)}};
}

BothPasses draw_while_scanning(Console& con, Report& report, DrawingScan& d, const PassOneOptions& o,
                               PassTwoOptions two_o) {
    // the grid before any vertex: the fixed extents, or the header's
    PassOneOptions one_o = o;
    std::optional<Extents> header;
    if (o.extents.fixed_extents == nullptr) {
        PassEnd end{};
        header = extents_at_max_y(d, end);
        if (!header || placeholder(*header)) return BothPasses{BothPasses::Outcome::read_again, std::nullopt};
        one_o.extents.fixed_extents = &*header;
    }
    two_o.extents.fixed_extents = one_o.extents.fixed_extents;
    DrawnAsRead passes(con, report, d, one_o, two_o);
    if (!passes.set_up(*one_o.extents.fixed_extents)) return {};
    ScanToBoth both(passes.measure, passes.draw, header ? &*header : nullptr);
    const PassEnd end = scan_both(d, o, passes, both, header.has_value(), report);
    if (end == PassEnd::stopped && (both.moved || passes.draw.overflowed)) return read_again(d);
    if (!pass_ended(con, d, end)) return {};
    // the drawer may find the elevation too many only now, at its last vertices
    auto two = passes.draw.finish();
    if (!two) return passes.draw.overflowed ? read_again(d) : BothPasses{};
    warn_of_skip_count(con, d, passes.one.tally);
    return BothPasses{BothPasses::Outcome::drawn,
                      std::pair{measured(std::move(passes.one), passes.measure, one_o), std::move(*two)}};
}

}  // namespace zorvel
