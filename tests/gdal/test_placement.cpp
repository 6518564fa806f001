// The header read by GDAL itself: the image's size, type, no-data value and
// classes, and a geotransform that puts every vertex of the drawing in a cell
// of its own class, whatever the rotation.
#include <gtest/gtest.h>

#include <gdal.h>

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

TEST(Placement, EveryVertexFallsInACellOfItsClass) {
    GDALAllRegister();
    test::TempDir tmp;
    const std::string path = tmp.root() + "rings.dxf";
    const auto all = rings();
    std::ofstream(path) << drawing(all);
    int exact = 0, beside = 0;
    for (const char* angle : {"0", "30", "90"}) {
        for (const char* sense : {"left", "right"}) {
            SCOPED_TRACE(testing::Message() << angle << " " << sense);
            const std::string out = tmp.root() + "r" + angle + sense;
            test::ScriptedConsole sc("");
            ASSERT_EQ(run_command_line({"-q", "-tr", "4", "-rot", angle, "-sense", sense, "-interval", "10", path, out},
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
