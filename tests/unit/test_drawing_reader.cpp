#include <gtest/gtest.h>

#include <string>

#include "drawing_reader.h"
#include "test_support.h"

namespace zorvel {
namespace {

using test::stream_of;

TEST(DrawingReader, LongWordIsStoredCutAndItsRestIsNoToken) {
    const std::string word = std::string(80, 'A') + "VERTEX";
    auto f = stream_of(word + " next");
    DrawingReader rd(f.get(), 16);
    Token t;
    ASSERT_TRUE(rd.read_word(t));
    EXPECT_EQ(std::string(t.text), std::string(79, 'A'));
    ASSERT_TRUE(rd.read_word(t));
    EXPECT_STREQ(t.text, "next");
}

TEST(DrawingReader, FinalLineEndGivesOneMoreFailingReadThatSetsEndOfFile) {
    auto f = stream_of("EOF\n");
    DrawingReader rd(f.get());
    Token t;
    ASSERT_TRUE(rd.read_word(t));
    EXPECT_FALSE(rd.eof());
    EXPECT_FALSE(rd.read_word(t));
    EXPECT_TRUE(rd.eof());
    EXPECT_STREQ(t.text, "EOF");  // a failed read leaves the token as it was
}

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

TEST(DrawingReader, DirectoryIsAReadErrorNotAnEndlessFile) {
    test::File f(std::fopen("/", "r"));
    ASSERT_NE(f, nullptr);
    DrawingReader rd(f.get());
    Token t;
    EXPECT_FALSE(rd.read_word(t));
    EXPECT_TRUE(rd.error());
    EXPECT_FALSE(rd.error_text().empty());
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
