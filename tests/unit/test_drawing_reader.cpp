#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

#include "base/interrupts.h"
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

// The process's resident pages of mapped files, in KiB.
long resident_file_kib() {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (f == nullptr) return -1;
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, f) != nullptr)
        if (std::sscanf(line, "RssFile: %ld kB", &kib) == 1) break;
    std::fclose(f);
    return kib;
}

// A drawing is read where it lies, mapped: the pages read are let go of
// behind the reading, a drawing whose size changed is mapped anew when the
// reading starts over, and one cut short while it is read stops the run in
// one line.
TEST(DrawingReader, AMappedDrawingIsLetGoOfBehindAndMappedAnewWhenItChanges) {
    if (resident_file_kib() < 0) GTEST_SKIP() << "no /proc/self/status";
    std::string text;
    const std::string word(70, 'w');
    while (text.size() < (std::size_t{40} << 20)) text += word + "\n";
    auto f = test::stream_of(text + "END\n");
    DrawingReader rd(f.get());
    const long before = resident_file_kib();
    Token t;
    long peak = before;
    std::size_t words = 0;
    while (rd.read_word(t)) {
        rd.release_behind();
        if (++words % 10000 == 0) peak = std::max(peak, resident_file_kib());
    }
    EXPECT_STREQ(t.text, "END");
    EXPECT_EQ(words, text.size() / 71 + 1);
    // a let-go every 8 MiB, a MiB kept behind
    EXPECT_LT(peak - before, 16 << 10);
    // cut short, then read again from the start
    ASSERT_EQ(ftruncate(fileno(f.get()), 71 * 3), 0);
    rd.rewind();
    words = 0;
    while (rd.read_word(t)) ++words;
    EXPECT_EQ(words, 3u);
    EXPECT_TRUE(rd.eof());
    // emptied, it can no longer be mapped: read through the buffer, and
    // read again from the start through it
    ASSERT_EQ(ftruncate(fileno(f.get()), 0), 0);
    rd.rewind();
    EXPECT_FALSE(rd.read_word(t));
    EXPECT_TRUE(rd.eof());
    ASSERT_EQ(pwrite(fileno(f.get()), "x y\n", 4, 0), 4);
    rd.rewind();
    words = 0;
    while (rd.read_word(t)) ++words;
    EXPECT_EQ(words, 2u);
}

TEST(DrawingReaderDeathTest, ADrawingCutShortWhileItIsReadStopsTheRun) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string text(std::size_t{4} << 20, 'x');
    auto f = test::stream_of("a " + text + " b\n");
    rlimit as{};
    if (getrlimit(RLIMIT_AS, &as) == 0 && as.rlim_cur != RLIM_INFINITY)
        GTEST_SKIP() << "under a bounded address space the drawing is read through the buffer, and just ends early";
    EXPECT_EXIT(
        {
            install_interrupt_handlers();
            DrawingReader rd(f.get());
            Token t;
            rd.read_word(t);
            if (ftruncate(fileno(f.get()), 2) != 0) std::_Exit(3);
            while (rd.read_word(t)) {
            }
            std::_Exit(0);
        },
        testing::ExitedWithCode(1), "no se puede leer .*: el archivo se ha acortado mientras se leía");
}

}  // namespace
}  // namespace zorvel
