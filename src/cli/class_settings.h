// The command line's settings of a run: all known before it, the skip count
// found in the drawing and the table limits from the grid when not given.
#ifndef ZORVEL_CLASS_SETTINGS_H
#define ZORVEL_CLASS_SETTINGS_H

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "base/console.h"
#include "base/messages.h"
#include "base/progress.h"
#include "cli/options.h"
#include "run/settings.h"

namespace zorvel {

// What the extents' stops add: how to give others.
inline constexpr const char* kExtentsHint = N_(": indique -te XMIN YMIN XMAX YMAX");

// The settings of a command-line run (with `plan`, those of a plan's whole
// drawing; with `through_gdal`, a run whose image GDAL writes).
class CommandLineSettings final : public RunSettings {
public:
    CommandLineSettings(Console& con, const CommandLine& cl, Progress* progress, bool plan = false,
                        bool through_gdal = false)
        : con_(con), cl_(cl), progress_(progress), plan_(plan), through_gdal_(through_gdal) {}

    std::optional<int> skip_count(std::FILE* drawing, const std::string& path) override;
    std::optional<RotationChoice> rotation() override { return RotationChoice{cl_.rot, cl_.sense}; }
    std::optional<ClassChoice> classes(const ClassHints& hints) override;
    // -te fixes the extents; the header's placeholder extents are refused;
    // the grid is laid over them as asked, or as the dialogue lays it
    ExtentsPolicy extents_policy() const override {
        ExtentsPolicy policy;
        policy.fixed_extents = cl_.te ? &*cl_.te : nullptr;
        policy.refuse_placeholder_extents = true;
        policy.extents_hint = kExtentsHint;
        if (cl_.te) policy.extents_name = T_("las extensiones de -te");
        if (!cl_.dialogue_grid) {
            const GridAsk ask{cl_.tr, cl_.ts, cl_.te.has_value(), cl_.tap, cl_.rot};
            policy.layout = [ask](const Extents& e, std::string& why) { return user_grid(e, ask, why); };
        }
        return policy;
    }
    bool derived_pixel_size() const override { return cl_.dialogue_grid; }
    bool keep_elevations() const override { return cl_.ot != CellType::Byte; }
    bool fill() const override { return cl_.fill; }
    std::optional<GridWindow> window() const override { return cl_.srcwin; }
    // a window's table of the fill sets its margin, at least
    int window_margin() const override {
        return !cl_.fill ? 1 : tables_.given != nullptr ? std::max(table_margin_, cl_.fill_margin_given ? cl_.fill_margin : 0)
                                                        : cl_.fill_margin;
    }
    bool window_margin_grows() const override { return cl_.fill && !cl_.fill_margin_given && tables_.given == nullptr; }
    FillTables fill_tables() const override { return tables_; }
    // The tables the whole grid's fill makes, or the window's own with the margin it needs.
    void set_tables(FillTables tables, int margin = 1) {
        tables_ = std::move(tables);
        table_margin_ = margin;
    }
    bool limits_from_vertices() const override { return plan_; }
    bool refuse_non_finite() const override { return true; }
    // the elevations kept (8 bytes), the fill's nearest levels (16 at most)
    // and its bands (1), the image GDAL is handed in memory (its type's size)
    int more_per_cell() const override {
        const bool values = cl_.ot != CellType::Byte;
        const int image = !through_gdal_ ? 0 : cl_.ot == CellType::Byte ? 1 : cl_.ot == CellType::Float32 ? 4 : 8;
        return (values || cl_.fill ? 8 : 0) + (cl_.fill ? 16 + 1 : 0) + image;
    }
    Progress* progress() override { return progress_; }
    // Which interval the classes took, and why.
    const std::string& interval_why() const { return interval_why_; }

private:
    // The interval of the contours, or the smallest multiple of it whose
    // classes fit a byte (said on standard error); 0 after a stop line.
    int data_interval(const ClassHints& hints);
    // The interval: given, the dialogue's, or the contours' (from_contours);
    // 0 after a stop line.
    struct Interval {
        int value;
        bool from_contours;
    };
    Interval interval(const ClassHints& hints);

    Console& con_;
    const CommandLine& cl_;
    Progress* progress_;
    bool plan_;
    bool through_gdal_;
    FillTables tables_;
    int table_margin_ = 1;
    std::string interval_why_;
};

}  // namespace zorvel

#endif
