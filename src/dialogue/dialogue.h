// The program's own dialogue, every question and every line it shows: the
// banner, the folder, drawing and image names, the four files and the pixel
// size; the skip count, the rotation and the classes as the run comes to
// them; and what the passes report as they go.
#ifndef ZORVEL_DIALOGUE_H
#define ZORVEL_DIALOGUE_H

#include <cstdio>
#include <optional>
#include <string>

#include "run/settings.h"
#include "base/console.h"
#include "base/files.h"
#include "base/report.h"

namespace zorvel {

// The data root: $ZORVEL_RASTER_ROOT as given, or the fixed root of the platform.
std::string data_root();
// Path separator after the folder answer.
const char* path_separator();

// Banner, folder, drawing and image names, and the four opens; nullopt when the run stops.
std::optional<RunFiles> opening(Console& con, const std::string& root);
// The pixel-size question; nullopt when the run stops.
std::optional<double> ask_pixel_size(Console& con);

// Asks the angle, then the sense until it is 0 or 1; nullopt at end of input.
std::optional<RotationChoice> rotation_dialogue(Console& con);
// The interval dialogue and the table limits; nullopt when the run stops
// (end of input, or too many intervals).
std::optional<ClassChoice> class_dialogue(Console& con, int suggested);

// The settings of the dialogue: each asked on the console when it is needed.
class DialogueSettings final : public RunSettings {
public:
    explicit DialogueSettings(Console& con) : con_(con) {}
    std::optional<int> skip_count(std::FILE* drawing, const std::string& path) override;
    std::optional<RotationChoice> rotation() override { return rotation_dialogue(con_); }
    std::optional<ClassChoice> classes(const ClassHints& hints) override {
        return class_dialogue(con_, hints.suggested);
    }

private:
    Console& con_;
};

// What the passes report, shown on the dialogue's console: the grid
// approximations, a progress line for each polyline and every 200 classified
// rows, the report of pass one, an empty image.
class DialogueReport final : public Report {
public:
    explicit DialogueReport(std::FILE* out) : out_(out) {}
    void first_approximation(int nb_lig, int nb_col) override;
    void second_approximation(double pix_size, int nb_lig, int nb_col) override;
    void polyline(int segm) override;
    void pass_one(int segm, double min_dyn, double max_dyn, const Extents& ext) override;
    void classifying() override;
    void classified_rows(int row) override;
    void empty_image() override;

private:
    std::FILE* out_;
};

}  // namespace zorvel

#endif
