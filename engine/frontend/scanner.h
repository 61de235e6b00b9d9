// Turns one script text into tokens on demand: the parser pulls one token at
// a time, so there is no token list and the only look-ahead is a peek of one
// or two bytes (and the label test). Text is read as bytes; nothing assumes an
// encoding. The token text buffer is reused for every token, so scanning
// allocates only when a token is longer than any before it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/frontend/source.h"
#include "engine/frontend/tokens.h"

namespace zelkscript {

class ZelkScriptScanner {
public:
    explicit ZelkScriptScanner(const ZelkScriptSource &source);

    // Reads one token and returns its code; raises on lexical errors.
    int32_t nextToken();
    // Reads past the current token when it has the given code, else raises
    // "missing" and the code's token name.
    void expect(int32_t code);
    // Throws "invalid syntax: " + detail at the start of the current token.
    [[noreturn]] void raise(std::string_view detail) const;

    int32_t getTokenCode() const noexcept { return tokenCode_; }
    int32_t getPreviousTokenCode() const noexcept { return previousTokenCode_; }
    std::string getTokenText() const { return tokenText_; }
    // The parser's copy-free access to the token text.
    const std::string &tokenText() const noexcept { return tokenText_; }
    ZelkScriptPosition getTokenStartPosition() const { return ZelkScriptPosition(tokenStart_, sourceName_); }
    const ZelkScriptCursor &tokenStart() const noexcept { return tokenStart_; }
    const ZelkScriptCursor &readingPosition() const noexcept { return reading_; }

    // True when, after blanks (not comments), the next byte is a single ':'
    // that is not the start of '::'. Tells a goto label "name:" from an
    // expression.
    bool isLabelAhead() const noexcept;

    std::string getShortPositionText() const { return formatShortPosition(getTokenStartPosition()); }
    std::string getLongPositionText() const { return formatLongPosition(getTokenStartPosition()); }
    std::string getBaseNamePositionText() const { return formatBaseNamePosition(getTokenStartPosition()); }

    const std::string &getSourceName() const noexcept { return sourceName_; }
    const SourceTextRef &getSourceText() const noexcept { return text_; }

private:
    char current() const noexcept { return reading_.offset < size_ ? data_[reading_.offset] : '\0'; }
    char peek(size_t distance) const noexcept {
        const size_t at = static_cast<size_t>(reading_.offset) + distance;
        return at < size_ ? data_[at] : '\0';
    }
    void advance() noexcept;
    // Advances over bytes known to hold no line break and no NUL.
    void advanceWithinLine(uint32_t count) noexcept;

    void skipBlanksAndComments();
    bool readStringLiteral();
    void readQuotedText(char quote, bool multiLine, bool noEscape);
    void decodeEscape();
    void readNumber();
    void readIdentifier();
    void readOperator();
    int matchSpecialStringWord() const noexcept;

    std::string sourceName_;
    SourceTextRef text_;
    const char *data_ = nullptr;
    size_t size_ = 0;
    bool textTooLarge_ = false;

    int32_t tokenCode_ = TOKEN_ENDOFFILE;
    int32_t previousTokenCode_ = TOKEN_ENDOFFILE;
    std::string tokenText_;
    ZelkScriptCursor tokenStart_;
    ZelkScriptCursor reading_;
};

} // namespace zelkscript
