// "maybe you mean" suggestions for a call of a function that does not exist.
// A call and each candidate are shown as a name with a parameter list
// ("mid(a,b,c)"); the shown forms are scored against each other, so a form
// with the right name but the wrong argument count scores below a closer one.
// Only the candidates with the best score (at least 60) are suggested.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zelkscript {

struct ZelkScriptFunctionDeclaration;
class SystemFunctionTable;

// A score below this never makes a suggestion.
inline constexpr int kMinimumSuggestionScore = 60;

// 100 when the texts are equal ignoring letter case; otherwise, with d their
// edit distance and m the length of the shorter one, 0 when m is 0 or d >= m,
// else 100 - (d - 1) * 100 / m. Texts longer than 1000 bytes score 0 unless
// equal ignoring case, which bounds the work for absurd names.
int scoreSuggestion(std::string_view candidate, std::string_view wanted);

// The call as the check shows it: "mid(a,b,c,d)", one letter per argument
// (at most 26).
std::string formatCallDisplay(std::string_view name, std::size_t argumentCount);

// A candidate known only by its parameter count: one letter per parameter (at
// most 26), then "..." for a variadic one or one with 27 or more parameters.
std::string formatCandidateDisplay(std::string_view name, std::size_t parameterCount, bool variadic);

// A definition in the script's own tree, shown with its own parameter names.
std::string formatDefinitionDisplay(const ZelkScriptFunctionDeclaration &definition);

// Keeps the candidates with the best score, in the order they were offered;
// an equal score adds a candidate unless the same text is already kept.
class SuggestionCollector {
public:
    explicit SuggestionCollector(std::string_view wantedDisplay) : wanted_(wantedDisplay) {}

    void offer(std::string_view candidateDisplay);
    bool empty() const { return kept_.empty(); }
    int bestScore() const { return bestScore_; }
    // The kept candidates joined with ",".
    std::string text() const;

private:
    std::string wanted_;
    int bestScore_ = kMinimumSuggestionScore;
    std::vector<std::string> kept_;
};

// The suggestion text for `wantedDisplay` among `candidates` (shown forms, in
// the order they were found); empty when none scores at least 60.
std::string suggestFunctions(std::string_view wantedDisplay, std::span<const std::string> candidates);

// The shown forms of every system function, in table order, from the
// parameter lists of their help texts. Fails with "invalid system function
// prototype: " + text for a help text that does not parse.
bool collectSystemFunctionCandidates(const SystemFunctionTable &table, std::vector<std::string> &out,
                                     std::string &error);

} // namespace zelkscript
