// The program with GDAL: its header read by GDAL itself (the image's size,
// type, no-data value, classes and coordinate system, and a geotransform
// that puts every vertex of the drawing in a cell of its own class, whatever
// the rotation), and the same contours read from other sources through OGR.
#include <gtest/gtest.h>

#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "command_line.h"
#include "test_support.h"

namespace zorvel {
namespace {

struct Vertex {
    double x, y, z;
};

// Rings of 36 vertices about (5000, 7000), 100 at radius 40 to 160 at 140:
// contours that never cross, on map coordinates of a projected system.
std::vector<std::vector<Vertex>> rings() {
    std::vector<std::vector<Vertex>> all;
    for (int k = 0; k < 6; ++k) {
        std::vector<Vertex> ring;
        for (int a = 0; a <= 36; ++a) {
            const double t = a * M_PI / 18;
            ring.push_back({5000 + (40 + 20 * k) * std::cos(t), 7000 + (40 + 20 * k) * std::sin(t), 100.0 + 10 * k});
        }
        all.push_back(ring);
    }
    return all;
}

std::string drawing(const std::vector<std::vector<Vertex>>& rings) {
    std::string s = "0\nSECTION\n2\nHEADER\n9\n$EXTMIN\n10\n4800\n20\n6800\n30\n0\n9\n$EXTMAX\n10\n5200\n20\n7200\n30\n0\n"
                    "0\nENDSEC\n0\nSECTION\n2\nENTITIES\n";
    char line[160];
    for (const auto& ring : rings) {
        s += "0\nPOLYLINE\n8\nCURVAS\n66\n1\n";
        for (const Vertex& v : ring) {
            std::snprintf(line, sizeof line, "0\nVERTEX\n8\nCURVAS\n10\n%.17g\n20\n%.17g\n30\n%.1f\n", v.x, v.y, v.z);
            s += line;
        }
        s += "0\nSEQEND\n";
    }
    return s + "0\nENDSEC\n0\nEOF\n";
}

// The rings written through OGR: a GeoPackage of line strings with Z (in
// ETRS89 / UTM 30N), one of 2D line strings with the elevation in a field
// "cota", or a DXF (GDAL's writer gives flat lines as LWPOLYLINE, group 38).
enum class Route { gpkg_z, gpkg_field, dxf_lwpolyline };

std::string write_source(const std::string& base, Route route, const std::vector<std::vector<Vertex>>& rings) {
    const bool dxf = route == Route::dxf_lwpolyline;
    const std::string path = base + (dxf ? ".dxf" : ".gpkg");
    GDALDriverH driver = GDALGetDriverByName(dxf ? "DXF" : "GPKG");
    GDALDatasetH ds = GDALCreate(driver, path.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(srs, 25830);
    const bool z = route != Route::gpkg_field;
    OGRLayerH layer = GDALDatasetCreateLayer(ds, "curvas", dxf ? nullptr : srs, z ? wkbLineString25D : wkbLineString,
                                             nullptr);
    if (route == Route::gpkg_field) {
        for (const auto& [name, type] : {std::pair{"cota", OFTReal}, std::pair{"nombre", OFTString}}) {
            OGRFieldDefnH f = OGR_Fld_Create(name, type);
            OGR_L_CreateField(layer, f, TRUE);
            OGR_Fld_Destroy(f);
        }
    }
    for (const auto& ring : rings) {
        OGRFeatureH feature = OGR_F_Create(OGR_L_GetLayerDefn(layer));
        OGRGeometryH line = OGR_G_CreateGeometry(z ? wkbLineString25D : wkbLineString);
        for (const Vertex& v : ring) {
            if (z)
                OGR_G_AddPoint(line, v.x, v.y, v.z);
            else
                OGR_G_AddPoint_2D(line, v.x, v.y);
        }
        if (route == Route::gpkg_field) OGR_F_SetFieldDouble(feature, 0, ring[0].z);
        OGR_F_SetGeometryDirectly(feature, line);
        EXPECT_EQ(OGR_L_CreateFeature(layer, feature), OGRERR_NONE);
        OGR_F_Destroy(feature);
    }
    OSRDestroySpatialReference(srs);
    GDALClose(ds);
    return path;
}

std::string slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

TEST(Sources, SameContoursThroughFourRoutesGiveTheSameFiles) {
    GDALAllRegister();
    test::TempDir tmp;
    const auto all = rings();
    const std::string dxf = tmp.root() + "rings.dxf";
    std::ofstream(dxf) << drawing(all);
    std::vector<std::string> sources = {dxf};
    for (Route r : {Route::gpkg_z, Route::gpkg_field, Route::dxf_lwpolyline})
        sources.push_back(write_source(tmp.root() + "route" + std::to_string(static_cast<int>(r)), r, all));
    std::string first;
    for (std::size_t k = 0; k < sources.size(); ++k) {
        SCOPED_TRACE(sources[k]);
        const std::string out = tmp.root() + "out" + std::to_string(k);
        std::vector<std::string> args = {"-q", "-tr", "4", "-rot", "20", "-te", "4800", "6800", "5200", "7200",
                                         "-interval", "10", "-min", "100", "-max", "160"};
        if (k == 2) args.insert(args.end(), {"-a", "cota"});
        args.insert(args.end(), {sources[k], out});
        test::ScriptedConsole sc("");
        ASSERT_EQ(run_command_line(args, sc.con), 0) << sc.errors();
        const std::string files =
            slurp(out + "_zorvl.raw") + "|" + slurp(out + "_zorvl.txt") + "|" + slurp(out + "_zorvl_tab.txt");
        if (k == 0) first = files;
        EXPECT_EQ(files, first);
        // the coordinate system of the GeoPackages is in the header
        GDALDatasetH ds = GDALOpen((out + "_zorvl.raw").c_str(), GA_ReadOnly);
        ASSERT_NE(ds, nullptr);
        const std::string crs = GDALGetProjectionRef(ds);
        EXPECT_EQ(crs.find("UTM zone 30N") != std::string::npos, k == 1 || k == 2) << crs;
        GDALClose(ds);
    }
    EXPECT_GT(first.size(), 1000u);
}

TEST(Sources, BadSourcesAreOneLineAndExitOne) {
    GDALAllRegister();
    test::TempDir tmp;
    const std::string z = write_source(tmp.root() + "z", Route::gpkg_z, rings());
    const std::string flat = write_source(tmp.root() + "flat", Route::gpkg_field, rings());
    const std::string empty = write_source(tmp.root() + "empty", Route::gpkg_z, {});
    std::ofstream(tmp.root() + "text.gpkg") << "no es un GeoPackage";
    struct Case {
        std::vector<std::string> args;
        const char* said;
    };
    const Case cases[] = {
        {{tmp.root() + "nada.gpkg"}, "no se puede abrir el dibujo"},
        {{tmp.root() + "text.gpkg"}, "GDAL no puede abrir"},
        {{"-l", "otra", z}, "la capa 'otra' no esta en"},
        {{"-where", "cota >>> 3", flat}, "-where no se entiende"},
        {{"-a", "altura", flat}, "el campo 'altura' no esta en"},
        {{"-a", "nombre", flat}, "el campo 'nombre' de la capa curvas"},
        {{flat}, "no tienen Z: indique -a CAMPO"},
        {{empty}, "no tiene ninguna geometria"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.said);
        std::vector<std::string> args = {"-tr", "4", "-interval", "10"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back(tmp.root() + "out");
        test::ScriptedConsole sc("");
        EXPECT_EQ(run_command_line(args, sc.con), 1);
        const std::string err = sc.errors();
        EXPECT_NE(err.find(c.said), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
}

TEST(Sources, EveryVertexFallsInACellOfItsClass) {
    GDALAllRegister();
    test::TempDir tmp;
    const auto all = rings();
    const std::string dxf = tmp.root() + "rings.dxf";
    std::ofstream(dxf) << drawing(all);
    const std::string gpkg = write_source(tmp.root() + "rings", Route::gpkg_z, all);
    int exact = 0, beside = 0;
    // the layer's extent would leave the rings' right and bottom vertices on
    // the grid's last row and column, which no class reaches: the header's extents
    for (const std::string& path : {dxf, gpkg})
    for (const char* angle : {"0", "30", "90"}) {
        for (const char* sense : {"left", "right"}) {
            SCOPED_TRACE(testing::Message() << path << " " << angle << " " << sense);
            const std::string out = path + angle + sense;
            test::ScriptedConsole sc("");
            ASSERT_EQ(run_command_line({"-q", "-tr", "4", "-rot", angle, "-sense", sense, "-interval", "10", "-te",
                                        "4800", "6800", "5200", "7200", path, out},
                                       sc.con),
                      0)
                << sc.errors();
            GDALDatasetH ds = GDALOpen((out + "_zorvl.raw").c_str(), GA_ReadOnly);
            ASSERT_NE(ds, nullptr);
            GDALRasterBandH band = GDALGetRasterBand(ds, 1);
            EXPECT_EQ(GDALGetRasterDataType(band), GDT_Byte);
            int has_nodata = 0;
            EXPECT_EQ(GDALGetRasterNoDataValue(band, &has_nodata), 255.0);
            EXPECT_TRUE(has_nodata);
            char** names = GDALGetRasterCategoryNames(band);
            ASSERT_NE(names, nullptr);
            EXPECT_STREQ(names[1], "100");
            EXPECT_STREQ(names[6], "150");
            double gt[6], inv[6];
            ASSERT_EQ(GDALGetGeoTransform(ds, gt), CE_None);
            ASSERT_TRUE(GDALInvGeoTransform(gt, inv));
            const int w = GDALGetRasterXSize(ds), h = GDALGetRasterYSize(ds);
            const auto value = [&](int c, int r) {
                unsigned char v = 255;
                if (c >= 0 && r >= 0 && c < w && r < h) {
                    EXPECT_EQ(GDALRasterIO(band, GF_Read, c, r, 1, 1, &v, 1, 1, GDT_Byte, 0, 0), CE_None);
                }
                return v;
            };
            const auto cell = [&](double x, double y) {
                double c = 0, r = 0;
                GDALApplyGeoTransform(inv, x, y, &c, &r);
                return std::pair{static_cast<int>(std::floor(c)), static_cast<int>(std::floor(r))};
            };
            for (const auto& ring : all)
                for (const Vertex& v : ring) {
                    // class k for 100 + 10 (k - 1); the corner cleanup may
                    // have cleared the vertex's cell, never all of its neighbours
                    const auto k = static_cast<unsigned char>((v.z - 100) / 10 + 1);
                    const auto [c, r] = cell(v.x, v.y);
                    if (value(c, r) == k) {
                        ++exact;
                        continue;
                    }
                    bool found = false;
                    for (int dr = -1; dr <= 1; ++dr)
                        for (int dc = -1; dc <= 1; ++dc) found = found || value(c + dc, r + dr) == k;
                    EXPECT_TRUE(found) << v.x << " " << v.y << " at " << c << "," << r;
                    ++beside;
                }
            // far outside: off the image
            const auto [fc, fr] = cell(9000, 9000);
            EXPECT_TRUE(fc < 0 || fr < 0 || fc >= w || fr >= h);
            GDALClose(ds);
        }
    }
    // nearly every vertex in its own cell
    EXPECT_GT(exact, 20 * beside);
    std::printf("%d vertices in their own cell, %d beside it\n", exact, beside);
}

}  // namespace
}  // namespace zorvel
