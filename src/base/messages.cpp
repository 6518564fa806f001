#include "base/messages.h"

#include <charconv>
#include <clocale>
#include <filesystem>
#include <system_error>

#if ZORVEL_NLS
#include <libintl.h>
#endif

#ifndef ZORVEL_LOCALEDIR
#define ZORVEL_LOCALEDIR "/usr/local/share/locale"
#endif

namespace zorvel {

namespace {

constexpr const char* kDomain = "zorvel_raster";

}  // namespace

void use_message_catalogs() {
#if ZORVEL_NLS
    // the messages' category alone: LC_ALL would bring the decimal comma
    // into the reading and the writing of numbers
    std::setlocale(LC_MESSAGES, "");
    std::error_code ec;
    const std::filesystem::path beside = std::filesystem::read_symlink("/proc/self/exe", ec).parent_path() / "locale";
    const bool built = !ec && std::filesystem::is_directory(beside, ec);
    bindtextdomain(kDomain, built ? beside.c_str() : ZORVEL_LOCALEDIR);
#endif
}

const char* T_(const char* text) {
#if ZORVEL_NLS
    return dgettext(kDomain, text);
#else
    return text;
#endif
}

std::string message(const char* text, std::initializer_list<std::string> values) {
    std::string out;
    for (const char* p = text; *p != '\0'; ++p) {
        // {k}: the k-th value, k from 1
        if (*p == '{' && p[1] >= '1' && p[1] <= '9' && p[2] == '}') {
            const auto k = static_cast<std::size_t>(p[1] - '1');
            if (k < values.size()) {
                out += *(values.begin() + k);
                p += 2;
                continue;
            }
        }
        out += *p;
    }
    return out;
}

std::string number_text(double v) {
    char b[32];
    const auto r = std::to_chars(b, b + sizeof b, v);
    return std::string(b, r.ptr);
}

}  // namespace zorvel
