// Writes a seeded drawing of the contour lines of a synthetic terrain, in the
// old polyline-and-vertex style with handles and layer (skip count 4) and
// the header extents, until it reaches the size asked for.
//
//   make_drawing [--digits roundtrip|16|3] <out.dxf> <megabytes> [seed]
//
// The terrain: Gaussian hills over a 40 km square of map coordinates; each
// hill gives its contour rings every 10 m, slightly wavy, with a vertex every
// 3 to 8 m along them, as a contouring tool would write them.
//
// The coordinates are written as writers write them: roundtrip (the default)
// gives the shortest decimal that reads back to the same double, as Python's
// repr, ezdxf and GDAL write them ("418150.59034637164"); 16 gives 16
// significant digits, as CAD programs write them; 3 gives three decimals.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace {

constexpr double kMinX = 500000.0, kMinY = 4100000.0, kSide = 40000.0;

enum class Digits { roundtrip, sixteen, three };

// v as the chosen writers write it
std::string number(double v, Digits digits) {
    char b[64];
    switch (digits) {
        case Digits::roundtrip: {
            const auto r = std::to_chars(b, b + sizeof b, v);
            std::string s(b, r.ptr);
            // Python's repr keeps a point on whole numbers
            if (s.find_first_of(".e") == std::string::npos) s += ".0";
            return s;
        }
        case Digits::sixteen:
            std::snprintf(b, sizeof b, "%.16g", v);
            return b;
        case Digits::three:
            break;
    }
    std::snprintf(b, sizeof b, "%.3f", v);
    return b;
}

}  // namespace

int main(int argc, char** argv) {
    Digits digits = Digits::roundtrip;
    if (argc > 2 && std::strcmp(argv[1], "--digits") == 0) {
        const std::string d = argv[2];
        if (d == "16")
            digits = Digits::sixteen;
        else if (d == "3")
            digits = Digits::three;
        else if (d != "roundtrip")
            argc = 0;  // a usage error
        argv += 2;
        argc -= 2;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_drawing [--digits roundtrip|16|3] <out.dxf> <megabytes> [seed]\n");
        return 2;
    }
    const double target = std::atof(argv[2]) * 1e6;
    const unsigned seed = argc > 3 ? static_cast<unsigned>(std::atoi(argv[3])) : 1;
    std::FILE* f = std::fopen(argv[1], "w");
    if (f == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(f, "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1009\n");
    std::fprintf(f, "  9\n$EXTMIN\n 10\n%.1f\n 20\n%.1f\n 30\n0.0\n", kMinX, kMinY);
    std::fprintf(f, "  9\n$EXTMAX\n 10\n%.1f\n 20\n%.1f\n 30\n0.0\n", kMinX + kSide, kMinY + kSide);
    std::fprintf(f, "  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n");
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    unsigned handle = 0x100;
    long polylines = 0, vertices = 0;
    const double pi = std::acos(-1.0);
    while (static_cast<double>(std::ftell(f)) < target) {
        // a hill: centre, height above a base of 200 m, spread
        const double cx = kMinX + kSide * (0.05 + 0.9 * unit(rng));
        const double cy = kMinY + kSide * (0.05 + 0.9 * unit(rng));
        const double height = 100.0 + 600.0 * unit(rng);
        const double spread = 100.0 + 500.0 * unit(rng);
        const double phase = 2 * pi * unit(rng);
        for (double level = 210.0; level < 200.0 + height && static_cast<double>(std::ftell(f)) < target; level += 10.0) {
            // the ring where base + height * exp(-r^2 / (2 spread^2)) = level
            const double r = spread * std::sqrt(2.0 * std::log(height / (level - 200.0)));
            const double step = 3.0 + 5.0 * unit(rng);
            char one_decimal[32];
            std::snprintf(one_decimal, sizeof one_decimal, "%.1f", level);
            const std::string elevation = digits == Digits::three ? one_decimal : number(level, digits);
            const int n = std::max(8, static_cast<int>(2 * pi * r / step));
            std::fprintf(f, "  0\nPOLYLINE\n  5\n%X\n  8\nCURVAS\n 66\n     1\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 70\n     8\n",
                         handle++);
            for (int k = 0; k <= n; ++k) {
                const double t = 2 * pi * (k % n) / n;
                const double wave = 1.0 + 0.04 * std::sin(5 * t + phase) + 0.02 * std::sin(11 * t - phase);
                const double x = cx + r * wave * std::cos(t);
                const double y = cy + r * wave * std::sin(t);
                std::fprintf(f, "  0\nVERTEX\n  5\n%X\n  8\nCURVAS\n 10\n%s\n 20\n%s\n 30\n%s\n 70\n    32\n",
                             handle++, number(x, digits).c_str(), number(y, digits).c_str(),
                             elevation.c_str());
                ++vertices;
            }
            std::fprintf(f, "  0\nSEQEND\n  5\n%X\n  8\nCURVAS\n", handle++);
            ++polylines;
        }
    }
    std::fprintf(f, "  0\nENDSEC\n  0\nEOF\n");
    const bool ok = std::fclose(f) == 0;
    std::printf("%ld polylines, %ld vertices\n", polylines, vertices);
    return ok ? 0 : 1;
}
