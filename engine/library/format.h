// Formatting and printing: sprintf and its printing forms, the plain print
// functions and logmessage. The format walk parses every conversion by the C
// grammar itself and formats numbers with its own code, so no text a script
// controls ever reaches the C library's printf, and a conversion produces its
// whole text however long (only absurd widths and precisions are refused).
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "engine/values/object.h"

namespace zelkscript {

// Widest field (width or numeric precision) one conversion may ask for. It
// guards memory against "%2000000000d"; real formats stay far below it.
inline constexpr int kMaxFormatFieldSize = 1 << 20;

// The sprintf walk: arguments[0] is the format, the rest are consumed from
// left to right. Appends the formatted text to `output`. `functionName`
// names the caller in the "requires format parameter" message.
bool formatArguments(std::string_view functionName, std::span<const ObjectRef> arguments, std::string &output,
                     std::string &error);

} // namespace zelkscript
