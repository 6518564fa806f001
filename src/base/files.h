// The files of a run: the drawing read, the three outputs written.
#ifndef ZORVEL_FILES_H
#define ZORVEL_FILES_H

#include <cstdio>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/console.h"

namespace zorvel {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// The outputs of a run are written under temporary names beside their own
// and take their names only when the run completes: a run that stops
// leaves the files of an earlier run as they were, and no file of its own.
// The set is replaced whole: one run at a time holds the lock of its base
// name, from before it looks at what exists to its last rename; the renames
// are not interrupted by a signal, and a rename that fails puts back the
// files renamed before it.
class PendingOutputs {
public:
    PendingOutputs() = default;
    PendingOutputs(PendingOutputs&& o) noexcept;
    PendingOutputs& operator=(PendingOutputs&& o) noexcept;
    ~PendingOutputs();  // removes the files not committed, and the lock

    // Takes the lock of the outputs of base (base_zorvl.lock, beside them,
    // removed when the run ends), waiting for another run that holds it;
    // false, after a stop line naming `first` (the first output, which
    // could not be created either), when the lock cannot be made.
    bool lock(Console& con, const std::string& base, const std::string& first);
    // Opens a new temporary file beside `path` with `mode`; false, after a
    // stop line naming path (the message of an output that cannot be
    // created), when it cannot.
    bool create(Console& con, const std::string& path, const char* mode, FileHandle& f);
    // Makes a new folder of its own beside `path` (path_zorvl_XXXXXX, its
    // dots as underscores, on the same file system) for a writer that names its files itself; false,
    // after a stop line naming path, when it cannot. Whatever is in it
    // when the run stops or is interrupted goes with it.
    bool create_folder(Console& con, const std::string& path, std::string& folder);
    // Every file the writer left in the folder, to take the name it has
    // there beside the folder, with the others; the paths they will take.
    std::vector<std::string> adopt_folder(const std::string& folder);
    // An earlier file that the new outputs do not replace but make wrong
    // (a sidecar describing other files): removed with the others' renames.
    void retire(const std::string& path);
    // Gives every file its name; false, after a stop line, when one cannot
    // take it: the files renamed before it get their earlier contents back.
    bool commit(Console& con);

private:
    struct Pending {
        std::string temp;
        std::string path;
    };
    void remove_all();
    void remove_folders();
    void unlock();
    std::vector<Pending> files_;
    std::vector<std::string> folders_;
    std::string lock_path_;
    int lock_fd_ = -1;
};

// The four files and their paths, opened by the dialogue.
struct RunFiles {
    PendingOutputs pending;  // first: destroyed last, once the outputs are closed
    FileHandle f1;   // input drawing, read
    FileHandle f2;   // raw image, written in binary
    FileHandle f2d;  // descriptor text
    FileHandle f3d;  // correspondence table text
    std::string nomim1;     // drawing path
    std::string nomim2;     // raw image path
    std::string nomdescr2;  // descriptor path
    std::string nomdescr3;  // correspondence table path
};

// The size in bytes of the file f reads, when it is a regular file; nullopt
// for anything else (a pipe, a terminal) or no file.
std::optional<std::size_t> regular_file_size(std::FILE* f);

// Whether a and b read the very same file (device and inode).
bool same_file(std::FILE* a, std::FILE* b);

// Removes whatever the folder holds, folders in it included; the folder stays.
void empty_folder(const std::string& folder);

// Flushes and closes an output; false, after a stop line naming path, when
// a write or the close failed.
bool close_output(Console& con, FileHandle& f, const std::string& path);

}  // namespace zorvel

#endif
