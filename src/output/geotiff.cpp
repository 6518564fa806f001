#include "output/geotiff.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "output/envi_header.h"
#include "reading/ogr_source.h"

namespace zorvel {

namespace {

// TIFF's field types, and the tags written (in the order of their numbers, as
// a directory lists them)
enum : std::uint16_t { kAscii = 2, kShort = 3, kLong = 4, kDouble = 12, kLong8 = 16 };
enum : std::uint16_t {
    kImageWidth = 256,
    kImageLength = 257,
    kBitsPerSample = 258,
    kCompression = 259,
    kPhotometric = 262,
    kStripOffsets = 273,
    kSamplesPerPixel = 277,
    kRowsPerStrip = 278,
    kStripByteCounts = 279,
    kPlanarConfig = 284,
    kColorMap = 320,
    kSampleFormat = 339,
    kModelPixelScale = 33550,
    kModelTiepoint = 33922,
    kModelTransformation = 34264,
    kGeoKeyDirectory = 34735,
    kGdalMetadata = 42112,
    kGdalNodata = 42113,
};

// The GeoKeys: the model (projected or geographic), the raster's cells as
// areas, and the system's EPSG code as one or the other.
enum : std::uint16_t { kModelType = 1024, kRasterType = 1025, kGeographicType = 2048, kProjectedType = 3072 };

constexpr std::uint64_t kStripBytes = 8192;  // a strip at most, but a row: the TIFF library's own default
constexpr std::uint64_t kWriteBytes = std::uint64_t{1} << 20;  // the cells go out about this much at a time
constexpr std::uint64_t kMostBytes = 0xFFFFFFFFull;  // the end of the last strip a TIFF's offsets of 32 bits reach

std::size_t cell_bytes(const RasterOut& r) { return r.type == CellType::Byte ? 1 : r.type == CellType::Float32 ? 4 : 8; }

// The metadata as GDAL keeps it in its own tag (which GDAL reads back in the
// order of the names), each value escaped as GDAL escapes it: once as its
// items do, again as its XML writer does; empty when there is none.
std::string metadata_xml(const RasterOut& r) {
    if (r.metadata.empty()) return "";
    std::string x = "<GDALMetadata>\n";
    for (const std::string& m : r.metadata) {
        const std::size_t eq = m.find('=');
        const std::string value = eq == std::string::npos ? "" : m.substr(eq + 1);
        x += "  <Item name=\"" + xml_text(m.substr(0, eq), true) + "\">" + xml_text(xml_text(value, true), false) + "</Item>\n";
    }
    return x + "</GDALMetadata>\n";
}

std::string nodata_text(double v) {
    if (std::isnan(v)) return "nan";
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

// The file's bytes before the cells: the header, one directory, and the
// values that do not fit in its entries, each at an offset of a multiple of
// 8. A BigTIFF (`big`) has offsets and counts of 64 bits.
class Head {
public:
    explicit Head(bool big) : big_(big) {}
    void entry(std::uint16_t tag, std::uint16_t type, std::uint64_t count, std::vector<unsigned char> value) {
        entries_.push_back(Entry{tag, type, count, std::move(value)});
    }
    template <typename T>
    void numbers(std::uint16_t tag, std::uint16_t type, const std::vector<T>& v) {
        std::vector<unsigned char> b(v.size() * sizeof(T));
        std::memcpy(b.data(), v.data(), b.size());
        entry(tag, type, v.size(), std::move(b));
    }
    void text(std::uint16_t tag, const std::string& s) {
        entry(tag, kAscii, s.size() + 1, std::vector<unsigned char>(s.c_str(), s.c_str() + s.size() + 1));
    }
    // Its size once every entry is in.
    std::uint64_t size() const {
        std::uint64_t n = directory_end();
        for (const Entry& e : entries_)
            if (e.value.size() > word()) n += padded(e.value.size());
        return n;
    }
    // The bytes, in the machine's own order (which the header names).
    std::vector<unsigned char> bytes() const {
        std::vector<unsigned char> out;
        const auto put = [&](const void* p, std::size_t n) {
            const auto* c = static_cast<const unsigned char*>(p);
            out.insert(out.end(), c, c + n);
        };
        const auto put16 = [&](std::uint16_t v) { put(&v, 2); };
        const auto put_word = [&](std::uint64_t v) {
            const std::uint32_t narrow = static_cast<std::uint32_t>(v);
            big_ ? put(&v, 8) : put(&narrow, 4);
        };
        put(std::endian::native == std::endian::little ? "II" : "MM", 2);
        if (big_) {
            put16(43);
            put16(8);  // the size of an offset
            put16(0);
        } else {
            put16(42);
        }
        put_word(header_size());
        big_ ? put_word(entries_.size()) : put16(static_cast<std::uint16_t>(entries_.size()));
        std::uint64_t beyond = directory_end();
        for (const Entry& e : entries_) {
            put16(e.tag);
            put16(e.type);
            put_word(e.count);
            if (e.value.size() <= word()) {
                unsigned char inline_value[8] = {0, 0, 0, 0, 0, 0, 0, 0};
                std::memcpy(inline_value, e.value.data(), e.value.size());
                put(inline_value, word());
            } else {
                put_word(beyond);
                beyond += padded(e.value.size());
            }
        }
        put_word(0);  // no other directory
        out.resize(static_cast<std::size_t>(directory_end()), 0);
        for (const Entry& e : entries_)
            if (e.value.size() > word()) {
                put(e.value.data(), e.value.size());
                out.resize(out.size() + static_cast<std::size_t>(padded(e.value.size()) - e.value.size()), 0);
            }
        return out;
    }

private:
    struct Entry {
        std::uint16_t tag, type;
        std::uint64_t count;
        std::vector<unsigned char> value;
    };
    std::size_t word() const { return big_ ? 8 : 4; }
    std::uint64_t header_size() const { return big_ ? 16 : 8; }
    static std::uint64_t padded(std::uint64_t n) { return (n + 7) / 8 * 8; }
    std::uint64_t directory_end() const {
        const std::uint64_t entry_size = big_ ? 20 : 12;
        return padded(header_size() + (big_ ? 8 : 2) + entry_size * entries_.size() + word());
    }
    bool big_;
    std::vector<Entry> entries_;
};

// The GeoTIFF's keys: the model, the cells as areas, the system's code.
std::vector<std::uint16_t> geokeys(const EpsgSystem& crs) {
    std::vector<std::uint16_t> keys = {1, 1, 0, 0};
    const auto key = [&](std::uint16_t id, std::uint16_t value) {
        keys.insert(keys.end(), {id, 0, 1, value});
        ++keys[3];
    };
    key(kModelType, crs.geographic ? 2 : 1);
    key(kRasterType, 1);
    key(crs.geographic ? kGeographicType : kProjectedType, static_cast<std::uint16_t>(crs.code));
    return keys;
}

// The strips: rows of at most kStripBytes (but one row), the last one short.
struct Strips {
    std::uint64_t row_bytes, rows, count;
};

// The head of r's file, its cells in strips from first_strip on.
Head head_of(const RasterOut& r, const std::optional<EpsgSystem>& crs, bool big, const Strips& strips,
             std::uint64_t first_strip) {
    Head h(big);
    h.numbers<std::uint32_t>(kImageWidth, kLong, {static_cast<std::uint32_t>(r.width)});
    h.numbers<std::uint32_t>(kImageLength, kLong, {static_cast<std::uint32_t>(r.height)});
    h.numbers<std::uint16_t>(kBitsPerSample, kShort, {static_cast<std::uint16_t>(8 * cell_bytes(r))});
    h.numbers<std::uint16_t>(kCompression, kShort, {1});
    // a palette where there are colours, the least value black otherwise
    h.numbers<std::uint16_t>(kPhotometric, kShort, {static_cast<std::uint16_t>(r.colours.empty() ? 1 : 3)});
    std::vector<std::uint64_t> offsets(strips.count), counts(strips.count);
    for (std::uint64_t s = 0; s < strips.count; ++s) {
        offsets[s] = first_strip + s * strips.rows * strips.row_bytes;
        counts[s] = std::min(strips.rows, static_cast<std::uint64_t>(r.height) - s * strips.rows) * strips.row_bytes;
    }
    const auto words = [&](std::uint16_t tag, const std::vector<std::uint64_t>& v) {
        if (big) return h.numbers(tag, kLong8, v);
        h.numbers(tag, kLong, std::vector<std::uint32_t>(v.begin(), v.end()));
    };
    words(kStripOffsets, offsets);
    h.numbers<std::uint16_t>(kSamplesPerPixel, kShort, {1});
    h.numbers<std::uint32_t>(kRowsPerStrip, kLong, {static_cast<std::uint32_t>(strips.rows)});
    words(kStripByteCounts, counts);
    h.numbers<std::uint16_t>(kPlanarConfig, kShort, {1});
    if (!r.colours.empty()) {
        // red, green and blue of every byte value, in 16 bits (the alpha GDAL's driver drops too)
        std::vector<std::uint16_t> map(3 * 256, 0);
        for (std::size_t k = 0; k < std::min<std::size_t>(r.colours.size(), 256); ++k)
            for (std::size_t c = 0; c < 3; ++c) map[256 * c + k] = static_cast<std::uint16_t>(r.colours[k][c] * 257);
        h.numbers(kColorMap, kShort, map);
    }
    h.numbers<std::uint16_t>(kSampleFormat, kShort, {static_cast<std::uint16_t>(r.type == CellType::Byte ? 1 : 3)});
    const double* t = r.geotransform;
    if (t[2] == 0.0 && t[4] == 0.0) {
        h.numbers<double>(kModelPixelScale, kDouble, {t[1], -t[5], 0.0});
        h.numbers<double>(kModelTiepoint, kDouble, {0.0, 0.0, 0.0, t[0], t[3], 0.0});
    } else {
        h.numbers<double>(kModelTransformation, kDouble, {t[1], t[2], 0, t[0], t[4], t[5], 0, t[3], 0, 0, 0, 0, 0, 0, 0, 1});
    }
    // without a system GDAL writes no keys, and reads none back
    if (crs) h.numbers(kGeoKeyDirectory, kShort, geokeys(*crs));
    if (const std::string m = metadata_xml(r); !m.empty()) h.text(kGdalMetadata, m);
    h.text(kGdalNodata, nodata_text(r.nodata));
    return h;
}

}  // namespace

bool plain_geotiff(const RasterOut& r) {
    if (r.driver != kGeoTiff || !r.options.empty() || r.colours.size() > 256) return false;
    for (const auto& c : r.colours)
        for (const int v : c)
            if (v < 0 || v > 255) return false;
    // XML holds no control characters but these
    for (const auto* texts : {&r.metadata, &r.names})
        for (const std::string& m : *texts)
            for (const char c : m)
                if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
    for (const double t : r.geotransform)
        if (!std::isfinite(t)) return false;
    return true;
}

std::string category_names_xml(const RasterOut& r) {
    if (r.names.empty()) return "";
    std::string x = "<PAMDataset>\n  <PAMRasterBand band=\"1\">\n    <CategoryNames>\n";
    for (const std::string& n : r.names) x += "      <Category>" + xml_text(n, false) + "</Category>\n";
    return x + "    </CategoryNames>\n  </PAMRasterBand>\n</PAMDataset>\n";
}

bool write_geotiff(std::FILE* f, const RasterOut& r, const std::optional<EpsgSystem>& crs, std::string& why,
                   std::optional<bool> big) {
    Strips strips;
    strips.row_bytes = static_cast<std::uint64_t>(r.width) * cell_bytes(r);
    const auto height = static_cast<std::uint64_t>(r.height);
    strips.rows = std::min<std::uint64_t>(height, std::max<std::uint64_t>(1, kStripBytes / strips.row_bytes));
    strips.count = (height + strips.rows - 1) / strips.rows;
    // as GDAL does, a BigTIFF where the offsets of a TIFF would not reach
    if (!big)
        big = head_of(r, crs, false, strips, 0).size() + strips.row_bytes * height > kMostBytes;
    // the cells follow the head, whose size does not depend on where they begin
    const std::vector<unsigned char> head = head_of(r, crs, *big, strips, head_of(r, crs, *big, strips, 0).size()).bytes();
    const auto failed = [&] {
        why = std::strerror(errno);
        return false;
    };
    if (std::fwrite(head.data(), 1, head.size(), f) != head.size()) return failed();
    // the strips follow one another: as many at a time as make about
    // kWriteBytes, as the type holds them (a write a strip took a third of
    // a small job's writing)
    const std::size_t width = static_cast<std::size_t>(r.width);
    const std::size_t rows_at_once =
        static_cast<std::size_t>(strips.rows) * std::max<std::size_t>(1, kWriteBytes / (strips.rows * strips.row_bytes));
    std::vector<unsigned char> bytes(r.type == CellType::Byte ? rows_at_once * width : 0);
    std::vector<float> singles(r.type == CellType::Float32 ? rows_at_once * width : 0);
    std::vector<double> doubles(r.type == CellType::Float64 ? rows_at_once * width : 0);
    for (int i = 0; i < r.height;) {
        const int rows = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(r.height - i), rows_at_once));
        for (int k = 0; k < rows; ++k, ++i) {
            const std::size_t at = static_cast<std::size_t>(k) * width;
            if (r.type == CellType::Byte) {
                std::copy(r.byte_rows[static_cast<std::size_t>(i)], r.byte_rows[static_cast<std::size_t>(i)] + width,
                          bytes.begin() + static_cast<std::ptrdiff_t>(at));
                continue;
            }
            const double* row = r.value_rows[static_cast<std::size_t>(i)];
            if (r.type == CellType::Float64)
                std::copy(row, row + width, doubles.begin() + static_cast<std::ptrdiff_t>(at));
            else
                for (std::size_t j = 0; j < width; ++j) singles[at + j] = static_cast<float>(row[j]);
        }
        const void* cells = r.type == CellType::Byte      ? static_cast<const void*>(bytes.data())
                            : r.type == CellType::Float64 ? static_cast<const void*>(doubles.data())
                                                          : singles.data();
        const std::size_t n = static_cast<std::size_t>(rows) * static_cast<std::size_t>(strips.row_bytes);
        if (std::fwrite(cells, 1, n, f) != n) return failed();
    }
    return true;
}

}  // namespace zorvel
