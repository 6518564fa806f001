#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>

#include "output/output.h"
#include "test_support.h"

namespace zorvel {
namespace {

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
        ASSERT_EQ(std::tie(got.empty, got.min_i, got.max_i, got.min_j, got.max_j),
                  std::tie(want.empty, want.min_i, want.max_i, want.min_j, want.max_j))
            << k;
    }
}

}  // namespace
}  // namespace zorvel
