// The scanner alone, both passes, against two baselines on the same drawing:
// the literal reading with the C library's formatted input, and one plain
// read of the bytes.
//
//   bench_scanner <drawing.dxf> <skip count> [rounds]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench_support.h"
#include "dialogue/dialogue.h"
#include "reading/dxf_scanner.h"

using namespace zorvel;

namespace {

struct Sums {
    long vertices = 0;
    double xy = 0;
    bool operator==(const Sums&) const = default;
};

Sums scan_twice(const char* path, int reg) {
    Sums s;
    std::FILE* f = std::fopen(path, "r");
    std::FILE* out = std::fopen("/dev/null", "w");
    DialogueReport report(out);  // the progress lines a dialogue run writes
    DrawingReader rd(f);
    ScanState st;
    st.reg = reg;
    Extents ext;
    struct Summing final : ContourSink {
        Sums& s;
        bool second = false;
        explicit Summing(Sums& sums) : s(sums) {}
        bool vertex(double x, double y, double) override {
            if (second) {
                s.xy += x + y;
                ++s.vertices;
            }
            return true;
        }
    } sink(s);
    for (int pass = 0; pass < 2; ++pass) {
        sink.second = pass == 1;
        if (scan_pass(rd, st, ext, sink, report) != PassEnd::end_of_file) std::abort();
        rd.rewind();
    }
    std::fclose(out);
    std::fclose(f);
    return s;
}

// The reads of both passes as the C library does them, word by word.
Sums fscanf_twice(const char* path, int reg) {
    Sums s;
    std::FILE* f = std::fopen(path, "r");
    char texte[4096];
    int val = 0;
    double x = 0, y = 0, z = 0;
    for (int pass = 0; pass < 2; ++pass) {
        while (!std::feof(f)) {
            if (std::fscanf(f, "%4095s", texte) != 1) continue;
            if (std::strcmp(texte, "VERTEX") != 0) continue;
            for (int k = 0; k < reg; ++k) (void)std::fscanf(f, "%4095s", texte);
            (void)std::fscanf(f, "%d", &val);
            (void)std::fscanf(f, "%lf", &x);
            (void)std::fscanf(f, "%d", &val);
            (void)std::fscanf(f, "%lf", &y);
            (void)std::fscanf(f, "%d", &val);
            (void)std::fscanf(f, "%lf", &z);
            (void)std::fscanf(f, "%d", &val);
            if (pass == 1) {
                s.xy += x + y;
                ++s.vertices;
            }
        }
        std::rewind(f);
    }
    std::fclose(f);
    return s;
}

long plain_read(const char* path) {
    std::vector<char> buf(1 << 20);
    long lines = 0;
    std::FILE* f = std::fopen(path, "rb");
    std::size_t got;
    while ((got = std::fread(buf.data(), 1, buf.size(), f)) > 0)
        for (std::size_t k = 0; k < got; ++k) lines += buf[k] == '\n';
    std::fclose(f);
    return lines;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_scanner <drawing.dxf> <skip count> [rounds]\n");
        return 2;
    }
    const char* path = argv[1];
    const int reg = std::atoi(argv[2]);
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 7;
    Sums ours, theirs;
    long lines = 0;
    const auto [scan, literal] = bench::paired(
        rounds, [&] { ours = scan_twice(path, reg); }, [&] { theirs = fscanf_twice(path, reg); });
    const auto [scan2, plain] = bench::paired(
        rounds, [&] { ours = scan_twice(path, reg); }, [&] { lines = plain_read(path) + plain_read(path); });
    if (!(ours == theirs) || lines == 0) {
        std::fprintf(stderr, "the scanner and the C library disagree: %ld vertices / %ld\n", ours.vertices,
                     theirs.vertices);
        return 1;
    }
    std::printf("%ld vertices read twice\n", ours.vertices);
    std::printf("scanner %.3f s, fscanf %.3f s: scanner/fscanf %.3fx (min of %d, spread %.0f%% / %.0f%%)\n", scan.min,
                literal.min, scan.min / literal.min, rounds, 100 * scan.spread, 100 * literal.spread);
    std::printf("scanner %.3f s, plain read %.3f s: scanner/plain %.1fx (min of %d, spread %.0f%% / %.0f%%)\n",
                scan2.min, plain.min, scan2.min / plain.min, rounds, 100 * scan2.spread, 100 * plain.spread);
    return 0;
}
