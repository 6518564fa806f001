#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "dialogue/dialogue.h"
#include "classes/classify.h"
#include "test_support.h"

namespace zorvel {
namespace {

using test::picture;

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
    for (int k = 0; k < 303; ++k) {
        // the last three large enough that two threads share the rows
        const bool large = k >= 300;
        const int rows = large ? 1024 + k % 3 : 1 + static_cast<int>(rng() % 12);
        const int cols = large ? 1030 : 1 + static_cast<int>(rng() % 40);
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

TEST(Classify, ClassesComeFromWholeElevationsWhateverTheCells) {
    // 200, 5000 and 60000 distinct elevations: grids of one-byte codes, of
    // two-byte codes and of plain elevations; -999 among the class values,
    // or classes too wide for a table
    // a grid of 1030 x 1030 one-byte codes has its rows shared by two threads
    for (const auto& [distinct, width, wide, kSize] :
         {std::tuple{200, 1, false, 260}, std::tuple{5000, 2, false, 260}, std::tuple{66000, 8, false, 260},
          std::tuple{66000, 8, true, 260}, std::tuple{200, 1, false, 1030}}) {
        SCOPED_TRACE(testing::Message() << distinct << (wide ? " wide" : "") << " " << kSize);
        const ClassTable ct = wide ? class_values(-2000000000, 2000000000, 20000000)
                                      : class_values(-999, 1101, 10);
        ElevationGrid dtab = ElevationGrid::make(kSize + 2, kSize + 2, width);
        const auto alt = [&, distinct = distinct, kSize = kSize](int i, int j) {
            const int k = (i * kSize + j) % (distinct + 1);
            return k == distinct ? kNoElevation : 90.0 + k * (1100.0 / distinct);
        };
        for (int i = 0; i < kSize; ++i)
            for (int j = 0; j < kSize; ++j) ASSERT_TRUE(dtab.set(i, j, alt(i, j)));
        FileHandle out(std::tmpfile());
        DialogueReport report(out.get());
        struct Seen final : Progress {
            std::vector<double> at_;
            void at(double f) override { at_.push_back(f); }
        } seen;
        // a window's cells alone counted, where the codes are wider than a byte (one-byte ones: CommandLine)
        const CountedCells counted = width == 1 ? CountedCells{} : CountedCells{kSize / 4, kSize / 2, kSize / 3, kSize};
        const Classified got = class_assignment(report, dtab, kSize, kSize, ct, ProgressPart{&seen, 0.5, 1.0}, counted);
        // every 200th row is told, in order, as 0.5 + 0.5 * row / size of the whole
        std::vector<double> told;
        std::string lines = "\n\n Guardando  \n\n";
        for (int row = 200; row <= kSize; row += 200) {
            told.push_back(0.5 + 0.5 * (static_cast<double>(row) / kSize));
            lines += "\tlinea " + std::to_string(row) + "        \r       ";
        }
        EXPECT_EQ(seen.at_, told);
        const Grid<unsigned char>& tab = got.tab;
        ASSERT_TRUE(tab);
        EXPECT_EQ(tab.nb_rows(), kSize);
        EXPECT_EQ(tab.nb_cols(), kSize);
        int classified = 0;
        long long lost = 0;  // drawn, without a class, not the last class value
        for (int i = 0; i < kSize; ++i)
            for (int j = 0; j < kSize; ++j) {
                ASSERT_EQ(tab[i][j], ct.class_of(whole_elevation(alt(i, j)))) << i << "," << j;
                classified += tab[i][j] != kEmptyCell;
                lost += tab[i][j] == kEmptyCell && alt(i, j) != kNoElevation &&
                        whole_elevation(alt(i, j)) != ct.tabord.back() && counted.within(i, j);
            }
        EXPECT_GT(classified, wide ? -1 : kSize * kSize / 20);  // wide classes: only exact values have one
        EXPECT_EQ(got.unclassified, lost);
        EXPECT_GT(lost, 0);
        EXPECT_EQ(test::contents(out.get()), lines);
    }
}

}  // namespace
}  // namespace zorvel
