#include "engine/interpreter/suggestions.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "engine/interpreter/function_table.h"
#include "engine/interpreter/user_function.h"

namespace zelkscript {
namespace {

constexpr std::size_t kMaxScoredLength = 1000;
constexpr std::size_t kMaxDisplayLetters = 26;

char foldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (foldCase(a[i]) != foldCase(b[i])) return false;
    }
    return true;
}

// Edit distance with unit costs, two rows on the stack (both texts are at
// most kMaxScoredLength bytes here).
std::size_t editDistance(std::string_view a, std::string_view b) {
    if (a.size() < b.size()) std::swap(a, b);
    std::array<std::uint32_t, kMaxScoredLength + 1> previous, current;
    for (std::size_t j = 0; j <= b.size(); ++j) previous[j] = static_cast<std::uint32_t>(j);
    for (std::size_t i = 1; i <= a.size(); ++i) {
        current[0] = static_cast<std::uint32_t>(i);
        for (std::size_t j = 1; j <= b.size(); ++j) {
            std::uint32_t substitute = previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, substitute});
        }
        std::copy_n(current.begin(), b.size() + 1, previous.begin());
    }
    return previous[b.size()];
}

void appendLetters(std::string &text, std::size_t count) {
    count = std::min(count, kMaxDisplayLetters);
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) text += ',';
        text += static_cast<char>('a' + i);
    }
}

} // namespace

int scoreSuggestion(std::string_view candidate, std::string_view wanted) {
    if (equalIgnoringCase(candidate, wanted)) return 100;
    if (candidate.size() > kMaxScoredLength || wanted.size() > kMaxScoredLength) return 0;
    std::size_t shorter = std::min(candidate.size(), wanted.size());
    std::size_t longer = std::max(candidate.size(), wanted.size());
    // The distance is at least the difference in length.
    if (shorter == 0 || longer - shorter >= shorter) return 0;
    std::size_t distance = editDistance(candidate, wanted);
    if (distance >= shorter) return 0;
    return 100 - static_cast<int>((distance - 1) * 100 / shorter);
}

std::string formatCallDisplay(std::string_view name, std::size_t argumentCount) {
    std::string display(name);
    display += '(';
    appendLetters(display, argumentCount);
    display += ')';
    return display;
}

std::string formatCandidateDisplay(std::string_view name, std::size_t parameterCount, bool variadic) {
    std::string display(name);
    display += '(';
    appendLetters(display, parameterCount);
    if (variadic || parameterCount > kMaxDisplayLetters) {
        // No comma before "..." when there is no letter to separate it from.
        if (parameterCount > 0) display += ',';
        display += "...";
    }
    display += ')';
    return display;
}

std::string formatDefinitionDisplay(const ZelkScriptFunctionDeclaration &definition) {
    std::string display = definition.name;
    display += '(';
    for (std::size_t i = 0; i < definition.parameters.size(); ++i) {
        if (i > 0) display += ',';
        display += definition.parameters[i];
    }
    if (definition.variadic) {
        if (!definition.parameters.empty()) display += ',';
        display += "...";
    }
    display += ')';
    return display;
}

void SuggestionCollector::offer(std::string_view candidateDisplay) {
    int score = scoreSuggestion(candidateDisplay, wanted_);
    if (score < bestScore_) return;
    if (score > bestScore_) {
        kept_.clear();
        bestScore_ = score;
    }
    if (std::find(kept_.begin(), kept_.end(), candidateDisplay) == kept_.end()) {
        kept_.emplace_back(candidateDisplay);
    }
}

std::string SuggestionCollector::text() const {
    std::string joined;
    for (const std::string &candidate : kept_) {
        if (!joined.empty()) joined += ',';
        joined += candidate;
    }
    return joined;
}

std::string suggestFunctions(std::string_view wantedDisplay, std::span<const std::string> candidates) {
    SuggestionCollector collector(wantedDisplay);
    for (const std::string &candidate : candidates) collector.offer(candidate);
    return collector.text();
}

bool collectSystemFunctionCandidates(const SystemFunctionTable &table, std::vector<std::string> &out,
                                     std::string &error) {
    out.clear();
    out.reserve(table.size());
    ZelkScriptFunctionDeclaration declaration;
    std::string parseError;
    for (const SystemFunctionEntry &entry : table.entries()) {
        if (!parseUserFunctionPrototype(entry.helpText, declaration, parseError)) {
            error = "invalid system function prototype: " + std::string(entry.helpText);
            return false;
        }
        out.push_back(formatCandidateDisplay(declaration.name, declaration.parameters.size(),
                                             declaration.variadic));
    }
    return true;
}

} // namespace zelkscript
