// Drawings for the tests of the passes: polylines in the old style, with one
// oddity in the second half when asked.
#ifndef ZORVEL_TEST_DRAWINGS_H
#define ZORVEL_TEST_DRAWINGS_H

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

namespace zorvel::test {

// A drawing of polylines in the old style; `twist` puts one oddity into its
// second half.
enum class Twist {
    none,
    second_extmax,
    cut_vertex,
    garbage_after_middle,
    garbage_at_middle,
    zero_vertex_in_skipped,
    nan_and_signed_zero,
    odd_values,
    no_final_newline,
    polyline_last,
    full_precision,
    count  // not a twist: how many there are
};


inline std::string drawing(int polylines, Twist twist, std::mt19937& rng) {
    std::string s = "  0\nSECTION\n  2\nHEADER\n  9\n$EXTMIN\n 10\n418000.0\n 20\n4500000.0\n 30\n0.0\n  9\n$EXTMAX\n"
                    " 10\n418100.0\n 20\n4500080.0\n 30\n0.0\n  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n";
    std::uniform_real_distribution<double> coord(0, 100);
    for (int p = 0; p < polylines; ++p) {
        if (twist == Twist::garbage_at_middle && p == polylines / 2)
            for (int k = 0; k < 30; ++k) s += "  0\nVERTEX\n  5\nA\n  8\nC\n 10\nxx\n 20\nyy\n 30\nzz\n 70\n0\n";
        const bool second_half = p >= polylines / 2 + 3;
        if (second_half && p == polylines / 2 + 3) {
            if (twist == Twist::second_extmax) s += "  9\n$EXTMAX\n 10\n418090.0\n 20\n4500070.0\n 30\n0.0\n";
            if (twist == Twist::garbage_after_middle) s += "  0\nVERTEX\n  5\nA\n  8\nC\n 10\nxx\n 20\n1.0\n";
            if (twist == Twist::zero_vertex_in_skipped) s += "  0\nVERTEX\n  0\nVERTEX\n  0\nVERTEX\n 10\n1\n 20\n2\n 30\n3\n 70\n0\n";
        }
        s += "  0\nPOLYLINE\n  5\n" + std::to_string(100 + p) + "\n  8\nCURVAS\n 66\n     1\n";
        const double z = 100.0 + 10.0 * (p % 17);
        for (int v = 0; v < 6; ++v) {
            char line[200];
            double alt = z;
            if (twist == Twist::nan_and_signed_zero && v == 2) alt = (p % 3 == 0) ? std::nan("") : (p % 3 == 1 ? -0.0 : 0.0);
            // three decimals, or the shortest form that reads back to the same double
            const char* format = twist == Twist::full_precision
                                     ? "  0\nVERTEX\n  5\n%X\n  8\nCURVAS\n 10\n%.17g\n 20\n%.16g\n 30\n%.17g\n 70\n    32\n"
                                     : "  0\nVERTEX\n  5\n%X\n  8\nCURVAS\n 10\n%.3f\n 20\n%.3f\n 30\n%.17g\n 70\n    32\n";
            std::snprintf(line, sizeof line, format, p * 16 + v, coord(rng) + 418000.0, coord(rng) + 4500000.0, alt);
            if (twist == Twist::odd_values) {
                // values of every shape the reader takes, in every field
                static const char* const shapes[] = {"%.0f", "%.5f", "%.1f", "%g", "%.17g", "%e", "%.9f"};
                static const char* const words[] = {"-0.0", "1e300", "inf", "-nan", "0x1p3", "-12.5", "123456789012.3456",
                                                    "4503599627370497", "+7", ".5", "5.", "1e-320", "99999999999999999999"};
                std::string fields[3];
                for (auto& f : fields) {
                    char w[64];
                    const int pick = static_cast<int>(rng() % 20);
                    if (pick < 13) {
                        std::snprintf(w, sizeof w, shapes[pick % 7], 418000.0 + coord(rng) * (pick % 2 ? -10.0 : 1.0));
                        f = w;
                    } else {
                        f = words[rng() % 13];
                    }
                }
                std::snprintf(line, sizeof line, "  0\nVERTEX\n  5\n%X\n  8\nCURVAS\n 10\n%s\n 20\n%s\n 30\n%s\n 70\n    32\n",
                              p * 16 + v, fields[0].c_str(), fields[1].c_str(), v % 3 ? fields[2].c_str() : "250.5");
            }
            s += line;
        }
        s += "  0\nSEQEND\n";
    }
    switch (twist) {
        case Twist::cut_vertex: s += "  0\nVERTEX\n  5\nFF\n  8\nCURVAS\n 10\n5.0\n"; break;
        case Twist::polyline_last: s += "  0\nPOLYLINE\n"; break;
        default: s += "  0\nENDSEC\n  0\nEOF\n"; break;
    }
    if (twist == Twist::no_final_newline) s.pop_back();
    return s;
}

}  // namespace zorvel::test

#endif
