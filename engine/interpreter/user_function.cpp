#include "engine/interpreter/user_function.h"

#include <utility>

namespace zelkscript {
namespace {

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view trimBlanks(std::string_view text) {
    auto isBlank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
    };
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

} // namespace

bool isValidVariableName(std::string_view text) {
    if (text.empty() || isAsciiDigit(text.front())) return false;
    for (std::size_t i = 0; i < text.size();) {
        char c = text[i];
        if (isAsciiLetter(c) || isAsciiDigit(c) || c == '_') {
            ++i;
        } else if (c == ':' && i + 1 < text.size() && text[i + 1] == ':') {
            // A "::" pair must be followed by a name character: that refuses
            // ":::", a trailing "::" and "::" alone.
            i += 2;
            if (i == text.size() || text[i] == ':') return false;
        } else {
            return false;
        }
    }
    return true;
}

bool parseUserFunctionPrototype(std::string_view text, ZelkScriptFunctionDeclaration &out,
                                std::string &error) {
    auto fail = [&](std::string_view message) {
        error.assign(message);
        error.append(text);
        return false;
    };
    constexpr std::string_view kInvalid = "invalid user function definition: ";

    std::size_t open = text.find('(');
    if (open == std::string_view::npos) return fail(kInvalid);
    std::string_view rest = trimBlanks(text.substr(open + 1));
    // The parameter list runs to the closing ")" that ends the text; anything
    // behind a ")" would otherwise be dropped without a word.
    if (rest.empty() || rest.back() != ')') return fail(kInvalid);
    std::string_view list = rest.substr(0, rest.size() - 1);
    if (list.find(')') != std::string_view::npos) return fail(kInvalid);
    std::string_view name = trimBlanks(text.substr(0, open));
    if (name.empty()) return fail(kInvalid);

    // Parsed aside, so that a failure leaves `out` as it was.
    ZelkScriptFunctionDeclaration parsed;
    parsed.name.assign(name);
    for (bool more = !trimBlanks(list).empty(); more;) {
        std::size_t comma = list.find(',');
        more = comma != std::string_view::npos;
        std::string_view parameter = trimBlanks(list.substr(0, comma));
        if (more) list.remove_prefix(comma + 1);
        if (parameter == "...") {
            if (more) return fail("... in user function definition is only allowed at end: ");
            parsed.variadic = true;
            break;
        }
        bool reference = !parameter.empty() && parameter.front() == '&';
        if (reference) parameter.remove_prefix(1);
        if (!isValidVariableName(parameter)) return fail(kInvalid);
        parsed.parameters.emplace_back(parameter);
        parsed.referenceFlags.push_back(reference);
    }
    out = std::move(parsed);
    error.clear();
    return true;
}

bool declarationAcceptsArgumentCount(const ZelkScriptFunctionDeclaration &declaration,
                                     std::size_t argumentCount) {
    return declaration.variadic ? argumentCount >= declaration.parameters.size()
                                : argumentCount == declaration.parameters.size();
}

} // namespace zelkscript
