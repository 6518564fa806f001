#include "base/messages.h"

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

}  // namespace zorvel
