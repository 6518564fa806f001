// The rasters GDAL writes for the command line, in the GDAL module: the
// image handed over in memory, copied into the format asked, then read
// back through GDAL and compared with what was meant before it is kept.
#include "output/gdal_raster.h"

#include <cpl_string.h>
#include <gdal_priv.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "base/messages.h"
#include "reading/gdal_support.h"

namespace zorvel {

namespace {

using Dataset = std::unique_ptr<GDALDataset, DatasetCloser>;

GDALDataType gdal_type(CellType type) {
    return type == CellType::Byte ? GDT_Byte : type == CellType::Float32 ? GDT_Float32 : GDT_Float64;
}

// Two cell values alike: equal, or both not a number.
bool same_value(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

// The value a cell of r holds once stored in r's type.
double stored(const RasterOut& r, double v) {
    return r.type == CellType::Float32 ? static_cast<double>(static_cast<float>(v)) : v;
}

// What the image carries beside its cells: its place, system, nodata,
// colours, names and metadata; what the format cannot keep of them (a
// colour table, names) is GDAL's warning, kept in `dropped`.
void describe(GDALDataset& ds, const RasterOut& r, std::vector<std::string>& dropped) {
    GdalErrors errors;
    ds.SetGeoTransform(const_cast<double*>(r.geotransform));
    if (!r.wkt.empty()) ds.SetProjection(r.wkt.c_str());
    GDALRasterBand* band = ds.GetRasterBand(1);
    band->SetNoDataValue(r.nodata);
    if (!r.colours.empty()) {
        GDALColorTable table;
        for (std::size_t k = 0; k < r.colours.size(); ++k) {
            const auto& rgba = r.colours[k];
            const GDALColorEntry c{static_cast<short>(rgba[0]), static_cast<short>(rgba[1]),
                                   static_cast<short>(rgba[2]), static_cast<short>(rgba[3])};
            table.SetColorEntry(static_cast<int>(k), &c);
        }
        band->SetColorTable(&table);
    }
    if (!r.names.empty()) {
        CPLStringList names;
        for (const std::string& n : r.names) names.AddString(n.c_str());
        band->SetCategoryNames(names.List());
    }
    CPLStringList metadata;
    for (const std::string& m : r.metadata) metadata.AddString(m.c_str());
    ds.SetMetadata(metadata.List());
    dropped = errors.warnings();
    if (errors.failed()) dropped.insert(dropped.begin(), errors.first());
}

// The image's cells, row after row; false when the dataset refuses them.
bool fill(GDALDataset& ds, const RasterOut& r) {
    GDALRasterBand* band = ds.GetRasterBand(1);
    for (int i = 0; i < r.height; ++i) {
        const auto row = static_cast<std::size_t>(i);
        const CPLErr e = r.type == CellType::Byte
                             ? band->RasterIO(GF_Write, 0, i, r.width, 1, const_cast<unsigned char*>(r.byte_rows[row]),
                                              r.width, 1, GDT_Byte, 0, 0)
                             : band->RasterIO(GF_Write, 0, i, r.width, 1, const_cast<double*>(r.value_rows[row]),
                                              r.width, 1, GDT_Float64, 0, 0);
        if (e != CE_None) return false;
    }
    return true;
}

// How the grid read back differs from the one meant, in a few words; empty
// when it does not: its size, its place on the map (to a millionth of a
// cell), its nodata and every cell.
// How the read-back dataset's shape, place and nodata differ from what
// was meant; empty where they are the same.
std::string frame_difference(GDALDataset& back, const RasterOut& r) {
    if (back.GetRasterXSize() != r.width || back.GetRasterYSize() != r.height)
        return message(T_("una imagen de {1} x {2} celdas en lugar de {3} x {4}"),
                       {std::to_string(back.GetRasterXSize()), std::to_string(back.GetRasterYSize()),
                        std::to_string(r.width), std::to_string(r.height)});
    if (back.GetRasterCount() != 1)
        return message(T_("{1} bandas en lugar de una"), {std::to_string(back.GetRasterCount())});
    double gt[6] = {0, 1, 0, 0, 0, 1};
    if (back.GetGeoTransform(gt) != CE_None) return T_("la imagen sin su posicion en el mapa");
    const double cell = std::hypot(r.geotransform[1], r.geotransform[4]);
    const auto off = [&](int k, double tolerance) { return !(std::fabs(gt[k] - r.geotransform[k]) <= tolerance); };
    // a turned grid's vectors a billionth of a cell apart over the whole image
    const double vector_tolerance = 1e-9 * cell;
    if (off(2, vector_tolerance) || off(4, vector_tolerance))
        return T_("la cuadricula sin su giro (use -of GTiff o ENVI, o -rot 0)");
    if (off(0, 1e-6 * cell) || off(3, 1e-6 * cell) || off(1, vector_tolerance) || off(5, vector_tolerance))
        return message(T_("otra posicion en el mapa: la esquina en {1} {2} y celdas de {3}, en lugar de {4} {5} y {6}"),
                       {number_text(gt[0]), number_text(gt[3]), number_text(gt[1]), number_text(r.geotransform[0]),
                        number_text(r.geotransform[3]), number_text(r.geotransform[1])});
    int has_nodata = FALSE;
    const double nodata = back.GetRasterBand(1)->GetNoDataValue(&has_nodata);
    if (!has_nodata) return message(T_("la imagen sin su valor nodata ({1})"), {number_text(stored(r, r.nodata))});
    if (!same_value(nodata, stored(r, r.nodata)))
        return message(T_("el valor nodata {1} en lugar de {2}"), {number_text(nodata), number_text(stored(r, r.nodata))});
    return "";
}

// The value at column j of a row read back as type `as`.
double value_at(const unsigned char* line, int j, GDALDataType as, int size) {
    const unsigned char* at = line + static_cast<std::size_t>(j) * static_cast<std::size_t>(size);
    if (as == GDT_Byte) return static_cast<double>(*at);
    if (as == GDT_Float32) {
        float f;
        std::memcpy(&f, at, sizeof f);
        return static_cast<double>(f);
    }
    double d;
    std::memcpy(&d, at, sizeof d);
    return d;
}

// How the read-back cells differ from those meant: the first that does,
// and how many; empty where none does. The cells a band of rows at a time,
// in the type meant where the driver kept it (a row of bytes compared
// whole), else as doubles: whatever type the driver chose, a value it
// changed shows.
std::string cells_difference(GDALRasterBand& band, const RasterOut& r) {
    const GDALDataType kept = band.GetRasterDataType();
    const GDALDataType as = kept == gdal_type(r.type) ? kept : GDT_Float64;
    const int size = GDALGetDataTypeSizeBytes(as);
    constexpr int kRows = 64;
    std::vector<unsigned char> got(static_cast<std::size_t>(r.width) * kRows * static_cast<std::size_t>(size));
    long long differ = 0;
    std::string first;
    for (int i0 = 0; i0 < r.height; i0 += kRows) {
        const int rows = std::min(kRows, r.height - i0);
        if (band.RasterIO(GF_Read, 0, i0, r.width, rows, got.data(), r.width, rows, as, 0, 0) != CE_None)
            return T_("la imagen no se puede leer") + gdal_error();
        for (int i = 0; i < rows; ++i) {
            const auto row = static_cast<std::size_t>(i0 + i);
            const unsigned char* line = got.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(r.width) *
                                                         static_cast<std::size_t>(size);
            if (as == GDT_Byte && std::memcmp(line, r.byte_rows[row], static_cast<std::size_t>(r.width)) == 0) continue;
            for (int j = 0; j < r.width; ++j) {
                const auto col = static_cast<std::size_t>(j);
                const double meant = r.type == CellType::Byte ? r.byte_rows[row][col] : stored(r, r.value_rows[row][col]);
                const double value = value_at(line, j, as, size);
                if (same_value(value, meant)) continue;
                if (differ++ == 0)
                    first = message(T_("la celda de la linea {1}, columna {2} vale {3} en lugar de {4}"),
                                    {std::to_string(i0 + i), std::to_string(j), number_text(value), number_text(meant)});
            }
        }
    }
    if (differ == 0) return "";
    return differ == 1 ? first : message(T_("{1} ({2} celdas distintas)"), {first, std::to_string(differ)});
}

std::string difference(GDALDataset& back, const RasterOut& r) {
    const std::string frame = frame_difference(back, r);
    return !frame.empty() ? frame : cells_difference(*back.GetRasterBand(1), r);
}

// GDAL's text with the path written to as the name it will take.
std::string as_shown(std::string text, const RasterOut& r) {
    if (r.path.empty() || r.path == r.shown) return text;
    for (std::size_t at = 0; (at = text.find(r.path, at)) != std::string::npos; at += r.shown.size())
        text.replace(at, r.path.size(), r.shown);
    return text;
}

// Writes r through its driver and reads it back; false, with why, when GDAL
// fails, or what it reads back is not what was meant.
bool write_checked(const RasterOut& r, std::vector<std::string>& warnings, std::string& why) {
    GdalErrors errors;
    const auto said = [&] {
        warnings = errors.warnings();
        for (std::string& w : warnings) w = as_shown(w, r);
    };
    const auto failed = [&](const std::string& what) {
        why = message(T_("GDAL no puede escribir {1} ({2}): {3}"), {r.shown, r.driver, what}) +
              (errors.failed() ? ": " + as_shown(errors.first(), r) : std::string());
        said();
        return false;
    };
    GDALDriver* driver = writing_driver(r.driver);
    if (driver == nullptr) return failed(T_("el formato no escribe rasters"));
    CPLStringList options;
    for (const std::string& o : r.options) options.AddString(o.c_str());
    std::vector<std::string> dropped;
    if (driver->GetMetadataItem(GDAL_DCAP_CREATE) != nullptr) {
        // written where it goes, without a copy in memory first
        Dataset out(driver->Create(r.path.c_str(), r.width, r.height, 1, gdal_type(r.type), options.List()));
        if (!out || errors.failed()) return failed(T_("no se crea el archivo"));
        describe(*out, r, dropped);
        if (!fill(*out, r)) return failed(T_("no se escriben sus celdas"));
        out.reset();  // closed: written whole
    } else {
        // the image in memory, copied: what a driver cannot keep beside the
        // cells it drops with a warning, and the cells are read back below
        GDALDriver* mem = GetGDALDriverManager()->GetDriverByName("MEM");
        Dataset ds(mem->Create("", r.width, r.height, 1, gdal_type(r.type), nullptr));
        if (!ds) return failed(T_("sin memoria para la imagen"));
        describe(*ds, r, dropped);
        if (!fill(*ds, r)) return failed(T_("no se escribe la imagen en memoria"));
        Dataset out(driver->CreateCopy(r.path.c_str(), ds.get(), FALSE, options.List(), nullptr, nullptr));
        if (!out || errors.failed()) return failed(T_("no se crea el archivo"));
        out.reset();  // closed: written whole
    }
    if (errors.failed()) return failed(T_("no se cierra el archivo"));
    Dataset back(GDALDataset::Open(r.path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
    if (!back) return failed(T_("GDAL no lee lo que escribio"));
    const std::string differs = difference(*back, r);
    back.reset();
    said();
    for (const std::string& d : dropped) warnings.push_back(as_shown(d, r));
    if (differs.empty()) return true;
    why = message(T_("GDAL no guarda la imagen tal cual en el formato {1}: leida de nuevo, {2}"), {r.driver, differs});
    return false;
}

// The types a driver says it creates; empty when it does not say.
std::vector<std::string> creation_types(GDALDriver& d) {
    const char* types = d.GetMetadataItem(GDAL_DMD_CREATIONDATATYPES);
    std::vector<std::string> list;
    if (types == nullptr) return list;
    const CPLStringList words(CSLTokenizeString(types));
    for (int k = 0; k < words.size(); ++k) list.emplace_back(words[k]);
    return list;
}

bool writes_rasters(GDALDriver* d) {
    if (d == nullptr || d->GetMetadataItem(GDAL_DCAP_RASTER) == nullptr) return false;
    return d->GetMetadataItem(GDAL_DCAP_CREATE) != nullptr || d->GetMetadataItem(GDAL_DCAP_CREATECOPY) != nullptr;
}

}  // namespace

GDALDriver* writing_driver(const std::string& name) {
    GDALDriver* d = gdal_drivers().GetDriverByName(name.c_str());
    return writes_rasters(d) ? d : nullptr;
}

bool raster_driver_writes_here(const std::string& name) { return writing_driver(name) != nullptr; }

std::string raster_driver_of(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return "";
    const std::string ext = CPLString(path.substr(dot + 1)).tolower();
    std::string found;
    GDALDriverManager& m = gdal_drivers();
    for (int k = 0; k < m.GetDriverCount(); ++k) {
        GDALDriver* d = m.GetDriver(k);
        if (!writes_rasters(d)) continue;
        const char* exts = d->GetMetadataItem(GDAL_DMD_EXTENSIONS);
        if (exts == nullptr) continue;
        const CPLStringList list(CSLTokenizeString(exts));
        for (int e = 0; e < list.size(); ++e) {
            if (CPLString(list[e]).tolower() != ext) continue;
            // a .tif is GTiff's before it is COG's
            if (found.empty() || std::string(d->GetDescription()) == "GTiff") found = d->GetDescription();
        }
    }
    return found;
}

std::string raster_refusal(const RasterOut& sample) {
    GDALDriver* d = writing_driver(sample.driver);
    if (d == nullptr) return T_("GDAL no escribe rasters en ese formato");
    const std::vector<std::string> types = creation_types(*d);
    if (!types.empty() && std::find(types.begin(), types.end(), type_name(sample.type)) == types.end()) {
        std::string listed;
        for (const std::string& t : types) listed += (listed.empty() ? "" : " ") + t;
        return message(T_("el formato no guarda celdas {1} (guarda {2})"), {type_name(sample.type), listed});
    }
    if (!sample.options.empty()) {
        if (d->GetMetadataItem(GDAL_DMD_CREATIONOPTIONLIST) == nullptr)
            return message(T_("el formato no tiene opciones de creacion, y se da -co {1}"), {sample.options.front()});
        GdalErrors errors;
        CPLStringList options;
        for (const std::string& o : sample.options) options.AddString(o.c_str());
        if (!GDALValidateCreationOptions(d, options.List())) {
            const auto said = errors.warnings();
            return "-co: " + (said.empty() ? (errors.failed() ? errors.first() : std::string(T_("opcion no valida")))
                                           : said.front());
        }
    }
    // a sample of such cells written and read back: what the format would
    // change (a lossy codec, values clamped, another grid) shows now
    std::vector<std::string> warnings;
    std::string why;
    if (!write_checked(sample, warnings, why)) return why;
    return "";
}

bool write_gdal_raster(const RasterOut& r, std::vector<std::string>& warnings, std::string& why) {
    return write_checked(r, warnings, why);
}

}  // namespace zorvel
