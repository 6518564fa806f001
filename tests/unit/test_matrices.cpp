#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "matrices.h"

namespace {

// 5 columns by 4 rows: a swap of the counts would run off the row array;
// and a vector of 6
template <typename T, typename Alloc, typename Release, typename AllocV, typename ReleaseV>
void expect_zeroed(Alloc alloc, Release release, AllocV alloc_v, ReleaseV release_v) {
    T** m = alloc(5, 4);
    auto* v = alloc_v(6);
    ASSERT_TRUE(m != nullptr && v != nullptr);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 5; ++j) {
            EXPECT_EQ(m[i][j], T{0});
            EXPECT_FALSE(std::signbit(static_cast<double>(m[i][j])));  // +0.0, not -0.0
        }
    m[3][4] = T{1};
    EXPECT_EQ(m[3][3] + m[2][4], T{0});
    release(m, 4);
    for (int j = 0; j < 6; ++j) EXPECT_EQ(v[j], 0);
    release_v(v);
}

TEST(Matrices, EveryTypeIsZeroFilledColumnsFirst) {
    expect_zeroed<float>(fmatrice, frfmatrice, fvecteur, frfvecteur);
    expect_zeroed<unsigned char>(ucmatrice, frucmatrice, ucvecteur, frucvecteur);
    expect_zeroed<unsigned short>(usmatrice, frusmatrice, usvecteur, frusvecteur);
    expect_zeroed<short>(smatrice, frsmatrice, svecteur, frsvecteur);
    expect_zeroed<int>(imatrice, frimatrice, ivecteur, frivecteur);
    expect_zeroed<double>(dmatrice, frdmatrice, dvecteur, frdvecteur);
    // (there is no vector of long double)
    expect_zeroed<long double>(ldmatrice, frldmatrice, dvecteur, frdvecteur);
}

TEST(Matrices, CountsOfZeroOrLessGiveNullAndReleaseTakesTheRowsItIsGiven) {
    EXPECT_EQ(ucmatrice(0, 3), nullptr);
    EXPECT_EQ(dmatrice(3, -5), nullptr);
    EXPECT_EQ(dmatrice(3, 0), nullptr);  // no rows: no matrix, not an empty one
    EXPECT_EQ(ivecteur(0), nullptr);
    frucmatrice(nullptr, 3);  // releasing nothing is harmless
    double** m = dmatrice(2, 3);
    ASSERT_NE(m, nullptr);
    double* rows[3] = {m[0], m[1], m[2]};
    frdmatrice(m, 0);
    // the rows are still ours: the sanitizer build reports a double release otherwise
    for (double* r : rows) std::free(r);
}

}  // namespace
