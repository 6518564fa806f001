// Helpers shared by the tests: memory streams, scripted consoles, grid pictures.
#ifndef ZORVEL_TEST_SUPPORT_H
#define ZORVEL_TEST_SUPPORT_H

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "base/console.h"
#include "geometry/elevation_grid.h"
#include "base/files.h"
#include "base/grid.h"

namespace zorvel::test {

// The long random runs: a million cases, ten million in the slow build, a
// hundred thousand under a sanitizer (which checks every access, several
// times slower, while the plain build runs the million);
// ZORVEL_DIFF_SEED replays another seed than the usual one.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
#else
inline constexpr bool kSanitized = false;
#endif
#ifdef ZORVEL_SLOW_RUN
inline constexpr int kRandomCases = 10'000'000;
#else
inline constexpr int kRandomCases = kSanitized ? 100'000 : 1'000'000;
#endif
inline std::uint64_t diff_seed(std::uint64_t usual) {
    const char* env = std::getenv("ZORVEL_DIFF_SEED");
    return env != nullptr ? std::strtoull(env, nullptr, 10) : usual;
}

// A stream holding `text`, read from its start.
inline FileHandle stream_of(const std::string& text) {
    FileHandle f(std::tmpfile());
    std::fwrite(text.data(), 1, text.size(), f.get());
    std::rewind(f.get());
    return f;
}

// Everything written to a stream so far.
inline std::string contents(std::FILE* f) {
    std::fflush(f);
    const long at = std::ftell(f);
    std::rewind(f);
    std::string s;
    for (int c; (c = std::getc(f)) != EOF;) s.push_back(static_cast<char>(c));
    std::fseek(f, at, SEEK_SET);
    return s;
}

// A console whose answers are `answers` and whose output and errors are kept.
struct ScriptedConsole {
    FileHandle in, out, err;
    Console con;
    explicit ScriptedConsole(const std::string& answers)
        : in(stream_of(answers)), out(std::tmpfile()), err(std::tmpfile()) {
        con = Console{in.get(), out.get(), err.get(), false};
    }
    std::string output() const { return contents(out.get()); }
    std::string errors() const { return contents(err.get()); }
};

// A row of a class grid as text: '.' for an empty cell, the class number's
// last digit otherwise.
inline std::string bytes(const unsigned char* row, int cols) {
    std::string s;
    for (int j = 0; j < cols; ++j) s.push_back(row[j] == kEmptyCell ? '.' : static_cast<char>('0' + row[j] % 10));
    return s;
}

// A class grid as text, one line per row.
inline std::string picture(const Grid<unsigned char>& g, int rows, int cols) {
    std::string s;
    for (int i = 0; i < rows; ++i) s += bytes(g[i], cols) + "\n";
    return s;
}

// The cells of an elevation grid that hold `alti`, as '#', the others as '.'.
inline std::string picture(const ElevationGrid& g, int rows, int cols, double alti) {
    std::string s;
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j) s.push_back(g.at(i, j) == alti ? '#' : '.');
        s.push_back('\n');
    }
    return s;
}

// An old-style drawing: its extents (X and Y min, X and Y max) in the
// header, then polylines, each of vertices (X, Y) at its elevation; every
// number written in full.
struct DrawnLine {
    double z;
    std::vector<std::array<double, 2>> at;
};
inline std::string dxf_of(const std::array<double, 4>& e, const std::vector<DrawnLine>& lines) {
    const auto n = [](double v) {
        char b[32];
        std::snprintf(b, sizeof b, "%.17g", v);
        return std::string(b);
    };
    std::string s = "0\nSECTION\n9\n$EXTMIN\n10\n" + n(e[0]) + "\n20\n" + n(e[1]) + "\n9\n$EXTMAX\n10\n" + n(e[2]) +
                    "\n20\n" + n(e[3]) + "\n0\nENDSEC\n";
    for (const DrawnLine& l : lines) {
        s += "0\nPOLYLINE\n66\n1\n";
        for (const auto& [x, y] : l.at) s += "0\nVERTEX\n10\n" + n(x) + "\n20\n" + n(y) + "\n30\n" + n(l.z) + "\n";
        s += "0\nSEQEND\n";
    }
    return s + "0\nEOF\n";
}

// Vertical contours from y = top down to y = bottom over extents 0..100 by
// 0..50, as (x, elevation) pairs.
inline std::string vertical_contours(const std::vector<std::pair<double, double>>& at, double top = 44, double bottom = 6) {
    std::vector<DrawnLine> lines;
    for (const auto& [x, z] : at) lines.push_back({z, {{x, top}, {x, bottom}}});
    return dxf_of({0, 0, 100, 50}, lines);
}

// A file's bytes; nothing for a missing file or for anything but a file.
inline std::string slurp(const std::filesystem::path& p) {
    if (!std::filesystem::is_regular_file(p)) return "";
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

// The columns and rows an ENVI header gives.
inline std::pair<int, int> envi_size(const std::string& header) {
    return {std::stoi(header.substr(header.find("samples = ") + 10)), std::stoi(header.substr(header.find("lines = ") + 8))};
}

// The window of w by h cells at column x and row y of an image of one byte a
// cell and cols columns, row after row.
inline std::string window_of(const std::string& image, int cols, int x, int y, int w, int h) {
    std::string part;
    for (int i = 0; i < h; ++i)
        part += image.substr(static_cast<std::size_t>(y + i) * static_cast<std::size_t>(cols) + static_cast<std::size_t>(x),
                             static_cast<std::size_t>(w));
    return part;
}

// A fresh folder under the system's temporary folder, removed at the end.
struct TempDir {
    std::filesystem::path path;
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zorvel_test_XXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    // The root as the program takes it: the folder and a separator.
    std::string root() const { return path.string() + "/"; }
};

}  // namespace zorvel::test

#endif
