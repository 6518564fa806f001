// Fuzz target: any bytes as a GeoPackage geometry blob, whose every read the
// sanitizers check. What is not read whole tells nothing; what is told is
// whole polylines, as many vertices as the bytes can hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "reading/gpkg_blob.h"

using namespace zorvel;

namespace {

class Counted final : public ContourSink {
public:
    void polyline() override {
        if (lines > 0 && vertices_in_line == 0) std::abort();  // a polyline without a vertex
        ++lines;
        vertices_in_line = 0;
    }
    bool vertex(double, double, double) override {
        if (lines == 0) std::abort();  // a vertex before any polyline
        ++vertices;
        ++vertices_in_line;
        return true;
    }
    std::size_t lines = 0, vertices = 0, vertices_in_line = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Counted told;
    BlobTally tally;
    const BlobLines lines = tell_blob_lines(data, size, told, tally);
    if (lines != BlobLines::told && (told.lines != 0 || tally.zero_z != 0)) std::abort();
    // every vertex is at least 24 bytes of the blob
    if (told.vertices * 24 > size || static_cast<std::size_t>(tally.zero_z) > told.vertices) std::abort();
    if (told.lines > 0 && told.vertices_in_line == 0) std::abort();
    return 0;
}
