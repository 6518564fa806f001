// Fuzz target: the drawing scanner on any bytes, both passes, with a small
// and a large buffer. The first byte chooses the skip count.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "dxf_scanner.h"

using namespace zorvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int reg = static_cast<int>(data[0] % 8) - 2;
    // a memory stream: a file on disk would cost more than the scan
    std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    // fmemopen refuses an empty buffer
    std::FILE* f = bytes.empty() ? std::fopen("/dev/null", "r") : fmemopen(bytes.data(), bytes.size(), "r");
    std::FILE* out = std::fopen("/dev/null", "w");
    if (f == nullptr || out == nullptr) std::abort();
    // a buffer that puts word ends on its boundaries, and one larger than most inputs
    for (std::size_t chunk : {std::size_t{7}, std::size_t{4096}}) {
        std::rewind(f);
        DrawingReader rd(f, chunk);
        ScanState st;
        st.reg = reg;
        Extents ext;
        struct Count final : ContourSink {
            long vertices = 0;
            bool vertex(double, double, double) override { return ++vertices, true; }
        } count;
        for (int pass = 0; pass < 2; ++pass) {
            if (scan_pass(rd, st, ext, count, out) != PassEnd::end_of_file) break;
            rd.rewind();
        }
        // every vertex record starts at a keyword of at least six characters
        if (count.vertices > static_cast<long>(2 * (size / 6 + 1))) std::abort();
    }
    std::fclose(out);
    std::fclose(f);
    return 0;
}
