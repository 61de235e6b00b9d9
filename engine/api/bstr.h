// Counted wide strings at the boundary: wchar_t code units, NUL-terminated,
// with the byte length as a 32-bit integer just before the text, allocated
// with malloc. Texts are bytes, so each byte becomes the code unit of the
// same value and back again: the round trip loses nothing.
#pragma once

#include <string>
#include <string_view>

namespace zelkscript {

// A new counted string holding the bytes widened one to one; null when
// memory runs out or the text is too long for the 32-bit length.
wchar_t *allocateCountedWideText(std::string_view bytes) noexcept;

// Frees a string made by allocateCountedWideText; null is ignored.
void freeCountedWideText(wchar_t *text) noexcept;

// The wide text up to its first NUL as bytes: UTF-8 when utf8 is set (code
// units that are no Unicode scalar value become U+FFFD), otherwise one byte
// per code unit, with "?" for units above 255.
std::string narrowWideText(const wchar_t *text, bool utf8);

} // namespace zelkscript
