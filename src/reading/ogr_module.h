// The reading through OGR, inside the GDAL module: what the module's entry
// hands the program for its sources.
#ifndef ZORVEL_OGR_MODULE_H
#define ZORVEL_OGR_MODULE_H

#include <memory>
#include <string>

#include "reading/ogr_source.h"

namespace zorvel {

// The coordinate system a user names, as WKT; empty, with why, when GDAL does not know it.
std::string wkt_of(const std::string& user, std::string& why);
// The source's layer opened for reading; nullptr, with why, when it cannot be read as contours.
std::unique_ptr<OgrSource> open_source(const std::string& path, const OgrOptions& o, std::string& why);

}  // namespace zorvel

#endif
