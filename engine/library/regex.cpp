// Regular expressions on an engine built for hostile input. Its defaults
// differ from the ECMAScript grammar the language promises ("^" and "$" match
// at line breaks, "." matches a line feed), so the flags below restore the
// standard meaning.
#include "engine/library/regex.h"

#include "engine/frontend/syntax_tree.h"

#include <boost/regex.hpp>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <iterator>

#include "engine/interpreter/script_error.h"

namespace zelkscript {

struct CompiledRegex::Impl {
    std::string pattern;
    bool valid = false;
    boost::regex regex;
};

CompiledRegex::CompiledRegex() : impl_(std::make_unique<Impl>()) {}
CompiledRegex::~CompiledRegex() = default;

namespace {

// A position in the text that counts the engine's steps and asks the probe
// every kProbeInterval of them. Only runs with a limit pay for it.
class ProbedIterator {
public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char *;
    using reference = const char &;

    static constexpr uint32_t kProbeInterval = 1u << 16;

    ProbedIterator() = default;
    ProbedIterator(const char *at, RegexLimitProbe *probe, uint32_t *steps) : at_(at), probe_(probe), steps_(steps) {}

    reference operator*() const { return *at_; }
    reference operator[](difference_type n) const { return at_[n]; }
    ProbedIterator &operator++() {
        ++at_;
        step();
        return *this;
    }
    ProbedIterator operator++(int) {
        ProbedIterator old = *this;
        ++*this;
        return old;
    }
    ProbedIterator &operator--() {
        --at_;
        step();
        return *this;
    }
    ProbedIterator operator--(int) {
        ProbedIterator old = *this;
        --*this;
        return old;
    }
    ProbedIterator &operator+=(difference_type n) {
        at_ += n;
        step();
        return *this;
    }
    ProbedIterator &operator-=(difference_type n) {
        at_ -= n;
        step();
        return *this;
    }
    // Members rather than friends: the engine uses only some of them.
    ProbedIterator operator+(difference_type n) const {
        ProbedIterator moved = *this;
        return moved += n;
    }
    ProbedIterator operator-(difference_type n) const {
        ProbedIterator moved = *this;
        return moved -= n;
    }
    difference_type operator-(const ProbedIterator &other) const { return at_ - other.at_; }
    bool operator==(const ProbedIterator &other) const { return at_ == other.at_; }
    bool operator!=(const ProbedIterator &other) const { return at_ != other.at_; }
    bool operator<(const ProbedIterator &other) const { return at_ < other.at_; }
    bool operator>(const ProbedIterator &other) const { return at_ > other.at_; }
    bool operator<=(const ProbedIterator &other) const { return at_ <= other.at_; }
    bool operator>=(const ProbedIterator &other) const { return at_ >= other.at_; }

private:
    void step() {
        if (steps_ != nullptr && ++*steps_ % kProbeInterval == 0) probe_->check();
    }

    const char *at_ = nullptr;
    RegexLimitProbe *probe_ = nullptr;
    uint32_t *steps_ = nullptr;
};

constexpr size_t kProbedWork = size_t{1} << 20;

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

bool CompiledRegex::search(std::string_view text, bool &found, std::string &error, RegexLimitProbe *probe) const {
    found = false;
    if (!impl_->valid) {
        error = "exception occured: unknown";
        return false;
    }
    try {
        // Only matches that may run long pay for the probe: a long text
        // against a long pattern (quadratic at worst; runaway backtracking
        // is stopped by the engine itself).
        const size_t work = text.size() * (impl_->pattern.size() + 1);
        if (probe == nullptr || work < kProbedWork) {
            found = boost::regex_search(text.begin(), text.end(), impl_->regex, boost::match_not_dot_newline);
        } else {
            uint32_t steps = 0;
            const ProbedIterator first(text.data(), probe, &steps), last(text.data() + text.size(), probe, &steps);
            found = boost::regex_search(first, last, impl_->regex, boost::match_not_dot_newline);
        }
    } catch (const ZelkScriptErrorException &) {
        throw;  // the run's limit, raised by the probe
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
