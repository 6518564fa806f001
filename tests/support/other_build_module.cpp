// A GDAL module of another build of the same version, whose interface is
// not the program's: the entry the program looks for, the version alone as
// its tag, and nothing behind it. Called, it would crash the program.
#include "reading/ogr_source.h"

extern "C" const zorvel::OgrModule* zorvel_ogr_module() {
    static const zorvel::OgrModule module{ZORVEL_VERSION, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    return &module;
}
