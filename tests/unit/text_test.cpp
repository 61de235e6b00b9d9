// The text family where a script cannot look: that searching stays linear on
// hostile needles, that refused requests allocate nothing, that reservespace
// really reserves, and that every form of the family has an implementation.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "engine/interpreter/context.h"
#include "engine/interpreter/function_table.h"
#include "engine/library/text.h"
#include "engine/values/conversions.h"
#include "engine/values/handlers.h"

namespace zelkscript {
namespace {

bool callSystemFunction(std::string_view name, std::vector<ObjectRef> arguments, ObjectRef &result,
                        std::string &error) {
    const SystemFunctionEntry *entry = SystemFunctionTable::instance().findSystemFunction(name, arguments.size());
    if (!entry || !entry->implementation) {
        error = "no implementation";
        return false;
    }
    ZelkScriptContextBase context;
    return entry->implementation(context, arguments, result, error);
}

TEST(TextFamily, EveryFormIsImplemented) {
    const std::vector<std::string_view> helpTexts = {
        "translate(text)", "translate(text, context)", "strlen(text)", "length(text)", "size(text)",
        "comparetext(a,b)", "comparetextignorecase(a,b)", "comparenumeric(a,b)", "isempty(text)",
        "mid(text,pos)", "mid(text,pos,len)", "left(text,len)", "right(text,len)", "index(text,subtext)",
        "fill(text, pos, len, filltext)", "shortcut(text, maxlen)", "shortmiddlecut(text, maxlen)",
        "containstext(text,subtext)", "textcontains(text,subtext)", "textstartswith(text,subtext)",
        "textendswith(text,subtext)", "parseintrangelist(text)", "rindex(text,subtext)", "reservespace(text,len)",
        "strcmp(text1,text2)", "stricmp(text1,text2)", "trim(text)", "trimleft(text)", "trimright(text)",
        "escapestring(text)", "unescapestring(text)", "quotestring(text)", "unquotestring(text)", "ord(text)",
        "isnumber(text)", "ishexnumber(text)", "isalpha(text)", "isalphanumeric(text)", "iswhitespace(text)",
        "chr(value)", "toupper(text)", "tolower(text)", "split(text)", "split(text,separator)",
        "splitlines(text, trimends)", "splitwords(text)", "splitwords(text,sepcharacters)",
        "join(sep,text1,text2,...)", "join(sep,vector)", "concat(vector)", "concat(text1,...)",
        "replace(text,from,against)"};
    const SystemFunctionTable &table = SystemFunctionTable::instance();
    for (std::string_view helpText : helpTexts) {
        bool found = false;
        for (const SystemFunctionEntry &entry : table.entries()) {
            if (entry.helpText != helpText) continue;
            found = true;
            EXPECT_NE(entry.implementation, nullptr) << helpText;
        }
        EXPECT_TRUE(found) << helpText;
    }
}

// A needle that matches everywhere but in its last byte makes a naive search
// quadratic: these sizes would take minutes that way.
TEST(TextSearch, HostileNeedlesStayLinear) {
    const std::string text(2u << 20, 'a');
    std::string needle(1u << 20, 'a');
    needle.back() = 'b';
    EXPECT_EQ(findText(text, needle), std::string_view::npos);
    std::string reversedNeedle = needle;
    reversedNeedle.front() = 'b';
    reversedNeedle.back() = 'a';
    EXPECT_EQ(findLastText(text, reversedNeedle), std::string_view::npos);

    std::string withHit = text;
    withHit.replace(1000, needle.size(), needle);
    EXPECT_EQ(findText(withHit, needle), 1000u);
    EXPECT_EQ(findLastText(withHit, needle), 1000u);

    std::vector<std::string_view> pieces;
    splitText(text, needle, pieces);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(replaceText(text, needle, "x").size(), text.size());
}

TEST(TextSearch, FindAgreesWithTheStandardSearch) {
    using namespace std::string_view_literals;
    const std::string text = std::string("abcabcab\0cab"sv) + std::string(300, 'z') + "abc";
    const std::string longNeedle = "c" + std::string(300, 'z');
    for (std::string_view needle : {"a"sv, "abc"sv, "cab"sv, "zz"sv, "q"sv, ""sv, "b\0c"sv}) {
        EXPECT_EQ(findText(text, needle), text.find(needle)) << needle;
        EXPECT_EQ(findText(text, needle, 4), text.find(needle, 4)) << needle;
        EXPECT_EQ(findLastText(text, needle), text.rfind(needle)) << needle;
    }
    EXPECT_EQ(findLastText(text, longNeedle), text.rfind(longNeedle));
    EXPECT_EQ(findText(text, "a", text.size() + 1), std::string_view::npos);
}

TEST(TextRangeList, RefusesHugeListsBeforeStoring) {
    std::vector<int64_t> numbers;
    std::string error;
    EXPECT_FALSE(parseIntegerRangeList("0-2147483647", numbers, error));
    EXPECT_EQ(error, "parseintrangelist range list too large");
    EXPECT_EQ(numbers.capacity(), 0u);
    EXPECT_FALSE(parseIntegerRangeList("2147483647-0", numbers, error));
    EXPECT_TRUE(parseIntegerRangeList("5-3;1", numbers, error));
    EXPECT_EQ(numbers, (std::vector<int64_t>{5, 4, 3, 1}));
}

TEST(TextReserve, ReservesTheVariablesStorage) {
    ObjectRef text = makeStringObject("abc");
    ObjectRef result;
    std::string error;
    ASSERT_TRUE(callSystemFunction("reservespace", {text, makeLongObject(100000)}, result, error)) << error;
    EXPECT_TRUE(result->istrue());
    auto *handler = static_cast<ZelkScriptObjectStringHandler *>(text->handler());
    EXPECT_GE(handler->text().capacity(), 100000u);
    EXPECT_EQ(handler->text(), "abc");
}

TEST(TextReserve, RefusesAbsurdLengthsWithoutAllocating) {
    ObjectRef text = makeStringObject("abc");
    ObjectRef result;
    std::string error;
    EXPECT_FALSE(callSystemFunction("reservespace", {text, makeLongObject(1000000000000000)}, result, error));
    EXPECT_EQ(error, "reservespace length argument too large");
    auto *handler = static_cast<ZelkScriptObjectStringHandler *>(text->handler());
    EXPECT_LT(handler->text().capacity(), 1000u);
}

// A join that would build terabytes fails instead of asking for them.
TEST(TextJoin, RefusesResultsBeyondTheTextLimit) {
    ObjectRef vector = makeVectorObject();
    auto *elements = static_cast<ZelkScriptObjectVectorHandler *>(vector->handler());
    for (int i = 0; i < 5000; ++i) elements->appendElement(makeStringObject("x"));
    ObjectRef separator = makeStringObject(std::string(1u << 20, '-'));
    ObjectRef result;
    std::string error;
    EXPECT_FALSE(callSystemFunction("join", {separator, vector}, result, error));
    EXPECT_EQ(error, "join result text too large");

    ObjectRef many = makeStringObject(std::string(1u << 20, 'a'));
    EXPECT_FALSE(callSystemFunction("replace", {many, makeStringObject("a"), separator}, result, error));
    EXPECT_EQ(error, "replace result text too large");
}

} // namespace
} // namespace zelkscript
