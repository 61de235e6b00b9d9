// A script's text and where things stand in it. The text is shared and
// reference counted because every syntax-tree node keeps a share of it (for
// the debugger's source lines), so it lives exactly as long as any node made
// from it. Positions are small values that are copied freely.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "engine/values/ref.h"

namespace zelkscript {

// The whole script text, shared between the scanner and every node.
class ZelkScriptSourceText : public RefCounted {
public:
    explicit ZelkScriptSourceText(std::string text) : bytes(std::move(text)) {}
    const std::string bytes;
};

using SourceTextRef = Ref<ZelkScriptSourceText>;

// What a scanner and a parser are built from: a name for messages (a file
// path, or any caller-chosen name, possibly empty) and the text (possibly
// absent, which reads as an empty script).
struct ZelkScriptSource {
    std::string sourceName;
    SourceTextRef text;

    ZelkScriptSource() = default;
    ZelkScriptSource(std::string name, SourceTextRef sharedText)
        : sourceName(std::move(name)), text(std::move(sharedText)) {}
    ZelkScriptSource(std::string name, std::string scriptText)
        : sourceName(std::move(name)), text(makeRef<ZelkScriptSourceText>(std::move(scriptText))) {}
};

// Line and column are 1-based; the offset is the 0-based byte index.
struct ZelkScriptCursor {
    int32_t line = 1;
    int32_t column = 1;
    uint32_t offset = 0;
};

struct ZelkScriptPosition {
    int32_t line = 1;
    int32_t column = 1;
    uint32_t offset = 0;
    std::string sourceName;

    ZelkScriptPosition() = default;
    ZelkScriptPosition(int32_t lineNumber, int32_t columnNumber, uint32_t byteOffset, std::string name)
        : line(lineNumber), column(columnNumber), offset(byteOffset), sourceName(std::move(name)) {}
    ZelkScriptPosition(const ZelkScriptCursor &cursor, std::string name)
        : line(cursor.line), column(cursor.column), offset(cursor.offset), sourceName(std::move(name)) {}
};

// "L12C5" for line 12, column 5; empty when the line is 0 (no position).
std::string formatShortPosition(const ZelkScriptPosition &position);
// The source name, a blank and the short form; the short form alone for an
// unnamed source.
std::string formatLongPosition(const ZelkScriptPosition &position);
// As the long form, with the source name cut to its last path component.
std::string formatBaseNamePosition(const ZelkScriptPosition &position);

} // namespace zelkscript
