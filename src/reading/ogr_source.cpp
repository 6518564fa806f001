#include "reading/ogr_source.h"
#include "base/messages.h"

#ifdef ZORVEL_HAVE_GDAL
#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif
#endif

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace zorvel {

namespace {

struct Loaded {
    const OgrModule* module = nullptr;
    std::string why;  // when there is none
};

#ifdef ZORVEL_HAVE_GDAL

#ifdef _WIN32
constexpr const char* kModuleName = "zorvel_raster_ogr.dll";
#else
constexpr const char* kModuleName = "zorvel_raster_ogr.so";
#endif

// Where the module may be: ZORVEL_RASTER_OGR when set (the path of the
// module itself); else beside the program, as in a build folder, then where
// the install put it, relative to the program (an install moved elsewhere)
// and as installed.
std::vector<std::string> module_places() {
    if (const char* env = std::getenv("ZORVEL_RASTER_OGR"); env != nullptr && *env != '\0') return {env};
    std::vector<std::string> places;
#ifndef _WIN32
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        places.push_back((exe.parent_path() / kModuleName).string());
#ifdef ZORVEL_OGR_MODULE_FROM_BIN
        places.push_back((exe.parent_path() / ZORVEL_OGR_MODULE_FROM_BIN / kModuleName).string());
#endif
    }
#endif
#ifdef ZORVEL_OGR_MODULE_DIR
    places.push_back(std::string(ZORVEL_OGR_MODULE_DIR) + "/" + kModuleName);
#endif
    return places;
}

// The module's entry in the library at path; nullptr, with why, when it
// cannot be loaded. A loaded module stays loaded: its sources live on.
using Entry = const OgrModule* (*)();
Entry entry_of(const std::string& path, std::string& why) {
#ifdef _WIN32
    HMODULE h = LoadLibraryA(path.c_str());
    if (h == nullptr) {
        why = T_("no se puede cargar ") + path;
        return nullptr;
    }
    return reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(h, kOgrModuleEntry)));
#else
    void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (h == nullptr) {
        const char* e = dlerror();
        why = e != nullptr ? e : T_("no se puede cargar ") + path;
        return nullptr;
    }
    return reinterpret_cast<Entry>(dlsym(h, kOgrModuleEntry));
#endif
}

Loaded load() {
    Loaded l;
    for (const std::string& path : module_places()) {
        std::error_code ec;
        if (!std::filesystem::exists(path, ec)) continue;
        const Entry entry = entry_of(path, l.why);
        if (entry == nullptr) {
            if (l.why.empty()) l.why = path + T_(" no es el modulo de GDAL de zorvel_raster");
            continue;
        }
        const OgrModule* m = entry();
        if (m != nullptr && std::string(m->version) == ZORVEL_MODULE_TAG) {
            l.module = m;
            l.why.clear();
            return l;
        }
        l.why = path + T_(" es de otra version de zorvel_raster");
    }
    if (l.why.empty()) {
        const char* env = std::getenv("ZORVEL_RASTER_OGR");
        l.why = std::string(T_("no se encuentra el modulo de GDAL ")) + (env != nullptr && *env != '\0' ? env : kModuleName);
    }
    return l;
}

#else

Loaded load() { return Loaded{nullptr, T_("esta version se compilo sin GDAL")}; }

#endif

// Loaded on first use, once, whatever the thread.
const Loaded& loaded() {
    static const Loaded l = load();
    return l;
}

}  // namespace

bool ogr_available() { return loaded().module != nullptr; }

bool ogr_module_in_place() {
#ifdef ZORVEL_HAVE_GDAL
    std::error_code ec;
    for (const std::string& path : module_places())
        if (std::filesystem::exists(path, ec)) return true;
#endif
    return false;
}

const std::string& ogr_unavailable_why() { return loaded().why; }

std::string srs_wkt(const std::string& user, std::string& why) {
    if (!ogr_available()) {
        why = ogr_unavailable_why() + T_(": no conoce sistemas de coordenadas");
        return "";
    }
    return loaded().module->srs_wkt(user, why);
}

std::optional<EpsgSystem> epsg_system(std::string wkt) {
    while (!wkt.empty() && std::isspace(static_cast<unsigned char>(wkt.back()))) wkt.pop_back();
    // the code between the authority's last quote or comma and "]]"
    if (wkt.size() < 2 || wkt.compare(wkt.size() - 2, 2, "]]") != 0) return std::nullopt;
    const std::size_t open = wkt.rfind('[', wkt.size() - 3);
    if (open == std::string::npos) return std::nullopt;
    const std::string tag = wkt.substr(wkt.rfind(',', open) + 1, open - wkt.rfind(',', open) - 1);
    std::string inside = wkt.substr(open + 1, wkt.size() - 3 - open);
    inside.erase(std::remove(inside.begin(), inside.end(), '"'), inside.end());
    if ((tag != "AUTHORITY" && tag != "ID") || inside.rfind("EPSG,", 0) != 0) return std::nullopt;
    const std::string digits = inside.substr(5);
    if (digits.empty() || digits.size() > 5 || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const int code = std::stoi(digits);
    if (code < 1 || code > 32766) return std::nullopt;
    const std::string kind = wkt.substr(0, wkt.find('['));
    if (kind == "GEOGCS" || kind == "GEOGCRS" || kind == "GEOGRAPHICCRS") return EpsgSystem{code, true};
    if (kind == "PROJCS" || kind == "PROJCRS" || kind == "PROJECTEDCRS") return EpsgSystem{code, false};
    return std::nullopt;
}

std::string raster_driver_for(const std::string& path) {
    // a name without an extension is no driver's: GDAL is not loaded for it
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return "";
    // a .tif is GTiff's, as GDAL's drivers say: known without loading GDAL,
    // which then loads beside the reading of the source
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if ((ext == "tif" || ext == "tiff") && ogr_module_in_place()) return kGeoTiff;
    return ogr_available() ? loaded().module->raster_driver_for(path) : std::string();
}

bool raster_driver_writes(const std::string& driver) {
    return ogr_available() && loaded().module->raster_driver_writes(driver);
}

std::string raster_refusal(const RasterOut& sample) {
    if (!ogr_available()) return ogr_unavailable_why() + T_(": solo escribe el formato ENVI");
    return loaded().module->raster_refusal(sample);
}

bool write_raster(const RasterOut& r, std::vector<std::string>& warnings, std::string& why) {
    if (!ogr_available()) {
        why = ogr_unavailable_why() + T_(": solo escribe el formato ENVI");
        return false;
    }
    return loaded().module->write_raster(r, warnings, why);
}

std::unique_ptr<OgrSource> OgrSource::open(const std::string& path, const OgrOptions& o, std::string& why) {
    if (!ogr_available()) {
        why = ogr_unavailable_why() + T_(": solo lee dibujos DXF con POLYLINE y VERTEX, no ") + path;
        return nullptr;
    }
    return loaded().module->open(path, o, why);
}

std::unique_ptr<OgrSource> OgrSource::open(Console& con, const std::string& path, const OgrOptions& o) {
    std::string why;
    auto source = open(path, o, why);
    if (!source) stop_line(con, why);
    return source;
}

}  // namespace zorvel
