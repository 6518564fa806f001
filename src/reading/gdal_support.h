// What the GDAL module's rooms share: a dataset closed on every path, and
// GDAL's own messages caught while it works for us. Included only by the
// module's sources, which link GDAL.
#ifndef ZORVEL_GDAL_SUPPORT_H
#define ZORVEL_GDAL_SUPPORT_H

#include <cpl_error.h>
#include <gdal_priv.h>

#include <string>
#include <utility>
#include <vector>

#include "base/messages.h"

namespace zorvel {

// GDAL's drivers, registered the first time they are asked for:
// GDALAllRegister scans the plugin folders each time it is called.
inline GDALDriverManager& gdal_drivers() {
    static const bool registered = [] {
        GDALAllRegister();
        return true;
    }();
    (void)registered;
    return *GetGDALDriverManager();
}

struct DatasetCloser {
    void operator()(GDALDataset* d) const { GDALClose(d); }
};

// GDAL's message on one line: some drivers pass on a library's message of
// several (PostgreSQL's), and a stop is one line.
inline std::string one_line(const char* text) {
    std::string s;
    for (const char* p = text; *p != '\0'; ++p) {
        const bool blank = *p == '\n' || *p == '\r' || *p == '\t' || *p == ' ';
        if (!blank)
            s += *p;
        else if (!s.empty() && s.back() != ' ')
            s += ' ';
    }
    if (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

// GDAL's last error, for a stop line.
inline std::string gdal_error() {
    const char* e = CPLGetLastErrorMsg();
    const std::string text = e != nullptr ? one_line(e) : "";
    return text.empty() ? text : ": " + text;
}

// GDAL's own messages while it works for us: none printed (our stop line
// carries GDAL's reason once), the first failure kept, and the warnings
// with how often each came. A failure that GDAL only reports, going on as
// if the data had ended or the feature had no geometry, is a failure of the
// run all the same.
class GdalErrors {
public:
    GdalErrors() { CPLPushErrorHandlerEx(record, this); }
    ~GdalErrors() { CPLPopErrorHandler(); }
    GdalErrors(const GdalErrors&) = delete;
    GdalErrors& operator=(const GdalErrors&) = delete;
    bool failed() const { return !first_.empty(); }
    const std::string& first() const { return first_; }
    // Each warning once, in the order they came, with its count when it came more than once.
    std::vector<std::string> warnings() const {
        std::vector<std::string> lines;
        for (const auto& [text, count] : warnings_)
            lines.push_back(count == 1 ? text : message(T_("{1} ({2} veces)"), {text, std::to_string(count)}));
        return lines;
    }

private:
    static void CPL_STDCALL record(CPLErr kind, CPLErrorNum, const char* text) {
        auto* self = static_cast<GdalErrors*>(CPLGetErrorHandlerUserData());
        if (self == nullptr) return;
        const std::string line = text != nullptr ? one_line(text) : "";
        if (kind == CE_Warning && !line.empty()) {
            for (auto& [seen, count] : self->warnings_)
                if (seen == line) {
                    ++count;
                    return;
                }
            self->warnings_.emplace_back(line, 1);
        } else if (kind >= CE_Failure && self->first_.empty()) {
            // a failure is kept even when its text is blanks alone
            self->first_ = line.empty() ? T_("error de GDAL sin mensaje") : line;
        }
    }
    std::string first_;
    std::vector<std::pair<std::string, long long>> warnings_;
};

}  // namespace zorvel

#endif
