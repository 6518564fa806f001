#include "base/stages.h"

#include <cstdio>
#include <cstdlib>

namespace zorvel {

StageClock::StageClock() : on_(std::getenv("ZORVEL_RASTER_STAGES") != nullptr) {
    if (on_) last_ = std::chrono::steady_clock::now();
}

void StageClock::mark(const char* name) {
    if (!on_) return;
    const auto now = std::chrono::steady_clock::now();
    stages_.emplace_back(name, std::chrono::duration<double>(now - last_).count());
    last_ = now;
}

std::string StageClock::told() const {
    if (!on_) return "";
    std::string s = "etapas:";
    for (const auto& [name, seconds] : stages_) {
        char b[64];
        std::snprintf(b, sizeof b, " %s %.3f s,", name, seconds);
        s += b;
    }
    if (s.back() == ',') s.pop_back();
    return s;
}

}  // namespace zorvel
