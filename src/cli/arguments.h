// The command line's arguments, one after the other, each option's values
// taken with it: what the option table's entries read them with.
#ifndef ZORVEL_ARGUMENTS_H
#define ZORVEL_ARGUMENTS_H

#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "base/messages.h"
#include "reading/answers.h"

namespace zorvel {

// The arguments one after the other, each option's values taken with it.
class Arguments {
public:
    Arguments(const std::vector<std::string>& args, std::string& error) : args_(args), error_(error) {}
    bool done() const { return at_ >= args_.size(); }
    const std::string& next() { return args_[at_++]; }
    bool peek_number() const { return !done() && whole_double(args_[at_]).has_value(); }
    bool peek_is(const char* word) const { return !done() && args_[at_] == word; }
    std::size_t at() const { return at_; }
    // The value of `option`, a number that passes `check` (described by `what`).
    template <typename T>
    std::optional<T> number(const std::string& option, const char* what, const std::function<bool(T)>& check) {
        if (done()) return fail(option + T_(": falta ") + T_(what));
        const std::string& word = next();
        std::optional<T> v;
        if constexpr (std::is_same_v<T, int>)
            v = whole_int(word);
        else
            v = whole_double(word);
        if (!v || !check(*v)) return fail(option + T_(": se espera ") + T_(what) + T_(", no '") + word + "'");
        return v;
    }
    // A word value of `option`.
    std::optional<std::string> word(const std::string& option) {
        if (done()) return fail(option + T_(": falta su valor"));
        return next();
    }
    // The usage error `why`, kept where it is the first.
    std::nullopt_t fail(const std::string& why) {
        if (error_.empty()) error_ = why;
        return std::nullopt;
    }
    // The same, for an option that takes its values: false.
    bool refuse(const std::string& why) {
        fail(why);
        return false;
    }

private:
    const std::vector<std::string>& args_;
    std::string& error_;
    std::size_t at_ = 0;
};

}  // namespace zorvel

#endif
