#include "base/files.h"
#include "base/messages.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "base/interrupts.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
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
    stop_line(con, T_("no se puede escribir ") + path + ": " + std::strerror(written ? errno : saved));
    return false;
}

void empty_folder(const std::string& folder) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        std::filesystem::remove_all(entry.path(), ec);
}

PendingOutputs::PendingOutputs(PendingOutputs&& o) noexcept
    : files_(std::move(o.files_)),
      folders_(std::move(o.folders_)),
      lock_path_(std::move(o.lock_path_)),
      lock_fd_(o.lock_fd_) {
    o.files_.clear();
    o.folders_.clear();
    o.lock_path_.clear();
    o.lock_fd_ = -1;
}

PendingOutputs& PendingOutputs::operator=(PendingOutputs&& o) noexcept {
    if (this != &o) {
        remove_all();
        unlock();
        files_ = std::move(o.files_);
        folders_ = std::move(o.folders_);
        lock_path_ = std::move(o.lock_path_);
        lock_fd_ = o.lock_fd_;
        o.files_.clear();
        o.folders_.clear();
        o.lock_path_.clear();
        o.lock_fd_ = -1;
    }
    return *this;
}

PendingOutputs::~PendingOutputs() {
    remove_all();
    unlock();
}

void PendingOutputs::remove_all() {
    for (const Pending& p : files_) {
        if (p.temp.empty()) continue;
        std::remove(p.temp.c_str());
        keep_on_interrupt(p.temp);
    }
    files_.clear();
    remove_folders();
}

void PendingOutputs::remove_folders() {
    for (const std::string& folder : folders_) {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
        keep_on_interrupt(folder);
    }
    folders_.clear();
}

void PendingOutputs::unlock() {
#ifndef _WIN32
    if (lock_fd_ < 0) return;
    // removed while still held: whoever waits on it then finds it gone, and takes a new one
    unlink(lock_path_.c_str());
    keep_on_interrupt(lock_path_);
    close(lock_fd_);
    lock_fd_ = -1;
#endif
}

bool PendingOutputs::lock(Console& con, const std::string& base, const std::string& first) {
#ifndef _WIN32
    const std::string path = base + "_zorvl.lock";
    bool told = false;
    for (;;) {
        const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) {
            stop_line(con, T_("no se puede crear ") + first + ": " + std::strerror(errno));
            return false;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (!told) warn_line(con, T_("otra ejecucion escribe ") + base + T_(": espero a que termine"));
            told = true;
            while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
        // a lock file that its holder removed in the meantime locks nothing
        struct stat held {}, named {};
        if (fstat(fd, &held) == 0 && stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino) {
            lock_fd_ = fd;
            lock_path_ = path;
            remove_on_interrupt(path);
            return true;
        }
        close(fd);
    }
#else
    (void)con;
    (void)base;
    (void)first;
    return true;
#endif
}

bool PendingOutputs::create(Console& con, const std::string& path, const char* mode, FileHandle& f) {
    const auto refuse = [&](int err) {
        stop_line(con, T_("no se puede crear ") + path + ": " + std::strerror(err));
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

bool PendingOutputs::create_folder(Console& con, const std::string& path, std::string& folder) {
#ifndef _WIN32
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        stop_line(con, T_("no se puede crear ") + path + ": " + std::strerror(EISDIR));
        return false;
    }
    // no dot in the folder's name: writers that name their sidecars by
    // changing the extension would change the folder's
    const std::filesystem::path where(path);
    std::string name = where.filename().string();
    std::replace(name.begin(), name.end(), '.', '_');
    std::string made = (where.parent_path() / (name + "_zorvl_XXXXXX")).string();
    if (mkdtemp(made.data()) == nullptr) {
        stop_line(con, T_("no se puede crear ") + path + ": " + std::strerror(errno));
        return false;
    }
    // the files in it get the permissions a new output gets, not mkdtemp's own
    const mode_t mask = umask(0);
    umask(mask);
    (void)chmod(made.c_str(), 0777 & ~mask);
    remove_on_interrupt(made);
    folders_.push_back(made);
    folder = made;
    return true;
#else
    folder = path + ".tmp";
    std::error_code ec;
    if (!std::filesystem::create_directory(folder, ec)) {
        stop_line(con, T_("no se puede crear ") + path + ": " + ec.message());
        return false;
    }
    folders_.push_back(folder);
    return true;
#endif
}

std::vector<std::string> PendingOutputs::adopt_folder(const std::string& folder) {
    const std::filesystem::path beside = std::filesystem::path(folder).parent_path();
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    std::vector<std::string> paths;
    for (const std::string& n : names) {
        paths.push_back((beside / n).string());
        files_.push_back(Pending{(std::filesystem::path(folder) / n).string(), paths.back()});
    }
    return paths;
}

void PendingOutputs::retire(const std::string& path) { files_.push_back(Pending{"", path}); }

bool PendingOutputs::commit(Console& con) {
    test_point("commit");
    // no signal between two renames: the set is the old one or the new one
    const SignalsHeld held;
    // the earlier files, kept under a second name until every new one has its own
    std::vector<std::string> earlier(files_.size());
#ifndef _WIN32
    for (std::size_t k = 0; k < files_.size(); ++k) {
        const std::string keep = (files_[k].temp.empty() ? files_[k].path : files_[k].temp) + ".old";
        if (link(files_[k].path.c_str(), keep.c_str()) == 0) earlier[k] = keep;
    }
#endif
    for (std::size_t k = 0; k < files_.size(); ++k) {
        const Pending& p = files_[k];
#ifdef _WIN32
        std::remove(p.path.c_str());  // rename does not replace there
#endif
        const bool done = p.temp.empty() ? std::remove(p.path.c_str()) == 0 : std::rename(p.temp.c_str(), p.path.c_str()) == 0;
        if (!done) {
            const int err = errno;
            // the files renamed so far go back to what they were
            std::string lost;
            for (std::size_t b = 0; b < k; ++b) {
                const bool back = earlier[b].empty() ? std::remove(files_[b].path.c_str()) == 0
                                                     : std::rename(earlier[b].c_str(), files_[b].path.c_str()) == 0;
                if (!back) lost += " " + files_[b].path;
            }
            for (std::size_t b = k; b < files_.size(); ++b)
                if (!earlier[b].empty()) std::remove(earlier[b].c_str());
            files_.erase(files_.begin(), files_.begin() + static_cast<std::ptrdiff_t>(k));
            stop_line(con, T_("no se puede escribir ") + p.path + ": " + std::strerror(err) +
                               (lost.empty() ? T_(": las salidas anteriores quedan como estaban")
                                             : T_(": no se pudieron devolver a su estado anterior:") + lost));
            return false;
        }
        keep_on_interrupt(p.temp);
        if (k == 0) test_point("renamed");
    }
    for (const std::string& e : earlier)
        if (!e.empty()) std::remove(e.c_str());
    files_.clear();
    remove_folders();
    return true;
}

}  // namespace zorvel
