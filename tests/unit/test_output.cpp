#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <unistd.h>

#include "output.h"
#include "test_support.h"

namespace zorvel {
namespace {

// A finished run whose class grid holds `cells`, with the outputs kept in memory.
struct Finished {
    test::ScriptedConsole sc{""};
    RunState rs;
    test::File raw{std::tmpfile()}, descr{std::tmpfile()};
    Finished(int rows, int cols, const std::vector<std::tuple<int, int, unsigned char>>& cells) {
        rs.nb_lig = rows;
        rs.nb_col = cols;
        rs.tab = Grid<unsigned char>::make(cols, rows);
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < cols; ++j) rs.tab[i][j] = kEmptyCell;
        for (auto [i, j, v] : cells) rs.tab[i][j] = v;
        // extraction and save close what they write: give them duplicates of streams we keep
        rs.f2.reset(fdopen(dup(fileno(raw.get())), "wb"));
        rs.f2d.reset(fdopen(dup(fileno(descr.get())), "w"));
        rs.nomim2 = "mapa_zorvl.raw";
        rs.nomdescr2 = "mapa_zorvl.txt";
        rs.val_minimo = 100;
        rs.val_maximo = 200;
        rs.size_pix = 10;
        rs.pix_size = 7.0710678118654755;
        rs.ext.max_x = 100;
        rs.ext.max_y = 50;
    }
    bool run() { return extraction(sc.con, rs) && save(sc.con, rs); }
    std::string image() const { return test::contents(raw.get()); }
    std::string descriptor() const { return test::contents(descr.get()); }
};

std::string bytes_picture(const std::string& raw, int cols) {
    std::string s;
    for (std::size_t k = 0; k < raw.size(); ++k) {
        const auto b = static_cast<unsigned char>(raw[k]);
        s.push_back(b == kEmptyCell ? '.' : static_cast<char>('0' + b % 10));
        if ((k + 1) % static_cast<std::size_t>(cols) == 0) s.push_back('\n');
    }
    return s;
}

TEST(Output, FirstRowAndColumnStayAndLineEndBytesAreKept) {
    Finished f(4, 4, {{0, 0, 10}, {1, 2, 13}});
    ASSERT_TRUE(f.run());
    EXPECT_EQ(f.image(), std::string("\x0a\xff\xff\xff\xff\x0d", 6));
}

TEST(Output, BoundsStartAtTenThousand) {
    // the first occupied row lies beyond 10000: the crop starts at row 10000
    Finished f(10003, 2, {{10002, 1, 5}});
    ASSERT_TRUE(f.run());
    EXPECT_EQ(f.rs.nb_lig3, 3);
    EXPECT_EQ(f.rs.nb_col3, 1);
    EXPECT_EQ(bytes_picture(f.image(), 1), ".\n.\n5\n");
}

TEST(Output, BoundsOfRandomGridsAreTheOccupiedCellsExtremes) {
    std::mt19937 rng(9);
    for (int k = 0; k < 300; ++k) {
        const int rows = 1 + static_cast<int>(rng() % 10), cols = 1 + static_cast<int>(rng() % 45);
        auto g = Grid<unsigned char>::make(cols, rows);
        Crop want{true, 10000, 0, 10000, 0};
        const auto fill = 1 + rng() % 60;
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < cols; ++j) {
                g[i][j] = rng() % fill == 0 ? 3 : kEmptyCell;
                if (g[i][j] == kEmptyCell) continue;
                want = Crop{false, std::min(want.min_i, i), std::max(want.max_i, i), std::min(want.min_j, j),
                            std::max(want.max_j, j)};
            }
        const Crop got = bounding_box(g, rows, cols);
        ASSERT_EQ(got.empty, want.empty) << k;
        EXPECT_EQ(got.min_i, want.min_i) << k;
        EXPECT_EQ(got.max_i, want.max_i) << k;
        EXPECT_EQ(got.min_j, want.min_j) << k;
        EXPECT_EQ(got.max_j, want.max_j) << k;
    }
}

TEST(Output, CropIsAWindowOnTheClassGrid) {
    auto g = Grid<unsigned char>::make(4, 5);
    ASSERT_TRUE(g);
    auto w = Grid<unsigned char>::window(g, 1, 2, 2, 3);
    ASSERT_TRUE(w);
    EXPECT_EQ(w.nb_rows(), 3);
    EXPECT_EQ(w.nb_cols(), 2);
    EXPECT_EQ(&w[0][0], &g[1][2]);
    EXPECT_EQ(&w[2][1], &g[3][3]);
    // rectangles that leave the grid are refused
    EXPECT_FALSE((Grid<unsigned char>::window(g, 3, 0, 4, 3)));
    EXPECT_FALSE((Grid<unsigned char>::window(g, 0, 1, 4, 1)));
    EXPECT_FALSE((Grid<unsigned char>::window(g, -1, 0, 1, 1)));
    EXPECT_FALSE((Grid<unsigned char>::window(g, 0, 0, 0, 1)));
}

}  // namespace
}  // namespace zorvel
