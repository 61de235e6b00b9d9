// The text functions family of system functions: measuring, cutting,
// searching, comparing, case and class tests, splitting, joining, escaping,
// range lists and plain replacement. Arguments are read as views into the
// values' own texts wherever possible, so the functions that scripts call in
// loops (mid, length, index, ...) copy nothing but their result.
#include "engine/library/text.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "engine/interpreter/function_table.h"
#include "engine/interpreter/operators.h"
#include "engine/library/families.h"
#include "engine/values/conversions.h"
#include "engine/values/handlers.h"

namespace zelkscript {

namespace {

// Largest text that replace, join and concat build. One call could otherwise
// ask for terabytes (a long separator between a million elements), which the
// system may grant lazily and then kill the process for.
constexpr std::size_t kMaxTextResultSize = std::size_t{1} << 30;

// Longest needle for which a plain reverse scan is used; its worst case is
// this factor times the text length. Longer needles take the two-way search
// on reversed copies, which is linear whatever the input.
constexpr std::size_t kShortNeedleLimit = 256;

// ---------------------------------------------------------------------------
// C-locale byte classes, written out rather than taken from <cctype>, whose
// answers follow the process locale and which must not see negative chars.
// Bytes above 127 belong to no class.
// ---------------------------------------------------------------------------
inline unsigned char byteOf(char c) { return static_cast<unsigned char>(c); }
inline bool isSpaceByte(char c) { return c == ' ' || (byteOf(c) >= '\t' && byteOf(c) <= '\r'); }
inline bool isDigitByte(char c) { return c >= '0' && c <= '9'; }
inline bool isLetterByte(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
inline bool isLetterOrDigitByte(char c) { return isLetterByte(c) || isDigitByte(c); }
inline bool isHexDigitByte(char c) { return isDigitByte(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
inline char upperByte(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
inline char lowerByte(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

inline int hexDigitValue(char c) {
    if (isDigitByte(c)) return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

inline bool fail(std::string &error, std::string_view message) {
    error.assign(message.data(), message.size());
    return false;
}

// ---------------------------------------------------------------------------
// Argument reading.
// ---------------------------------------------------------------------------
const ObjectRef &argumentAt(std::span<ObjectRef> arguments, std::size_t index) {
    static const ObjectRef kMissing;
    return index < arguments.size() ? arguments[index] : kMissing;
}

// The to-string conversion: any value but a missing one. The view lives as
// long as the value is unchanged and scratch is not reused.
bool readTextArgument(const ObjectRef &value, std::string &scratch, std::string_view &text, std::string &error) {
    if (!value) return fail(error, "string expected");
    text = value->viewText(scratch);
    return true;
}

// The value's text as it stands; a missing value reads as the empty text.
std::string_view readAnyText(const ObjectRef &value, std::string &scratch) {
    if (!value) return {};
    return value->viewText(scratch);
}

bool readIntegerArgument(const ObjectRef &value, int64_t &number, std::string &error) {
    return convertToInteger(value.get(), number, error);
}

ObjectRef makeText(std::string_view text) { return makeStringObject(std::string(text)); }

bool isNullish(const ObjectRef &value) { return !value || value->gettype() == ValueTypeUndefined; }

ZelkScriptObjectVectorHandler *plainVector(const ObjectRef &value) {
    if (!value || value->gettype() != ValueTypeVector) return nullptr;
    ZelkScriptDataHandler *handler = value->handler();
    if (!handler || handler->plainKind() != ZelkScriptDataHandler::PlainKind::Vector) return nullptr;
    return static_cast<ZelkScriptObjectVectorHandler *>(handler);
}

ZelkScriptObjectStructureHandler *plainStructure(const ObjectRef &value) {
    if (!value || value->gettype() != ValueTypeStructure) return nullptr;
    ZelkScriptDataHandler *handler = value->handler();
    if (!handler || handler->plainKind() != ZelkScriptDataHandler::PlainKind::Structure) return nullptr;
    return static_cast<ZelkScriptObjectStructureHandler *>(handler);
}

// A new vector holding a new string value for each piece.
ObjectRef makeTextVector(const std::vector<std::string_view> &pieces) {
    ObjectRef vector = makeVectorObject();
    auto *elements = static_cast<ZelkScriptObjectVectorHandler *>(vector->handler());
    elements->reserveElements(pieces.size());
    for (std::string_view piece : pieces) elements->appendElement(makeText(piece));
    return vector;
}

// Number of elements of a vector or visible members of a structure; the
// text length of anything else. The value must not be missing.
bool measureValue(const ObjectRef &value, int64_t &size, std::string &error) {
    switch (value->gettype()) {
    case ValueTypeUndefined: size = 0; return true;
    case ValueTypeVector:
        if (ZelkScriptObjectVectorHandler *vector = plainVector(value)) {
            size = static_cast<int64_t>(vector->elements().size());
            return true;
        }
        return value->vectorsize(size, error);
    case ValueTypeStructure:
        if (ZelkScriptObjectStructureHandler *structure = plainStructure(value)) {
            size = 0;
            for (const auto &member : structure->members()) {
                // A member that was accessed but never assigned is not listed.
                if (!member.second || member.second->gettype() != ValueTypeUndefined) ++size;
            }
            return true;
        } else {
            NameList names;
            if (!value->getstructurefields(names, error)) return false;
            size = static_cast<int64_t>(names.size());
            return true;
        }
    default: {
        std::string scratch;
        size = static_cast<int64_t>(value->viewText(scratch).size());
        return true;
    }
    }
}

// Calls visit(text) for each contribution of concat and join: every element
// of a vector, every member of a structure in name order, the text of any
// other value (a missing value reads as the empty text).
template <class Visit>
bool visitContributions(std::span<ObjectRef> values, std::string &error, Visit &&visit) {
    std::string scratch;
    auto visitValue = [&](const ObjectRef &value) -> bool {
        scratch.clear();
        return visit(readAnyText(value, scratch));
    };
    for (const ObjectRef &value : values) {
        if (ZelkScriptObjectVectorHandler *vector = plainVector(value)) {
            for (const ObjectRef &element : vector->elements()) {
                if (!visitValue(element)) return false;
            }
        } else if (ZelkScriptObjectStructureHandler *structure = plainStructure(value)) {
            for (const auto &member : structure->members()) {
                if (member.second && member.second->gettype() == ValueTypeUndefined) continue;
                if (!visitValue(member.second)) return false;
            }
        } else if (value && value->gettype() == ValueTypeVector) {
            ObjectList elements;
            if (!value->getvectorelements(elements, error)) return false;
            for (const ObjectRef &element : elements) {
                if (!visitValue(element)) return false;
            }
        } else if (value && value->gettype() == ValueTypeStructure) {
            NameList names;
            if (!value->getstructurefields(names, error)) return false;
            for (const std::string &name : names) {
                ObjectRef member;
                if (!value->getstructuremember(name, member, error)) return false;
                if (!visitValue(member)) return false;
            }
        } else if (!visitValue(value)) {
            return false;
        }
    }
    return true;
}

// The text of a plain string value without copying, or null for any other.
const std::string *plainStringText(const ObjectRef &value) {
    if (!value || value->gettype() != ValueTypeString) return nullptr;
    ZelkScriptDataHandler *handler = value->handler();
    if (!handler || handler->plainKind() != ZelkScriptDataHandler::PlainKind::String) return nullptr;
    return &static_cast<ZelkScriptObjectStringHandler *>(handler)->text();
}

// A lower bound of the size of a join, from one cheap pass over the plain
// values: the number of contributions and the bytes of those that are plain
// strings. It lets the result be reserved once and an oversized join fail
// before anything is built.
uint64_t estimateJoinSize(std::span<ObjectRef> values, std::size_t separatorSize) {
    uint64_t count = 0, bytes = 0;
    auto countValue = [&](const ObjectRef &value) {
        ++count;
        if (const std::string *text = plainStringText(value)) bytes += text->size();
    };
    for (const ObjectRef &value : values) {
        if (ZelkScriptObjectVectorHandler *vector = plainVector(value)) {
            for (const ObjectRef &element : vector->elements()) countValue(element);
        } else if (ZelkScriptObjectStructureHandler *structure = plainStructure(value)) {
            for (const auto &member : structure->members()) {
                if (!member.second || member.second->gettype() != ValueTypeUndefined) countValue(member.second);
            }
        } else {
            countValue(value);
        }
    }
    return bytes + (count > 1 ? (count - 1) * static_cast<uint64_t>(separatorSize) : 0);
}

// Joins the contributions of values with separator between them.
bool joinContributions(std::string_view functionName, std::string_view separator, std::span<ObjectRef> values,
                       ObjectRef &result, std::string &error) {
    const uint64_t estimate = estimateJoinSize(values, separator.size());
    if (estimate > kMaxTextResultSize) return fail(error, std::string(functionName) + " result text too large");
    std::string out;
    out.reserve(static_cast<std::size_t>(estimate));
    bool first = true;
    bool tooLarge = false;
    bool ok = visitContributions(values, error, [&](std::string_view text) {
        const std::size_t added = (first ? 0 : separator.size()) + text.size();
        if (added > kMaxTextResultSize - out.size()) {
            tooLarge = true;
            return false;
        }
        if (!first) out.append(separator);
        first = false;
        out.append(text);
        return true;
    });
    if (tooLarge) return fail(error, std::string(functionName) + " result text too large");
    if (!ok) return false;
    result = makeStringObject(std::move(out));
    return true;
}

// Upper-case comparison of two texts as unsigned bytes: -1, 0 or 1.
int compareIgnoringCase(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char x = byteOf(upperByte(a[i])), y = byteOf(upperByte(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int compareBytes(std::string_view a, std::string_view b) {
    const int c = a.compare(b);  // char_traits<char> compares as unsigned bytes
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::string_view trimTextLeft(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && isSpaceByte(text[start])) ++start;
    return text.substr(start);
}

std::string_view trimTextRight(std::string_view text) {
    std::size_t end = text.size();
    while (end > 0 && isSpaceByte(text[end - 1])) --end;
    return text.substr(0, end);
}

// ---------------------------------------------------------------------------
// Measuring and cutting.
// ---------------------------------------------------------------------------
bool strlenFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result, std::string &) {
    std::string scratch;
    result = makeLongObject(static_cast<int64_t>(readAnyText(argumentAt(arguments, 0), scratch).size()));
    return true;
}

bool lengthFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result,
                    std::string &error) {
    const ObjectRef &value = argumentAt(arguments, 0);
    if (!value) return fail(error, "expected string or vector or structure");
    int64_t size = 0;
    if (!measureValue(value, size, error)) return false;
    result = makeLongObject(size);
    return true;
}

bool isemptyFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result,
                     std::string &error) {
    const ObjectRef &value = argumentAt(arguments, 0);
    bool empty = true;
    if (!isNullish(value)) {
        if (plainStructure(value)) {
            empty = false;  // its text is at least "{}"
        } else if (value->gettype() == ValueTypeVector) {
            int64_t size = 0;
            if (!measureValue(value, size, error)) return false;
            empty = size == 0;
        } else {
            std::string scratch;
            empty = value->viewText(scratch).empty();
        }
    }
    result = makeBoolObject(empty);
    return true;
}

bool midFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result, std::string &error) {
    std::string scratch;
    const std::string_view text = readAnyText(argumentAt(arguments, 0), scratch);
    int64_t position = 0;
    if (!readIntegerArgument(argumentAt(arguments, 1), position, error)) return false;
    if (position < 0) return fail(error, "mid position argument must be a positive number");
    int64_t length = -1;  // to the end
    if (arguments.size() > 2) {
        if (!readIntegerArgument(argumentAt(arguments, 2), length, error)) return false;
        if (length < 0) return fail(error, "mid optional length argument must be a positive number");
    }
    if (static_cast<uint64_t>(position) >= text.size()) {
        result = makeStringObject(std::string());
        return true;
    }
    const std::size_t start = static_cast<std::size_t>(position);
    std::size_t count = text.size() - start;
    if (length >= 0 && static_cast<uint64_t>(length) < count) count = static_cast<std::size_t>(length);
    result = makeText(text.substr(start, count));
    return true;
}

bool leftFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result, std::string &error) {
    std::string scratch;
    std::string_view text;
    if (!readTextArgument(argumentAt(arguments, 0), scratch, text, error)) return false;
    int64_t length = 0;
    if (!readIntegerArgument(argumentAt(arguments, 1), length, error)) return false;
    if (length < 0) return fail(error, "left optional length position argument must be a positive number");
    if (static_cast<uint64_t>(length) < text.size()) text = text.substr(0, static_cast<std::size_t>(length));
    result = makeText(text);
    return true;
}

bool rightFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result,
                   std::string &error) {
    std::string scratch;
    std::string_view text;
    if (!readTextArgument(argumentAt(arguments, 0), scratch, text, error)) return false;
    int64_t length = 0;
    if (!readIntegerArgument(argumentAt(arguments, 1), length, error)) return false;
    if (length < 0) return fail(error, "right optional length position argument must be a positive number");
    if (static_cast<uint64_t>(length) < text.size()) text = text.substr(text.size() - static_cast<std::size_t>(length));
    result = makeText(text);
    return true;
}

bool fillFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result, std::string &error) {
    std::string textScratch, fillScratch;
    std::string_view text, filler;
    if (!readTextArgument(argumentAt(arguments, 0), textScratch, text, error)) return false;
    int64_t position = 0, length = 0;
    if (!readIntegerArgument(argumentAt(arguments, 1), position, error)) return false;
    if (!readIntegerArgument(argumentAt(arguments, 2), length, error)) return false;
    if (!readTextArgument(argumentAt(arguments, 3), fillScratch, filler, error)) return false;
    if (length <= 0) return fail(error, "fill size must be a positive number");
    if (position < 0 || static_cast<uint64_t>(position) >= text.size())
        return fail(error, "fill pos must be a positive number inside text");
    if (filler.empty()) {
        result = makeStringObject(std::string());
        return true;
    }
    std::string out(text);
    const std::size_t start = static_cast<std::size_t>(position);
    const std::size_t end = start + std::min<uint64_t>(static_cast<uint64_t>(length), text.size() - start);
    // The fill text repeats from its start at pos, in whole copies and a cut last one.
    for (std::size_t at = start; at < end; at += filler.size())
        std::memcpy(out.data() + at, filler.data(), std::min(filler.size(), end - at));
    result = makeStringObject(std::move(out));
    return true;
}

bool reservespaceFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result,
                          std::string &error) {
    int64_t length = 0;
    if (!readIntegerArgument(argumentAt(arguments, 1), length, error)) return false;
    if (length <= 0) return fail(error, "reservespace length argument must be a positive number");
    // Refused before anything is asked of the allocator: a hint of 10^15
    // bytes must not reach it.
    if (length > kMaxReservedTextSize) return fail(error, "reservespace length argument too large");
    const ObjectRef &target = argumentAt(arguments, 0);
    bool reserved = false;
    if (target && target->gettype() == ValueTypeString && target->handler() &&
        target->handler()->plainKind() == ZelkScriptDataHandler::PlainKind::String) {
        auto *handler = static_cast<ZelkScriptObjectStringHandler *>(target->handler());
        const std::string &current = handler->text();
        if (current.capacity() < static_cast<uint64_t>(length)) {
            std::string storage;
            storage.reserve(static_cast<std::size_t>(length));
            storage.append(current);
            handler->moveText(std::move(storage));
        }
        reserved = true;
    }
    result = makeBoolObject(reserved);
    return true;
}

bool shortcutFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result,
                      std::string &error) {
    std::string scratch;
    std::string_view text;
    if (!readTextArgument(argumentAt(arguments, 0), scratch, text, error)) return false;
    int64_t maxLength = 0;
    if (!readIntegerArgument(argumentAt(arguments, 1), maxLength, error)) return false;
    if (maxLength <= 0) return fail(error, "shortcut maxlen argument must be a positive number");
    if (text.size() <= static_cast<uint64_t>(maxLength)) {
        result = makeText(text);
    } else if (maxLength <= 3) {
        result = makeText("...");
    } else {
        std::string out(text.substr(0, static_cast<std::size_t>(maxLength - 3)));
        out += "...";
        result = makeStringObject(std::move(out));
    }
    return true;
}

bool shortmiddlecutFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result,
                            std::string &error) {
    std::string scratch;
    std::string_view text;
    if (!readTextArgument(argumentAt(arguments, 0), scratch, text, error)) return false;
    int64_t maxLength = 0;
    if (!readIntegerArgument(argumentAt(arguments, 1), maxLength, error)) return false;
    if (maxLength <= 0) return fail(error, "shortmiddlecut maxlen argument must be a positive number");
    if (text.size() <= static_cast<uint64_t>(maxLength)) {
        result = makeText(text);
    } else if (maxLength <= 3) {
        result = makeText("...");
    } else {
        // maxLength < text.size() here, so both parts lie inside the text.
        const std::size_t kept = static_cast<std::size_t>(maxLength - 3);
        const std::size_t head = (kept + 1) / 2, tail = kept - head;
        std::string out;
        out.reserve(kept + 3);
        out.append(text.substr(0, head));
        out += "...";
        out.append(text.substr(text.size() - tail));
        result = makeStringObject(std::move(out));
    }
    return true;
}

// ---------------------------------------------------------------------------
// Searching.
// ---------------------------------------------------------------------------

// Reads the two text arguments of the searching functions.
bool readTextPair(std::span<ObjectRef> arguments, std::string &scratchA, std::string &scratchB, std::string_view &a,
                  std::string_view &b, std::string &error) {
    return readTextArgument(argumentAt(arguments, 0), scratchA, a, error) &&
           readTextArgument(argumentAt(arguments, 1), scratchB, b, error);
}

int64_t positionResult(std::size_t position) {
    return position == std::string_view::npos ? -1 : static_cast<int64_t>(position);
}

bool indexFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result, std::string &error) {
    std::string scratchA, scratchB;
    std::string_view text, subtext;
    if (!readTextPair(arguments, scratchA, scratchB, text, subtext, error)) return false;
    result = makeLongObject(positionResult(findText(text, subtext)));
    return true;
}

bool rindexFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result,
                    std::string &error) {
    std::string scratchA, scratchB;
    std::string_view text, subtext;
    if (!readTextPair(arguments, scratchA, scratchB, text, subtext, error)) return false;
    result = makeLongObject(positionResult(findLastText(text, subtext)));
    return true;
}

bool containstextFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result,
                          std::string &error) {
    std::string scratchA, scratchB;
    std::string_view text, subtext;
    if (!readTextPair(arguments, scratchA, scratchB, text, subtext, error)) return false;
    result = makeBoolObject(findText(text, subtext) != std::string_view::npos);
    return true;
}

bool textstartswithFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result,
                            std::string &error) {
    std::string scratchA, scratchB;
    std::string_view text, subtext;
    if (!readTextPair(arguments, scratchA, scratchB, text, subtext, error)) return false;
    // "The first occurrence is at 0" is the prefix test; no search is needed.
    result = makeBoolObject(text.starts_with(subtext));
    return true;
}

bool textendswithFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result,
                          std::string &error) {
    std::string scratchA, scratchB;
    std::string_view text, subtext;
    if (!readTextPair(arguments, scratchA, scratchB, text, subtext, error)) return false;
    result = makeBoolObject(!text.empty() && !subtext.empty() && text.ends_with(subtext));
    return true;
}

bool replaceFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result,
                     std::string &error) {
    std::string scratchText, scratchFrom, scratchAgainst;
    const std::string_view text = readAnyText(argumentAt(arguments, 0), scratchText);
    const std::string_view from = readAnyText(argumentAt(arguments, 1), scratchFrom);
    const std::string_view against = readAnyText(argumentAt(arguments, 2), scratchAgainst);
    if (from.empty() || against.size() <= from.size()) {
        result = makeStringObject(replaceText(text, from, against));
        return true;
    }
    // The result grows by the difference per occurrence: count first, so an
    // absurd result is refused before it is built.
    std::size_t occurrences = 0;
    for (std::size_t at = findText(text, from); at != std::string_view::npos;
         at = findText(text, from, at + from.size()))
        ++occurrences;
    const std::size_t growth = against.size() - from.size();
    if (occurrences != 0 && growth > (kMaxTextResultSize - std::min(text.size(), kMaxTextResultSize)) / occurrences)
        return fail(error, "replace result text too large");
    result = makeStringObject(replaceText(text, from, against));
    return true;
}

// ---------------------------------------------------------------------------
// Case, comparison and byte classes.
// ---------------------------------------------------------------------------
template <char (*Map)(char)>
bool mapBytesFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result,
                      std::string &error) {
    std::string scratch;
    std::string_view text;
    if (!readTextArgument(argumentAt(arguments, 0), scratch, text, error)) return false;
    std::string out(text);
    for (char &c : out) c = Map(c);
    result = makeStringObject(std::move(out));
    return true;
}

template <std::string_view (*Trim)(std::string_view)>
bool trimFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result, std::string &error) {
    std::string scratch;
    std::string_view text;
    if (!readTextArgument(argumentAt(arguments, 0), scratch, text, error)) return false;
    result = makeText(Trim(text));
    return true;
}

std::string_view trimTextBoth(std::string_view text) { return trimTextRight(trimTextLeft(text)); }

template <int (*Compare)(std::string_view, std::string_view)>
bool compareTextFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result,
                         std::string &error) {
    std::string scratchA, scratchB;
    std::string_view a, b;
    if (!readTextPair(arguments, scratchA, scratchB, a, b, error)) return false;
    result = makeLongObject(Compare(a, b));
    return true;
}

bool comparenumericFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result,
                            std::string &error) {
    const ObjectRef &a = argumentAt(arguments, 0), &b = argumentAt(arguments, 1);
    bool less = false, greater = false;
    if (!compareValues('<', false, a, b, less, error)) return false;
    if (!less && !compareValues('>', false, a, b, greater, error)) return false;
    result = makeLongObject(less ? -1 : (greater ? 1 : 0));
    return true;
}

bool ordFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result, std::string &error) {
    std::string scratch;
    std::string_view text;
    if (!readTextArgument(argumentAt(arguments, 0), scratch, text, error)) return false;
    if (text.size() != 1) return fail(error, "function ord requires a string with length 1 as argument");
    result = makeLongObject(byteOf(text[0]));
    return true;
}

bool chrFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result, std::string &error) {
    int64_t value = 0;
    if (!readIntegerArgument(argumentAt(arguments, 0), value, error)) return false;
    if (value < 0 || value > 255) return fail(error, "function chr expects a number between 0 and 255");
    result = makeStringObject(std::string(1, static_cast<char>(static_cast<unsigned char>(value))));
    return true;
}

bool isnumberFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result, std::string &) {
    const ObjectRef &value = argumentAt(arguments, 0);
    NumberView view;
    // Only string-typed values have number facts; a container's text starts
    // with a bracket and is never a number.
    result = makeBoolObject(!isNullish(value) && value->readNumber(view) && view.facts.isNumberText());
    return true;
}

template <bool (*InClass)(char)>
bool byteClassFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result, std::string &) {
    const ObjectRef &value = argumentAt(arguments, 0);
    bool answer = false;
    if (!isNullish(value)) {
        std::string scratch;
        const std::string_view text = value->viewText(scratch);
        answer = !text.empty() && std::all_of(text.begin(), text.end(), InClass);
    }
    result = makeBoolObject(answer);
    return true;
}

// ---------------------------------------------------------------------------
// Splitting and joining.
// ---------------------------------------------------------------------------
bool splitFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result, std::string &error) {
    std::string textScratch, separatorScratch;
    std::string_view text, separator;
    if (!readTextArgument(argumentAt(arguments, 0), textScratch, text, error)) return false;
    if (arguments.size() > 1 &&
        !readTextArgument(argumentAt(arguments, 1), separatorScratch, separator, error))
        return false;
    if (separator.empty()) separator = ",";
    std::vector<std::string_view> pieces;
    splitText(text, separator, pieces);
    result = makeTextVector(pieces);
    return true;
}

bool splitwordsFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result,
                        std::string &error) {
    std::string textScratch, separatorScratch;
    std::string_view text, separators = ",;: \t\r\n";
    if (!readTextArgument(argumentAt(arguments, 0), textScratch, text, error)) return false;
    if (arguments.size() > 1 &&
        !readTextArgument(argumentAt(arguments, 1), separatorScratch, separators, error))
        return false;
    std::array<bool, 256> isSeparator{};
    for (char c : separators) {
        if (byteOf(c) < 128) isSeparator[byteOf(c)] = true;  // bytes above 127 never separate
    }
    isSeparator[0] = true;
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && isSeparator[byteOf(text[at])]) ++at;
        const std::size_t start = at;
        while (at < text.size() && !isSeparator[byteOf(text[at])]) ++at;
        if (at > start) words.push_back(text.substr(start, at - start));
    }
    result = makeTextVector(words);
    return true;
}

bool splitlinesFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result,
                        std::string &error) {
    std::string scratch;
    std::string_view text;
    if (!readTextArgument(argumentAt(arguments, 0), scratch, text, error)) return false;
    bool trimEnds = false;
    if (!convertToBoolean(argumentAt(arguments, 1).get(), trimEnds, error)) return false;
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const void *lineFeed = std::memchr(text.data() + start, '\n', text.size() - start);
        const std::size_t end =
            lineFeed ? static_cast<std::size_t>(static_cast<const char *>(lineFeed) - text.data()) + 1 : text.size();
        std::string_view line = text.substr(start, end - start);
        lines.push_back(trimEnds ? trimTextRight(line) : line);
        start = end;
    }
    result = makeTextVector(lines);
    return true;
}

bool concatFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result,
                    std::string &error) {
    return joinContributions("concat", std::string_view(), arguments, result, error);
}

bool joinFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result, std::string &error) {
    std::string scratch;
    std::string_view separator;
    if (!readTextArgument(argumentAt(arguments, 0), scratch, separator, error)) return false;
    return joinContributions("join", separator, arguments.subspan(1), result, error);
}

// ---------------------------------------------------------------------------
// Escaping, quoting, range lists, translation.
// ---------------------------------------------------------------------------
bool escapestringFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result,
                          std::string &error) {
    std::string scratch;
    std::string_view text;
    if (!readTextArgument(argumentAt(arguments, 0), scratch, text, error)) return false;
    result = makeStringObject(escapeText(text));
    return true;
}

bool quotestringFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result,
                         std::string &error) {
    std::string scratch;
    std::string_view text;
    if (!readTextArgument(argumentAt(arguments, 0), scratch, text, error)) return false;
    std::string out;
    out.reserve(text.size() + 2);
    out += '\'';
    appendEscapedText(out, text);
    out += '\'';
    result = makeStringObject(std::move(out));
    return true;
}

bool unescapestringFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result,
                            std::string &error) {
    std::string scratch;
    std::string_view text;
    if (!readTextArgument(argumentAt(arguments, 0), scratch, text, error)) return false;
    result = makeStringObject(unescapeText(text));
    return true;
}

bool unquotestringFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result,
                           std::string &error) {
    std::string scratch;
    std::string_view text;
    if (!readTextArgument(argumentAt(arguments, 0), scratch, text, error)) return false;
    if (text.size() >= 2 && (text.front() == '\'' || text.front() == '"') && text.back() == text.front())
        text = text.substr(1, text.size() - 2);
    result = makeStringObject(unescapeText(text));
    return true;
}

bool parseintrangelistFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result,
                               std::string &error) {
    std::string scratch;
    std::string_view text;
    if (!readTextArgument(argumentAt(arguments, 0), scratch, text, error)) return false;
    std::vector<int64_t> numbers;
    if (!parseIntegerRangeList(text, numbers, error)) return false;
    ObjectRef vector = makeVectorObject();
    auto *elements = static_cast<ZelkScriptObjectVectorHandler *>(vector->handler());
    elements->reserveElements(numbers.size());
    for (int64_t number : numbers) elements->appendElement(makeLongObject(number));
    result = std::move(vector);
    return true;
}

bool translateFunction(ZelkScriptContextBase &, std::span<ObjectRef> arguments, ObjectRef &result,
                       std::string &error) {
    std::string scratch;
    std::string_view text;
    if (!readTextArgument(argumentAt(arguments, 0), scratch, text, error)) return false;
    // No message catalogue exists: every text translates to itself, whatever
    // category the second argument names.
    result = makeText(text);
    return true;
}

// Reads a decimal number of a range list (digits only) that must fit 32 bits.
bool readRangeListNumber(std::string_view text, std::size_t &at, int64_t &number) {
    const std::size_t start = at;
    number = 0;
    while (at < text.size() && isDigitByte(text[at])) {
        number = number * 10 + (text[at] - '0');
        if (number > INT32_MAX) return false;
        ++at;
    }
    return at > start;
}

void skipSpaces(std::string_view text, std::size_t &at) {
    while (at < text.size() && isSpaceByte(text[at])) ++at;
}

} // namespace

// ---------------------------------------------------------------------------
// Byte-text algorithms.
// ---------------------------------------------------------------------------
std::size_t findText(std::string_view text, std::string_view needle, std::size_t from) {
    if (from > text.size()) return std::string_view::npos;
    if (needle.empty()) return from;
    const std::size_t rest = text.size() - from;
    if (needle.size() > rest) return std::string_view::npos;
    const void *hit = needle.size() == 1 ? std::memchr(text.data() + from, needle[0], rest)
                                         : ::memmem(text.data() + from, rest, needle.data(), needle.size());
    return hit ? static_cast<std::size_t>(static_cast<const char *>(hit) - text.data()) : std::string_view::npos;
}

std::size_t findLastText(std::string_view text, std::string_view needle) {
    if (needle.size() > text.size()) return std::string_view::npos;
    if (needle.size() == 1) {
        const void *hit = ::memrchr(text.data(), needle[0], text.size());
        return hit ? static_cast<std::size_t>(static_cast<const char *>(hit) - text.data()) : std::string_view::npos;
    }
    if (needle.size() <= kShortNeedleLimit) return text.rfind(needle);
    // The last occurrence is the first one in the reversed text.
    const std::string reversedText(text.rbegin(), text.rend());
    const std::string reversedNeedle(needle.rbegin(), needle.rend());
    const std::size_t hit = findText(reversedText, reversedNeedle);
    return hit == std::string_view::npos ? hit : text.size() - hit - needle.size();
}

std::string replaceText(std::string_view text, std::string_view from, std::string_view against) {
    if (from.empty()) return std::string(text);
    std::string out;
    std::size_t copied = 0;
    for (std::size_t at = findText(text, from); at != std::string_view::npos; at = findText(text, from, copied)) {
        if (out.empty()) out.reserve(text.size());
        out.append(text.substr(copied, at - copied));
        out.append(against);
        copied = at + from.size();
    }
    out.append(text.substr(copied));
    return out;
}

void splitText(std::string_view text, std::string_view separator, std::vector<std::string_view> &pieces) {
    pieces.clear();
    if (text.empty() || separator.empty()) {
        if (!text.empty()) pieces.push_back(text);
        return;
    }
    std::size_t at = 0;
    for (;;) {
        const std::size_t hit = findText(text, separator, at);
        if (hit == std::string_view::npos) {
            pieces.push_back(text.substr(at));
            return;
        }
        pieces.push_back(text.substr(at, hit - at));
        at = hit + separator.size();
        if (at == text.size()) {
            pieces.emplace_back();  // a separator at the very end leaves an empty last piece
            return;
        }
    }
}

std::string unescapeText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t backslash = text.find('\\', at);
        if (backslash == std::string_view::npos) break;
        out.append(text.substr(at, backslash - at));
        at = backslash;
        if (at + 1 >= text.size()) break;  // a final backslash is copied below
        const char next = text[at + 1];
        switch (next) {
        case 'n': out += '\n'; at += 2; continue;
        case 'r': out += '\r'; at += 2; continue;
        case 't': out += '\t'; at += 2; continue;
        case '0': out += '\0'; at += 2; continue;
        case '\\': case '\'': case '"': out += next; at += 2; continue;
        case 'x': case 'X':
            if (at + 3 < text.size()) {
                const int high = hexDigitValue(text[at + 2]), low = hexDigitValue(text[at + 3]);
                if (high >= 0 && low >= 0) {
                    out += static_cast<char>(high * 16 + low);
                    at += 4;
                    continue;
                }
            }
            break;
        default: break;
        }
        out += '\\';  // not an escape: the backslash stays and decoding goes on behind it
        ++at;
    }
    out.append(text.substr(std::min(at, text.size())));
    return out;
}

bool parseIntegerRangeList(std::string_view text, std::vector<int64_t> &numbers, std::string &error) {
    static constexpr std::string_view kSyntaxError = "parseintrangelist invalid range list syntax";
    struct Range {
        int64_t from, to;
    };
    std::vector<Range> ranges;
    int64_t total = 0;
    std::size_t at = 0;
    for (;;) {
        Range range{};
        skipSpaces(text, at);
        if (!readRangeListNumber(text, at, range.from)) return fail(error, kSyntaxError);
        range.to = range.from;
        skipSpaces(text, at);
        if (at < text.size() && text[at] == '-') {
            ++at;
            skipSpaces(text, at);
            if (!readRangeListNumber(text, at, range.to)) return fail(error, kSyntaxError);
            skipSpaces(text, at);
        }
        // Counted before anything is stored, so "0-2147483647" costs nothing.
        total += (range.from <= range.to ? range.to - range.from : range.from - range.to) + 1;
        if (total > kMaxRangeListNumbers) return fail(error, "parseintrangelist range list too large");
        ranges.push_back(range);
        if (at == text.size()) break;
        if (text[at] != ',' && text[at] != ';') return fail(error, kSyntaxError);
        ++at;
    }
    numbers.clear();
    numbers.reserve(static_cast<std::size_t>(total));
    for (const Range &range : ranges) {
        const int64_t step = range.from <= range.to ? 1 : -1;
        for (int64_t number = range.from;; number += step) {
            numbers.push_back(number);
            if (number == range.to) break;
        }
    }
    error.clear();
    return true;
}

void registerTextFunctions(SystemFunctionRegistry &registry) {
    registry.addByHelpText("translate(text)", &translateFunction);
    registry.addByHelpText("translate(text, context)", &translateFunction);
    registry.addByHelpText("strlen(text)", &strlenFunction);
    registry.addByHelpText("length(text)", &lengthFunction);
    registry.addByHelpText("size(text)", &lengthFunction);
    registry.addByHelpText("comparetext(a,b)", &compareTextFunction<compareBytes>);
    registry.addByHelpText("comparetextignorecase(a,b)", &compareTextFunction<compareIgnoringCase>);
    registry.addByHelpText("comparenumeric(a,b)", &comparenumericFunction);
    registry.addByHelpText("isempty(text)", &isemptyFunction);
    registry.addByHelpText("mid(text,pos)", &midFunction);
    registry.addByHelpText("mid(text,pos,len)", &midFunction);
    registry.addByHelpText("left(text,len)", &leftFunction);
    registry.addByHelpText("right(text,len)", &rightFunction);
    registry.addByHelpText("index(text,subtext)", &indexFunction);
    registry.addByHelpText("fill(text, pos, len, filltext)", &fillFunction);
    registry.addByHelpText("shortcut(text, maxlen)", &shortcutFunction);
    registry.addByHelpText("shortmiddlecut(text, maxlen)", &shortmiddlecutFunction);
    registry.addByHelpText("containstext(text,subtext)", &containstextFunction);
    registry.addByHelpText("textcontains(text,subtext)", &containstextFunction);
    registry.addByHelpText("textstartswith(text,subtext)", &textstartswithFunction);
    registry.addByHelpText("textendswith(text,subtext)", &textendswithFunction);
    registry.addByHelpText("parseintrangelist(text)", &parseintrangelistFunction);
    registry.addByHelpText("rindex(text,subtext)", &rindexFunction);
    registry.addByHelpText("reservespace(text,len)", &reservespaceFunction);
    registry.addByHelpText("strcmp(text1,text2)", &compareTextFunction<compareBytes>);
    registry.addByHelpText("stricmp(text1,text2)", &compareTextFunction<compareIgnoringCase>);
    registry.addByHelpText("trim(text)", &trimFunction<trimTextBoth>);
    registry.addByHelpText("trimleft(text)", &trimFunction<trimTextLeft>);
    registry.addByHelpText("trimright(text)", &trimFunction<trimTextRight>);
    registry.addByHelpText("escapestring(text)", &escapestringFunction);
    registry.addByHelpText("unescapestring(text)", &unescapestringFunction);
    registry.addByHelpText("quotestring(text)", &quotestringFunction);
    registry.addByHelpText("unquotestring(text)", &unquotestringFunction);
    registry.addByHelpText("ord(text)", &ordFunction);
    registry.addByHelpText("isnumber(text)", &isnumberFunction);
    registry.addByHelpText("ishexnumber(text)", &byteClassFunction<isHexDigitByte>);
    registry.addByHelpText("isalpha(text)", &byteClassFunction<isLetterByte>);
    registry.addByHelpText("isalphanumeric(text)", &byteClassFunction<isLetterOrDigitByte>);
    registry.addByHelpText("iswhitespace(text)", &byteClassFunction<isSpaceByte>);
    registry.addByHelpText("chr(value)", &chrFunction);
    registry.addByHelpText("toupper(text)", &mapBytesFunction<upperByte>);
    registry.addByHelpText("tolower(text)", &mapBytesFunction<lowerByte>);
    registry.addByHelpText("split(text)", &splitFunction);
    registry.addByHelpText("split(text,separator)", &splitFunction);
    registry.addByHelpText("splitlines(text, trimends)", &splitlinesFunction);
    registry.addByHelpText("splitwords(text)", &splitwordsFunction);
    registry.addByHelpText("splitwords(text,sepcharacters)", &splitwordsFunction);
    registry.addByHelpText("join(sep,text1,text2,...)", &joinFunction);
    registry.addByHelpText("join(sep,vector)", &joinFunction);
    registry.addByHelpText("concat(vector)", &concatFunction);
    registry.addByHelpText("concat(text1,...)", &concatFunction);
    // Only the plain form: the replace-options form belongs with the pattern
    // functions.
    registry.addByHelpText("replace(text,from,against)", &replaceFunction);
}

} // namespace zelkscript
