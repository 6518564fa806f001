#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>

#include "numeric.h"

#include "classify.h"
#include "test_support.h"

namespace zorvel {
namespace {

using test::class_grid;
using test::picture;

TEST(Classify, OnlyTheFourRightAngleMasksClear) {
    struct Case {
        const char* name;
        std::string before, after;
    };
    const Case cases[] = {
        {"above and right", ".1..\n.11.\n....\n", ".1..\n..1.\n....\n"},
        {"right and below", "....\n.11.\n.1..\n", "....\n..1.\n.1..\n"},
        {"below and left", "....\n11..\n.1..\n", "....\n1...\n.1..\n"},
        {"above and left", ".1..\n11..\n....\n", ".1..\n1...\n....\n"},
        {"lone cell", "....\n.1..\n....\n", "....\n.1..\n....\n"},
        {"end of a line", "....\n.11.\n....\n", "....\n.11.\n....\n"},
        {"straight run", ".1..\n.1..\n.1..\n", ".1..\n.1..\n.1..\n"},
        {"corner with a diagonal of its class", "1...\n11..\n.1..\n", "1...\n11..\n.1..\n"},
        {"corner of another class beside", ".1..\n.12.\n....\n", ".1..\n.12.\n....\n"},
        {"two by two block", "....\n.11.\n.11.\n", "....\n.11.\n.11.\n"},
        // the first and last rows and columns are never examined
        {"corner on the edge", "11..\n1...\n....\n", "11..\n1...\n....\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto tab = class_grid(c.before, 3, 4);
        corner_cleanup(tab, 3, 4);
        EXPECT_EQ(picture(tab, 3, 4), c.after);
    }
    for (int rows : {1, 2}) {
        auto tab = class_grid("11\n1.\n", 2, 2);
        corner_cleanup(tab, rows, 2);
        EXPECT_EQ(picture(tab, 2, 2), "11\n1.\n");
    }
}

TEST(Classify, CleanupMatchesTheMaskRuleOnRandomGrids) {
    // the rule cell by cell, in place, with the neighbour weights 1..128
    // clockwise from the upper left
    const auto by_masks = [](Grid<unsigned char>& t, int rows, int cols) {
        for (int i = 1; i < rows - 1; ++i)
            for (int j = 1; j < cols - 1; ++j) {
                const unsigned char v = t[i][j];
                if (v == kEmptyCell) continue;
                const int mask = (t[i - 1][j - 1] == v) * 1 + (t[i - 1][j] == v) * 2 + (t[i - 1][j + 1] == v) * 4 +
                                 (t[i][j + 1] == v) * 8 + (t[i + 1][j + 1] == v) * 16 + (t[i + 1][j] == v) * 32 +
                                 (t[i + 1][j - 1] == v) * 64 + (t[i][j - 1] == v) * 128;
                if (mask == 10 || mask == 40 || mask == 160 || mask == 130) t[i][j] = kEmptyCell;
            }
    };
    std::mt19937 rng(21);
    for (int k = 0; k < 300; ++k) {
        const int rows = 1 + static_cast<int>(rng() % 12), cols = 1 + static_cast<int>(rng() % 40);
        auto a = Grid<unsigned char>::make(cols, rows), b = Grid<unsigned char>::make(cols, rows);
        const auto fill = 2 + rng() % 6;  // one cell in `fill` holds a class
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < cols; ++j)
                a[i][j] = b[i][j] = rng() % fill == 0 ? static_cast<unsigned char>(1 + rng() % 2) : kEmptyCell;
        corner_cleanup(a, rows, cols);
        by_masks(b, rows, cols);
        ASSERT_EQ(picture(a, rows, cols), picture(b, rows, cols)) << k;
    }
}

struct Classified {
    RunState rs;
    std::string out;
    Classified(int rows, int cols, const ClassTable& ct, double fill, double first) {
        rs.nb_lig = rows;
        rs.nb_col = cols;
        rs.dtab = ElevationGrid::make(cols + 2, rows + 2);
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < cols; ++j) EXPECT_TRUE(rs.dtab.set(i, j, fill));
        EXPECT_TRUE(rs.dtab.set(0, 0, first));
        test::File f(std::tmpfile());
        EXPECT_TRUE(class_assignment(f.get(), rs, ct));
        out = test::contents(f.get());
    }
};

TEST(Classify, AssignmentComparesWholeElevations) {
    const ClassTable ct = class_values(100, 200, 10);
    struct Case {
        double alt;
        unsigned char cls;
    };
    const Case cases[] = {{130.0, 4}, {137.9, kEmptyCell}, {200.0, kEmptyCell}, {-999.0, kEmptyCell},
                          {100.9, 1}, {190.0, 10},         {99.99, kEmptyCell}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.alt);
        Classified k(1, 1, ct, c.alt, c.alt);
        EXPECT_EQ(k.rs.tab[0][0], c.cls);
    }
}

TEST(Classify, EmptyCellsTakeAClassOfMinus999) {
    // class values -999 and 0: the empty cells take class 1, while 0.5 has
    // the last class value, which no cell is given
    Classified k(2, 3, class_values(-999, 1, 999), kNoElevation, 0.5);
    EXPECT_EQ(picture(k.rs.tab, 2, 3), ".11\n111\n");
    Classified none(2, 3, class_values(100, 100, 10), 100.0, 100.0);
    EXPECT_EQ(picture(none.rs.tab, 2, 3), "...\n...\n");
    Classified negative(2, 3, class_values(100, 75, 10), 100.0, 100.0);
    EXPECT_EQ(picture(negative.rs.tab, 2, 3), "...\n...\n");
}

TEST(Classify, ClassesDoNotDependOnHowTheElevationsAreKept) {
    // 200, 5000 and 60000 distinct elevations: grids of one-byte codes, of
    // two-byte codes and of plain elevations
    const ClassTable ct = class_values(100, 1100, 7);
    constexpr int kSize = 260;
    for (const auto& kept : {std::pair{200, 1}, std::pair{5000, 2}, std::pair{66000, 8}}) {
        const int distinct = kept.first;
        const int width = kept.second;
        SCOPED_TRACE(distinct);
        RunState rs;
        rs.nb_lig = rs.nb_col = kSize;
        rs.dtab = ElevationGrid::make(kSize + 2, kSize + 2);
        const auto alt = [&](int i, int j) {
            const int k = (i * kSize + j) % (distinct + 1);
            return k == distinct ? kNoElevation : 90.0 + k * (1100.0 / distinct);
        };
        for (int i = 0; i < kSize; ++i)
            for (int j = 0; j < kSize; ++j) ASSERT_TRUE(rs.dtab.set(i, j, alt(i, j)));
        ASSERT_EQ(rs.dtab.width(), width);
        test::File f(std::tmpfile());
        ASSERT_TRUE(class_assignment(f.get(), rs, ct));
        EXPECT_EQ(rs.tab.nb_rows(), kSize);
        EXPECT_EQ(rs.tab.nb_cols(), kSize);
        int classified = 0;
        for (int i = 0; i < kSize; ++i)
            for (int j = 0; j < kSize; ++j) {
                ASSERT_EQ(rs.tab[i][j], ct.class_of(whole_elevation(alt(i, j)))) << i << "," << j;
                classified += rs.tab[i][j] != kEmptyCell;
            }
        EXPECT_GT(classified, 0);
    }
}

TEST(Classify, ProgressLineEveryTwoHundredRows) {
    Classified k(450, 1, class_values(0, 10, 1), 3.0, 3.0);
    EXPECT_EQ(k.out, "\n\n Guardando  \n\n\tlinea 200        \r       \tlinea 400        \r       ");
    Classified small(199, 1, class_values(0, 10, 1), 3.0, 3.0);
    EXPECT_EQ(small.out, "\n\n Guardando  \n\n");
}

}  // namespace
}  // namespace zorvel
