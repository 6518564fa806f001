#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "matrices.h"

namespace {

// 5 columns by 4 rows: a swap of the counts would run off the row array
template <typename T, typename Alloc, typename Release>
void expect_zeroed_matrix(Alloc alloc, Release release) {
    T** m = alloc(5, 4);
    ASSERT_NE(m, nullptr);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 5; ++j) {
            EXPECT_EQ(m[i][j], T{0});
            EXPECT_FALSE(std::signbit(static_cast<double>(m[i][j])));  // +0.0, not -0.0
        }
    m[3][4] = T{1};
    EXPECT_EQ(m[3][3] + m[2][4], T{0});
    release(m, 4);
}

template <typename T, typename Alloc, typename Release>
void expect_zeroed_vector(Alloc alloc, Release release) {
    T* v = alloc(6);
    ASSERT_NE(v, nullptr);
    for (int j = 0; j < 6; ++j) EXPECT_EQ(v[j], T{0});
    release(v);
}

TEST(Matrices, EveryTypeIsZeroFilledColumnsFirst) {
    expect_zeroed_matrix<float>(fmatrice, frfmatrice);
    expect_zeroed_matrix<unsigned char>(ucmatrice, frucmatrice);
    expect_zeroed_matrix<unsigned short>(usmatrice, frusmatrice);
    expect_zeroed_matrix<short>(smatrice, frsmatrice);
    expect_zeroed_matrix<int>(imatrice, frimatrice);
    expect_zeroed_matrix<double>(dmatrice, frdmatrice);
    expect_zeroed_matrix<long double>(ldmatrice, frldmatrice);
    expect_zeroed_vector<float>(fvecteur, frfvecteur);
    expect_zeroed_vector<unsigned char>(ucvecteur, frucvecteur);
    expect_zeroed_vector<unsigned short>(usvecteur, frusvecteur);
    expect_zeroed_vector<short>(svecteur, frsvecteur);
    expect_zeroed_vector<int>(ivecteur, frivecteur);
    expect_zeroed_vector<double>(dvecteur, frdvecteur);
}

TEST(Matrices, CountsOfZeroOrLessGiveNullAndReleaseTakesTheRowsItIsGiven) {
    EXPECT_EQ(ucmatrice(0, 3), nullptr);
    EXPECT_EQ(dmatrice(3, -5), nullptr);
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
