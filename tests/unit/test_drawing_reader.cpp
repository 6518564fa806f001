#include <gtest/gtest.h>

#include <string>

#include "reading/drawing_reader.h"
#include "test_support.h"

namespace zorvel {
namespace {

TEST(DrawingReader, NumberLongerThanTheBoundIsAnErrorButAWordIsNot) {
    const std::string digits(kWordMax + 10, '7');
    int v = 0;
    auto number = test::stream_of(digits + " 5");
    DrawingReader a(number.get());
    EXPECT_FALSE(a.read_int(v));
    EXPECT_TRUE(a.error());
    auto word = test::stream_of(digits + " 5");
    DrawingReader b(word.get());
    Token t;
    ASSERT_TRUE(b.read_word(t) && b.read_int(v));
    EXPECT_EQ(v, 5);
    // a long word that stops being a number early is read as the C library reads it
    auto early = test::stream_of("12" + std::string(kWordMax + 10, 'x'));
    DrawingReader c(early.get());
    ASSERT_TRUE(c.read_int(v));
    EXPECT_EQ(v, 12);
    EXPECT_FALSE(c.error());
}

}  // namespace
}  // namespace zorvel
