// The text forms every handler inherits (structure text, vector text, quoted
// text) and the escaping they use. The plain containers are written by direct
// appends into one output text; any other handler is asked through its
// virtual interface, which gives the same text.
#include <algorithm>

#include "engine/values/container_walk.h"
#include "engine/values/handlers.h"

namespace zelkscript {

namespace {

inline bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// Bytes written unchanged: printable ASCII other than the three quoting
// characters, and the German letters of the Latin-1 code page.
inline bool isVerbatimByte(unsigned char c) {
    if (c >= 0x20 && c < 0x7F) return c != '\\' && c != '\'' && c != '"';
    switch (c) {
    case 0xE4: case 0xF6: case 0xFC: case 0xDF: case 0xC4: case 0xD6: case 0xDC: return true;
    default: return false;
    }
}

void appendMemberName(std::string &out, std::string_view name) {
    if (isBareMemberName(name)) {
        out += name;
        return;
    }
    out += '\'';
    appendEscapedText(out, name);
    out += '\'';
}

void appendPlainVectorText(std::string &out, ZelkScriptObjectVectorHandler &vector);
void appendPlainStructureText(std::string &out, ZelkScriptObjectStructureHandler &structure);

void appendPlainVectorText(std::string &out, ZelkScriptObjectVectorHandler &vector) {
    ContainerWalkGuard guard(&vector);
    if (!guard.entered()) {
        out += kElidedContainerText;
        return;
    }
    out += '[';
    bool first = true;
    for (const ObjectRef &element : vector) {
        if (!first) out += ',';
        first = false;
        if (element) appendQuotedText(out, element.get());
    }
    out += ']';
}

void appendPlainStructureText(std::string &out, ZelkScriptObjectStructureHandler &structure) {
    ContainerWalkGuard guard(&structure);
    if (!guard.entered()) {
        out += kElidedContainerText;
        return;
    }
    out += '{';
    bool first = true;
    // The member map is already in byte-wise name order.
    for (const auto &[name, member] : structure.members()) {
        if (member && member->gettype() == ValueTypeUndefined) continue;  // never assigned
        if (!first) out += ", ";
        first = false;
        appendMemberName(out, name);
        out += ": ";
        if (member) appendQuotedText(out, member.get());
        else out += "null";
    }
    out += '}';
}

} // namespace

void appendEscapedText(std::string &out, std::string_view text) {
    static const char kHexDigits[] = "0123456789ABCDEF";
    size_t runStart = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (isVerbatimByte(c)) continue;
        out.append(text.data() + runStart, i - runStart);
        runStart = i + 1;
        switch (c) {
        case 0: out += "\\0"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\\': out += "\\\\"; break;
        case '\'': out += "\\'"; break;
        case '"': out += "\\\""; break;
        default:
            out += "\\x";
            out += kHexDigits[c >> 4];
            out += kHexDigits[c & 0x0F];
            break;
        }
    }
    out.append(text.data() + runStart, text.size() - runStart);
}

std::string escapeText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    appendEscapedText(out, text);
    return out;
}

bool isPlainDecimalText(std::string_view text) {
    size_t i = (!text.empty() && text[0] == '-') ? 1 : 0;
    const size_t digitsStart = i;
    while (i < text.size() && isAsciiDigit(text[i])) ++i;
    if (i == digitsStart) return false;
    if (i == text.size()) return true;
    if (text[i] != '.') return false;
    const size_t fractionStart = ++i;
    while (i < text.size() && isAsciiDigit(text[i])) ++i;
    return i > fractionStart && i == text.size();
}

bool isBareMemberName(std::string_view name) {
    if (name.empty()) return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isAsciiDigit(c) || c == '_';
    });
}

void appendQuotedText(std::string &out, const ZelkScriptObject *value) {
    if (value == nullptr || value->gettype() == ValueTypeUndefined) return;
    ZelkScriptDataHandler *handler = value->handler();
    if (handler == nullptr) {
        out += "invalid datahandler";
        return;
    }
    switch (handler->plainKind()) {
    case ZelkScriptDataHandler::PlainKind::String:
        static_cast<ZelkScriptObjectStringHandler *>(handler)->appendQuotedText(out);
        return;
    case ZelkScriptDataHandler::PlainKind::Vector:
        appendPlainVectorText(out, *static_cast<ZelkScriptObjectVectorHandler *>(handler));
        return;
    case ZelkScriptDataHandler::PlainKind::Structure:
        appendPlainStructureText(out, *static_cast<ZelkScriptObjectStructureHandler *>(handler));
        return;
    case ZelkScriptDataHandler::PlainKind::None: break;
    }
    out += handler->getquotedtext();
}

// ---------------------------------------------------------------------------
// The inherited text forms
// ---------------------------------------------------------------------------

std::string ZelkScriptDataHandler::getquotedtext() {
    if (!isstring()) return gettext();
    std::string text;
    std::string error;
    if (!getstring(text, error)) return error;
    if (isPlainDecimalText(text)) return text;
    std::string out;
    out.reserve(text.size() + 2);
    out += '\'';
    appendEscapedText(out, text);
    out += '\'';
    return out;
}

std::string ZelkScriptDataHandler::getstructuretext() {
    if (!isstructure()) return "{}";
    ContainerWalkGuard guard(this);
    if (!guard.entered()) return std::string(kElidedContainerText);
    NameList names;
    std::string error;
    if (!getstructurefields(names, error)) return error;
    if (!std::is_sorted(names.begin(), names.end())) std::sort(names.begin(), names.end());
    std::string out = "{";
    bool first = true;
    for (const std::string &name : names) {
        if (!first) out += ", ";
        first = false;
        appendMemberName(out, name);
        out += ": ";
        ObjectRef member;
        if (!getstructuremember(name, member, error)) return error;
        if (member) appendQuotedText(out, member.get());
        else out += "null";
    }
    out += '}';
    return out;
}

std::string ZelkScriptDataHandler::getvectortext() {
    if (!isvector()) return "[]";
    ContainerWalkGuard guard(this);
    if (!guard.entered()) return std::string(kElidedContainerText);
    int64_t size = 0;
    std::string error;
    if (!vectorsize(size, error)) return error;
    std::string out = "[";
    for (int64_t index = 0; index < size; ++index) {
        if (index > 0) out += ',';
        ObjectRef element;
        if (!getvectorelement(index, element, error)) return error;
        if (element) appendQuotedText(out, element.get());
    }
    out += ']';
    return out;
}

std::string ZelkScriptObjectVectorHandler::gettext() {
    std::string out;
    appendPlainVectorText(out, *this);
    return out;
}

std::string ZelkScriptObjectStructureHandler::gettext() {
    std::string out;
    appendPlainStructureText(out, *this);
    return out;
}

} // namespace zelkscript
