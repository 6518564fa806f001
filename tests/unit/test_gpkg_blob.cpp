#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "reading/gpkg_blob.h"

namespace zorvel {
namespace {

// A geometry blob written field by field, in either byte order.
class Blob {
public:
    // GeoPackage's header: flags say the byte order (bit 0), the envelope's kind (bits 1-3), empty (bit 4).
    explicit Blob(unsigned char flags = 0x03, std::size_t envelope_doubles = 4) {
        bytes_ = {'G', 'P', 0, flags};
        big_ = (flags & 1) == 0;
        u32(25830);
        for (std::size_t k = 0; k < envelope_doubles; ++k) f64(0);
    }
    Blob& order(bool big) {
        big_ = big;
        bytes_.push_back(big ? 0 : 1);
        return *this;
    }
    // a geometry's byte order and type
    Blob& geometry(std::uint32_t type, bool big = false) { return order(big).u32(type); }
    Blob& u32(std::uint32_t v) {
        for (int k = 0; k < 4; ++k) put(static_cast<unsigned char>(v >> (8 * k)), k);
        return *this;
    }
    Blob& f64(double d) {
        std::uint64_t v;
        std::memcpy(&v, &d, 8);
        for (int k = 0; k < 8; ++k) put(static_cast<unsigned char>(v >> (8 * k)), k);
        return *this;
    }
    Blob& points(std::vector<std::vector<double>> pts) {
        u32(static_cast<std::uint32_t>(pts.size()));
        for (const auto& p : pts)
            for (const double c : p) f64(c);
        return *this;
    }
    std::vector<unsigned char> bytes() const { return bytes_; }

private:
    // byte k of a number, the lowest first: big-endian, each goes before the ones already put
    void put(unsigned char b, int k) {
        if (k == 0) start_ = bytes_.size();
        if (big_)
            bytes_.insert(bytes_.begin() + static_cast<long>(start_), b);
        else
            bytes_.push_back(b);
    }
    std::vector<unsigned char> bytes_;
    std::size_t start_ = 0;
    bool big_ = false;
};

// What a sink is told: "|" for each polyline, then "x y z " for each vertex.
struct Told final : ContourSink {
    std::string s;
    int stop_after = -1;  // vertices before it stops the read, or -1
    void polyline() override { s += "|"; }
    bool vertex(double x, double y, double z) override {
        char b[80];
        std::snprintf(b, sizeof b, "%g %g %g ", x, y, z);
        s += b;
        return stop_after < 0 || --stop_after > 0;
    }
};

struct Result {
    BlobLines lines;
    std::string told;
    long long zero_z;
};
Result read(const std::vector<unsigned char>& blob) {
    Told told;
    long long zero_z = 0;
    const BlobLines lines = tell_blob_lines(blob.data(), blob.size(), told, zero_z);
    return {lines, told.s, zero_z};
}

constexpr std::uint32_t kLineZ = 1002, kPolygonZ = 1003, kMultiLineZ = 1005, kCollectionZ = 1007;

TEST(GpkgBlob, LinesRingsAndPartsAreToldInOrderWithTheirOwnZ) {
    const auto line = Blob().geometry(kLineZ).points({{1, 2, 3}, {4, 5, 6}}).bytes();
    struct Case {
        const char* name;
        std::vector<unsigned char> blob;
        std::string told;
        long long zero_z;
    };
    const Case cases[] = {
        {"a line with Z", line, "|1 2 3 4 5 6 ", 0},
        {"the header and the geometry big-endian, no envelope", Blob(0x00, 0).geometry(kLineZ, true).points({{1, 2, 3}, {4, 5, 6}}).bytes(),
         "|1 2 3 4 5 6 ", 0},
        {"an envelope of 6 doubles", Blob(0x05, 6).geometry(kLineZ).points({{1, 2, 3}}).bytes(), "|1 2 3 ", 0},
        {"Z in the type's high bit", Blob().geometry(0x80000002u).points({{1, 2, 3}}).bytes(), "|1 2 3 ", 0},
        {"the high bit big-endian", Blob().geometry(0x80000002u, true).points({{1, 2, 3}}).bytes(), "|1 2 3 ", 0},
        {"Z and M: M left", Blob().geometry(3002).points({{1, 2, 3, 9}, {4, 5, 6, 9}}).bytes(), "|1 2 3 4 5 6 ", 0},
        {"Z and M in the high bits", Blob().geometry(0xC0000002u).points({{1, 2, 3, 9}, {4, 5, 6, 9}}).bytes(), "|1 2 3 4 5 6 ", 0},
        {"a polygon's rings", Blob().geometry(kPolygonZ).u32(2).points({{0, 0, 7}, {1, 0, 7}, {0, 0, 7}}).points({{5, 5, 8}}).bytes(),
         "|0 0 7 1 0 7 0 0 7 |5 5 8 ", 0},
        {"a multi-polygon's rings, polygon by polygon",
         Blob().geometry(1006).u32(2).geometry(kPolygonZ).u32(1).points({{0, 0, 7}, {1, 0, 7}}).geometry(kPolygonZ).u32(1).points({{5, 5, 8}}).bytes(),
         "|0 0 7 1 0 7 |5 5 8 ", 0},
        {"the parts of a multi-line, an empty one left out",
         Blob().geometry(kMultiLineZ).u32(3).geometry(kLineZ).points({{1, 1, 1}}).geometry(kLineZ).points({}).geometry(kLineZ, true).points({{2, 2, 2}}).bytes(),
         "|1 1 1 |2 2 2 ", 0},
        {"a collection's lines, its point left out",
         Blob().geometry(kCollectionZ).u32(2).geometry(1001).f64(9).f64(9).f64(9).geometry(kLineZ).points({{3, 3, 3}}).bytes(), "|3 3 3 ", 0},
        {"vertices at 0 in a line whose others are not",
         Blob().geometry(kLineZ).points({{0, 0, 0}, {1, 1, 5}, {2, 2, 0}}).bytes(), "|0 0 0 1 1 5 2 2 0 ", 2},
        {"a line all at 0", Blob().geometry(kLineZ).points({{0, 0, 0}, {1, 1, 0}}).bytes(), "|0 0 0 1 1 0 ", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Result r = read(c.blob);
        EXPECT_EQ(r.lines, BlobLines::told);
        EXPECT_EQ(r.told, c.told);
        EXPECT_EQ(r.zero_z, c.zero_z);
    }
}

// What is empty, has no Z, is cut short anywhere or is of another kind tells nothing.
TEST(GpkgBlob, WhatIsNotAWholeLineWithZTellsNothing) {
    const auto whole = Blob().geometry(kMultiLineZ).u32(2).geometry(kLineZ).points({{1, 1, 1}, {2, 2, 2}}).geometry(kLineZ).points({{3, 3, 3}}).bytes();
    std::vector<std::pair<std::vector<unsigned char>, BlobLines>> cases;
    for (std::size_t n = 0; n < whole.size(); ++n)
        cases.push_back({std::vector<unsigned char>(whole.begin(), whole.begin() + static_cast<long>(n)), BlobLines::unreadable});
    std::vector<unsigned char> not_gp = whole;
    not_gp[1] = 'Q';
    Blob deep;
    for (int k = 0; k < 40; ++k) deep.geometry(kCollectionZ).u32(1);
    deep.geometry(kLineZ).points({{1, 1, 1}});
    const double nan = std::nan("");
    const auto empty = BlobLines::empty, no_z = BlobLines::no_z, unreadable = BlobLines::unreadable;
    cases.insert(cases.end(), {
        {Blob(0x13).geometry(kLineZ).points({{1, 2, 3}}).bytes(), empty},  // the header's empty flag
        {Blob().geometry(2).points({}).bytes(), empty},                     // no points, and no Z
        {Blob().geometry(1).f64(nan).f64(nan).bytes(), empty},              // a point without coordinates
        {Blob().geometry(kMultiLineZ).u32(0).bytes(), empty},
        {Blob().geometry(2).points({{1, 2}, {3, 4}}).bytes(), no_z},
        {Blob().geometry(2002).points({{1, 2, 3}}).bytes(), no_z},  // M only
        {Blob().geometry(1).f64(1).f64(2).bytes(), no_z},
        {Blob().geometry(5).u32(1).geometry(2).points({{1, 2}}).bytes(), no_z},
        {not_gp, unreadable},
        {Blob(0x23).geometry(kLineZ).points({{1, 2, 3}}).bytes(), unreadable},     // an extension's own type
        {Blob(0x0b, 0).geometry(kLineZ).points({{1, 2, 3}}).bytes(), unreadable},  // an envelope of no known kind
        {{'G', 'P', 0, 1, 0, 0, 0, 0, 2, 2, 0, 0, 0}, unreadable},                   // a byte order of 2
        {Blob().geometry(1008).points({{1, 2, 3}, {2, 3, 3}, {3, 2, 3}}).bytes(), unreadable},  // a circular arc
        {Blob().geometry(0xA0000002u).u32(4326).points({{1, 2, 3}}).bytes(), unreadable},       // the SRID inside
        {Blob().geometry(kLineZ).u32(0xFFFFFFFFu).f64(1).f64(2).f64(3).bytes(), unreadable},    // more points than bytes
        {Blob().geometry(kMultiLineZ).u32(1).geometry(1001).f64(1).f64(2).f64(3).bytes(), unreadable},  // a point among lines
        {Blob().geometry(kMultiLineZ).u32(1).geometry(2).points({{1, 2}}).bytes(), unreadable},  // a part without the whole's Z
        {deep.bytes(), unreadable},
    });
    for (std::size_t k = 0; k < cases.size(); ++k) {
        SCOPED_TRACE(k);
        const Result r = read(cases[k].first);
        EXPECT_EQ(r.lines, cases[k].second);
        EXPECT_EQ(r.told, "");
    }
}

TEST(GpkgBlob, TheSinkStopsTheReading) {
    Told told;
    told.stop_after = 2;
    long long zero_z = 0;
    const auto blob = Blob().geometry(kMultiLineZ).u32(2).geometry(kLineZ).points({{1, 1, 1}, {2, 2, 2}, {3, 3, 3}})
                          .geometry(kLineZ).points({{4, 4, 4}}).bytes();
    EXPECT_EQ(tell_blob_lines(blob.data(), blob.size(), told, zero_z), BlobLines::stopped);
    EXPECT_EQ(told.s, "|1 1 1 2 2 2 ");
}

}  // namespace
}  // namespace zorvel
