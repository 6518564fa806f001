#include "reading/gpkg_source.h"

#ifdef ZORVEL_HAVE_SQLITE

#include "reading/gpkg_blob.h"
#include "reading/gpkg_layer.h"
#include "base/messages.h"
#include "base/threads.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdlib>
#include <new>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace zorvel {

namespace {

class GpkgSource final : public OgrSource {
public:
    GpkgSource(Db db, PlainLayer layer, std::string path, OgrOptions o)
        : db_(std::move(db)),
          layer_(std::move(layer)),
          path_(std::move(path)),
          options_(std::move(o)),
          name_(T_("la capa ") + layer_.table + T_(" de ") + path_) {}
    ~GpkgSource() override {
        if (gdal_.joinable()) gdal_.join();
    }
    GpkgSource(const GpkgSource&) = delete;
    GpkgSource& operator=(const GpkgSource&) = delete;

    const Extents& extents() const override { return layer_.extents; }
    const std::string& wkt() const override { return wkt_; }
    std::optional<EpsgSystem> epsg() const override { return layer_.epsg; }
    void without_gdal() override { without_gdal_ = true; }
    bool settle(std::string& why) override {
        start_gdal();
        if (gdal_.joinable()) gdal_.join();
        if (!through_gdal_) {
            why = gdal_why_;
            return false;
        }
        wkt_ = through_gdal_->wkt();
        return true;
    }
    bool read(ContourSink& sink, std::string& why) override;
    bool read_again() const override { return again_; }
    // a window is read through the layer's spatial index, GDAL's way
    void read_only_within(const Extents& box) override { box_ = box; }
    std::string doubt() const override;

private:
    // GDAL opens the layer on a thread of its own, from the reading on:
    // while the loader maps GDAL's libraries no thread can start, and the
    // reading's own have started by then.
    void start_gdal() {
        if (gdal_started_) return;
        gdal_started_ = true;
        // the fill's helpers would wait for the loader otherwise
        keep_spare_thread();
        gdal_ = std::thread([this] {
            try {
                through_gdal_ = OgrSource::open(path_, options_, gdal_why_);
            } catch (const std::bad_alloc&) {
                gdal_why_ = message(T_("sin memoria para abrir {1} con GDAL"), {path_});
            }
        });
    }
    // The row's elevation from -a's column, checked as the OGR route checks
    // it before the geometry; false for what that route reads otherwise
    // (another type stored in the column) or refuses (nothing, not finite).
    bool field_elevation(sqlite3_stmt* s, double& elevation) const {
        const int type = sqlite3_column_type(s, layer_.field);
        if (type == SQLITE_INTEGER)
            elevation = static_cast<double>(sqlite3_column_int64(s, layer_.field));
        else if (type == SQLITE_FLOAT && !layer_.field_integer)
            elevation = sqlite3_column_double(s, layer_.field);
        else
            return false;
        return std::isfinite(elevation);
    }
    // The reading through GDAL, from the start: a window, a layer with a
    // geometry not read here, or an elevation field that is.
    bool read_through_gdal(ContourSink& sink, std::string& why) {
        if (!settle(why)) return false;
        if (box_) through_gdal_->read_only_within(*box_);
        return through_gdal_->read(sink, why);
    }

    Db db_;
    PlainLayer layer_;
    std::string path_;
    OgrOptions options_;
    std::string name_;  // "la capa ... de ...", for the stop lines
    bool gdal_started_ = false;
    bool without_gdal_ = false;  // GDAL starts only for a read of its own
    std::thread gdal_;
    std::unique_ptr<OgrSource> through_gdal_;  // once gdal_ has ended
    std::string gdal_why_;
    std::string wkt_;
    std::optional<Extents> box_;
    bool gdal_reads_ = false;  // every read from now on is GDAL's
    bool again_ = false;       // the last read stopped for GDAL to read the layer
    long long zero_z_ = 0;
};

bool GpkgSource::read(ContourSink& sink, std::string& why) {
    if (!without_gdal_) start_gdal();
    again_ = false;
    if (box_) gdal_reads_ = true;
    if (gdal_reads_) return read_through_gdal(sink, why);
    zero_z_ = 0;
    const auto cannot_read = [&] {
        why = T_("no se puede leer ") + name_ + ": " + sqlite3_errmsg(db_.get());
        return false;
    };
    // what GDAL would read otherwise: the layer is read again, through GDAL
    const auto hand_over = [&] {
        gdal_reads_ = again_ = true;
        return false;
    };
    // the statement OGR reads a whole layer with, and so its order
    Statement s = prepare(db_.get(), layer_.select);
    if (!s) return cannot_read();
    int step = SQLITE_ROW;
    BlobTally tally;
    while ((step = sqlite3_step(s.get())) == SQLITE_ROW) {
        double elevation = 0.0;
        if (layer_.field >= 0 && !field_elevation(s.get(), elevation)) return hand_over();
        const int type = sqlite3_column_type(s.get(), 1);
        if (type == SQLITE_NULL) continue;  // no geometry
        if (type != SQLITE_BLOB) return hand_over();
        const auto* blob = static_cast<const unsigned char*>(sqlite3_column_blob(s.get(), 1));
        const auto size = static_cast<std::size_t>(sqlite3_column_bytes(s.get(), 1));
        const BlobLines told = tell_blob_lines(blob, size, sink, tally, layer_.field >= 0 ? &elevation : nullptr);
        if (told == BlobLines::told || told == BlobLines::empty) continue;
        if (told == BlobLines::stopped) return false;
        if (told == BlobLines::gdal) return hand_over();
        const std::string feature =
            T_("la entidad ") + std::to_string(sqlite3_column_int64(s.get(), 0)) + T_(" de ") + name_;
        why = told == BlobLines::no_z
                  ? feature + T_(" no tiene Z: dejela fuera con -where, o tome la elevacion de un campo con -a")
                  : not_finite(feature, tally.non_finite);
        return false;
    }
    if (step != SQLITE_DONE) return cannot_read();
    zero_z_ = tally.zero_z;
    return true;
}

std::string GpkgSource::doubt() const {
    if (gdal_reads_) return through_gdal_ ? through_gdal_->doubt() : std::string();
    if (zero_z_ == 0) return "";
    return std::to_string(zero_z_) + T_(" vertices de ") + name_ +
           T_(" tienen Z 0 en lineas cuyos otros vertices tienen otra: puede que no tengan Z, y se dibujan a 0");
}

}  // namespace

std::unique_ptr<OgrSource> open_gpkg_directly(const std::string& path, const OgrOptions& o) {
    if (!o.where.empty() || !ogr_module_in_place() || !looks_like_gpkg(path)) return nullptr;
    sqlite3* raw = nullptr;
    const int opened = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    Db db(raw);
    if (opened != SQLITE_OK) return nullptr;
    auto layer = plain_layer(db.get(), o);
    if (!layer) return nullptr;
    return std::make_unique<GpkgSource>(std::move(db), std::move(*layer), path, o);
}

}  // namespace zorvel

#else

namespace zorvel {

std::unique_ptr<OgrSource> open_gpkg_directly(const std::string&, const OgrOptions&) { return nullptr; }

}  // namespace zorvel

#endif
