// Counted wide strings.
#include "engine/api/bstr.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace zelkscript {

namespace {

constexpr size_t kLengthPrefixSize = sizeof(uint32_t);
// The prefix is followed by wchar_t units, which need their alignment.
static_assert(kLengthPrefixSize % alignof(wchar_t) == 0, "length prefix must keep wchar_t aligned");

void appendUtf8(std::string &out, uint32_t codePoint) {
    if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) codePoint = 0xFFFD;
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

} // namespace

wchar_t *allocateCountedWideText(std::string_view bytes) noexcept {
    const uint64_t byteLength = static_cast<uint64_t>(bytes.size()) * sizeof(wchar_t);
    if (byteLength > UINT32_MAX - sizeof(wchar_t) - kLengthPrefixSize) return nullptr;
    auto *block = static_cast<unsigned char *>(std::malloc(kLengthPrefixSize + byteLength + sizeof(wchar_t)));
    if (!block) return nullptr;
    const uint32_t length = static_cast<uint32_t>(byteLength);
    std::memcpy(block, &length, sizeof length);
    auto *text = reinterpret_cast<wchar_t *>(block + kLengthPrefixSize);
    for (size_t i = 0; i < bytes.size(); ++i) text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
    text[bytes.size()] = L'\0';
    return text;
}

void freeCountedWideText(wchar_t *text) noexcept {
    if (text) std::free(reinterpret_cast<unsigned char *>(text) - kLengthPrefixSize);
}

std::string narrowWideText(const wchar_t *text, bool utf8) {
    std::string out;
    if (!text) return out;
    for (const wchar_t *unit = text; *unit != L'\0'; ++unit) {
        const uint32_t value = static_cast<uint32_t>(*unit);
        if (utf8) appendUtf8(out, value);
        else out.push_back(value <= 0xFF ? static_cast<char>(value) : '?');
    }
    return out;
}

} // namespace zelkscript
