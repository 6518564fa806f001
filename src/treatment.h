// The heart of the run: the two passes over the drawing, the drawing of the
// contours and their classification.
#ifndef ZORVEL_TREATMENT_H
#define ZORVEL_TREATMENT_H

#include <functional>
#include <optional>

#include "classes.h"
#include "console.h"
#include "grid_geometry.h"
#include "passes.h"
#include "progress.h"
#include "run_state.h"

namespace zorvel {

// The whole elevations the drawn grid holds, its empty cells left out.
struct DrawnRange {
    bool any;  // no cell holds a whole elevation when false
    int lowest;
    int highest;
};
// Finds them, for whoever needs them: a sweep over every cell.
using DrawnRangeOf = std::function<DrawnRange()>;

// Where a run's settings come from: the dialogue asks them as the run goes
// (the program's own questions), the command line has them from the start.
class RunSettings {
public:
    virtual ~RunSettings() = default;
    // The skip count, before pass one; nullopt stops the run.
    virtual std::optional<int> skip_count(std::FILE* drawing) = 0;
    // The angle and the sense, between the passes.
    virtual std::optional<RotationChoice> rotation() = 0;
    // The interval and the table limits, once the grid is drawn.
    virtual std::optional<ClassChoice> classes(int suggested, const DrawnRangeOf& drawn) = 0;
    // Pass one: the word scanner's over the drawing, unless the source is
    // read otherwise.
    virtual std::optional<PassOne> first_pass(Console& con, DrawingScan& d, const PassOneOptions& o) {
        return pass_one(con, d, o);
    }
    // What the command line changes in the passes.
    virtual PassSetting pass_setting() const { return {}; }
    virtual Progress* progress() { return nullptr; }
};

// The settings of the dialogue: each asked on the console when it is needed.
class DialogueSettings final : public RunSettings {
public:
    explicit DialogueSettings(Console& con) : con_(con) {}
    std::optional<int> skip_count(std::FILE* drawing) override;
    std::optional<RotationChoice> rotation() override;
    std::optional<ClassChoice> classes(int suggested, const DrawnRangeOf& drawn) override;

private:
    Console& con_;
};

// Skip count, pass one, rotation, pass two, classes and cleanup; false,
// after its message, when the run stops. The dialogue's text goes to con.out.
bool treatment(Console& con, RunState& rs, RunSettings& settings);

}  // namespace zorvel

#endif
