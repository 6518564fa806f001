#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "gpkg_blobs.h"
#include "reading/gpkg_blob.h"

namespace zorvel {
namespace {

using test::Blob;

// What a sink is told: "|" for each polyline, "v" for each vertex.
struct Told final : ContourSink {
    std::string s;
    void polyline() override { s += "|"; }
    bool vertex(double, double, double) override {
        s += "v";
        return true;
    }
};

constexpr std::uint32_t kLineZ = 1002, kMultiLineZ = 1005;

// What is empty, has a line without Z or a Z that is not finite, is cut
// short anywhere or is of another kind tells nothing. (Blobs with M, curves,
// an SRID inside, deep nesting or an infinite Z are read against GDAL itself
// where the build has it.)
TEST(GpkgBlob, WhatIsNotAWholeLineWithZTellsNothing) {
    const auto whole = Blob().geometry(kMultiLineZ).u32(2).geometry(kLineZ).points({{1, 1, 1}, {2, 2, 2}}).geometry(kLineZ).points({{3, 3, 3}}).bytes();
    std::vector<std::pair<std::vector<unsigned char>, BlobLines>> cases;
    for (std::size_t n = 0; n < whole.size(); ++n)
        cases.push_back({std::vector<unsigned char>(whole.begin(), whole.begin() + static_cast<long>(n)), BlobLines::gdal});
    std::vector<unsigned char> not_gp = whole;
    not_gp[1] = 'Q';
    const double nan = std::nan("");
    const auto empty = BlobLines::empty, no_z = BlobLines::no_z, gdal = BlobLines::gdal;
    cases.insert(cases.end(), {
        {Blob().geometry(2).points({}).bytes(), empty},                     // no points, and no Z
        {Blob().geometry(1).f64(nan).f64(nan).bytes(), empty},              // a point without coordinates
        {Blob().geometry(kMultiLineZ).u32(0).bytes(), empty},
        {Blob().geometry(2).points({{1, 2}, {3, 4}}).bytes(), no_z},
        {Blob().geometry(1).f64(1).f64(2).bytes(), no_z},
        {Blob().geometry(5).u32(1).geometry(2).points({{1, 2}}).bytes(), no_z},
        {not_gp, gdal},
        {Blob(0x0b, 0).geometry(kLineZ).points({{1, 2, 3}}).bytes(), gdal},  // an envelope of no known kind
        {{'G', 'P', 0, 1, 0, 0, 0, 0, 2, 2, 0, 0, 0}, gdal},                   // a byte order of 2
        {Blob().geometry(kLineZ).u32(0xFFFFFFFFu).f64(1).f64(2).f64(3).bytes(), gdal},    // more points than bytes
        {Blob().geometry(kMultiLineZ).u32(1).geometry(1001).f64(1).f64(2).f64(3).bytes(), gdal},  // a point among lines
        {Blob().geometry(kMultiLineZ).u32(1).geometry(2).points({{1, 2}}).bytes(), no_z},  // a part without the whole's Z
        {Blob().geometry(kLineZ).points({{1, 2, 3}, {1, 2, nan}}).bytes(), BlobLines::not_finite},
    });
    for (std::size_t k = 0; k < cases.size(); ++k) {
        SCOPED_TRACE(k);
        Told told;
        BlobTally tally;
        EXPECT_EQ(tell_blob_lines(cases[k].first.data(), cases[k].first.size(), told, tally), cases[k].second);
        EXPECT_EQ(told.s, "");
    }
}

}  // namespace
}  // namespace zorvel
