// The one exception type that carries a failing script to its `catch` or to
// the host: a message plus the source position of the node (or token) that
// failed, and whether a script may catch it at all. Syntax errors from the
// scanner and the parser travel the same way, so every caller handles one type.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace zelkscript {

class ZelkScriptErrorException : public std::exception {
public:
    ZelkScriptErrorException(std::string message, std::string fileName, int32_t line, int32_t column,
                             bool fatal = false);

    const char *what() const noexcept override { return message_.c_str(); }

    const std::string &getFileName() const noexcept { return fileName_; }
    int32_t getLine() const noexcept { return line_; }
    int32_t getColumn() const noexcept { return column_; }
    const std::string &getMessage() const noexcept { return message_; }
    bool isFatal() const noexcept { return fatal_; }

    // "file Line 3 Col 5": the file name and a blank when there is one, then
    // the line and column when both are known (non-zero).
    std::string getPositionText() const;
    // The position text, a blank and the message; the message alone when the
    // position text is empty.
    std::string getInfo() const;

private:
    std::string fileName_;
    int32_t line_;
    int32_t column_;
    std::string message_;
    bool fatal_;
};

} // namespace zelkscript
