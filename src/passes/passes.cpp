#include "passes/passes.h"

#include <utility>

#include "passes/pass_sinks.h"

namespace zorvel {

std::optional<PassOne> pass_one(Console& con, Report& report, DrawingScan& d, const PassOneOptions& o) {
    PassOne one{GridSize{0, 0}, GridLayout{}, VertexTally{{kMinDynStart, kMaxDynStart}, {}}, VertexLog(o.log_bound)};
    MeasuringPass sink(con, report, d, o, one.tally);
    if (o.extents.fixed_extents != nullptr && !sink.size(*o.extents.fixed_extents)) return std::nullopt;
    SecondHalfScan ahead(d.path, d.f, d.st.reg, o.ahead_min_bytes, o.log_bound);
    d.st.segm = 0;
    PassEnd end = scan_until(d.rd, d.st, d.ext, sink, report, ahead.split_offset(), &one.log);
    if (end == PassEnd::paused) {
        one.split = d.rd.consumed() == ahead.split_offset() && ahead.join(d.st, one.tally, report, &one.log);
        if (one.split) {
            end = PassEnd::end_of_file;
        } else {
            ahead.cancel();
            end = scan_until(d.rd, d.st, d.ext, sink, report, SIZE_MAX, &one.log);
        }
    }
    if (!pass_ended(con, d, end)) return std::nullopt;
    warn_of_skip_count(con, d, one.tally);
    if (!sink.grid) {
        stop_line(con, T_("el dibujo ") + d.path + T_(" no da la Y maxima (codigo 20 de $EXTMAX): no hay cuadricula") +
                           T_(o.extents.extents_hint.c_str()));
        return std::nullopt;
    }
    return measured(std::move(one), sink, o);
}

std::optional<Extents> extents_at_max_y(DrawingScan& d, PassEnd& end) {
    struct HeaderOnly final : ContourSink {
        std::optional<Extents> ext;
        bool max_y_read(const Extents& e) override {
            ext = e;
            return false;
        }
        bool vertex(double, double, double) override { return true; }
    } sink;
    const ScanState start = d.st;
    Extents ext;
    Report quiet;
    end = scan_until(d.rd, d.st, ext, sink, quiet, SIZE_MAX);
    d.rewind();
    d.st = start;
    return sink.ext;
}

std::optional<Extents> header_extents(Console& con, DrawingScan& d, const ExtentsPolicy& policy) {
    PassEnd end{};
    const auto ext = extents_at_max_y(d, end);
    if (end == PassEnd::read_error) {
        pass_ended(con, d, end);
        return std::nullopt;
    }
    if (!ext) {
        stop_line(con, T_("el dibujo ") + d.path + T_(" no da la Y maxima (codigo 20 de $EXTMAX): no hay cuadricula") +
                           T_(policy.extents_hint.c_str()));
        return std::nullopt;
    }
    ExtentsPolicy own = policy;
    own.fixed_extents = nullptr;
    if (grid_extents(con, d, own, *ext) == nullptr) return std::nullopt;
    return ext;
}

std::optional<PassOne> pass_one_of(Console& con, Report& report, DrawingScan& d, const PassOneOptions& o,
                                   const Extents& extents, const std::function<bool(ContourSink&)>& read) {
    PassOne one{GridSize{0, 0}, GridLayout{}, VertexTally{{kMinDynStart, kMaxDynStart}, {}}, VertexLog(o.log_bound)};
    MeasuringPass measure(con, report, d, o, one.tally);
    if (!measure.size(extents)) return std::nullopt;
    // what the word scanner would write down, for a source it does not read
    struct Recorder final : ContourSink {
        VertexLog& log;
        explicit Recorder(VertexLog& l) : log(l) {}
        void polyline() override { log.source_polyline(); }
        bool vertex(double x, double y, double z) override {
            log.source_vertex(x, y, z);
            return true;
        }
    } recorder(one.log);
    Counted counted(measure, recorder, d.st);
    if (!read(counted)) return std::nullopt;
    warn_of_all_zero(con, d, one.tally);
    if (one.log.start() != SIZE_MAX && !one.log.usable()) {
        stop_line(con, T_("sin memoria para los vertices de ") + d.path);
        return std::nullopt;
    }
    return measured(std::move(one), measure, o);
}

std::optional<PassTwo> pass_two(Console& con, Report& report, DrawingScan& d, const PassTwoOptions& o,
                                VertexLog&& log) {
    std::vector<SourceLog> one;
    one.push_back(SourceLog{&d, std::move(log)});
    return pass_two(con, report, one, o);
}

std::optional<PassTwo> pass_two(Console& con, Report& report, std::vector<SourceLog>& sources,
                                const PassTwoOptions& o) {
    DrawingPass sink(con, report, *sources.front().d, o);
    if (o.extents.fixed_extents != nullptr && !sink.set_up(*o.extents.fixed_extents)) return std::nullopt;
    for (SourceLog& source : sources) {
        DrawingScan& d = *source.d;
        const VertexLog used = std::move(source.log);  // freed when the source is drawn
        sink.reading(d);
        // the header is read again; the polylines, when pass one could write
        // them down, are replayed from its log (a source without a drawing
        // file has nothing but its log)
        PassEnd end = d.f == nullptr ? (used.usable() ? PassEnd::paused : PassEnd::end_of_file)
                                     : scan_until(d.rd, d.st, d.ext, sink, report, used.usable() ? used.start() : SIZE_MAX);
        if (end == PassEnd::paused && d.rd.consumed() == used.start()) {
            sink.share_placing();
            end = used.replay(sink, d.st.segm, report);
        } else if (end == PassEnd::paused) {
            end = scan_until(d.rd, d.st, d.ext, sink, report, SIZE_MAX);
        }
        if (!pass_ended(con, d, end)) return std::nullopt;
    }
    o.progress.at(1.0);
    return sink.finish();
}

}  // namespace zorvel
