// Regular expressions on an engine built for hostile input. Its defaults
// differ from the ECMAScript grammar the language promises ("^" and "$" match
// at line breaks, "." matches a line feed), so the flags below restore the
// standard meaning.
#include "engine/library/regex.h"

#include "engine/frontend/syntax_tree.h"

#include <boost/regex.hpp>

#include <exception>

namespace zelkscript {

struct CompiledRegex::Impl {
    std::string pattern;
    bool valid = false;
    boost::regex regex;
};

CompiledRegex::CompiledRegex() : impl_(std::make_unique<Impl>()) {}
CompiledRegex::~CompiledRegex() = default;

namespace {

std::string engineFailure(const std::exception &failure) {
    const char *what = failure.what();
    return std::string("exception occured: ") + (what && *what ? what : "unknown");
}

} // namespace

bool CompiledRegex::compile(std::string_view pattern, std::string &error) {
    if (impl_->valid && impl_->pattern == pattern) return true;
    impl_->valid = false;
    try {
        impl_->regex.assign(pattern.begin(), pattern.end(), boost::regex::ECMAScript | boost::regex::no_mod_m);
    } catch (const std::exception &failure) {
        error = engineFailure(failure);
        return false;
    }
    impl_->pattern.assign(pattern);
    impl_->valid = true;
    return true;
}

bool CompiledRegex::search(std::string_view text, bool &found, std::string &error) const {
    found = false;
    if (!impl_->valid) {
        error = "exception occured: unknown";
        return false;
    }
    try {
        found = boost::regex_search(text.begin(), text.end(), impl_->regex, boost::match_not_dot_newline);
    } catch (const std::exception &failure) {
        error = engineFailure(failure);
        return false;
    }
    return true;
}

void CompiledRegexDeleter::operator()(CompiledRegex *regex) const noexcept { delete regex; }

bool regexSearch(std::string_view text, std::string_view pattern, bool &found, std::string &error) {
    CompiledRegex regex;
    return regex.compile(pattern, error) && regex.search(text, found, error);
}

} // namespace zelkscript
