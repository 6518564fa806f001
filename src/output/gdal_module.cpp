// The GDAL module's one exported function: the program finds everything
// the module does through it.
#include "output/gdal_raster.h"
#include "reading/ogr_module.h"

extern "C" const zorvel::OgrModule* zorvel_ogr_module() {
    static const zorvel::OgrModule module{ZORVEL_MODULE_TAG,
                                          zorvel::wkt_of,
                                          zorvel::open_source,
                                          zorvel::raster_driver_of,
                                          zorvel::raster_driver_writes_here,
                                          zorvel::raster_refusal,
                                          zorvel::write_gdal_raster};
    return &module;
}
