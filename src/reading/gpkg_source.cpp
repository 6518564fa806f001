#include "reading/gpkg_source.h"

#ifdef ZORVEL_HAVE_SQLITE

#include "reading/gpkg_blob.h"
#include "base/messages.h"
#include "base/threads.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <cstring>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace zorvel {

namespace {

struct DbCloser {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StatementCloser {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Db = std::unique_ptr<sqlite3, DbCloser>;
using Statement = std::unique_ptr<sqlite3_stmt, StatementCloser>;

// A name as SQL quotes it.
std::string quoted(const std::string& name) {
    std::string q = "\"";
    for (const char c : name) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

// nullptr when SQLite cannot run it here (a table that is not there).
Statement prepare(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
        sqlite3_finalize(s);
        return nullptr;
    }
    return Statement(s);
}

std::string text_at(sqlite3_stmt* s, int column) {
    const unsigned char* t = sqlite3_column_text(s, column);
    return t != nullptr ? reinterpret_cast<const char*>(t) : "";
}

// Whether the file begins as a GeoPackage does: SQLite's header, with
// GeoPackage's application id in it.
bool looks_like_gpkg(const std::string& path) {
    constexpr std::size_t kApplicationId = 68;  // where SQLite's header keeps it
    unsigned char head[kApplicationId + 4];
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    const bool read = std::fread(head, 1, sizeof head, f) == sizeof head;
    std::fclose(f);
    return read && std::memcmp(head, "SQLite format 3", 16) == 0 && std::memcmp(head + kApplicationId, "GPKG", 4) == 0;
}

// The one layer of a GeoPackage that holds nothing the direct reading
// could read otherwise than OGR does.
struct PlainLayer {
    std::string table, fid, geometry;
    std::string select;  // the statement of a whole read
    Extents extents;
    int field = -1;              // -a's column in the statement; -1: the elevation is Z
    bool field_integer = false;  // declared INTEGER (else REAL or DOUBLE)
};

// The table of the file's only layer; nullopt when it has others (GDAL
// lists every table but its own).
std::optional<std::string> only_table(sqlite3* db) {
    Statement s = prepare(db,
                          "SELECT name FROM sqlite_master WHERE type IN ('table', 'view') AND name NOT LIKE "
                          "'gpkg\\_%' ESCAPE '\\' AND name NOT LIKE 'rtree\\_%' ESCAPE '\\' AND name NOT LIKE "
                          "'sqlite\\_%' ESCAPE '\\'");
    if (!s || sqlite3_step(s.get()) != SQLITE_ROW) return std::nullopt;
    std::string table = text_at(s.get(), 0);
    if (sqlite3_step(s.get()) != SQLITE_DONE) return std::nullopt;
    return table;
}

// Its extents as gpkg_contents holds them, read as GDAL reads them: as
// SQLite's text of each number (15 digits), taken back as a double; nullopt
// when it is not the only content, not features, or its extents are not
// all there as numbers the right way round (GDAL would work them out).
std::optional<Extents> listed_extents(sqlite3* db, const std::string& table) {
    Statement s = prepare(db, "SELECT table_name, data_type, min_x, min_y, max_x, max_y FROM gpkg_contents");
    if (!s || sqlite3_step(s.get()) != SQLITE_ROW) return std::nullopt;
    if (text_at(s.get(), 0) != table || text_at(s.get(), 1) != "features") return std::nullopt;
    double e[4];
    for (int k = 0; k < 4; ++k) {
        const int type = sqlite3_column_type(s.get(), 2 + k);
        if (type != SQLITE_FLOAT && type != SQLITE_INTEGER) return std::nullopt;
        const std::string text = text_at(s.get(), 2 + k);
        char* end = nullptr;
        e[k] = std::strtod(text.c_str(), &end);
        if (end == text.c_str() || *end != '\0' || !std::isfinite(e[k])) return std::nullopt;
    }
    if (sqlite3_step(s.get()) != SQLITE_DONE) return std::nullopt;
    Extents ext;
    ext.min_x = e[0];
    ext.min_y = e[1];
    ext.max_x = e[2];
    ext.max_y = e[3];
    if (!(ext.min_x <= ext.max_x && ext.min_y <= ext.max_y)) return std::nullopt;
    return ext;
}

// Its geometry column, when it holds lines with Z (any lines where a field
// gives the elevation) and no curves.
std::optional<std::string> line_column(sqlite3* db, const std::string& table, bool from_field) {
    Statement s = prepare(db, "SELECT column_name, geometry_type_name, z FROM gpkg_geometry_columns WHERE table_name = ?");
    if (!s) return std::nullopt;
    sqlite3_bind_text(s.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(s.get()) != SQLITE_ROW) return std::nullopt;
    const std::string column = text_at(s.get(), 0), type = text_at(s.get(), 1);
    const int z = sqlite3_column_int(s.get(), 2);
    if ((type != "LINESTRING" && type != "MULTILINESTRING") || !(z == 1 || (from_field && (z == 0 || z == 2))))
        return std::nullopt;
    if (sqlite3_step(s.get()) != SQLITE_DONE) return std::nullopt;
    // curves are written under an extension, and OGR turns them into lines its own way
    Statement curves = prepare(db,
                               "SELECT 1 FROM gpkg_extensions WHERE lower(table_name) = lower(?) AND "
                               "extension_name LIKE 'gpkg\\_geom\\_%' ESCAPE '\\'");
    if (curves) {
        sqlite3_bind_text(curves.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(curves.get()) != SQLITE_DONE) return std::nullopt;
    }
    return column;
}

// Its feature id, the integer primary key, which is also the order of a
// whole read; and the statement GDAL reads the whole layer with: the id,
// the geometry, then every other column in the table's order (the columns
// asked decide which index SQLite walks, and so the order of the rows);
// the elevation field named, when it is one of those others, as OGR
// finds it (whatever the case) and declared as a type OGR reads as the
// number stored.
struct Columns {
    std::string fid;
    std::string select;
    int field = -1;
    bool field_integer = false;
};
std::optional<Columns> columns_of(sqlite3* db, const std::string& table, const std::string& geometry,
                                  const std::string& field) {
    Statement s = prepare(db, "PRAGMA table_info(" + quoted(table) + ")");
    if (!s) return std::nullopt;
    std::optional<std::string> fid;
    std::vector<std::string> others;
    int keys = 0;
    Columns c;
    while (sqlite3_step(s.get()) == SQLITE_ROW) {
        const std::string name = text_at(s.get(), 1);
        if (sqlite3_column_int(s.get(), 5) != 0) {
            ++keys;
            if (sqlite3_stricmp(text_at(s.get(), 2).c_str(), "INTEGER") == 0) {
                fid = name;
                continue;
            }
        }
        if (name == geometry) continue;
        if (!field.empty() && sqlite3_stricmp(name.c_str(), field.c_str()) == 0) {
            const std::string type = text_at(s.get(), 2);
            c.field = 2 + static_cast<int>(others.size());
            c.field_integer = sqlite3_stricmp(type.c_str(), "INTEGER") == 0;
            if (!c.field_integer && sqlite3_stricmp(type.c_str(), "REAL") != 0 && sqlite3_stricmp(type.c_str(), "DOUBLE") != 0)
                return std::nullopt;
        }
        others.push_back(name);
    }
    if (keys != 1 || !fid || (!field.empty() && c.field < 0)) return std::nullopt;
    c.fid = *fid;
    c.select = "SELECT m." + quoted(*fid) + ", m." + quoted(geometry);
    for (const std::string& o : others) c.select += ", m." + quoted(o);
    c.select += " FROM " + quoted(table) + " m";
    return c;
}

// What a geometry tells nothing with.
class Discard final : public ContourSink {
public:
    bool vertex(double, double, double) override { return true; }
};

// Whether the first geometry that is not empty, in the order of a whole
// read, has lines with Z, as the OGR route asks before it reads (its own
// refusals, and any geometry not read here, are GDAL's to say).
bool first_has_z(sqlite3* db, const PlainLayer& l) {
    Statement s = prepare(db, l.select);
    if (!s) return false;
    Discard discard;
    BlobTally tally;
    while (sqlite3_step(s.get()) == SQLITE_ROW) {
        const int type = sqlite3_column_type(s.get(), 1);
        if (type == SQLITE_NULL) continue;
        if (type != SQLITE_BLOB) return false;
        const auto* blob = static_cast<const unsigned char*>(sqlite3_column_blob(s.get(), 1));
        const auto size = static_cast<std::size_t>(sqlite3_column_bytes(s.get(), 1));
        const BlobLines b = tell_blob_lines(blob, size, discard, tally);
        if (b != BlobLines::empty) return b == BlobLines::told || b == BlobLines::not_finite;
    }
    return false;
}

std::optional<PlainLayer> plain_layer(sqlite3* db, const OgrOptions& o) {
    PlainLayer l;
    const auto table = only_table(db);
    if (!table || (!o.layer.empty() && o.layer != *table)) return std::nullopt;
    l.table = *table;
    const auto extents = listed_extents(db, l.table);
    const auto geometry = line_column(db, l.table, !o.field.empty());
    const auto columns = extents && geometry ? columns_of(db, l.table, *geometry, o.field) : std::nullopt;
    if (!columns) return std::nullopt;
    l.extents = *extents;
    l.geometry = *geometry;
    l.fid = columns->fid;
    l.select = columns->select;
    l.field = columns->field;
    l.field_integer = columns->field_integer;
    if (l.field < 0 && !first_has_z(db, l)) return std::nullopt;
    return l;
}

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
    start_gdal();
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
