// The dialogue that opens a run: the banner, the folder, drawing and image
// names, the four files, and the pixel size.
#ifndef ZORVEL_DIALOGUE_H
#define ZORVEL_DIALOGUE_H

#include <optional>
#include <string>

#include "console.h"
#include "files.h"

namespace zorvel {

// The data root: $ZORVEL_RASTER_ROOT as given, or the fixed root of the platform.
std::string data_root();
// Path separator after the folder answer.
const char* path_separator();

// Banner, folder, drawing and image names, and the four opens; nullopt when the run stops.
std::optional<RunFiles> opening(Console& con, const std::string& root);
// The pixel-size question; nullopt when the run stops.
std::optional<double> ask_pixel_size(Console& con);

}  // namespace zorvel

#endif
