// A GeoPackage's one layer of plain lines, as the direct reading takes it
// (gpkg_source.h): what its tables say of it, read through SQLite itself,
// and the SQLite handles that read it.
#ifndef ZORVEL_GPKG_LAYER_H
#define ZORVEL_GPKG_LAYER_H

#ifdef ZORVEL_HAVE_SQLITE

#include <sqlite3.h>

#include <memory>
#include <optional>
#include <string>

#include "base/extents.h"
#include "reading/ogr_source.h"

namespace zorvel {

struct DbCloser {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StatementCloser {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Db = std::unique_ptr<sqlite3, DbCloser>;
using Statement = std::unique_ptr<sqlite3_stmt, StatementCloser>;

// A statement SQLite prepares; nullptr when it cannot run it here (a table
// that is not there).
Statement prepare(sqlite3* db, const std::string& sql);
// A column's text, empty for NULL.
std::string text_at(sqlite3_stmt* s, int column);

// Whether the file begins as a GeoPackage does: SQLite's header, with
// GeoPackage's application id in it.
bool looks_like_gpkg(const std::string& path);

// The one layer of a GeoPackage that holds nothing the direct reading
// could read otherwise than OGR does.
struct PlainLayer {
    std::string table, fid, geometry;
    std::string select;  // the statement of a whole read
    Extents extents;
    int field = -1;              // -a's column in the statement; -1: the elevation is Z
    bool field_integer = false;  // declared INTEGER (else REAL or DOUBLE)
    std::optional<EpsgSystem> epsg;  // its coordinate system, where known here
};

// The file's only layer when it is such a layer, as options o ask for it;
// nullopt otherwise (GDAL reads it).
std::optional<PlainLayer> plain_layer(sqlite3* db, const OgrOptions& o);

}  // namespace zorvel

#endif

#endif
