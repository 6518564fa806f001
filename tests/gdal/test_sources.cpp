// The program with GDAL: the same contours read from other sources through
// OGR, the header GDAL reads, GDAL's raster formats, and a GeoPackage read
// directly against GDAL's reading of it.
#include <gtest/gtest.h>

#include <gdal.h>
#include <gdal_alg.h>
#include <cpl_string.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <dlfcn.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cmath>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "output/geotiff.h"
#include "reading/gpkg_source.h"
#include "reading/ogr_module.h"
#include "reading/ogr_source.h"
#include "process.h"
#include "gpkg_blobs.h"
#include "test_support.h"

namespace zorvel {
namespace {

namespace fs = std::filesystem;

struct Vertex {
    double x, y, z;
};
using Rings = std::vector<std::vector<Vertex>>;

// Rings of 36 vertices about (5000, 7000), from 100 at radius 40, each the
// next `step` up and `gap` out (by default 150 at 140): contours that never
// cross, on the map coordinates of a projected system.
Rings rings(int count = 6, double gap = 20, double step = 10) {
    Rings all(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k)
        for (int a = 0; a <= 36; ++a)
            all[static_cast<std::size_t>(k)].push_back({5000 + (40 + gap * k) * std::cos(a * M_PI / 18),
                                                        7000 + (40 + gap * k) * std::sin(a * M_PI / 18), 100.0 + step * k});
    return all;
}

// As an old-style DXF, or through OGR: a GeoPackage of lines with Z (in
// ETRS89 / UTM 30N), one of 2D lines with the elevation in the field "cota",
// or a DXF, which GDAL's writer gives as LWPOLYLINE with group 38.
enum class Route { old_dxf, gpkg_z, gpkg_field, dxf_lwpolyline };

std::string write_source(const std::string& base, Route route, const Rings& all, int epsg = 25830) {
    if (route == Route::old_dxf) {
        std::vector<test::DrawnLine> lines;
        for (const auto& ring : all) {
            test::DrawnLine& l = lines.emplace_back(test::DrawnLine{ring[0].z, {}});
            for (const Vertex& v : ring) l.at.push_back({v.x, v.y});
        }
        std::ofstream(base + ".dxf") << test::dxf_of({4800, 6800, 5200, 7200}, lines);
        return base + ".dxf";
    }
    const bool dxf = route == Route::dxf_lwpolyline, z = route != Route::gpkg_field;
    const std::string path = base + (dxf ? ".dxf" : ".gpkg");
    GDALDatasetH ds = GDALCreate(GDALGetDriverByName(dxf ? "DXF" : "GPKG"), path.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(srs, epsg);
    OGRLayerH layer = GDALDatasetCreateLayer(ds, "curvas", dxf ? nullptr : srs, z ? wkbLineString25D : wkbLineString, nullptr);
    for (const auto& [name, type] : {std::pair{"cota", OFTReal}, std::pair{"nombre", OFTString}}) {
        OGRFieldDefnH f = OGR_Fld_Create(name, type);
        if (!dxf) OGR_L_CreateField(layer, f, TRUE);
        OGR_Fld_Destroy(f);
    }
    for (const auto& ring : all) {
        OGRFeatureH feature = OGR_F_Create(OGR_L_GetLayerDefn(layer));
        OGRGeometryH line = OGR_G_CreateGeometry(z ? wkbLineString25D : wkbLineString);
        for (const Vertex& v : ring) z ? OGR_G_AddPoint(line, v.x, v.y, v.z) : OGR_G_AddPoint_2D(line, v.x, v.y);
        if (!dxf) OGR_F_SetFieldDouble(feature, 0, ring[0].z);
        OGR_F_SetGeometryDirectly(feature, line);
        EXPECT_EQ(OGR_L_CreateFeature(layer, feature), OGRERR_NONE);
        OGR_F_Destroy(feature);
    }
    OSRDestroySpatialReference(srs);
    GDALClose(ds);
    return path;
}

// The program's command line: its exit status and what it said.
int cli(std::vector<std::string> args, std::string* err = nullptr) {
    test::ScriptedConsole sc("");
    const int status = run_command_line(args, sc.con);
    if (err != nullptr) *err = sc.errors();
    return status;
}

// Every route to the same contours gives the same files: a GeoPackage
// drawn as it is read, into one-byte codes; one of 2D lines, the elevation
// in a field; one of more elevations than a byte codes, read again the
// two-pass way; and the program's own DXF reader. GDAL reads their header:
// no-data, a class name for every byte, colours, the GeoPackage's system.
TEST(Sources, EveryRouteGivesTheSameFilesWhateverItsElevations) {
    GDALAllRegister();
    test::TempDir tmp;
    for (const int count : {6, 300}) {
        SCOPED_TRACE(count);
        Rings all = rings(count, 0.4, 1);
        all.push_back({{5100, 7100, 100}, {9000, 7100, 100}});  // its last vertex outside the grid
        const std::vector<std::string> args = {"-q", "-tr", "1", "-rot", "30", "-te",  "4800", "6800",
                                               "5200", "7200", "-interval", "2", "-min", "100", "-max", "600"};
        std::string files[3], said[3];
        for (const Route route : {Route::old_dxf, Route::gpkg_z, Route::gpkg_field}) {
            const int r = static_cast<int>(route);
            const std::string base = tmp.root() + std::to_string(count) + "_" + std::to_string(r);
            auto a = args;
            if (route == Route::gpkg_field) a.insert(a.end(), {"-a", "cota", "-where", "cota >= 100"});
            a.insert(a.end(), {write_source(base, route, all), base + "_out"});
            ASSERT_EQ(cli(a, &said[r]), 0) << said[r];
            files[r] = test::slurp(base + "_out_zorvl.raw") + test::slurp(base + "_out_zorvl_tab.txt");
            if (count > 6) continue;
            GDALDatasetH ds = GDALOpen((base + "_out_zorvl.raw").c_str(), GA_ReadOnly);
            ASSERT_NE(ds, nullptr);
            GDALRasterBandH band = GDALGetRasterBand(ds, 1);
            int has_nodata = 0;
            EXPECT_EQ(GDALGetRasterNoDataValue(band, &has_nodata), 255.0);
            EXPECT_TRUE(has_nodata && GDALGetRasterDataType(band) == GDT_Byte);
            EXPECT_EQ(CSLCount(GDALGetRasterCategoryNames(band)), 256);
            EXPECT_STREQ(GDALGetRasterCategoryNames(band)[255], "sin curva");
            ASSERT_NE(GDALGetRasterColorTable(band), nullptr);
            EXPECT_EQ(GDALGetColorEntryCount(GDALGetRasterColorTable(band)), 256);
            EXPECT_EQ(std::string(GDALGetProjectionRef(ds)).find("UTM zone 30N") != std::string::npos, route != Route::old_dxf);
            GDALClose(ds);
        }
        EXPECT_TRUE(files[0] == files[1] && files[0] == files[2]);
        EXPECT_EQ(said[1], said[0]);
        EXPECT_EQ(said[2], said[0]);
        EXPECT_NE(said[0].find("1 de " + std::to_string(37 * count + 2) + " vértices caen fuera"), std::string::npos) << said[0];
    }
}

// A plan of windows over a GeoPackage, each run on its own: GDAL opens their
// mosaic, the plan's VRT, as the whole run's raster, place and system included.
// The grid GDAL reads from a raster: its size, geotransform and cells.
std::string grid_read(const std::string& path) {
    GDALDatasetH ds = GDALOpen(path.c_str(), GA_ReadOnly);
    if (ds == nullptr) return "unreadable";
    const int w = GDALGetRasterXSize(ds), h = GDALGetRasterYSize(ds);
    double gt[6] = {};
    GDALGetGeoTransform(ds, gt);
    std::vector<double> cells(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    const CPLErr e = GDALRasterIO(GDALGetRasterBand(ds, 1), GF_Read, 0, 0, w, h, cells.data(), w, h, GDT_Float64, 0, 0);
    GDALClose(ds);
    // the cells as a digest: a failure names the format, not a page of numbers
    std::uint64_t digest = 1469598103934665603ULL;
    for (const double c : cells) digest = (digest ^ std::bit_cast<std::uint64_t>(c + 0.0)) * 1099511628211ULL;
    std::ostringstream all;
    all.precision(17);
    all << w << " x " << h << " " << e;
    for (const double t : gt) all << " " << t + 0.0;  // -0 as 0
    all << " cells " << std::hex << digest;
    return all.str();
}

TEST(Sources, APlansMosaicOpensAsTheWholeRun) {
    GDALAllRegister();
    test::TempDir tmp;
    const std::string gpkg = write_source(tmp.root() + "p", Route::gpkg_z, rings());
    // the classes, and the surface through the plan's table
    for (const bool fill : {true, false}) {
        std::vector<std::string> plan = {"-q", "--overwrite", "-tr", "4", "-rot", "30", "-plan", "40", "30", gpkg, tmp.root() + "plan"};
        if (fill) plan.insert(plan.begin(), {"-fill", "-ot", "Float32"});
        test::ScriptedConsole sc("");
        ASSERT_EQ(run_command_line(plan, sc.con), 0) << sc.errors();
        std::istringstream lines(sc.output());
        std::string line;
        std::vector<std::string> whole;
        while (std::getline(lines, line)) {
            std::istringstream words(line);
            std::vector<std::string> args{std::istream_iterator<std::string>(words), {}};
            args.erase(args.begin());
            ASSERT_EQ(cli(args), 0) << line;
            if (whole.empty()) {
                whole = args;
                const auto at = std::find(whole.begin(), whole.end(), "-srcwin");
                whole.erase(at, at + (fill ? 7 : 5));  // and -fill_table
                whole.back() = tmp.root() + "whole.tif";
            }
        }
        ASSERT_EQ(cli(whole), 0);
        EXPECT_EQ(grid_read(tmp.root() + "plan.vrt"), grid_read(tmp.root() + "whole.tif"));
    }
    GDALDatasetH a = GDALOpen((tmp.root() + "plan.vrt").c_str(), GA_ReadOnly);
    ASSERT_TRUE(a != nullptr);
    EXPECT_NE(std::string(GDALGetProjectionRef(a)).find("UTM zone 30N"), std::string::npos);
    EXPECT_STREQ(GDALGetRasterCategoryNames(GDALGetRasterBand(a, 1))[6], "150");
    GDALClose(a);
}

// A GeoPackage layer of geometries given as WKT (empty: none), in
// ETRS89 / UTM 30N; the features of the ids in gone deleted after. Without
// the spatial index, whose triggers GDAL's functions keep, SQL can put any
// blob in it.
std::string write_gpkg(const std::string& path, OGRwkbGeometryType type, const std::vector<std::string>& wkts,
                       const std::vector<GIntBig>& gone = {}, bool indexed = true) {
    CPLPushErrorHandler(CPLQuietErrorHandler);  // a curve in a layer of lines is written, with a warning
    GDALDatasetH ds = GDALCreate(GDALGetDriverByName("GPKG"), path.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(srs, 25830);
    const char* unindexed[] = {"SPATIAL_INDEX=NO", nullptr};
    OGRLayerH layer = GDALDatasetCreateLayer(ds, "curvas", srs, type, indexed ? nullptr : const_cast<char**>(unindexed));
    for (const std::string& wkt : wkts) {
        OGRFeatureH feature = OGR_F_Create(OGR_L_GetLayerDefn(layer));
        if (!wkt.empty()) {
            OGRGeometryH g = nullptr;
            char* text = const_cast<char*>(wkt.c_str());
            EXPECT_EQ(OGR_G_CreateFromWkt(&text, srs, &g), OGRERR_NONE) << wkt;
            OGR_F_SetGeometryDirectly(feature, g);
        }
        EXPECT_EQ(OGR_L_CreateFeature(layer, feature), OGRERR_NONE);
        OGR_F_Destroy(feature);
    }
    for (const GIntBig fid : gone) EXPECT_EQ(OGR_L_DeleteFeature(layer, fid), OGRERR_NONE);
    OSRDestroySpatialReference(srs);
    GDALClose(ds);
    CPLPopErrorHandler();
    return path;
}

// SQL run on a GeoPackage behind its writer's back (GDAL's functions there
// for its triggers), statement by statement; its path.
std::string change_gpkg(const std::string& path, const std::string& sql) {
    GDALDatasetH ds = GDALOpenEx(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE, nullptr, nullptr, nullptr);
    std::istringstream statements(sql);
    for (std::string one; std::getline(statements, one, ';');)
        GDALDatasetReleaseResultSet(ds, GDALDatasetExecuteSQL(ds, one.c_str(), nullptr, nullptr));
    GDALClose(ds);
    return path;
}

// Everything a source gives: its extents, what a read tells (every
// polyline and vertex, to the last bit), its doubt or why it stopped, its
// coordinate system.
std::string everything(OgrSource& source) {
    struct Told final : ContourSink {
        std::string s;
        void polyline() override { s += "|"; }
        bool vertex(double x, double y, double z) override {
            char b[80];
            std::snprintf(b, sizeof b, "%.17g %.17g %.17g ", x, y, z);
            s += b;
            return true;
        }
    } told;
    std::string why;
    const Extents& e = source.extents();
    std::ostringstream all;
    all.precision(17);
    all << e.min_x << " " << e.min_y << " " << e.max_x << " " << e.max_y << "\n";
    bool read = source.read(told, why);
    // what a source stops to read another way is read again, as the passes do
    if (!read && source.read_again()) {
        told.s.clear();
        read = source.read(told, why);
    }
    all << told.s << "\n" << read << " " << why << " " << source.doubt() << "\n";
    EXPECT_TRUE(source.settle(why)) << why;
    return all.str() + source.wkt();
}

// A GeoPackage of plain lines read directly gives what GDAL gives, and
// what it would read otherwise is left to GDAL.
TEST(Sources, AGeoPackageReadDirectlyGivesWhatGdalGives) {
    GDALAllRegister();
    test::TempDir tmp;
    std::vector<std::string> lines = {"LINESTRING Z (0 0 100,10 5 100,20 0 100)", "", "LINESTRING Z EMPTY",
                                      "LINESTRING Z (0 10 0,10 15 110,20 10 0)", "LINESTRING Z (5 5 120,6 6 120)",
                                      "LINESTRING Z (0.1 0.30000000000000004 1e-300,1e15 -2.5 130)",
                                      "LINESTRING Z (0 5 150,10 5 150)"};
    for (const auto& ring : rings()) {
        std::string wkt = "LINESTRING Z (";
        for (const Vertex& v : ring) wkt += std::to_string(v.x) + " " + std::to_string(v.y) + " " + std::to_string(v.z) + ",";
        lines.push_back(wkt.substr(0, wkt.size() - 1) + ")");
    }
    // three lines, the second's geometry then replaced by SQL
    const auto odd = [&](const std::string& name, const std::string& sql) {
        return change_gpkg(write_gpkg(tmp.root() + name + ".gpkg", wkbLineString25D,
                                      {"LINESTRING Z (0 0 100,10 5 100)", "LINESTRING Z (1 1 110,2 2 110)",
                                       "LINESTRING Z (5 5 120,6 6 120)"},
                                      {}, false),
                           sql);
    };
    const auto second = [&](const std::string& name, const std::vector<unsigned char>& blob) {
        return odd(name, "UPDATE curvas SET geom = " + test::sql_blob(blob) + " WHERE fid = 2");
    };
    using test::Blob;
    constexpr std::uint32_t kLineZ = 1002;
    Blob deep;
    for (int k = 0; k < 40; ++k) deep.geometry(1007).u32(1);
    deep.geometry(kLineZ).points({{1, 1, 1}});
    const std::string direct[] = {
        // features deleted: the ids keep their order, with gaps
        write_gpkg(tmp.root() + "lines.gpkg", wkbLineString25D, lines, {5, 8}),
        write_gpkg(tmp.root() + "multi.gpkg", wkbMultiLineString25D,
                   {"MULTILINESTRING Z ((0 0 100,10 5 100),(1 1 110,2 2 110))", "MULTILINESTRING Z (EMPTY,(3 3 0,4 4 0))",
                    "MULTILINESTRING Z EMPTY", "MULTILINESTRING Z ((7 7 140))"}),
        // a line without Z after one with: the same stop line
        write_gpkg(tmp.root() + "later_2d.gpkg", wkbLineString25D, {"LINESTRING Z (0 0 100,1 1 100)", "LINESTRING (0 0,5 5)"}),
        // an index that covers the columns read would give another order (the
        // third's blob, without an envelope, first)
        odd("indexed", "ALTER TABLE curvas ADD COLUMN cota REAL; CREATE INDEX by_geom ON curvas(geom); UPDATE curvas SET geom = " +
                           test::sql_blob(Blob(0x01, 0).geometry(kLineZ).points({{5, 5, 120}, {6, 6, 120}}).bytes()) +
                           " WHERE fid = 3"),
        // GDAL takes the extents as SQLite's text of them
        odd("rounded", "UPDATE gpkg_contents SET min_x = 0.1 + 0.2, max_y = 6.000000000000001"),
        second("empty_flag", Blob(0x13).geometry(kLineZ).points({{1, 2, 3}, {4, 5, 6}}).bytes()),
        second("trailing", [] { auto b = Blob().geometry(kLineZ).points({{1, 2, 3}, {4, 5, 6}}).bytes(); b.push_back(7); return b; }()),
        // what the direct reading tells: either byte order, envelopes, Z in the type's high bits, rings and parts,
        // vertices at 0 beside others
        second("big_endian", Blob(0x00, 0).geometry(kLineZ, true).points({{1, 2, 3}, {4, 5, 6}}).bytes()),
        second("envelope_z", Blob(0x05, 6).geometry(kLineZ).points({{1, 2, 3}, {4, 5, 6}}).bytes()),
        second("z_bit", Blob().geometry(0x80000002u, true).points({{1, 2, 3}, {4, 5, 6}}).bytes()),
        second("zm_bits", Blob().geometry(0xC0000002u).points({{1, 2, 3, 9}, {4, 5, 6, 9}}).bytes()),
        second("rings", Blob().geometry(1003).u32(2).points({{0, 0, 7}, {1, 0, 7}, {0, 0, 7}}).points({{5, 5, 8}, {6, 5, 8}}).bytes()),
        second("polygons", Blob().geometry(1006).u32(2).geometry(1003).u32(1).points({{0, 0, 7}, {1, 0, 7}})
                               .geometry(1003).u32(1).points({{5, 5, 8}, {6, 6, 8}}).bytes()),
        second("parts", Blob().geometry(1005).u32(3).geometry(kLineZ).points({{1, 1, 1}, {2, 2, 1}}).geometry(kLineZ).points({})
                            .geometry(kLineZ, true).points({{2, 2, 2}, {3, 3, 2}}).bytes()),
        second("collection", Blob().geometry(1007).u32(3).geometry(1001).f64(9).f64(9).f64(9).geometry(1).f64(1).f64(2)
                                 .geometry(kLineZ).points({{3, 3, 3}, {4, 4, 3}}).bytes()),
        second("zero_z", Blob().geometry(kLineZ).points({{0, 0, 0}, {1, 1, 5}, {2, 2, 0}}).bytes()),
        second("zm", Blob().geometry(3002).points({{1, 2, 3, 9}, {4, 5, 6, 9}}).bytes()),
        second("m_only", Blob().geometry(2002).points({{1, 2, 3}, {4, 5, 6}}).bytes()),
        second("flat_part", Blob().geometry(1005).u32(2).geometry(kLineZ).points({{1, 2, 3}}).geometry(2).points({{4, 5}}).bytes()),
        second("deep_parts", Blob().geometry(5).u32(1).geometry(kLineZ).points({{1, 2, 3}, {4, 5, 6}}).bytes()),
        second("nan_z", Blob().geometry(kLineZ).points({{1, 2, 3}, {4, 5, std::nan("")}}).bytes()),
        second("inf_z", Blob().geometry(1005).u32(2).geometry(kLineZ).points({{1, 2, 3}}).geometry(kLineZ).points({{4, 5, -HUGE_VAL}}).bytes()),
        second("circular", Blob().geometry(1008).points({{0, 0, 1}, {1, 1, 1}, {2, 0, 1}}).bytes()),
        second("tin", Blob().geometry(1016).u32(1).geometry(1017).u32(1).points({{0, 0, 1}, {1, 0, 1}, {0, 1, 1}, {0, 0, 1}}).bytes()),
        second("version_1", [] { auto b = Blob().geometry(kLineZ).points({{1, 2, 3}}).bytes(); b[2] = 1; return b; }()),
        second("extended", Blob(0x23).geometry(kLineZ).points({{1, 2, 3}}).bytes()),
        second("srid_inside", Blob().geometry(0xA0000002u).u32(4326).points({{1, 2, 3}}).bytes()),
        second("cut_short", Blob().geometry(kLineZ).u32(3).f64(1).f64(2).f64(3).bytes()),
        second("deep", deep.bytes()),
        odd("text", "UPDATE curvas SET geom = 'abc' WHERE fid = 2"),
        odd("text_of_a_blob", "UPDATE curvas SET geom = CAST(geom AS TEXT) WHERE fid = 2"),
        odd("number", "UPDATE curvas SET geom = 5 WHERE fid = 2"),
    };
    const Extents box{.min_x = 4, .min_y = 4, .max_x = 6, .max_y = 6};
    for (const std::string& path : direct) {
        SCOPED_TRACE(path);
        std::string why;
        auto ours = open_gpkg_directly(path, OgrOptions{});
        auto gdal = OgrSource::open(path, OgrOptions{}, why);
        ASSERT_TRUE(ours != nullptr);
        ASSERT_TRUE(gdal != nullptr) << why;
        const std::string whole = everything(*ours);
        EXPECT_EQ(whole, everything(*gdal));
        // a window is GDAL's to read, through the layer's index: only the
        // features that can reach it, one that only crosses it included
        ours->read_only_within(box);
        gdal->read_only_within(box);
        const std::string near = everything(*ours);
        EXPECT_EQ(near, everything(*gdal));
        if (path == direct[0]) {
            EXPECT_LT(std::count(near.begin(), near.end(), '|') * 2, std::count(whole.begin(), whole.end(), '|'));
            EXPECT_NE(near.find("|0 5 150 10 5 150 "), std::string::npos) << near;
        }
        // by its name too
        EXPECT_TRUE(open_gpkg_directly(path, OgrOptions{"curvas", "", "", false}) != nullptr);
    }
    // a sink that stops the reading stops it
    struct Stopping final : ContourSink {
        int left = 3;
        bool vertex(double, double, double) override { return --left > 0; }
    } stopping;
    std::string why;
    EXPECT_FALSE(open_gpkg_directly(direct[0], OgrOptions{})->read(stopping, why));
    EXPECT_EQ(stopping.left, 0);
    EXPECT_EQ(why, "");

    const std::string lines_gpkg = direct[0];
    const auto changed = [&](const std::string& name, const char* sql) {
        return change_gpkg(write_gpkg(tmp.root() + name, wkbLineString25D, {"LINESTRING Z (0 0 1,1 1 1)"}), sql);
    };
    const std::pair<std::string, OgrOptions> left_to_gdal[] = {
        {lines_gpkg, OgrOptions{"", "fid > 2", "", false}},
        {lines_gpkg, OgrOptions{"", "", "fid", false}},
        {lines_gpkg, OgrOptions{"otra", "", "", false}},
        {write_source(tmp.root() + "flat", Route::gpkg_field, rings()), OgrOptions{}},
        {write_gpkg(tmp.root() + "first_2d.gpkg", wkbLineString25D, {"LINESTRING (0 0,5 5)", "LINESTRING Z (0 0 1,1 1 1)"}), OgrOptions{}},
        {write_gpkg(tmp.root() + "curves.gpkg", wkbLineString25D, {"CIRCULARSTRING Z (0 0 1,1 1 1,2 0 1)"}), OgrOptions{}},
        {write_gpkg(tmp.root() + "polygons.gpkg", wkbPolygon25D, {"POLYGON Z ((0 0 1,1 1 1,2 0 1,0 0 1))"}), OgrOptions{}},
        {changed("two.gpkg", "CREATE TABLE otra (id INTEGER PRIMARY KEY)"), OgrOptions{}},
        {changed("unknown.gpkg", "UPDATE gpkg_contents SET min_x = NULL"), OgrOptions{}},
        {changed("attributes.gpkg", "UPDATE gpkg_contents SET data_type = 'attributes'"), OgrOptions{}},
        // extents GDAL does not take as they stand, but works out itself
        {changed("inverted.gpkg", "UPDATE gpkg_contents SET min_x = 1000"), OgrOptions{}},
        {changed("extents_as_text.gpkg", "UPDATE gpkg_contents SET min_x = 'abc'"), OgrOptions{}},
        {write_source(tmp.root() + "lw", Route::dxf_lwpolyline, rings()), OgrOptions{}},
    };
    for (const auto& [path, o] : left_to_gdal) {
        SCOPED_TRACE(path + " " + o.where + o.field + o.layer);
        EXPECT_TRUE(open_gpkg_directly(path, o) == nullptr);
    }
    // the system's EPSG code where gpkg_spatial_ref_sys names it beyond
    // doubt; none otherwise, for GDAL to tell
    const auto code = [&](const std::string& path) {
        const auto e = open_gpkg_directly(path, OgrOptions{})->epsg();
        return e ? std::to_string(e->code) + (e->geographic ? " geographic" : " projected") : std::string("none");
    };
    const std::string where = " WHERE srs_id = 25830";
    EXPECT_EQ(code(lines_gpkg), "25830 projected");
    EXPECT_EQ(code(write_source(tmp.root() + "deg", Route::gpkg_z, rings(), 4326)), "4326 geographic");
    EXPECT_EQ(code(changed("body.gpkg", ("UPDATE gpkg_spatial_ref_sys SET organization = 'NONE'" + where).c_str())), "none");
    EXPECT_EQ(code(changed("code.gpkg", ("UPDATE gpkg_spatial_ref_sys SET organization_coordsys_id = 25831" + where).c_str())), "none");
    EXPECT_EQ(code(changed("geocentric.gpkg", ("UPDATE gpkg_spatial_ref_sys SET definition = 'GEOCCS[\"a\",AUTHORITY[\"EPSG\",\"25830\"]]'" + where).c_str())), "none");
    EXPECT_EQ(code(changed("user.gpkg", ("UPDATE gpkg_spatial_ref_sys SET organization_coordsys_id = 32767, definition = "
                                         "replace(definition, '\"25830\"]]', '\"32767\"]]')" + where).c_str())), "none");
    // and from any WKT: GDAL's own, in either version, or those that state no EPSG system of their own
    const auto stated = [](const std::string& wkt) {
        const auto e = epsg_system(wkt);
        return e ? std::to_string(e->code) + (e->geographic ? " geographic" : " projected") : std::string("none");
    };
    for (const auto& [epsg, said] : {std::pair{25830, "25830 projected"}, std::pair{4326, "4326 geographic"}})
        for (const char* version : {"WKT1_GDAL", "WKT2_2019"}) {
            OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
            OSRImportFromEPSG(srs, epsg);
            char* text = nullptr;
            const std::string format = std::string("FORMAT=") + version;
            const char* options[] = {format.c_str(), nullptr};
            OSRExportToWktEx(srs, &text, options);
            EXPECT_EQ(stated(text), said) << text;
            CPLFree(text);
            OSRDestroySpatialReference(srs);
        }
    for (const char* wkt : {R"(PROJCS["x",UNIT["metre",1,AUTHORITY["EPSG","9001"]]])", R"(LOCAL_CS["a",AUTHORITY["EPSG","5800"]])",
                            R"(GEOGCS["x",AUTHORITY["EPSG","32767"]])", R"(GEOGCS["x",AUTHORITY["ESRI","4326"]])",
                            R"(GEOGCS["x",AUTHORITY["EPSG","43x6"]])", "", "]]"})
        EXPECT_EQ(stated(wkt), "none") << wkt;

    // the elevation from a field (-a), named in any case, over lines with
    // Z or without; what a row holds that the OGR route reads otherwise or
    // refuses (nothing, text, a real in an integer column, infinity) has
    // the layer read again through GDAL, with the same lines or stop line
    const auto flat = [&](const std::string& name, const std::string& sql) {
        return change_gpkg(write_source(tmp.root() + name, Route::gpkg_field, rings(3)), sql);
    };
    const std::pair<std::string, std::string> by_field[] = {
        {flat("plain", ""), "COTA"},
        {change_gpkg(write_source(tmp.root() + "with_z", Route::gpkg_z, rings(3)), "UPDATE curvas SET cota = 7 WHERE fid = 2"), "cota"},
        {flat("no_geometry", "UPDATE curvas SET geom = NULL WHERE fid = 2"), "cota"},
        {flat("nothing", "UPDATE curvas SET cota = NULL WHERE fid = 2"), "cota"},
        {flat("text", "UPDATE curvas SET cota = 'abc' WHERE fid = 2"), "cota"},
        {flat("infinite", "UPDATE curvas SET cota = -1e999 WHERE fid = 3"), "cota"},
        {flat("integer", "ALTER TABLE curvas ADD COLUMN n INTEGER; UPDATE curvas SET n = fid * 9007199254740993"), "n"},
        {flat("real_in_integer", "ALTER TABLE curvas ADD COLUMN n INTEGER; UPDATE curvas SET n = fid + 0.5"), "n"},
        {flat("double", "ALTER TABLE curvas ADD COLUMN d DOUBLE; UPDATE curvas SET d = cota / 3"), "d"},
    };
    for (const auto& [path, field] : by_field) {
        SCOPED_TRACE(path);
        const OgrOptions o{"", "", field, false};
        std::string opened;
        auto ours = open_gpkg_directly(path, o);
        auto gdal = OgrSource::open(path, o, opened);
        ASSERT_TRUE(ours != nullptr);
        ASSERT_TRUE(gdal != nullptr) << opened;
        EXPECT_EQ(everything(*ours), everything(*gdal));
    }
    const std::string plain = by_field[0].first;
    for (const char* field : {"nombre", "nada", "fid", "geom"})
        EXPECT_TRUE(open_gpkg_directly(plain, OgrOptions{"", "", field, false}) == nullptr) << field;
    EXPECT_TRUE(open_gpkg_directly(flat("float", "ALTER TABLE curvas ADD COLUMN f FLOAT"), OgrOptions{"", "", "f", false}) == nullptr);
}

// What GDAL cannot open or reads only in part, or without an elevation,
// stops the run in one line; the files of an earlier run stay as they were.
TEST(Sources, WhatCannotBeReadWholeStopsTheRunAndKeepsEarlierOutputs) {
    GDALAllRegister();
    test::TempDir tmp;
    const std::string z = write_source(tmp.root() + "z", Route::gpkg_z, rings(12));
    const std::string flat = write_source(tmp.root() + "flat", Route::gpkg_field, rings());
    const std::string empty = write_source(tmp.root() + "empty", Route::gpkg_z, rings(0));
    std::ofstream(tmp.root() + "text.gpkg") << "no es un GeoPackage";
    // a GeoPackage read directly: a line without Z after one with, a geometry cut short
    const std::string later_2d =
        write_gpkg(tmp.root() + "later_2d.gpkg", wkbLineString25D, {"LINESTRING Z (0 0 100,1 1 100)", "LINESTRING (0 0,5 5)"});
    // two lines, the second's geometry then replaced
    const auto second = [&](const std::string& name, const std::string& geom) {
        return change_gpkg(write_gpkg(tmp.root() + name, wkbLineString25D,
                                      {"LINESTRING Z (0 0 100,1 1 100)", "LINESTRING Z (0 0 110,5 5 110)"}),
                           "UPDATE curvas SET geom = " + geom + " WHERE fid = 2");
    };
    const std::string cut = second("cut.gpkg", "X'47500001E664000001EA030000'");
    const std::string infinite =
        second("infinite.gpkg", test::sql_blob(test::Blob().geometry(1002).points({{0, 0, 110}, {5, 5, -HUGE_VAL}}).bytes()));
    const std::string wgs84 = tmp.root() + "wgs84.geojson";
    std::ofstream(wgs84) << R"({"type":"FeatureCollection","features":[{"type":"Feature","properties":{},"geometry":)"
                            R"({"type":"LineString","coordinates":[[-3.7,40.4,100],[-3.6,40.5,100]]}}]})";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{tmp.root() + "nada.gpkg"}, "no se puede abrir el dibujo"},
        {{tmp.root() + "text.gpkg"}, "GDAL no puede abrir"},
        {{"PG:dbname=nada"}, "GDAL no puede abrir PG:dbname=nada"},  // a connection, not a file
        {{"-l", "otra", z}, "la capa 'otra' no está en " + z + " (capas: curvas)"},
        {{"-where", "cota >>> 3", flat}, "-where no se entiende"},
        {{"-a", "altura", flat}, "el campo 'altura' no está en la capa curvas de " + flat + " (campos: cota, nombre)"},
        {{"-a", "nombre", flat}, "el campo 'nombre' de la capa curvas"},
        {{flat}, "no tienen Z: indique -a CAMPO"},
        {{"-3d", flat}, "-3d: las geometrías de la capa curvas de " + flat + " no tienen Z"},
        {{empty}, "no tiene ninguna geometría"},
        {{z, wgs84}, "las fuentes " + z + " y " + wgs84 + " tienen sistemas de coordenadas distintos"},
        {{later_2d}, "la entidad 2 de la capa curvas de " + later_2d +
                         " no tiene Z: déjela fuera con -where, o tome la elevación de un campo con -a"},
        // what the direct reading does not read is GDAL's to say
        {{cut}, "GDAL no puede leer la capa curvas de " + cut + ": Unable to read geometry"},
        {{infinite}, "la entidad 2 de la capa curvas de " + infinite +
                         " tiene una elevación que no es finita (-inf): déjela fuera con -where"},
        {{"-where", "CASE WHEN fid > 5 THEN abs(-9223372036854775808) ELSE 1 END", z},
         "GDAL no puede leer la capa curvas de " + z + ": In GetNextRawFeature(): sqlite3_step() : integer overflow"},
    };
    const std::string out = tmp.root() + "out";
    for (const auto& [source, said] : cases) {
        SCOPED_TRACE(said);
        for (const char* suffix : {"_zorvl.raw", "_zorvl.txt", "_zorvl_tab.txt", "_zorvl.hdr"}) std::ofstream(out + suffix) << "before";
        std::vector<std::string> args = {"--overwrite", "-tr", "4", "-interval", "10"};
        args.insert(args.end(), source.begin(), source.end());
        args.push_back(out);
        std::string err;
        EXPECT_EQ(cli(args, &err), 1);
        EXPECT_EQ(err.rfind("zorvel_raster: ", 0), 0u) << err;
        EXPECT_NE(err.find(said), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        for (const char* suffix : {"_zorvl.raw", "_zorvl.txt", "_zorvl_tab.txt", "_zorvl.hdr"})
            EXPECT_EQ(test::slurp(out + suffix), "before") << suffix;
    }
    // (GeoJSON sources that stop, or are read with a warning, are end-to-end cases: gdal_*)
    std::string err;
    // a system the header cannot hold, or GDAL does not know: one line of ours
    EXPECT_EQ(cli({"--overwrite", "-tr", "4", "-a_srs", R"(LOCAL_CS["a}b"])", z, out}, &err), 2);
    EXPECT_EQ(err, "zorvel_raster: -a_srs: el sistema de coordenadas 'LOCAL_CS[\"a}b\"]' lleva llaves ({ o }), que la "
                   "cabecera no puede guardar\n");
    EXPECT_EQ(cli({"--overwrite", "-tr", "4", "-a_srs", "EPSG:99999", z, out}, &err), 2);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_EQ(err.rfind("zorvel_raster: -a_srs: GDAL no conoce el sistema de coordenadas 'EPSG:99999'", 0), 0u) << err;
}

// What GDAL reads of a raster besides its grid: the cells' type, the
// coordinate system's code, nodata, the metadata, class names and colours.
std::string raster_facts(const std::string& path) {
    GDALDatasetH ds = GDALOpen(path.c_str(), GA_ReadOnly);
    if (ds == nullptr) return "unreadable";
    GDALRasterBandH band = GDALGetRasterBand(ds, 1);
    int has = 0;
    const double nodata = GDALGetRasterNoDataValue(band, &has);
    std::ostringstream all;
    all.precision(17);
    all << GDALGetDataTypeName(GDALGetRasterDataType(band)) << " nodata " << has << " " << nodata;
    OGRSpatialReferenceH srs = GDALGetSpatialRef(ds);
    all << " srs " << (srs == nullptr ? "none" : OSRGetAuthorityCode(srs, nullptr) ? OSRGetAuthorityCode(srs, nullptr) : "?");
    for (char** m = GDALGetMetadata(ds, nullptr); m != nullptr && *m != nullptr; ++m) all << " " << *m;
    for (char** n = GDALGetRasterCategoryNames(band); n != nullptr && *n != nullptr; ++n) all << " [" << *n << "]";
    if (GDALColorTableH t = GDALGetRasterColorTable(band); t != nullptr)
        for (int k = 0; k < GDALGetColorEntryCount(t); ++k) {
            const GDALColorEntry* c = GDALGetColorEntry(t, k);
            all << " " << c->c1 << "," << c->c2 << "," << c->c3 << "," << c->c4;
        }
    GDALClose(ds);
    return all.str() + " " + grid_read(path);
}

// A GeoTIFF the program writes itself reads in GDAL as the one GDAL's
// driver writes (asked with a creation option): classes and elevations,
// without a coordinate system, turned, in Float64 with a nodata of its own,
// in a projected and a geographic one, and as a BigTIFF.
TEST(Sources, AGeoTiffWrittenHereReadsAsGdalsOwn) {
    GDALAllRegister();
    test::TempDir tmp;
    const std::string dxf = write_source(tmp.root() + "d", Route::old_dxf, rings());
    const std::string utm = write_source(tmp.root() + "utm", Route::gpkg_z, rings());
    const std::string degrees = write_source(tmp.root() + "deg", Route::gpkg_z, rings(), 4326);
    const std::vector<std::vector<std::string>> cases = {
        {"-ot", "Float32", dxf},
        {"-ot", "Float64", "-rot", "30", "-a_nodata", "-32768.5", "-fill", dxf},
        {dxf, dxf},
        {"-fill", "-interval", "5", utm},
        {"-ot", "Float32", "-fill", utm},
        {"-ot", "Float32", "-fill", degrees},
        {"-ot", "Float32", "-where", "cota > 0", utm},  // read through GDAL, its system as GDAL states it
        {"-a_srs", "EPSG:25831", "-fill", dxf},
        {"-tr", "0.5", "-ot", "Float64", "-fill", dxf},  // 2.5 MB: cells that go out in several writes
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"-q", "--overwrite"};
        if (std::find(c.begin(), c.end(), "-tr") == c.end()) args.insert(args.end(), {"-tr", "4"});
        args.insert(args.end(), c.begin(), c.end());
        SCOPED_TRACE(::testing::PrintToString(args));
        const std::string ours = tmp.root() + "ours.tif", gdals = tmp.root() + "gdals.tif";
        std::string err;
        args.push_back(ours);
        ASSERT_EQ(cli(args, &err), 0) << err;
        args.back() = gdals;
        args.insert(args.end() - 1, {"-co", "COMPRESS=NONE"});
        ASSERT_EQ(cli(args, &err), 0) << err;
        // two writers: GDAL names a system by more keys (without one, it may write the same bytes)
        const bool system = c.back() != dxf || std::find(c.begin(), c.end(), "-a_srs") != c.end();
        EXPECT_TRUE(!system || test::slurp(ours) != test::slurp(gdals));
        EXPECT_EQ(raster_facts(ours), raster_facts(gdals));
        EXPECT_EQ(fs::exists(ours + ".aux.xml"), fs::exists(gdals + ".aux.xml"));
        GDALDatasetH a = GDALOpen(ours.c_str(), GA_ReadOnly), b = GDALOpen(gdals.c_str(), GA_ReadOnly);
        const OGRSpatialReferenceH sa = GDALGetSpatialRef(a), sb = GDALGetSpatialRef(b);
        EXPECT_EQ(sa == nullptr, sb == nullptr);
        EXPECT_TRUE(sa == nullptr || sb == nullptr || OSRIsSame(sa, sb));
        GDALClose(a);
        GDALClose(b);
        // and ENVI's image, written apart, holds the same cells
        args.erase(args.end() - 3, args.end() - 1);
        args.back() = tmp.root() + "envi";
        args.insert(args.end() - 1, {"-of", "ENVI"});
        ASSERT_EQ(cli(args, &err), 0) << err;
        const std::string raw = tmp.root() + "envi_zorvl.raw";
        EXPECT_EQ(grid_read(raw), grid_read(ours));
        GDALDatasetH e = GDALOpen(raw.c_str(), GA_ReadOnly);
        ASSERT_TRUE(e != nullptr);
        EXPECT_EQ(fs::file_size(raw), static_cast<std::uintmax_t>(GDALGetRasterXSize(e)) * GDALGetRasterYSize(e) *
                                          GDALGetDataTypeSizeBytes(GDALGetRasterDataType(GDALGetRasterBand(e, 1))));
        GDALClose(e);
    }
    // a BigTIFF, as GDAL writes one past 4 GB, holds the same; a write that fails says why
    RasterOut r;
    r.driver = kGeoTiff;
    r.type = CellType::Float32;
    r.width = 3;
    r.height = 2;
    const double cells[] = {1.5, -2.25, 3e7, 0.1, -999, 7};
    r.value_rows = {cells, cells + 3};
    r.geotransform[0] = 500000.5;
    r.geotransform[3] = 4100000.25;
    r.geotransform[5] = -1;
    r.nodata = -999;
    r.metadata = {"SOURCE=a <b> & \"c\"\n", "EMPTY=", "AB=x=y"};
    ASSERT_TRUE(plain_geotiff(r));
    std::string facts[2];
    for (const bool big : {false, true}) {
        const std::string path = tmp.root() + (big ? "big.tif" : "classic.tif");
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::string why;
        EXPECT_TRUE(write_geotiff(f, r, EpsgSystem{25830, false}, why, big)) << why;
        std::fclose(f);
        EXPECT_EQ(test::slurp(path).substr(2, 1), big ? "+" : "*");  // 43 or 42
        facts[big] = raster_facts(path);
    }
    EXPECT_EQ(facts[1], facts[0]);
    EXPECT_NE(facts[0].find("Float32 nodata 1 -999 srs 25830 AB=x=y AREA_OR_POINT=Area SOURCE=a <b> & \"c\"\n 3 x 2"),
              std::string::npos) << facts[0];
    std::FILE* full = std::fopen("/dev/full", "wb");
    ASSERT_TRUE(full != nullptr);
    std::setvbuf(full, nullptr, _IONBF, 0);
    std::string why;
    EXPECT_FALSE(write_geotiff(full, r, std::nullopt, why));
    EXPECT_EQ(why, std::strerror(ENOSPC));
    std::fclose(full);
}

// Every raster format the build's GDAL writes, asked for as -of on the
// example: the cells GDAL reads back are the GeoTIFF's, or the run is
// refused and leaves no file at all.
TEST(Sources, EveryFormatWritesTheGeoTiffsCellsOrIsRefused) {
    GDALAllRegister();
    test::TempDir tmp;
    const std::string example = ZORVEL_SOURCE_DIR "/examples/colinas/colinas.dxf";
    int written = 0, refused = 0;
    for (const char* type : {"Byte", "Float32"}) {
        std::string err;
        const std::string reference = tmp.root() + type + ".tif";
        ASSERT_EQ(cli({"-q", "-tr", "10", "-ot", type, example, reference}, &err), 0) << err;
        const std::string want = grid_read(reference);
        for (int k = 0; k < GDALGetDriverCount(); ++k) {
            GDALDriverH d = GDALGetDriver(k);
            const std::string name = GDALGetDriverShortName(d);
            const bool creates = GDALGetMetadataItem(d, GDAL_DCAP_CREATE, nullptr) != nullptr ||
                                 GDALGetMetadataItem(d, GDAL_DCAP_CREATECOPY, nullptr) != nullptr;
            // ENVI is the program's own four files
            if (GDALGetMetadataItem(d, GDAL_DCAP_RASTER, nullptr) == nullptr || !creates || name == "ENVI") continue;
            SCOPED_TRACE(name + " " + type);
            const std::string folder = tmp.root() + name + type + "/";
            fs::create_directory(folder);
            const char* extensions = GDALGetMetadataItem(d, GDAL_DMD_EXTENSIONS, nullptr);
            std::string out = folder + "out";
            if (extensions != nullptr && *extensions != '\0') out += "." + std::string(extensions).substr(0, std::string(extensions).find(' '));
            const int status = cli({"-q", "-tr", "10", "-ot", type, "-of", name, example, out}, &err);
            if (status == 0) {
                EXPECT_EQ(grid_read(out), want);
                ++written;
                // a COG GDAL's own script holds valid, where the system has it
                const char* script = "/usr/lib/python3/dist-packages/osgeo_utils/samples/validate_cloud_optimized_geotiff.py";
                if (name == "COG" && fs::exists(script)) {
                    EXPECT_EQ(std::system(("/usr/bin/python3 " + std::string(script) + " -q " + out).c_str()), 0);
                }
            } else {
                EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
                EXPECT_TRUE(fs::is_empty(folder)) << err;
                ++refused;
            }
        }
    }
    // GeoTIFF, COG, PNG ... write, JPEG, MEM, VRT ... are refused
    EXPECT_GE(written, 10);
    EXPECT_GE(refused, 10);
    // what a refusal says, before anything is read
    const std::string out = tmp.root() + "o";
    const std::pair<std::vector<std::string>, std::string> said[] = {
        {{"-ot", "Float32", out + ".png"}, "-of PNG: el formato no guarda celdas Float32 (guarda Byte UInt16)"},
        {{"-of", "XPM", out}, "-of XPM: GDAL no guarda la imagen tal cual en el formato XPM: leída de nuevo, la celda de la "
                              "línea 0, columna 1 vale 35 en lugar de 37 (232 celdas distintas)"},
        {{"-of", "MEM", out}, "-of MEM: GDAL no puede escribir " + out + " (MEM): GDAL no lee lo que escribió"},
        {{"-co", "FOO=BAR", out + ".tif"}, "-of GTiff: -co: driver GTiff does not support creation option FOO"},
        {{"-of", "SAGA", "-co", "FOO=BAR", out}, "-of SAGA: el formato no tiene opciones de creación, y se da -co FOO=BAR"},
    };
    for (const auto& [args, line] : said) {
        std::vector<std::string> all = {"-q", "-tr", "10", example};
        all.insert(all.end() - 1, args.begin(), args.end() - 1);
        all.push_back(args.back());
        std::string err;
        EXPECT_EQ(cli(all, &err), 2);
        EXPECT_EQ(err, "zorvel_raster: " + line + "\n");
    }
    // a .tif's driver, told before GDAL has loaded, is the one GDAL's drivers give
    void* module = dlopen(std::getenv("ZORVEL_RASTER_OGR"), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr);
    const auto entry = reinterpret_cast<const OgrModule* (*)()>(dlsym(module, kOgrModuleEntry));
    ASSERT_NE(entry, nullptr);
    for (const char* name : {"a.tif", "b.TIFF", "c.Tif"}) EXPECT_EQ(raster_driver_for(name), entry()->raster_driver_for(name)) << name;
    // GDAL's warnings as it writes, named after the output; a file of the
    // set found only once written is refused as an earlier output is
    std::string err;
    EXPECT_EQ(cli({"-q", "-tr", "10", "-co", "PHOTOMETRIC=RGB", example, out + "_rgb.tif"}, &err), 0);
    EXPECT_EQ(err.rfind("zorvel_raster: aviso: GDAL (GTiff): " + out + "_rgb.tif: PHOTOMETRIC=RGB", 0), 0u) << err;
    std::ofstream(out + ".hdr") << "before";
    EXPECT_EQ(cli({"-q", "-tr", "10", "-of", "EHdr", example, out + ".bil"}, &err), 2);
    EXPECT_EQ(err, "zorvel_raster: ya existe " + out + ".hdr: use --overwrite para reemplazarlo\n");
    EXPECT_EQ(test::slurp(out + ".hdr"), "before");
    EXPECT_FALSE(fs::exists(out + ".bil"));
    // a GeoTIFF's sidecar too: an earlier one alone is refused
    std::ofstream(out + ".tif.aux.xml") << "<PAMDataset/>";
    EXPECT_EQ(cli({"-q", "-tr", "10", example, out + ".tif"}, &err), 2);
    EXPECT_EQ(err, "zorvel_raster: ya existe " + out + ".tif.aux.xml: use --overwrite para reemplazarlo\n");
}

}  // namespace
}  // namespace zorvel
