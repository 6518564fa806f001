// The GDAL module: vector sources read through OGR, built as a library of
// its own (zorvel_raster_ogr) that the program loads when it needs it.
#include "reading/ogr_source.h"

#include <cpl_error.h>
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <functional>

namespace zorvel {

namespace {

struct DatasetCloser {
    void operator()(GDALDataset* d) const { GDALClose(d); }
};

// GDAL's last error, for a stop line.
std::string gdal_error() {
    const char* e = CPLGetLastErrorMsg();
    return (e != nullptr && *e != '\0') ? std::string(": ") + e : std::string();
}

class OgrLayerSource final : public OgrSource {
public:
    OgrLayerSource(std::unique_ptr<GDALDataset, DatasetCloser> ds, OGRLayer* layer, int field)
        : ds_(std::move(ds)), layer_(layer), field_(field) {}

    const Extents& extents() const override { return ext_; }
    const std::string& wkt() const override { return wkt_; }
    bool read(ContourSink& sink) override;

    Extents ext_;
    std::string wkt_;

private:
    // The line strings of g in order: multi-parts and polygon rings too.
    bool lines(const OGRGeometry* g, const OGRFeature& f, ContourSink& sink);

    std::unique_ptr<GDALDataset, DatasetCloser> ds_;
    OGRLayer* layer_;
    int field_;  // the elevation's attribute, or -1 for Z
};

bool OgrLayerSource::lines(const OGRGeometry* g, const OGRFeature& f, ContourSink& sink) {
    if (g == nullptr || g->IsEmpty()) return true;
    const OGRwkbGeometryType type = wkbFlatten(g->getGeometryType());
    if (OGR_GT_IsSubClassOf(type, wkbGeometryCollection) || type == wkbPolygon || type == wkbCurvePolygon) {
        if (type == wkbPolygon || type == wkbCurvePolygon) {
            for (const OGRCurve* ring : *g->toCurvePolygon())
                if (!lines(ring, f, sink)) return false;
            return true;
        }
        for (const OGRGeometry* part : *g->toGeometryCollection())
            if (!lines(part, f, sink)) return false;
        return true;
    }
    if (!OGR_GT_IsCurve(type)) return true;  // points and the like are no contour
    std::unique_ptr<OGRLineString> curved;
    const OGRSimpleCurve* line = nullptr;
    if (type == wkbLineString || type == wkbLinearRing) {
        line = g->toSimpleCurve();
    } else {
        curved.reset(g->toCurve()->CurveToLine());
        line = curved.get();
    }
    const double attribute = field_ >= 0 ? f.GetFieldAsDouble(field_) : 0.0;
    sink.polyline();
    for (int k = 0; k < line->getNumPoints(); ++k)
        if (!sink.vertex(line->getX(k), line->getY(k), field_ >= 0 ? attribute : line->getZ(k))) return false;
    return true;
}

bool OgrLayerSource::read(ContourSink& sink) {
    layer_->ResetReading();
    for (auto& feature : *layer_)
        if (!lines(feature->GetGeometryRef(), *feature, sink)) return false;
    return true;
}

std::string wkt_of(const std::string& user, std::string& why) {
    OGRSpatialReference srs;
    CPLErrorReset();
    if (srs.SetFromUserInput(user.c_str()) != OGRERR_NONE) {
        why = "GDAL no conoce el sistema de coordenadas '" + user + "'" + gdal_error();
        return "";
    }
    char* wkt = nullptr;
    srs.exportToWkt(&wkt);
    std::string s = wkt != nullptr ? wkt : "";
    CPLFree(wkt);
    return s;
}

std::unique_ptr<OgrSource> open_source(const std::string& path, const OgrOptions& o, std::string& why) {
    GDALAllRegister();
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
    if (!ds) return refuse("GDAL no puede abrir " + path + " como fuente de vectores" + gdal_error());
    OGRLayer* layer = o.layer.empty() ? ds->GetLayer(0) : ds->GetLayerByName(o.layer.c_str());
    if (layer == nullptr)
        return refuse(o.layer.empty() ? path + " no tiene ninguna capa" : "la capa '" + o.layer + "' no esta en " + path);
    const std::string name = "la capa " + std::string(layer->GetName()) + " de " + path;
    if (!o.where.empty() && layer->SetAttributeFilter(o.where.c_str()) != OGRERR_NONE)
        return refuse("-where no se entiende en " + name + ": " + o.where + gdal_error());
    int field = -1;
    if (!o.field.empty()) {
        OGRFeatureDefn* defn = layer->GetLayerDefn();
        field = defn->GetFieldIndex(o.field.c_str());
        if (field < 0) return refuse("el campo '" + o.field + "' no esta en " + name);
        const OGRFieldType t = defn->GetFieldDefn(field)->GetType();
        if (t != OFTInteger && t != OFTInteger64 && t != OFTReal)
            return refuse("el campo '" + o.field + "' de " + name + " no es numerico");
    }
    // the first feature tells whether the geometries have a Z to take
    layer->ResetReading();
    std::unique_ptr<OGRFeature> first(layer->GetNextFeature());
    while (first && (first->GetGeometryRef() == nullptr || first->GetGeometryRef()->IsEmpty()))
        first.reset(layer->GetNextFeature());
    if (!first && CPLGetLastErrorType() >= CE_Failure && !o.where.empty())
        return refuse("-where no se entiende en " + name + ": " + o.where + gdal_error());
    if (!first) return refuse(name + " no tiene ninguna geometria" + (o.where.empty() ? "" : " que cumpla -where"));
    if (field < 0 && !o.z && !first->GetGeometryRef()->Is3D())
        return refuse("las geometrias de " + name + " no tienen Z: indique -a CAMPO con la elevacion");
    auto source = std::make_unique<OgrLayerSource>(std::move(ds), layer, field);
    OGREnvelope env;
    if (layer->GetExtent(&env, TRUE) != OGRERR_NONE) return refuse(name + " no da su extension: indique -te");
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

}  // namespace

}  // namespace zorvel

extern "C" const zorvel::OgrModule* zorvel_ogr_module() {
    static const zorvel::OgrModule module{ZORVEL_VERSION, zorvel::wkt_of, zorvel::open_source};
    return &module;
}
