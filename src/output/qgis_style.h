// The QGIS style of a class image: a file beside the image, named as it is
// with .qml in place of its extension, that QGIS applies when it opens the
// image. A paletted renderer lists only the classes the image's cells take,
// in the image's own colours, labelled with their elevations in metres; the
// cells without a contour (the nodata value) stay transparent. The labels
// are the same under every locale, as the other files are.
#ifndef ZORVEL_QGIS_STYLE_H
#define ZORVEL_QGIS_STYLE_H

#include <array>
#include <string>
#include <vector>

#include "classes/classes.h"

namespace zorvel {

// The style's path for the image at `image`: "dem.tif" -> "dem.qml",
// "mapa_zorvl.raw" -> "mapa_zorvl.qml", "mapa" -> "mapa.qml".
std::string qgis_style_path(const std::string& image);

// The style's text: an entry for every class k that `taken[k]` marks, in
// the class colours of the image (red, green, blue, alpha by value),
// labelled "v m" for the contours of elevation v, or "v - v+interval m" for
// the bands of a filled surface.
std::string qgis_style(const ClassTable& ct, const std::vector<bool>& taken,
                       const std::vector<std::array<int, 4>>& colours, bool bands);

}  // namespace zorvel

#endif
