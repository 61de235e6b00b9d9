#include "engine/frontend/source.h"

namespace zelkscript {

std::string formatShortPosition(const ZelkScriptPosition &position) {
    if (position.line == 0) return std::string();
    std::string text = "L";
    text += std::to_string(position.line);
    text += 'C';
    text += std::to_string(position.column);
    return text;
}

std::string formatLongPosition(const ZelkScriptPosition &position) {
    if (position.sourceName.empty()) return formatShortPosition(position);
    return position.sourceName + " " + formatShortPosition(position);
}

std::string formatBaseNamePosition(const ZelkScriptPosition &position) {
    if (position.sourceName.empty()) return formatShortPosition(position);
    const size_t separator = position.sourceName.find_last_of('/');
    std::string text =
        separator == std::string::npos ? position.sourceName : position.sourceName.substr(separator + 1);
    text += ' ';
    text += formatShortPosition(position);
    return text;
}

} // namespace zelkscript
