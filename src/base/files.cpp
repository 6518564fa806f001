#include "base/files.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/interrupts.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zorvel {

std::optional<std::size_t> regular_file_size(std::FILE* f) {
#ifndef _WIN32
    struct stat st {};
    if (f != nullptr && fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 0)
        return static_cast<std::size_t>(st.st_size);
#else
    (void)f;
#endif
    return std::nullopt;
}

bool same_file(std::FILE* a, std::FILE* b) {
#ifndef _WIN32
    struct stat sa {}, sb {};
    return a != nullptr && b != nullptr && fstat(fileno(a), &sa) == 0 && fstat(fileno(b), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
#else
    (void)a;
    (void)b;
    return false;
#endif
}

bool close_output(Console& con, FileHandle& f, const std::string& path) {
    const bool written = std::fflush(f.get()) == 0 && !std::ferror(f.get());
    const int saved = errno;
    const bool closed = std::fclose(f.release()) == 0;
    if (written && closed) return true;
    stop_line(con, "no se puede escribir " + path + ": " + std::strerror(written ? errno : saved));
    return false;
}

PendingOutputs& PendingOutputs::operator=(PendingOutputs&& o) noexcept {
    if (this != &o) {
        remove_all();
        files_ = std::move(o.files_);
        o.files_.clear();
    }
    return *this;
}

PendingOutputs::~PendingOutputs() { remove_all(); }

void PendingOutputs::remove_all() {
    for (const Pending& p : files_) {
        std::remove(p.temp.c_str());
        keep_on_interrupt(p.temp);
    }
    files_.clear();
}

bool PendingOutputs::create(Console& con, const std::string& path, const char* mode, FileHandle& f) {
    const auto refuse = [&](int err) {
        stop_line(con, "no se puede crear " + path + ": " + std::strerror(err));
        return false;
    };
#ifndef _WIN32
    // what opening the file itself would have refused, refused now
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return refuse(EISDIR);
    std::string temp = path + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) return refuse(errno);
    remove_on_interrupt(temp);
    files_.push_back(Pending{temp, path});
    // the permissions a newly created output gets, not mkstemp's own
    const mode_t mask = umask(0);
    umask(mask);
    (void)fchmod(fd, 0666 & ~mask);
    f.reset(fdopen(fd, mode));
    if (!f) {
        const int err = errno;
        close(fd);
        return refuse(err);
    }
    return true;
#else
    std::string temp = path + ".tmp";
    f.reset(std::fopen(temp.c_str(), mode));
    if (!f) return refuse(errno);
    remove_on_interrupt(temp);
    files_.push_back(Pending{temp, path});
    return true;
#endif
}

bool PendingOutputs::commit(Console& con) {
    for (const Pending& p : files_) {
#ifdef _WIN32
        std::remove(p.path.c_str());  // rename does not replace there
#endif
        if (std::rename(p.temp.c_str(), p.path.c_str()) != 0) {
            stop_line(con, "no se puede escribir " + p.path + ": " + std::strerror(errno));
            return false;
        }
        keep_on_interrupt(p.temp);
    }
    files_.clear();
    return true;
}

}  // namespace zorvel
