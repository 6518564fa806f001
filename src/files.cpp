#include "files.h"

#include <cerrno>
#include <cstring>

namespace zorvel {

bool close_output(Console& con, FileHandle& f, const std::string& path) {
    const bool written = std::fflush(f.get()) == 0 && !std::ferror(f.get());
    const int saved = errno;
    const bool closed = std::fclose(f.release()) == 0;
    if (written && closed) return true;
    stop_line(con, "no se puede escribir " + path + ": " + std::strerror(written ? errno : saved));
    return false;
}

}  // namespace zorvel
