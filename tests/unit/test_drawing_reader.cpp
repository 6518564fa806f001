#include <gtest/gtest.h>

#include <string>

#include "drawing_reader.h"
#include "test_support.h"

namespace zorvel {
namespace {

using test::stream_of;

TEST(DrawingReader, RewindStartsAgainWithIndicatorsCleared) {
    auto f = stream_of("1 2");
    DrawingReader rd(f.get(), 2);
    int v = 0;
    ASSERT_TRUE(rd.read_int(v));
    ASSERT_TRUE(rd.read_int(v));
    EXPECT_EQ(v, 2);
    EXPECT_TRUE(rd.eof());
    rd.rewind();
    EXPECT_FALSE(rd.eof());
    ASSERT_TRUE(rd.read_int(v));
    EXPECT_EQ(v, 1);
    EXPECT_EQ(rd.consumed(), 1u);
}

TEST(DrawingReader, NumberLongerThanTheBoundIsAnErrorButAWordIsNot) {
    const std::string digits(kWordMax + 10, '7');
    {
        auto f = stream_of(digits + " 5");
        DrawingReader rd(f.get());
        int v = 0;
        EXPECT_FALSE(rd.read_int(v));
        EXPECT_TRUE(rd.error());
    }
    {
        auto f = stream_of(digits + " 5");
        DrawingReader rd(f.get());
        Token t;
        ASSERT_TRUE(rd.read_word(t));
        int v = 0;
        ASSERT_TRUE(rd.read_int(v));
        EXPECT_EQ(v, 5);
    }
    {
        // a long word that stops being a number early is read as the C library reads it
        auto f = stream_of("12" + std::string(kWordMax + 10, 'x'));
        DrawingReader rd(f.get());
        int v = 0;
        ASSERT_TRUE(rd.read_int(v));
        EXPECT_EQ(v, 12);
        EXPECT_FALSE(rd.error());
    }
}

}  // namespace
}  // namespace zorvel
