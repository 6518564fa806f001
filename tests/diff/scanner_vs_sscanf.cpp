// Our reads of the drawing against the C library's formatted input on the
// same bytes: success, value (bit for bit), characters consumed and the
// end-of-file indicator, read after read.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "reading/drawing_reader.h"
#include "test_support.h"

namespace zorvel {
namespace {

enum class Conv { word, integer, real };

struct Step {
    bool ok = false;
    std::string text;  // %s: the token as stored
    int i = 0;         // %d
    double d = 0.0;    // %lf
    long consumed = 0;
    bool eof = false;
    bool operator==(const Step& o) const {
        return ok == o.ok && consumed == o.consumed && eof == o.eof && text == o.text && i == o.i &&
               std::memcmp(&d, &o.d, sizeof d) == 0;
    }
};

// Every read of convs from `bytes`: the C library's on a memory stream (the
// reference, chunk 0), or ours through a buffer of `chunk` characters.
std::vector<Step> read_all(std::string bytes, const std::vector<Conv>& convs, std::size_t chunk) {
    std::vector<Step> steps;
    FILE* f = bytes.empty() ? fmemopen(nullptr, 1, "r") : fmemopen(bytes.data(), bytes.size(), "r");
    DrawingReader rd(f, chunk == 0 ? 2 : chunk);
    for (Conv c : convs) {
        Step s;
        if (chunk == 0) {
            char* w = nullptr;
            s.ok = c == Conv::word ? std::fscanf(f, "%ms", &w) == 1
                   : c == Conv::integer ? std::fscanf(f, "%d", &s.i) == 1 : std::fscanf(f, "%lf", &s.d) == 1;
            if (w != nullptr) s.text.assign(w, strnlen(w, kTokenMax));
            std::free(w);
            s.consumed = std::ftell(f);
            s.eof = std::feof(f) != 0;
        } else {
            Token t;
            s.ok = c == Conv::word ? rd.read_word(t) : c == Conv::integer ? rd.read_int(s.i) : rd.read_double(s.d);
            if (s.ok && c == Conv::word) s.text.assign(t.text, strnlen(t.text, kTokenMax));
            EXPECT_FALSE(rd.error()) << rd.error_text();
            s.consumed = static_cast<long>(rd.consumed());
            s.eof = rd.eof();
        }
        if (!s.ok) s = Step{false, "", 0, 0.0, s.consumed, s.eof};  // a failed read's value means nothing
        steps.push_back(s);
    }
    std::fclose(f);
    return steps;
}

std::string shown(const Step& s) {
    char d[64];
    std::snprintf(d, sizeof d, "%a", s.d);
    return "ok=" + std::to_string(s.ok) + " value=" + std::to_string(s.i) + "/" + d + "/" + s.text +
           " consumed=" + std::to_string(s.consumed) + " eof=" + std::to_string(s.eof);
}

// Compares the two read by read; the message names the input on a failure.
::testing::AssertionResult agree(const std::string& bytes, const std::vector<Conv>& convs, std::size_t chunk) {
    const auto want = read_all(bytes, convs, 0);
    const auto got = read_all(bytes, convs, chunk);
    for (std::size_t k = 0; k < convs.size(); ++k) {
        if (want[k] == got[k]) continue;
        const char* conv = convs[k] == Conv::word ? "%s" : convs[k] == Conv::integer ? "%d" : "%lf";
        return ::testing::AssertionFailure() << "read " << k << " (" << conv << ") of \""
                                             << (bytes.size() > 200 ? bytes.substr(0, 200) + "..." : bytes)
                                             << "\" (chunk " << chunk << "): C library " << shown(want[k])
                                             << "; ours " << shown(got[k]);
    }
    return ::testing::AssertionSuccess();
}

const std::vector<std::string>& tricky_words() {
    static const std::vector<std::string> words = {
        "", "12abc", "3.9", "-0", "+7", "1e5", ".5", "0x1A", "inf", "INFO", "nan", "NAN(12)", "nan(abc)x", "NIVEL",
        "100ergs", "-abc", "+", "-", ".", "-.", "+.e5", "1e", "1e+", "1E-5", "1.5e308", "1e309", "-1e-400",
        "4.9406564584124654e-324", "2.2250738585072011e-308", "0.1", "123456.789012", "99999999999",
        "2147483647", "2147483648", "-2147483649", "9223372036854775807", "9223372036854775808",
        "18446744073709551616", "00000000000000000000000012", "0.000000000000000000000000001",
        "9007199254740993", "9007199254740992.5", "1234567890123456789012", "0x", "0x1p3", "0X1.8P1",
        "0xg", "1..2", "--5", "+-5", "5-", "1,5", "infinity", "infinit", "in", "i", "n", "na", "VERTEX",
        "POLYLINE", "$EXTMAX", "\xe9t\xe9", "AC1009", "00", "-00.000", std::string(79, 'a'),
        std::string(80, 'b'), std::string(200, 'c'), std::string(10000, '7'), "1" + std::string(400, '0'),
        "0." + std::string(400, '0') + "1",
        // full-precision coordinates as GIS and CAD writers put them
        "418150.59034637164", "4508000.123456789", "-0.30000000000000004", "9007199254740993.0",
        // halfway between two doubles, and a digit either side of halfway
        "9007199254740992.999999999999", "9007199254740993.000000000001",
        "2.2250738585072012e-308", "2.4703282292062327e-324", "2.4703282292062328e-324",
        "7.4109846876186982e-323", "1.7976931348623157e308", "1.7976931348623158e308",
        "1.7976931348623159e308", "1e-320", "1e400",
        "123456789012345678901234567890.123456789", "0.1000000000000000055511151231257827021181583404541015625",
        "1.00000000000000011102230246251565404236316680908203125",
        "1.00000000000000011102230246251565404236316680908203124",
        "1.00000000000000011102230246251565404236316680908203126", "1e23", "8.98846567431158e307",
        // the bytes next to the digits, within eight after a decimal point
        "0.1234567/", "0.1234567:", "0.12345678:", "0.123456789/9", "1.2345678:12345678", "0.123456789012345\x80",
    };
    return words;
}

TEST(ScannerVsCLibrary, TrickyWordsAloneEachConversion) {
    for (const std::string& w : tricky_words()) {
        for (const std::string& after : {std::string(""), std::string(" "), std::string("\n"), std::string("\r\n")}) {
            for (Conv c : {Conv::word, Conv::integer, Conv::real}) {
                // the read after the first tells what the first left behind
                const std::vector<Conv> convs = {c, Conv::word, Conv::word};
                for (std::size_t chunk : {std::size_t{3}, std::size_t{64}, kReadChunk})
                    EXPECT_TRUE(agree((w.empty() ? "" : "  " + w) + after, convs, chunk));  // "" alone: an empty stream
                // after a word, with the data buffered: the fast paths
                EXPECT_TRUE(agree("VERTEX\n  " + w + after, {Conv::word, c, Conv::word, Conv::word}, kReadChunk));
            }
        }
    }
}

// A number as printf writes it.
template <typename... Args>
std::string printed(const char* format, Args... args) {
    char b[900];
    std::snprintf(b, sizeof b, format, args...);
    return b;
}

// Random words built from the pieces that trip number conversions.
std::string random_word(std::mt19937_64& rng) {
    static const std::vector<std::string> pieces = {
        "0", "1", "5", "9", "12", "00", "123456", ".", "-", "+", "e", "E", "e-", "e+", "x", "X", "0x", "a", "f",
        "p", "inf", "INF", "nan", "NaN", "(", ")", "in", "n", "ity", "VERTEX", "_", "$", "\xc3\xa9", ",", "L"};
    std::string w;
    switch (std::uniform_int_distribution<int>(1, 22)(rng)) {
        case 1:
        case 2:
        case 3:  // a plain decimal, the shape of most drawings
            return printed("%.*f", static_cast<int>(rng() % 10), std::uniform_real_distribution<double>(-1e7, 1e7)(rng));
        case 4:  // any double as the C library prints it
            return printed(rng() % 2 ? "%.17g" : "%a", std::bit_cast<double>(rng()));
        case 5:
        case 6: {  // a coordinate with 16 to 40 significant digits
            const int digits = std::uniform_int_distribution<int>(16, 40)(rng);
            return printed(rng() % 3 ? "%.*f" : "%.*e", digits - 7, std::uniform_real_distribution<double>(-5e6, 5e6)(rng));
        }
        case 7: {  // halfway between two doubles, cut to some digits, or a last digit off
            double d = std::bit_cast<double>(rng() >> 2 | (rng() % 2 ? std::uint64_t{1} << 62 : 0));
            if (!std::isfinite(d) || d == 0) d = 1.5;
            const long double half = (static_cast<long double>(d) + std::nextafter(d, INFINITY)) / 2;
            w = printed("%.*Le", std::uniform_int_distribution<int>(16, 60)(rng), half);
            const std::size_t e = w.find('e');
            if (rng() % 2 && e != std::string::npos && e > 2) {
                char& last = w[e - 1];
                last = last == '9' ? '8' : static_cast<char>(last + 1);
            }
            return w;
        }
        default:
            for (int k = std::uniform_int_distribution<int>(1, 8)(rng); k > 0; --k) w += pieces[rng() % pieces.size()];
            return w;
    }
}

void random_run(std::uint64_t seed, int words) {
    std::mt19937_64 rng(seed);
    static const char* const blanks[] = {" ", "\n", "\r\n", "\t", "  \n", "\v\f"};
    int done = 0;
    while (done < words) {
        // a short stream of words, read with random conversions
        const int n = std::uniform_int_distribution<int>(1, 6)(rng);
        std::string bytes;
        std::vector<Conv> convs;
        for (int k = 0; k < n; ++k) {
            bytes += random_word(rng);
            if (k + 1 < n || rng() % 2) bytes += blanks[rng() % 6];
        }
        for (int k = 0; k < n + 2; ++k) convs.push_back(static_cast<Conv>(rng() % 3));
        // small buffers put word ends on every boundary; 4096 stands for the large one
        const std::size_t chunk = rng() % 3 == 0 ? std::size_t{2} + rng() % 40 : std::size_t{4096};
        const auto result = agree(bytes, convs, chunk);
        ASSERT_TRUE(result) << "seed " << seed << ", after " << done << " words";
        done += n;
    }
}

TEST(ScannerVsCLibrary, SeededRandomWords) { random_run(test::diff_seed(20261206), test::kRandomCases); }

// Decimals of up to 19 digits whose digits make an integer past 2^53 (the
// full precision most writers use) are converted by a checked quotient: the
// random words test it on coordinates; here against strtod where it must
// give way, ties between two doubles and just below powers of two.
TEST(ScannerVsCLibrary, DecimalsPastTwoToThe53) {
    const auto agrees = [](const std::string& decimal) {
        const std::string word = decimal + " ";
        const unsigned char* end = nullptr;
        double got = 0.0;
        if (detail::plain_double(reinterpret_cast<const unsigned char*>(word.c_str()), end, got) ==
            detail::Decimal::long_form)
            return true;  // left to the long way
        const double want = std::strtod(word.c_str(), nullptr);
        EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0) << decimal;
        return std::memcmp(&got, &want, sizeof got) == 0;
    };
    // just below powers of two, where the doubles below lie twice as close
    // as those above: 19 digits of 2^k less a part of the unit below
    for (int k = 1; k < 53; ++k) {
        for (long double part : {0.2L, 0.4L, 0.6L, 0.8L, 1.2L}) {
            char text[64];
            std::snprintf(text, sizeof text, "%.*Lf", 18 - static_cast<int>(std::floor(k * std::log10(2.0))),
                          std::ldexp(1.0L, k) - part * std::ldexp(1.0L, k - 53));
            if (!agrees(text)) return;
        }
    }
    // halfway between two doubles of 2^52 to 2^54, and a tenth either side:
    // the ties must round to even
    std::mt19937_64 rng(test::diff_seed(20261207));
    for (int k = 0; k < 100000; ++k) {
        const std::uint64_t whole = (std::uint64_t{1} << 52) + rng() % (std::uint64_t{3} << 52);
        const std::uint64_t half = whole >= (std::uint64_t{1} << 53) ? (whole & ~std::uint64_t{1}) * 10 + 10 : whole * 10 + 5;
        for (std::uint64_t m : {half - 1, half, half + 1})
            if (!agrees(std::to_string(m / 10) + "." + std::to_string(m % 10))) return;
    }
}

}  // namespace
}  // namespace zorvel
