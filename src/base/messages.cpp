#include "base/messages.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <system_error>
#include <vector>

#if defined(__linux__)
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#endif

namespace zorvel {

namespace {

constexpr const char* kDomain = "zorvel_raster";

// The language part of a locale name: "es" of "es_MX.UTF-8@euro".
std::string language_of(const std::string& name) {
    return name.substr(0, name.find_first_of("_.@"));
}

// The values of LANGUAGE, LC_ALL, LC_MESSAGES and LANG in the environment.
MessageEnvironment environment() {
    const auto get = [](const char* name) {
        const char* v = std::getenv(name);
        return std::string(v != nullptr ? v : "");
    };
    return {get("LANGUAGE"), get("LC_ALL"), get("LC_MESSAGES"), get("LANG")};
}

// A catalog compiled by msgfmt: its originals sorted, each string ended by
// a zero byte, looked up by halves.
class Catalog {
public:
    // The catalog in `bytes`; empty when it is not one.
    explicit Catalog(std::string bytes) : data_(std::move(bytes)) {
        if (data_.size() < 28) return;
        const std::uint32_t magic = word(0);
        swapped_ = magic == 0xde120495u;
        if (magic != 0x950412deu && !swapped_) return;
        const std::uint32_t n = word(8), originals = word(12), translations = word(16);
        if (n > data_.size() / 16 || !table_fits(originals, n) || !table_fits(translations, n)) return;
        for (std::uint32_t k = 0; k < n; ++k)
            if (!string_fits(originals + 8 * k) || !string_fits(translations + 8 * k)) return;
        n_ = n;
        originals_ = originals;
        translations_ = translations;
    }
    // The translation of `text`; nullptr where the catalog has none.
    const char* find(const char* text) const {
        std::uint32_t lo = 0, hi = n_;
        while (lo < hi) {
            const std::uint32_t mid = lo + (hi - lo) / 2;
            const int c = std::strcmp(string_at(originals_ + 8 * mid), text);
            if (c == 0) {
                const char* t = string_at(translations_ + 8 * mid);
                return *t != '\0' ? t : nullptr;
            }
            if (c < 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        return nullptr;
    }
    std::uint32_t size() const { return n_; }
    const char* original(std::uint32_t k) const { return string_at(originals_ + 8 * k); }
    const char* translation(std::uint32_t k) const { return string_at(translations_ + 8 * k); }

private:
    std::uint32_t word(std::size_t at) const {
        std::uint32_t w;
        std::memcpy(&w, data_.data() + at, 4);
        return swapped_ ? __builtin_bswap32(w) : w;
    }
    bool table_fits(std::uint32_t at, std::uint32_t n) const {
        return at <= data_.size() && (data_.size() - at) / 8 >= n;
    }
    // a string's length and place, the zero after it included, within the file
    bool string_fits(std::size_t entry) const {
        const std::uint32_t length = word(entry), at = word(entry + 4);
        return at < data_.size() && length < data_.size() - at && data_[at + length] == '\0';
    }
    const char* string_at(std::size_t entry) const { return data_.data() + word(entry + 4); }

    std::string data_;
    bool swapped_ = false;
    std::uint32_t n_ = 0, originals_ = 0, translations_ = 0;
};

// The folders that may hold the catalogs, LANG/LC_MESSAGES/zorvel_raster.mo:
// ZORVEL_RASTER_LOCALEDIR when set; else beside the program (a build
// folder), where the install put them relative to the program (an install
// moved elsewhere), and where it put them.
std::vector<std::filesystem::path> catalog_places() {
    if (const char* env = std::getenv("ZORVEL_RASTER_LOCALEDIR"); env != nullptr && *env != '\0') return {env};
    std::vector<std::filesystem::path> places;
#if defined(__linux__)
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        places.push_back(exe.parent_path() / "locale");
#ifdef ZORVEL_LOCALEDIR_FROM_BIN
        places.push_back(exe.parent_path() / ZORVEL_LOCALEDIR_FROM_BIN);
#endif
    }
#endif
#ifdef ZORVEL_LOCALEDIR
    places.push_back(ZORVEL_LOCALEDIR);
#endif
    return places;
}

std::string file_bytes(const std::filesystem::path& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return "";
    return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

// The character set the messages are written out in: the one of the
// environment's character locale (LC_ALL, LC_CTYPE, LANG), or what its name
// says where the system does not have it; "" for ASCII alone.
std::string output_codeset() {
#if defined(__linux__)
    if (locale_t l = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr)); l != static_cast<locale_t>(nullptr)) {
        const std::string set = nl_langinfo_l(CODESET, l);
        freelocale(l);
        return set == "ANSI_X3.4-1968" ? "" : set;
    }
#endif
    std::string name;
    for (const char* v : {"LC_ALL", "LC_CTYPE", "LANG"})
        if (const char* e = std::getenv(v); e != nullptr && *e != '\0') {
            name = e;
            break;
        }
    std::string lower;
    for (const char c : name) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return lower.find("utf-8") != std::string::npos || lower.find("utf8") != std::string::npos ? "UTF-8" : "";
}

// The messages in use: the catalog, and its translations in the output's
// character set where that is not UTF-8 (nullptr for those it cannot hold:
// the text as written then).
struct Messages {
    Catalog catalog{""};
    std::vector<std::string> converted;
    std::vector<char> held;
};

Messages* load(const std::string& language) {
    auto* m = new Messages;
    for (const std::filesystem::path& place : catalog_places()) {
        std::string bytes = file_bytes(place / language / "LC_MESSAGES" / (std::string(kDomain) + ".mo"));
        if (bytes.empty()) continue;
        m->catalog = Catalog(std::move(bytes));
        if (m->catalog.size() > 0) break;
    }
    const std::string set = output_codeset();
    if (set == "UTF-8" || set == "utf8" || m->catalog.size() == 0) return m;
    // every translation converted once, or left out where it cannot be
    m->converted.resize(m->catalog.size());
    m->held.assign(m->catalog.size(), 0);
#if defined(__linux__)
    const std::string to = (set.empty() ? std::string("ASCII") : set) + "//TRANSLIT";
    iconv_t cd = iconv_open(to.c_str(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return m;
    for (std::uint32_t k = 0; k < m->catalog.size(); ++k) {
        const char* t = m->catalog.translation(k);
        std::string in(t), out(4 * in.size() + 16, '\0');
        char* src = in.data();
        char* dst = out.data();
        std::size_t left = in.size(), room = out.size();
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &src, &left, &dst, &room) == static_cast<std::size_t>(-1) ||
            iconv(cd, nullptr, nullptr, &dst, &room) == static_cast<std::size_t>(-1))
            continue;
        out.resize(out.size() - room);
        // a transliteration that gave up leaves question marks of its own
        if (std::count(out.begin(), out.end(), '?') != std::count(in.begin(), in.end(), '?')) continue;
        m->converted[k] = std::move(out);
        m->held[k] = 1;
    }
    iconv_close(cd);
#endif
    return m;
}

Messages* in_use = nullptr;
std::once_flag loaded;

// Whether some place holds a catalog of `language`.
bool has_catalog(const std::string& language) {
    std::error_code ec;
    for (const std::filesystem::path& place : catalog_places())
        if (std::filesystem::is_regular_file(place / language / "LC_MESSAGES" / (std::string(kDomain) + ".mo"), ec))
            return true;
    return false;
}

void load_once() {
    std::call_once(loaded, [] { in_use = load(message_language(environment(), has_catalog)); });
}

}  // namespace

std::string message_language(const MessageEnvironment& env, const std::function<bool(const std::string&)>& has_catalog) {
    // the language and the country ("pt_BR"), then the language alone
    const auto pick = [&](const std::string& name) -> std::string {
        const std::string full = name.substr(0, name.find_first_of(".@")), language = language_of(name);
        if (full != language && has_catalog(full)) return full;
        if (language == "es" || (!language.empty() && has_catalog(language))) return language;
        return "";
    };
    // the locale of the messages, as the C library takes it
    const std::string locale = !env.lc_all.empty() ? env.lc_all : !env.lc_messages.empty() ? env.lc_messages : env.lang;
    const bool plain = locale.empty() || locale == "C" || locale == "POSIX";
    // LANGUAGE's list, on any locale but C: the first language with a catalog
    if (!plain)
        for (std::size_t at = 0; at <= env.language.size();) {
            const std::size_t end = std::min(env.language.find(':', at), env.language.size());
            if (const std::string l = pick(env.language.substr(at, end - at)); !l.empty()) return l;
            at = end + 1;
        }
    if (const std::string l = plain ? "" : pick(locale); !l.empty()) return l;
    return "en";
}

void use_message_catalogs() { load_once(); }

const char* T_(const char* text) {
    // the empty text is the catalog's header: never a message
    if (*text == '\0') return text;
    load_once();
    const Messages& m = *in_use;
    if (m.converted.empty()) {
        const char* t = m.catalog.find(text);
        return t != nullptr ? t : text;
    }
    // the index of the text in the catalog, for its converted form
    std::uint32_t lo = 0, hi = m.catalog.size();
    while (lo < hi) {
        const std::uint32_t mid = lo + (hi - lo) / 2;
        const int c = std::strcmp(m.catalog.original(mid), text);
        if (c == 0) return m.held[mid] != 0 ? m.converted[mid].c_str() : text;
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return text;
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
    // the shortest digits that read back as v; written out in full, as
    // printf's %g would, unless the exponent is below -4 or 17 and above
    char b[400];
    auto r = std::to_chars(b, b + sizeof b, v, std::chars_format::scientific);
    const char* e = std::find(b, r.ptr, 'e');
    int exponent = 0;
    if (e != r.ptr) std::from_chars(e + 1 + (e[1] == '+'), r.ptr, exponent);
    if (e != r.ptr && exponent >= -4 && exponent < 17) r = std::to_chars(b, b + sizeof b, v, std::chars_format::fixed);
    return std::string(b, r.ptr);
}

}  // namespace zorvel
