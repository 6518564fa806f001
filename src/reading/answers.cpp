#include "reading/answers.h"
#include "base/messages.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "reading/c_scanning.h"

namespace zorvel {

namespace {

// Why a word is no answer to a number question.
constexpr const char* kNotANumber = "\n respuesta no valida: se espera un numero ";
constexpr const char* kComma = "\n respuesta no valida: escriba los decimales con punto (10.5, no 10,5) ";
constexpr const char* kNotAWholeNumber = "\n respuesta no valida: se espera un numero entero ";
constexpr const char* kOutOfRange = "\n respuesta no valida: numero fuera de rango ";
constexpr const char* kTooLong = "\n respuesta no valida: demasiado larga ";
constexpr const char* kNul = "\n respuesta no valida: lleva un caracter nulo ";

bool blank(int c) { return c != EOF && is_blank(static_cast<unsigned char>(c)); }

void end_of_input(Console& con, const char* what) {
    stop_line(con, std::string(T_("fin de la entrada: falta ")) + T_(what));
}

void show_prompt(Console& con, const char* prompt) {
    std::fputs(prompt, con.out);
    // the prompt must be on the screen before we wait for the answer
    std::fflush(con.out);
}

// One word ("%s"), or why it is no answer: longer than kAnswerMax (the rest
// of it is consumed), or holding a NUL, which would cut it short where it is
// used; nullopt at end of input.
struct Answer {
    std::string word;
    const char* refusal = nullptr;
};
std::optional<Answer> read_word(std::FILE* in) {
    int c;
    while (blank(c = std::getc(in))) {
    }
    if (c == EOF) return std::nullopt;
    Answer a;
    std::size_t length = 0;
    do {
        if (length++ < kAnswerMax) a.word.push_back(static_cast<char>(c));
    } while ((c = std::getc(in)) != EOF && !blank(c));
    if (c != EOF) std::ungetc(c, in);
    if (length > kAnswerMax)
        a.refusal = kTooLong;
    else if (a.word.find('\0') != std::string::npos)
        a.refusal = kNul;
    return a;
}

// The word as a number when the C library reads all of it as one, or why not.
template <typename T>
std::optional<T> whole_number(const std::string& word, const char*& why) {
    const char* w = word.c_str();
    char* end = nullptr;
    errno = 0;
    const double d = std::strtod(w, &end);
    const bool number = end != w && *end == '\0';
    if constexpr (std::is_same_v<T, double>) {
        if (number) return d;
    } else {
        char* int_end = nullptr;
        errno = 0;
        const long n = std::strtol(w, &int_end, 10);
        if (int_end != w && *int_end == '\0') {
            if (errno != ERANGE && n >= INT_MIN && n <= INT_MAX) return static_cast<int>(n);
            why = kOutOfRange;
            return std::nullopt;
        }
        if (number) {
            why = kNotAWholeNumber;
            return std::nullopt;
        }
    }
    // 10,5: the decimal comma of a Spanish keyboard
    std::string dotted = word;
    for (char& c : dotted)
        if (c == ',') c = '.';
    (void)std::strtod(dotted.c_str(), &end);
    why = dotted != word && end != dotted.c_str() && *end == '\0' ? kComma : kNotANumber;
    return std::nullopt;
}

// The next word that can be an answer, each other one refused on the
// console; nullopt, after a stop line, at end of input.
std::optional<std::string> next_answer(Console& con, const char* prompt, const char* what) {
    for (;;) {
        show_prompt(con, prompt);
        const auto a = read_word(con.in);
        if (!a) {
            end_of_input(con, what);
            return std::nullopt;
        }
        if (a->refusal == nullptr) return a->word;
        std::fputs(a->refusal, con.out);
    }
}

template <typename T>
std::optional<T> ask_number(Console& con, const char* prompt, const char* what, const Check<T>& check) {
    for (;;) {
        const auto word = next_answer(con, prompt, what);
        if (!word) return std::nullopt;
        // the whole word, or nothing: "10abc" is no 10
        const char* why = nullptr;
        const auto v = whole_number<T>(*word, why);
        if (!v) {
            std::fputs(why, con.out);
            continue;
        }
        const Verdict verdict = check ? check(*v) : Verdict::accept();
        if (verdict.accepted) return v;
        if (verdict.refusal != nullptr) std::fputs(verdict.refusal, con.out);
    }
}

}  // namespace

std::optional<double> whole_double(const std::string& word, const char** why) {
    const char* reason = nullptr;
    auto v = whole_number<double>(word, reason);
    if (why != nullptr) *why = reason;
    return v;
}

std::optional<int> whole_int(const std::string& word, const char** why) {
    const char* reason = nullptr;
    auto v = whole_number<int>(word, reason);
    if (why != nullptr) *why = reason;
    return v;
}

std::optional<std::string> ask_word(Console& con, const char* prompt, const char* what) {
    return next_answer(con, prompt, what);
}

std::optional<int> ask_int(Console& con, const char* prompt, const char* what, const Check<int>& check) {
    return ask_number<int>(con, prompt, what, check);
}

std::optional<double> ask_double(Console& con, const char* prompt, const char* what, const Check<double>& check) {
    return ask_number<double>(con, prompt, what, check);
}

}  // namespace zorvel
