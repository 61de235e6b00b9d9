#include "engine/frontend/scanner.h"

#include <cstring>
#include <limits>
#include <vector>

#include "engine/interpreter/script_error.h"

namespace zelkscript {

namespace {

// Offsets are 32-bit in every position and node; a longer text could not be
// addressed, so it is refused as a whole rather than read with wrapped offsets.
constexpr size_t kMaxTextSize = std::numeric_limits<uint32_t>::max() - 1;

constexpr int32_t kMaxCounter = std::numeric_limits<int32_t>::max();

bool isDigit(char c) noexcept { return c >= '0' && c <= '9'; }
bool isAsciiLetter(char c) noexcept { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isIdentifierByte(char c) noexcept { return isAsciiLetter(c) || isDigit(c) || c == '_'; }
int hexDigitValue(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

struct Keyword {
    std::string_view word;
    int32_t code;
};

// Keywords grouped by their first letter, so an identifier is compared only
// with the few words that could match.
int32_t findKeyword(std::string_view text) noexcept {
    static constexpr Keyword kKeywords[] = {
        {"auto", TOKEN_AUTO},         {"break", TOKEN_BREAK},     {"case", TOKEN_CASE},
        {"catch", TOKEN_CATCH},       {"continue", TOKEN_CONTINUE}, {"default", TOKEN_DEFAULT},
        {"do", TOKEN_DO},             {"else", TOKEN_ELSE},       {"false", TOKEN_FALSE},
        {"for", TOKEN_FOR},           {"foreach", TOKEN_FOREACH}, {"function", TOKEN_FUNCTION},
        {"goto", TOKEN_GOTO},         {"if", TOKEN_IF},           {"in", TOKEN_IN},
        {"null", TOKEN_NULL},         {"repeat", TOKEN_REPEAT},   {"return", TOKEN_RETURN},
        {"switch", TOKEN_SWITCH},     {"true", TOKEN_TRUE},       {"try", TOKEN_TRY},
        {"undef", TOKEN_UNDEFINE},    {"until", TOKEN_UNTIL},     {"var", TOKEN_VARIABLE},
        {"while", TOKEN_WHILE},
    };
    if (text.size() < 2 || text.size() > 8) return TOKEN_IDENTIFIER;
    for (const Keyword &keyword : kKeywords) {
        if (keyword.word[0] > text[0]) break;
        if (keyword.word == text) return keyword.code;
    }
    return TOKEN_IDENTIFIER;
}

struct SpecialStringWord {
    std::string_view word;
    const char *missingOpen;
    const char *missingClose;
};

// Tried in this order; the words are matched as prefixes of the text.
constexpr SpecialStringWord kSpecialWords[] = {
    {"__multiline__", "__multiline__ missing (", "__multiline__ string missing closing ) before end of code"},
    {"__noescape__", "__noescape__ missing (", "__noescape__ string missing closing )"},
    {"__escape__", "__escape__ missing (", "__escape__ string missing closing )"},
    {"__singleline__", "__singleline__ missing (", "__singleline__ string missing closing ) before end of line"},
};
enum SpecialWordIndex { WORD_MULTILINE = 0, WORD_NOESCAPE = 1, WORD_ESCAPE = 2, WORD_SINGLELINE = 3 };

} // namespace

ZelkScriptScanner::ZelkScriptScanner(const ZelkScriptSource &source)
    : sourceName_(source.sourceName), text_(source.text) {
    if (text_) {
        data_ = text_->bytes.data();
        size_ = text_->bytes.size();
        if (size_ > kMaxTextSize) {
            textTooLarge_ = true;
            size_ = 0;
        }
    }
}

void ZelkScriptScanner::raise(std::string_view detail) const {
    std::string message = "invalid syntax: ";
    message += detail;
    throw ZelkScriptErrorException(std::move(message), sourceName_, tokenStart_.line, tokenStart_.column);
}

void ZelkScriptScanner::advance() noexcept {
    const char c = current();
    if (c == '\0') return;  // the end is never passed
    ++reading_.offset;
    if (c == '\n') {
        if (reading_.line < kMaxCounter) ++reading_.line;
        reading_.column = 1;
    } else if (c == '\r') {
        reading_.column = 1;
    } else if (reading_.column < kMaxCounter) {
        ++reading_.column;
    }
}

void ZelkScriptScanner::advanceWithinLine(uint32_t count) noexcept {
    reading_.offset += count;
    const int64_t column = static_cast<int64_t>(reading_.column) + count;
    reading_.column = column > kMaxCounter ? kMaxCounter : static_cast<int32_t>(column);
}

void ZelkScriptScanner::expect(int32_t code) {
    if (tokenCode_ != code) {
        std::string detail = "missing ";
        detail += getTokenNameView(code);
        raise(detail);
    }
    nextToken();
}

bool ZelkScriptScanner::isLabelAhead() const noexcept {
    size_t at = reading_.offset;
    while (at < size_ && (data_[at] == ' ' || data_[at] == '\t' || data_[at] == '\r' || data_[at] == '\n')) ++at;
    if (at >= size_ || data_[at] != ':') return false;
    return !(at + 1 < size_ && data_[at + 1] == ':');
}

void ZelkScriptScanner::skipBlanksAndComments() {
    for (;;) {
        const char c = current();
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            advance();
            continue;
        }
        if (c == '/' && peek(1) == '/') {
            while (current() != '\n' && current() != '\0') advance();
            continue;
        }
        if (c == '/' && peek(1) == '*') {
            const int32_t startLine = reading_.line;
            advance();  // onto the '*', which may also close the comment: "/*/"
            for (;;) {
                const char inside = current();
                if (inside == '\0') {
                    raise("block comment started in line " + std::to_string(startLine) + " not closed by */");
                }
                advance();
                if (inside == '*' && current() == '/') {
                    advance();
                    break;
                }
            }
            continue;
        }
        return;
    }
}

int32_t ZelkScriptScanner::nextToken() {
    previousTokenCode_ = tokenCode_;
    tokenText_.clear();
    tokenCode_ = TOKEN_ENDOFFILE;
    if (textTooLarge_) raise("script text too large");

    skipBlanksAndComments();
    tokenStart_ = reading_;

    const char c = current();
    if (c == '\0') return tokenCode_;
    if (readStringLiteral()) {
        tokenCode_ = TOKEN_LITERAL;
        return tokenCode_;
    }
    if (isDigit(c)) {
        readNumber();
    } else if (isAsciiLetter(c) || c == '_' || (c == ':' && peek(1) == ':')) {
        readIdentifier();
    } else {
        readOperator();
    }
    return tokenCode_;
}

int ZelkScriptScanner::matchSpecialStringWord() const noexcept {
    const std::string_view rest(data_ + reading_.offset, size_ - reading_.offset);
    for (int index = 0; index < 4; ++index)
        if (rest.substr(0, kSpecialWords[index].word.size()) == kSpecialWords[index].word) return index;
    return -1;
}

bool ZelkScriptScanner::readStringLiteral() {
    const char first = current();
    if (first == '"' || first == '\'') {
        readQuotedText(first, false, false);
        return true;
    }
    if (first != '_') return false;
    int word = matchSpecialStringWord();
    if (word < 0) return false;

    // The special forms nest ("__noescape__(__multiline__("..."))"). They are
    // read with an explicit stack instead of recursion, so a text of many
    // thousand nested forms cannot exhaust the call stack.
    std::vector<int> openForms;
    bool multiLine = false;
    bool noEscape = false;
    for (;;) {
        advanceWithinLine(static_cast<uint32_t>(kSpecialWords[word].word.size()));
        skipBlanksAndComments();
        if (current() != '(') raise(kSpecialWords[word].missingOpen);
        advance();
        skipBlanksAndComments();
        openForms.push_back(word);
        switch (word) {
        case WORD_MULTILINE: multiLine = true; break;
        case WORD_NOESCAPE: noEscape = true; break;
        case WORD_ESCAPE: noEscape = false; break;
        default: multiLine = false; break;
        }
        const char inner = current();
        if (inner == '"' || inner == '\'') {
            readQuotedText(inner, multiLine, noEscape);
            break;
        }
        if (inner != '_' || (word = matchSpecialStringWord()) < 0) raise(kSpecialWords[openForms.back()].missingClose);
    }
    while (!openForms.empty()) {
        skipBlanksAndComments();
        if (current() != ')') raise(kSpecialWords[openForms.back()].missingClose);
        advance();
        openForms.pop_back();
    }
    return true;
}

void ZelkScriptScanner::readQuotedText(char quote, bool multiLine, bool noEscape) {
    advance();
    for (;;) {
        // Copy runs of ordinary bytes in one go; they hold no line break.
        const uint32_t runStart = reading_.offset;
        size_t at = runStart;
        while (at < size_) {
            const char c = data_[at];
            if (c == quote || c == '\0' || c == '\n' || c == '\r' || (c == '\\' && !noEscape)) break;
            ++at;
        }
        if (at > runStart) {
            tokenText_.append(data_ + runStart, at - runStart);
            advanceWithinLine(static_cast<uint32_t>(at - runStart));
        }
        const char c = current();
        if (c == quote) break;
        if (c == '\0') {
            raise(multiLine ? "__multiline__ string is not ending before end of code"
                            : "string is not ending before end of line");
        }
        if (c == '\\') {
            decodeEscape();
        } else if (!multiLine) {
            raise("string is not ending before end of line");
        } else if (c == '\r') {
            // A CR LF pair becomes one LF in the value.
            advance();
            if (current() == '\n') {
                tokenText_ += '\n';
                advance();
            } else {
                tokenText_ += '\r';
            }
        } else {
            tokenText_ += c;
            advance();
        }
    }
    advance();  // the closing quote
}

void ZelkScriptScanner::decodeEscape() {
    advance();  // the backslash
    const char c = current();
    switch (c) {
    case '\0':
        // A backslash at the very end stands for itself; the missing quote is
        // reported by the caller.
        tokenText_ += '\\';
        return;
    case 'n': tokenText_ += '\n'; break;
    case 'r': tokenText_ += '\r'; break;
    case 't': tokenText_ += '\t'; break;
    case 'b': tokenText_ += '\b'; break;
    case 'f': tokenText_ += '\f'; break;
    case 'x':
    case 'X': {
        advance();
        const bool braced = current() == '{';
        if (braced) advance();
        // The value saturates: any number of braced digits may follow, and a
        // huge value must still be reported as too large, never wrap to a
        // small one.
        uint32_t value = 0;
        int digits = 0;
        for (int digit; (braced || digits < 2) && (digit = hexDigitValue(current())) >= 0; ++digits) {
            value = value > 0xFFFFu ? value : value * 16 + static_cast<uint32_t>(digit);
            advance();
        }
        if (braced) {
            if (current() != '}') raise("\\x{ missing closing }");
            advance();
        }
        if (digits == 0) {
            tokenText_ += '\\';
            tokenText_ += c;
            if (braced) tokenText_ += "{}";
            return;
        }
        if (value > 255) raise("\\xHH too large");
        tokenText_ += static_cast<char>(value);
        return;
    }
    default:
        // Quotes, the backslash and every other byte stand for themselves.
        tokenText_ += c;
        break;
    }
    advance();
}

void ZelkScriptScanner::readNumber() {
    const uint32_t start = reading_.offset;
    while (isDigit(current())) advance();
    if (reading_.offset - start == 1 && data_[start] == '0' && (current() == 'x' || current() == 'X')) {
        advance();
        // Longer literals wrap: each digit shifts the 64-bit value left by four
        // bits, and the result is read back as a signed number.
        uint64_t value = 0;
        for (int digit; (digit = hexDigitValue(current())) >= 0; advance())
            value = (value << 4) | static_cast<uint64_t>(digit);
        if (isAsciiLetter(current())) raise(std::string("invalid character found: ") + current());
        tokenText_ = std::to_string(static_cast<int64_t>(value));
        tokenCode_ = TOKEN_NUMBER;
        return;
    }
    if (current() == '.' && isDigit(peek(1))) {
        advance();
        while (isDigit(current())) advance();
    }
    if ((current() == 'e' || current() == 'E') &&
        (isDigit(peek(1)) || ((peek(1) == '+' || peek(1) == '-') && isDigit(peek(2))))) {
        advance();
        if (!isDigit(current())) advance();
        while (isDigit(current())) advance();
    }
    tokenText_.assign(data_ + start, reading_.offset - start);
    tokenCode_ = TOKEN_NUMBER;
}

void ZelkScriptScanner::readIdentifier() {
    const uint32_t start = reading_.offset;
    const char first = current();
    for (;;) {
        const char c = current();
        if (isIdentifierByte(c)) {
            advanceWithinLine(1);
        } else if (c == ':' && peek(1) == ':') {
            advanceWithinLine(2);
        } else {
            break;
        }
    }
    tokenText_.assign(data_ + start, reading_.offset - start);
    tokenCode_ = (first >= 'a' && first <= 'z') ? findKeyword(tokenText_) : TOKEN_IDENTIFIER;
    if (tokenText_.find(":::") != std::string::npos ||
        (tokenText_.size() >= 2 && tokenText_.compare(tokenText_.size() - 2, 2, "::") == 0)) {
        raise("invalid namespace in identifier");
    }
}

void ZelkScriptScanner::readOperator() {
    const char c = current();
    const char next = peek(1);
    int32_t code = static_cast<unsigned char>(c);
    uint32_t length = 1;
    switch (c) {
    case '(': case ')': case '[': case ']': case '{': case '}':
    case '?': case ',': case ';': case '~': case ':':
        break;
    case '=':
        if (next == '=') code = TOKEN_EQUAL, length = 2;
        else if (next == '~') code = TOKEN_MATCH, length = 2;
        else if (next == '&') code = TOKEN_ASSIGN_REFERENCE, length = 2;
        break;
    case '*':
        if (next == '=') code = TOKEN_MULTIPLY_ASSIGN, length = 2;
        break;
    case '/':
        if (next == '=') code = TOKEN_DIVIDE_ASSIGN, length = 2;
        break;
    case '%':
        if (next == '=') code = TOKEN_MODULO_ASSIGN, length = 2;
        break;
    case '+':
        if (next == '+') code = TOKEN_INCREMENT, length = 2;
        else if (next == '=') code = TOKEN_ADD_ASSIGN, length = 2;
        break;
    case '-':
        if (next == '-') code = TOKEN_DECREMENT, length = 2;
        else if (next == '=') code = TOKEN_SUBTRACT_ASSIGN, length = 2;
        break;
    case '!':
        if (next == '=') code = TOKEN_NOT_EQUAL, length = 2;
        else if (next == '~') code = TOKEN_NOT_MATCH, length = 2;
        break;
    case '<':
        if (next == '=') code = TOKEN_LESS_EQUAL, length = 2;
        else if (next == '<') {
            if (peek(2) == '=') code = TOKEN_SHIFT_LEFT_ASSIGN, length = 3;
            else code = TOKEN_SHIFT_LEFT, length = 2;
        }
        break;
    case '>':
        if (next == '=') code = TOKEN_GREATER_EQUAL, length = 2;
        else if (next == '>') {
            if (peek(2) == '=') code = TOKEN_SHIFT_RIGHT_ASSIGN, length = 3;
            else code = TOKEN_SHIFT_RIGHT, length = 2;
        }
        break;
    case '&':
        if (next == '&') code = TOKEN_LOGICAL_AND, length = 2;
        else if (next == '=') code = TOKEN_AND_ASSIGN, length = 2;
        break;
    case '|':
        if (next == '|') code = TOKEN_LOGICAL_OR, length = 2;
        else if (next == '=') code = TOKEN_OR_ASSIGN, length = 2;
        break;
    case '^':
        if (next == '=') code = TOKEN_XOR_ASSIGN, length = 2;
        break;
    case '.':
        if (next == '.') {
            if (peek(2) == '.') code = TOKEN_ELLIPSIS, length = 3;
            else code = TOKEN_RANGE, length = 2;
        }
        break;
    default:
        raise(std::string("invalid character found: ") + c);
    }
    tokenText_.assign(data_ + reading_.offset, length);
    advanceWithinLine(length);
    tokenCode_ = code;
}

} // namespace zelkscript
