// The text functions of the language (measuring, cutting, searching,
// comparing, splitting, joining, escaping) and the byte-text algorithms under
// them. Texts are byte strings with C-locale classes for bytes below 128.
// Searching stays linear in the text even for hostile needles (a needle that
// matches everywhere but in its last byte), and no call can claim memory
// beyond what the script's own texts and the limits below allow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zelkscript {

// Most numbers one range list may expand to ("0-2147483647" would otherwise
// ask for billions of values).
constexpr int64_t kMaxRangeListNumbers = 1000000;
// Largest capacity that reservespace grants; larger hints fail before any
// memory is asked for.
constexpr int64_t kMaxReservedTextSize = int64_t{1} << 30;

// Position of the first occurrence of needle at or after from, or npos. An
// empty needle is found at from (when from lies inside or at the end).
std::size_t findText(std::string_view text, std::string_view needle, std::size_t from = 0);
// Position of the last occurrence of needle, or npos; an empty needle is
// found at the end of the text.
std::size_t findLastText(std::string_view text, std::string_view needle);

// Every occurrence of from replaced by against, scanning from the left; the
// inserted text is never searched again. An empty from leaves the text as it is.
std::string replaceText(std::string_view text, std::string_view from, std::string_view against);

// The pieces between separators (see split): an empty text gives no piece, a
// separator at the very end gives a final empty piece. The separator must not
// be empty.
void splitText(std::string_view text, std::string_view separator, std::vector<std::string_view> &pieces);

// Undoes the escaping of escapestring: \n \r \t \\ \' \" \0 and \xHH (either
// case); a backslash before anything else is kept as it stands.
std::string unescapeText(std::string_view text);

// Numbers of a list such as "1-3, 7; 9-8": items separated by "," or ";",
// each a non-negative 32-bit number or a range counting up or down. Fails with
// "parseintrangelist invalid range list syntax", or with
// "parseintrangelist range list too large" beyond kMaxRangeListNumbers
// (checked before anything is stored).
bool parseIntegerRangeList(std::string_view text, std::vector<int64_t> &numbers, std::string &error);

} // namespace zelkscript
