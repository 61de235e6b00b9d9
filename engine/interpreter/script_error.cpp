#include "engine/interpreter/script_error.h"

#include <utility>

namespace zelkscript {

ZelkScriptErrorException::ZelkScriptErrorException(std::string message, std::string fileName, int32_t line,
                                                   int32_t column, bool fatal)
    : fileName_(std::move(fileName)), line_(line), column_(column), message_(std::move(message)), fatal_(fatal) {}

std::string ZelkScriptErrorException::getPositionText() const {
    std::string text;
    if (!fileName_.empty()) {
        text = fileName_;
        text += ' ';
    }
    if (line_ != 0 && column_ != 0) {
        text += "Line ";
        text += std::to_string(line_);
        text += " Col ";
        text += std::to_string(column_);
    }
    return text;
}

std::string ZelkScriptErrorException::getInfo() const {
    std::string text = getPositionText();
    if (text.empty()) return message_;
    // A position text without line and column already ends in the blank that
    // followed the file name.
    if (text.back() != ' ') text += ' ';
    text += message_;
    return text;
}

} // namespace zelkscript
