// The parser's number readings, served by the values layer so that a literal
// means exactly what the same text means at run time.
#include "engine/frontend/value_bridge.h"

#include "engine/values/conversions.h"

namespace zelkscript::valuebridge {

bool readIntegerText(std::string_view text, int64_t &value) noexcept { return parseIntegerText(text, value); }

bool readFloatingPointText(std::string_view text, double &value) noexcept { return parseFloatText(text, value); }

bool readUnsignedFloatingPointText(std::string_view text, double &value) noexcept {
    return parseUnsignedFloatText(text, value);
}

std::string makeCanonicalNumberText(std::string_view text) { return canonicalNumberText(text); }

std::string formatDouble(double value) { return zelkscript::formatDouble(value); }

bool convertTextToInteger(std::string_view text, int64_t &value) { return textToInteger(text, value); }

bool isStringLiteralText(std::string_view text) noexcept {
    return text.empty() || !(isIntegerText(text) || isDottedFloatText(text));
}

} // namespace zelkscript::valuebridge
