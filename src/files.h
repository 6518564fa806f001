// The files of a run: the drawing read, the three outputs written.
#ifndef ZORVEL_FILES_H
#define ZORVEL_FILES_H

#include <cstdio>
#include <memory>
#include <string>

#include "console.h"

namespace zorvel {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// The four files and their paths, opened by the dialogue.
struct RunFiles {
    FileHandle f1;   // input drawing, read
    FileHandle f2;   // raw image, written in binary
    FileHandle f2d;  // descriptor text
    FileHandle f3d;  // correspondence table text
    std::string nomim1;     // drawing path
    std::string nomim2;     // raw image path
    std::string nomdescr2;  // descriptor path
    std::string nomdescr3;  // correspondence table path
};

// Flushes and closes an output; false, after a stop line naming path, when
// a write or the close failed.
bool close_output(Console& con, FileHandle& f, const std::string& path);

}  // namespace zorvel

#endif
