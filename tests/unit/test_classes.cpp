#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <unistd.h>

#include "classes.h"
#include "numeric.h"
#include "test_support.h"

namespace zorvel {
namespace {

// An elevation grid of one row per vector, cells with -999.0 where no value is given.
ElevationGrid elevations(const std::vector<std::vector<double>>& rows, int cols) {
    auto g = ElevationGrid::make(cols, static_cast<int>(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i)
        for (int j = 0; j < cols; ++j)
            g.set(static_cast<int>(i), j,
                  j < static_cast<int>(rows[i].size()) ? rows[i][static_cast<std::size_t>(j)] : kNoElevation);
    return g;
}

TEST(Classes, DistinctWholeElevationsInOrderOfFirstAppearance) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const auto g = elevations({{kNoElevation, 102.7, 102.2, -10.5},
                               {-999.6, nan, 1e12, 50.0},
                               {102.9, -10.0, 7.0, 50.5}},
                              4);
    // -999.6 truncates to -999, the empty mark; NaN and 1e12 have no whole elevation
    EXPECT_EQ(distinct_elevations(g, 3, 4), (std::vector<int>{102, -10, 50, 7}));
    // only the rows and columns of the grid proper are looked at
    EXPECT_EQ(distinct_elevations(g, 1, 2), (std::vector<int>{102}));
    EXPECT_EQ(distinct_elevations(g, 3, 4, 2), (std::vector<int>{102, -10}));
}

TEST(Classes, SuggestedIntervalIsTheGapBetweenNinthAndTenth) {
    struct Case {
        const char* name;
        std::vector<int> tabval;
        int intervalo;
    };
    const Case cases[] = {
        {"ten values", {100, 110, 120, 130, 140, 150, 160, 170, 180, 190}, 10},
        {"tenth below ninth", {1, 2, 3, 4, 5, 6, 7, 8, 90, 40}, 50},
        {"nine values, the ninth -40", {1, 2, 3, 4, 5, 6, 7, 8, -40}, 40},
        {"eight values", {1, 2, 3, 4, 5, 6, 7, 8}, 0},
        {"none", {}, 0},
        {"gap beyond the int range", {0, 0, 0, 0, 0, 0, 0, 0, INT_MIN, INT_MAX}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(suggested_interval(c.tabval), c.intervalo);
    }
}

TEST(Classes, ClassValuesRunFromTheMinimumByTheInterval) {
    struct Case {
        const char* name;
        int minimo, maximo, intervalo;
        std::vector<int> tabord;  // positions 1..
    };
    const Case cases[] = {
        {"accepted 10", 100, 200, 10, {100, 110, 120, 130, 140, 150, 160, 170, 180, 190, 200}},
        {"typed 25", 95, 200, 25, {95, 120, 145, 170, 195}},
        {"falling", 200, 100, -10, {200, 190, 180, 170, 160, 150, 140, 130, 120, 110, 100}},
        {"maximum equals minimum", 50, 50, 10, {50}},
        {"range under one interval", 100, 95, 10, {100}},
        {"negative count", 100, 75, 10, {}},
        {"int limits", INT_MIN, INT_MIN + 20, 10, {INT_MIN, INT_MIN + 10, INT_MIN + 20}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ClassTable ct = class_values(c.minimo, c.maximo, c.intervalo);
        EXPECT_EQ(std::vector<int>(ct.tabord.begin() + 1, ct.tabord.end()), c.tabord);
        if (!c.tabord.empty()) {
            EXPECT_EQ(ct.num_segment, static_cast<long long>(c.tabord.size()) - 1);
        }
    }
    // -25 / 10 truncates toward zero
    EXPECT_EQ(class_values(100, 75, 10).num_segment, -2);
}

TEST(Classes, ClassOfAWholeElevation) {
    const ClassTable ct = class_values(100, 200, 10);
    EXPECT_EQ(ct.class_of(100), 1);
    EXPECT_EQ(ct.class_of(130), 4);
    EXPECT_EQ(ct.class_of(190), 10);
    EXPECT_EQ(ct.class_of(200), kEmptyCell);  // listed in the table, given to no cell
    EXPECT_EQ(ct.class_of(137), kEmptyCell);
    EXPECT_EQ(ct.class_of(90), kEmptyCell);
    EXPECT_EQ(ct.class_of(-999), kEmptyCell);
    EXPECT_EQ(ct.class_of(kNotWhole), kEmptyCell);
    const ClassTable falling = class_values(200, 100, -10);
    EXPECT_EQ(falling.class_of(190), 2);
    const ClassTable with_empty = class_values(-999, 1, 500);
    EXPECT_EQ(with_empty.class_of(-999), 1);
    EXPECT_EQ(class_values(100, 100, 10).class_of(100), kEmptyCell);
}

TEST(Classes, TableLookupAgreesWithTheArithmetic) {
    struct Case {
        int minimo, maximo, intervalo;
    };
    const Case cases[] = {{100, 200, 10}, {200, 100, -10}, {-999, 1, 999}, {95, 200, 25}, {0, 253, 1},
                          {INT_MAX - 30, INT_MAX, 10}, {INT_MIN, INT_MIN + 40, 20}, {5, 5, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.minimo << ".." << c.maximo << " by " << c.intervalo);
        const ClassTable with = class_values(c.minimo, c.maximo, c.intervalo);
        ClassTable without = with;
        without.lookup.clear();
        for (std::int64_t base : {std::int64_t{c.minimo}, std::int64_t{c.maximo}, std::int64_t{-999}})
            for (std::int64_t w = base - 60; w <= base + 60; ++w) {
                if (w < INT_MIN || w > INT_MAX) continue;
                EXPECT_EQ(with.class_of(w), without.class_of(w)) << w;
            }
        EXPECT_EQ(with.class_of(kNotWhole), kEmptyCell);
    }
    // a span too wide for a table is computed
    EXPECT_TRUE(class_values(-2000000000, 2000000000, 20000000).lookup.empty());
    EXPECT_EQ(class_values(-2000000000, 2000000000, 20000000).class_of(-1980000000), 2);
}

struct Dialogue {
    test::ScriptedConsole sc;
    RunState rs;
    ClassTable ct;
    bool ok;
    Dialogue(const std::string& answers, int suggested) : sc(answers) {
        rs.f3d.reset(std::tmpfile());
        rs.nomdescr3 = "mapa_zorvl_tab.txt";
        ok = class_dialogue(sc.con, rs, suggested, ct);
    }
};

std::string table_of(const ClassTable& ct) {
    test::ScriptedConsole sc("");
    RunState rs;
    rs.nomdescr3 = "t";
    test::File keep(std::tmpfile());
    // write_table closes what it writes: give it a duplicate of a stream we keep
    rs.f3d.reset(fdopen(dup(fileno(keep.get())), "w"));
    EXPECT_TRUE(write_table(sc.con, rs, ct));
    return test::contents(keep.get());
}

TEST(Classes, TypedIntervalAndMenuRepeated) {
    Dialogue d("5 1 25 95 200", 10);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(table_of(d.ct), " 1 95 \n 2 120 \n 3 145 \n 4 170 \n 5 195 \n");
    const std::string out = d.sc.output();
    // the interval line once, the menu twice
    EXPECT_EQ(out.find("Intervalo altimetrico"), out.rfind("Intervalo altimetrico"));
    EXPECT_NE(out.find("elegir otro\n \n\n 0 ====>"), std::string::npos) << out;
    EXPECT_NE(out.find("\n valor del intervalo ? "), std::string::npos);
}

TEST(Classes, IntervalOfZeroIsAskedAgain) {
    // accepted as suggested
    Dialogue accepted("0 10 100 200", 0);
    ASSERT_TRUE(accepted.ok);
    EXPECT_EQ(accepted.ct.intervalo, 10);
    // typed
    Dialogue typed("1 0 0 5 0 10", 7);
    ASSERT_TRUE(typed.ok);
    EXPECT_EQ(typed.ct.intervalo, 5);
    EXPECT_EQ(typed.ct.num_segment, 2);
    // and no answer at all
    Dialogue ended("1 0", 7);
    EXPECT_FALSE(ended.ok);
    EXPECT_FALSE(ended.sc.errors().empty());
}

TEST(Classes, LimitsWhoseDifferenceLeavesTheIntRangeAreAskedAgain) {
    Dialogue d("0 -2147483648 2147483647 -100 100", 10);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.rs.val_minimo, -100);
    EXPECT_NE(d.sc.output().find("sale del rango de los enteros"), std::string::npos);
    // INT_MIN over -1 would overflow; here it is simply too many intervals
    Dialogue big("1 -1 0 -2147483647", 10);
    EXPECT_FALSE(big.ok);
    EXPECT_NE(big.sc.output().find("(2147483648)"), std::string::npos);
}

}  // namespace
}  // namespace zorvel
