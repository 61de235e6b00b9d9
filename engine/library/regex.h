// Regular expressions of the language: the ECMAScript grammar, matched by an
// engine that neither recurses per input byte nor backtracks without bound,
// so hostile patterns and long texts end in an error instead of a crash or a
// hang. A compiled pattern is kept by its user (a node, a function call) and
// reused while the pattern text stays the same.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace zelkscript {

class CompiledRegex;

// Asked every so often during a match that may run long: a single match of
// a long text against a long pattern can take seconds, and must not outlast
// the run's time limit or a host's interrupt. check() throws the run's limit
// error when the run must end.
class RegexLimitProbe {
public:
    virtual void check() = 0;

protected:
    ~RegexLimitProbe() = default;
};
// Declared here as well as beside the syntax tree, which holds compiled
// patterns without seeing this header.
struct CompiledRegexDeleter;

class CompiledRegex {
public:
    CompiledRegex();
    ~CompiledRegex();
    CompiledRegex(const CompiledRegex &) = delete;
    CompiledRegex &operator=(const CompiledRegex &) = delete;

    // Compiles the pattern unless it is the one compiled last. On failure
    // the error is "exception occured: " + the engine's message.
    bool compile(std::string_view pattern, std::string &error);
    // Whether the pattern is found anywhere in the text. With a probe, a
    // match of a long text asks it every 64 Ki steps; what the probe throws
    // passes through.
    bool search(std::string_view text, bool &found, std::string &error, RegexLimitProbe *probe = nullptr) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Compiles and searches once.
bool regexSearch(std::string_view text, std::string_view pattern, bool &found, std::string &error);

} // namespace zelkscript
