// The GDAL module: vector sources read through OGR, built as a library of
// its own (zorvel_raster_ogr) that the program loads when it needs it.
#include "reading/ogr_module.h"
#include "base/messages.h"
#include "reading/gdal_support.h"

#include <cpl_error.h>
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <array>
#include <algorithm>
#include <cmath>

#include <functional>
#include <limits>
#include <optional>
#include <vector>

namespace zorvel {

namespace {

// The names a list holds, for a line that says what exists.
std::string listed(const std::vector<std::string>& names) {
    if (names.empty()) return "ninguno";
    std::string s;
    for (const std::string& n : names) s += (s.empty() ? "" : ", ") + n;
    return s;
}

// The lines of a read, feature by feature, held to be told later.
class HeldLines final : public ContourSink {
public:
    // The lines from here on are the feature fid's.
    void feature(GIntBig fid) { features_.push_back({fid, starts_.size()}); }
    void polyline() override { starts_.push_back(points_.size()); }
    bool vertex(double x, double y, double z) override {
        points_.push_back({x, y, z});
        return true;
    }
    // Tells the sink every line held, the features in the order of their
    // ids; false when the sink stopped it.
    bool tell_by_id(ContourSink& sink) {
        std::vector<std::size_t> order(features_.size());
        for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return features_[a].fid < features_[b].fid; });
        for (const std::size_t f : order) {
            const std::size_t last = f + 1 < features_.size() ? features_[f + 1].first_line : starts_.size();
            for (std::size_t k = features_[f].first_line; k < last; ++k) {
                sink.polyline();
                const std::size_t end = k + 1 < starts_.size() ? starts_[k + 1] : points_.size();
                for (std::size_t v = starts_[k]; v < end; ++v)
                    if (!sink.vertex(points_[v][0], points_[v][1], points_[v][2])) return false;
            }
        }
        return true;
    }

private:
    struct Feature {
        GIntBig fid;
        std::size_t first_line;
    };
    std::vector<Feature> features_;
    std::vector<std::size_t> starts_;
    std::vector<std::array<double, 3>> points_;
};

class OgrLayerSource final : public OgrSource {
public:
    OgrLayerSource(std::unique_ptr<GDALDataset, DatasetCloser> ds, OGRLayer* layer, int field, std::string name,
                   std::string field_name)
        : ds_(std::move(ds)), layer_(layer), field_(field), name_(std::move(name)), field_name_(std::move(field_name)) {}

    const Extents& extents() const override { return ext_; }
    const std::string& wkt() const override { return wkt_; }
    bool read(ContourSink& sink, std::string& why) override;
    void read_only_within(const Extents& box) override { box_ = box; }
    std::string doubt() const override {
        if (zero_z_ == 0) return "";
        return std::to_string(zero_z_) + T_(" vertices de ") + name_ +
               T_(" tienen Z 0 en lineas cuyos otros vertices tienen otra: puede que no tengan Z, y se dibujan a 0");
    }

    Extents ext_;
    std::string wkt_;

private:
    // The line strings of g in order, multi-parts and polygon rings too,
    // gathered with their points.
    void gather(const OGRGeometry* g);
    // Tells the sink the lines gathered, at their Z or at the elevation;
    // false when the sink stopped.
    bool tell(ContourSink& sink, double elevation);
    // The feature's elevation, from its attribute or its Z; nullopt, with
    // why, when it has none: a missing elevation is no elevation 0.
    std::optional<double> elevation_of(const OGRFeature& f, const OGRGeometry* g, std::string& why) const;
    // Every feature the layer gives, told to the sink, or held with its id.
    bool read_features(ContourSink& sink, std::string& why, HeldLines* held);
    // Whether the layer, read whole, gives its features in the order of
    // their ids: the drivers whose ids are the features' places in the file.
    bool read_by_id() const;

    std::unique_ptr<GDALDataset, DatasetCloser> ds_;
    OGRLayer* layer_;
    int field_;  // the elevation's attribute, or -1 for Z
    std::string name_;        // "la capa ... de ...", for the stop lines
    std::string field_name_;  // -a
    long long zero_z_ = 0;    // vertices at Z 0 in lines whose other vertices are not
    std::optional<Extents> box_;  // read_only_within
    // the lines of the feature being read: where each starts, the points
    std::vector<std::size_t> starts_;
    std::vector<OGRRawPoint> xy_;
    std::vector<double> z_;
    bool flat_ = false;  // one of them has no Z
};


// An elevation from Z: NaN in the vertices themselves, a marker that
// tell() replaces by each vertex's Z.
constexpr double kFromZ = std::numeric_limits<double>::quiet_NaN();

std::optional<double> OgrLayerSource::elevation_of(const OGRFeature& f, const OGRGeometry* g,
                                                   std::string& why) const {
    const std::string feature = T_("la entidad ") + std::to_string(f.GetFID()) + T_(" de ") + name_;
    if (field_ >= 0) {
        if (f.IsFieldSetAndNotNull(field_)) {
            const double v = f.GetFieldAsDouble(field_);
            if (std::isfinite(v)) return v;
            why = not_finite(feature, v);
            return std::nullopt;
        }
        why = feature + T_(" no tiene elevacion en el campo '") + field_name_ + T_("': dejela fuera con -where");
        return std::nullopt;
    }
    if (g == nullptr || g->IsEmpty() || g->Is3D()) return kFromZ;
    why = feature + T_(" no tiene Z: dejela fuera con -where, o tome la elevacion de un campo con -a");
    return std::nullopt;
}

void OgrLayerSource::gather(const OGRGeometry* g) {
    if (g == nullptr || g->IsEmpty()) return;
    const OGRwkbGeometryType type = wkbFlatten(g->getGeometryType());
    if (type == wkbPolygon || type == wkbCurvePolygon) {
        for (const OGRCurve* ring : *g->toCurvePolygon()) gather(ring);
        return;
    }
    if (OGR_GT_IsSubClassOf(type, wkbGeometryCollection)) {
        for (const OGRGeometry* part : *g->toGeometryCollection()) gather(part);
        return;
    }
    if (!OGR_GT_IsCurve(type)) return;  // points and the like are no contour
    std::unique_ptr<OGRLineString> curved;
    const OGRSimpleCurve* line = nullptr;
    if (type == wkbLineString || type == wkbLinearRing) {
        line = g->toSimpleCurve();
    } else {
        curved.reset(g->toCurve()->CurveToLine());
        line = curved.get();
    }
    const int n = line->getNumPoints();
    if (n == 0) return;
    // a part without Z in a geometry with it reads as 0: no elevation at all
    flat_ = flat_ || !line->Is3D();
    // the points in one copy, not a call into GDAL for every Z
    const std::size_t at = xy_.size();
    starts_.push_back(at);
    xy_.resize(at + static_cast<std::size_t>(n));
    z_.resize(at + static_cast<std::size_t>(n));
    line->getPoints(xy_.data() + at, z_.data() + at);
}

bool OgrLayerSource::tell(ContourSink& sink, double elevation) {
    const bool from_z = field_ < 0;
    for (std::size_t k = 0; k < starts_.size(); ++k) {
        const std::size_t first = starts_[k], end = k + 1 < starts_.size() ? starts_[k + 1] : xy_.size();
        if (from_z) {
            std::size_t zeros = 0;
            for (std::size_t v = first; v < end; ++v) zeros += z_[v] == 0.0;
            if (zeros > 0 && zeros < end - first) zero_z_ += static_cast<long long>(zeros);
        }
        sink.polyline();
        for (std::size_t v = first; v < end; ++v)
            if (!sink.vertex(xy_[v].x, xy_[v].y, from_z ? z_[v] : elevation)) return false;
    }
    return true;
}

bool OgrLayerSource::read_features(ContourSink& sink, std::string& why, HeldLines* held) {
    GdalErrors errors;
    zero_z_ = 0;
    layer_->ResetReading();
    const auto gdal_failed = [&] {
        why = T_("GDAL no puede leer ") + name_ + ": " + errors.first();
        return false;
    };
    for (auto& feature : *layer_) {
        if (errors.failed()) return gdal_failed();
        if (held != nullptr) held->feature(feature->GetFID());
        const OGRGeometry* g = feature->GetGeometryRef();
        const auto elevation = elevation_of(*feature, g, why);
        if (!elevation) return false;
        // the feature's lines checked whole before any is told
        starts_.clear();
        xy_.clear();
        z_.clear();
        flat_ = false;
        gather(g);
        if (field_ < 0) {
            const std::string name = T_("la entidad ") + std::to_string(feature->GetFID()) + T_(" de ") + name_;
            if (flat_) {
                why = name + T_(" no tiene Z: dejela fuera con -where, o tome la elevacion de un campo con -a");
                return false;
            }
            for (const double z : z_)
                if (!std::isfinite(z)) {
                    why = not_finite(name, z);
                    return false;
                }
        }
        if (!tell(held != nullptr ? *held : sink, *elevation)) return false;
    }
    // a read that fails ends the loop as the end of the data would
    if (errors.failed()) return gdal_failed();
    return true;
}

bool OgrLayerSource::read_by_id() const {
    const std::string driver = ds_->GetDriver() != nullptr ? ds_->GetDriver()->GetDescription() : "";
    for (const char* d : {"GPKG", "ESRI Shapefile", "FlatGeobuf", "OpenFileGDB", "SQLite"})
        if (driver == d) return true;
    return false;
}

bool OgrLayerSource::read(ContourSink& sink, std::string& why) {
    // the features near the box, held and told in the order of their ids:
    // a spatial index gives them in its own order, and overlapping contours
    // drawn in another order than the whole layer's would change cells
    if (box_ && read_by_id()) {
        layer_->SetSpatialFilterRect(box_->min_x, box_->min_y, box_->max_x, box_->max_y);
        HeldLines held;
        const bool read = read_features(sink, why, &held);
        layer_->SetSpatialFilter(nullptr);
        return read && held.tell_by_id(sink);
    }
    return read_features(sink, why, nullptr);
}

}  // namespace

std::string wkt_of(const std::string& user, std::string& why) {
    OGRSpatialReference srs;
    GdalErrors errors;
    if (srs.SetFromUserInput(user.c_str()) != OGRERR_NONE) {
        why = T_("GDAL no conoce el sistema de coordenadas '") + user + "'" +
              (errors.failed() ? ": " + errors.first() : std::string());
        return "";
    }
    char* wkt = nullptr;
    srs.exportToWkt(&wkt);
    std::string s = wkt != nullptr ? wkt : "";
    CPLFree(wkt);
    // the header holds the system between braces, with no way to escape one
    if (s.find_first_of("{}") != std::string::npos) {
        why = T_("el sistema de coordenadas '") + user + T_("' lleva llaves ({ o }), que la cabecera no puede guardar");
        return "";
    }
    return s;
}

namespace {

// The index of the elevation field o names in the layer called name (-1
// without one); nullopt, with why, where it is not there or not numeric.
std::optional<int> elevation_field(OGRLayer& layer, const OgrOptions& o, const std::string& name, std::string& why) {
    if (o.field.empty()) return -1;
    OGRFeatureDefn* defn = layer.GetLayerDefn();
    const int field = defn->GetFieldIndex(o.field.c_str());
    if (field < 0) {
        std::vector<std::string> names;
        for (int k = 0; k < defn->GetFieldCount(); ++k) names.push_back(defn->GetFieldDefn(k)->GetNameRef());
        why = T_("el campo '") + o.field + T_("' no esta en ") + name + T_(" (campos: ") + listed(names) + ")";
        return std::nullopt;
    }
    const OGRFieldType t = defn->GetFieldDefn(field)->GetType();
    if (t != OFTInteger && t != OFTInteger64 && t != OFTReal) {
        why = T_("el campo '") + o.field + T_("' de ") + name + T_(" no es numerico");
        return std::nullopt;
    }
    return field;
}

}  // namespace

std::unique_ptr<OgrSource> open_source(const std::string& path, const OgrOptions& o, std::string& why) {
    gdal_drivers();
    CPLErrorReset();
    // GDAL's own messages would come out in its own words: ours say it all
    CPLPushErrorHandler(CPLQuietErrorHandler);
    struct PopHandler {
        ~PopHandler() { CPLPopErrorHandler(); }
    } pop;
    const auto refuse = [&](const std::string& text) {
        why = text;
        return nullptr;
    };
    std::unique_ptr<GDALDataset, DatasetCloser> ds(
        GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
    if (!ds) return refuse(T_("GDAL no puede abrir ") + path + T_(" como fuente de vectores") + gdal_error());
    OGRLayer* layer = o.layer.empty() ? ds->GetLayer(0) : ds->GetLayerByName(o.layer.c_str());
    if (layer == nullptr) {
        std::vector<std::string> names;
        for (int k = 0; k < ds->GetLayerCount(); ++k) names.push_back(ds->GetLayer(k)->GetName());
        return refuse(o.layer.empty() ? path + T_(" no tiene ninguna capa")
                                      : T_("la capa '") + o.layer + T_("' no esta en ") + path + T_(" (capas: ") + listed(names) + ")");
    }
    const std::string name = T_("la capa ") + std::string(layer->GetName()) + T_(" de ") + path;
    if (!o.where.empty() && layer->SetAttributeFilter(o.where.c_str()) != OGRERR_NONE)
        return refuse(T_("-where no se entiende en ") + name + ": " + o.where + gdal_error());
    const auto field = elevation_field(*layer, o, name, why);
    if (!field) return nullptr;
    // the first feature tells whether the geometries have a Z to take
    layer->ResetReading();
    std::unique_ptr<OGRFeature> first(layer->GetNextFeature());
    while (first && (first->GetGeometryRef() == nullptr || first->GetGeometryRef()->IsEmpty()))
        first.reset(layer->GetNextFeature());
    if (!first && CPLGetLastErrorType() >= CE_Failure && !o.where.empty())
        return refuse(T_("-where no se entiende en ") + name + ": " + o.where + gdal_error());
    if (!first) return refuse(name + T_(" no tiene ninguna geometria") + (o.where.empty() ? "" : T_(" que cumpla -where")));
    if (*field < 0 && !first->GetGeometryRef()->Is3D())
        return refuse(std::string(o.z ? T_("-3d: ") : "") + T_("las geometrias de ") + name +
                      T_(" no tienen Z: indique -a CAMPO con la elevacion"));
    auto source = std::make_unique<OgrLayerSource>(std::move(ds), layer, *field, name, o.field);
    OGREnvelope env;
    if (layer->GetExtent(&env, TRUE) != OGRERR_NONE) return refuse(name + T_(" no da su extension: indique -te"));
    source->ext_.min_x = env.MinX;
    source->ext_.min_y = env.MinY;
    source->ext_.max_x = env.MaxX;
    source->ext_.max_y = env.MaxY;
    // a GeoPackage's "Undefined ... SRS" says no more than a source without one
    const OGRSpatialReference* srs = layer->GetSpatialRef();
    const char* srs_name = srs != nullptr ? srs->GetName() : nullptr;
    if (srs != nullptr && !(srs_name != nullptr && std::string(srs_name).rfind("Undefined", 0) == 0)) {
        char* wkt = nullptr;
        srs->exportToWkt(&wkt);
        source->wkt_ = wkt != nullptr ? wkt : "";
        CPLFree(wkt);
    }
    return source;
}

}  // namespace zorvel
