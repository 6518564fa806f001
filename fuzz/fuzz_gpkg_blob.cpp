// Fuzz target: any bytes as a GeoPackage geometry blob, whose every read the
// sanitizers check. What is not read whole tells nothing; what is told is
// whole polylines, as many vertices as the bytes can hold; with a feature's
// elevation given, the same lines at it, Z or none.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "reading/gpkg_blob.h"

using namespace zorvel;

namespace {

class Counted final : public ContourSink {
public:
    explicit Counted(const double* elevation = nullptr) : elevation_(elevation) {}
    void polyline() override {
        if (lines > 0 && vertices_in_line == 0) std::abort();  // a polyline without a vertex
        ++lines;
        vertices_in_line = 0;
    }
    bool vertex(double, double, double z) override {
        if (lines == 0) std::abort();  // a vertex before any polyline
        if (elevation_ != nullptr && z != *elevation_) std::abort();  // every vertex at the feature's elevation
        ++vertices;
        ++vertices_in_line;
        return true;
    }
    std::size_t lines = 0, vertices = 0, vertices_in_line = 0;

private:
    const double* elevation_;
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
    // with the elevation given, the same lines whatever their Z: what was
    // refused for its Z alone is told, the rest as before
    const double elevation = -412.75;
    Counted at(&elevation);
    BlobTally none;
    const BlobLines by_field = tell_blob_lines(data, size, at, none, &elevation);
    const bool for_z = lines == BlobLines::no_z || lines == BlobLines::not_finite;
    if (by_field != (for_z ? BlobLines::told : lines) || none.zero_z != 0) std::abort();
    if (lines == BlobLines::told && (at.lines != told.lines || at.vertices != told.vertices)) std::abort();
    return 0;
}
