#include "reading/gpkg_layer.h"

#ifdef ZORVEL_HAVE_SQLITE

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "reading/gpkg_blob.h"

namespace zorvel {

namespace {

// A name as SQL quotes it.
std::string quoted(const std::string& name) {
    std::string q = "\"";
    for (const char c : name) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

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

// The layer's coordinate system as an EPSG code, where gpkg_spatial_ref_sys
// names it so beyond doubt: organization EPSG, and a definition that is
// that system itself (epsg_system, the same code); nullopt otherwise (GDAL
// then tells it).
std::optional<EpsgSystem> epsg_of(sqlite3* db, const std::string& table) {
    Statement s = prepare(db,
                          "SELECT s.organization, s.organization_coordsys_id, s.definition FROM gpkg_geometry_columns c "
                          "JOIN gpkg_spatial_ref_sys s ON s.srs_id = c.srs_id WHERE c.table_name = ? AND c.srs_id > 0");
    if (!s) return std::nullopt;
    sqlite3_bind_text(s.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(s.get()) != SQLITE_ROW || sqlite3_column_type(s.get(), 1) != SQLITE_INTEGER) return std::nullopt;
    const auto e = epsg_system(text_at(s.get(), 2));
    if (sqlite3_stricmp(text_at(s.get(), 0).c_str(), "EPSG") != 0 || !e || e->code != sqlite3_column_int64(s.get(), 1))
        return std::nullopt;
    return e;
}

}  // namespace

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

bool looks_like_gpkg(const std::string& path) {
    constexpr std::size_t kApplicationId = 68;  // where SQLite's header keeps it
    unsigned char head[kApplicationId + 4];
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    const bool read = std::fread(head, 1, sizeof head, f) == sizeof head;
    std::fclose(f);
    return read && std::memcmp(head, "SQLite format 3", 16) == 0 && std::memcmp(head + kApplicationId, "GPKG", 4) == 0;
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
    l.epsg = epsg_of(db, l.table);
    if (l.field < 0 && !first_has_z(db, l)) return std::nullopt;
    return l;
}


}  // namespace zorvel

#endif
