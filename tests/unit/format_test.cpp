// Formatting and printing where a script cannot look: the error stream, the
// process log, a context without an output stream, and the format walk
// compared conversion by conversion with the C library's own printf.
#include <gtest/gtest.h>

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/interpreter/context.h"
#include "engine/interpreter/runtime.h"
#include "engine/library/format.h"
#include "engine/values/conversions.h"

using namespace zelkscript;

namespace {

bool runText(ZelkScriptContextBase &context, const std::string &text, std::string *message = nullptr) {
    ObjectRef result;
    ZelkScriptErrorException error("", "", 0, 0);
    const bool ok = runScriptText(context, text, "", result, &error);
    if (!ok && message) *message = error.getMessage();
    return ok;
}

class LoggingContext : public ZelkScriptContextBase {
public:
    void logLine(const std::string &text) override { lines.push_back(text); }
    std::vector<std::string> lines;
};

std::string formatValues(const std::vector<ObjectRef> &arguments, bool *ok = nullptr) {
    std::string output;
    std::string error;
    const bool formatted = formatArguments("sprintf", arguments, output, error);
    if (ok) *ok = formatted;
    return formatted ? output : "error: " + error;
}

} // namespace

TEST(FormatPrinting, ErrorFormsWriteToTheErrorStreamOnly) {
    ZelkScriptContextBase context;
    std::ostringstream output, errors;
    context.outputStream = &output;
    context.errorStream = &errors;
    ASSERT_TRUE(runText(context, R"(printerror("a", 1); printerrorln("b"); printerrorln();
                                   printerrorf("%03d|%s", 7, "x"); print("o"); println("p"); printf("%x", 255);)"));
    EXPECT_EQ(errors.str(), "a1b\n\n007|x");
    EXPECT_EQ(output.str(), "op\nff");
}

TEST(FormatPrinting, FailedFormatWritesNothing) {
    ZelkScriptContextBase context;
    std::ostringstream output, errors;
    context.outputStream = &output;
    context.errorStream = &errors;
    std::string message;
    EXPECT_FALSE(runText(context, R"(printf("ok %d %d", 1, "x");)", &message));
    EXPECT_EQ(message, "integer value expected");
    EXPECT_FALSE(runText(context, R"(printerrorf("ok %d %q", 1, 2);)", &message));
    EXPECT_EQ(message, "invalid q format character: q");
    EXPECT_EQ(output.str(), "");
    EXPECT_EQ(errors.str(), "");
}

TEST(FormatPrinting, LogmessageHandsOneLineToTheContext) {
    LoggingContext context;
    ASSERT_TRUE(runText(context, R"(logmessage("x", 2, [3]); logmessage("");)"));
    EXPECT_EQ(context.lines, (std::vector<std::string>{"x2[3]", ""}));
}

TEST(FormatPrinting, ContextWithoutStreamsWritesToTheProcessStreams) {
    ZelkScriptContextBase context;
    context.outputStream = nullptr;
    context.errorStream = nullptr;
    std::ostringstream capturedOut, capturedErr;
    std::streambuf *savedOut = std::cout.rdbuf(capturedOut.rdbuf());
    std::streambuf *savedErr = std::cerr.rdbuf(capturedErr.rdbuf());
    const bool ok = runText(context, R"(print("a"); println("b"); printf("%d", 3); printerrorln("e");)");
    std::cout.rdbuf(savedOut);
    std::cerr.rdbuf(savedErr);
    ASSERT_TRUE(ok);
    EXPECT_EQ(capturedOut.str(), "ab\n3");
    EXPECT_EQ(capturedErr.str(), "e\n");
}

TEST(FormatWalk, AppendsToTheCallersText) {
    std::string output = "head:";
    std::string error;
    ASSERT_TRUE(formatArguments("sprintf", std::vector<ObjectRef>{makeStringObject("%d"), makeLongObject(5)}, output,
                                error));
    EXPECT_EQ(output, "head:5");
}

TEST(FormatWalk, NamesTheCallerWhenTheFormatIsMissing) {
    std::string output;
    std::string error;
    EXPECT_FALSE(formatArguments("printerrorf", std::vector<ObjectRef>{}, output, error));
    EXPECT_EQ(error, "printerrorf requires format parameter as first argument");
    EXPECT_FALSE(formatArguments("sprintf", std::vector<ObjectRef>{ObjectRef(), makeLongObject(1)}, output, error));
    EXPECT_EQ(error, "sprintf requires format parameter as first argument");
}

// Every combination of the flags, widths and precisions the grammar allows,
// for each numeric conversion, must give what the C library gives for the
// same directive on the 32-bit value (or the double).
TEST(FormatWalk, NumericConversionsAgreeWithTheCLibrary) {
    const char *const flags[] = {"", "-", "+", "0", "-0", "+0", "+-"};
    const char *const widths[] = {"", "1", "7", "12"};
    const char *const precisions[] = {"", ".", ".0", ".1", ".4", ".9"};
    const long long integers[] = {0, 1, -1, 42, -42, 255, 2147483647, -2147483647 - 1, 4294967295LL, 4294967296LL + 9,
                                  -9223372036854775807LL - 1};
    const double doubles[] = {0.0, -0.25, 0.5, 1.5, 2.5, -2.675, 3.14159265, 1e-7, 123456789.0625, -1e20, 1e300};
    int compared = 0;
    for (const char *flag : flags)
        for (const char *width : widths)
            for (const char *precision : precisions) {
                for (const char conversion : {'d', 'u', 'x', 'X'}) {
                    const std::string directive = std::string("%") + flag + width + precision + conversion;
                    for (const long long value : integers) {
                        char expected[128];
                        const unsigned bits = static_cast<unsigned>(static_cast<unsigned long long>(value));
                        if (conversion == 'd')
                            std::snprintf(expected, sizeof expected, directive.c_str(), static_cast<int>(bits));
                        else
                            std::snprintf(expected, sizeof expected, directive.c_str(), bits);
                        EXPECT_EQ(formatValues({makeStringObject(directive), makeLongObject(value)}), expected)
                            << directive << " of " << value;
                        ++compared;
                    }
                }
                const std::string directive = std::string("%") + flag + width + precision + 'f';
                for (const double value : doubles) {
                    char expected[512];
                    std::snprintf(expected, sizeof expected, directive.c_str(), value);
                    // Through a text, as scripts hand doubles over.
                    char text[64];
                    std::snprintf(text, sizeof text, "%.17g", value);
                    EXPECT_EQ(formatValues({makeStringObject(directive), makeStringObject(text)}), expected)
                        << directive << " of " << text;
                    ++compared;
                }
            }
    EXPECT_GT(compared, 8000);
}

TEST(FormatWalk, TextConversionsAgreeWithTheCLibrary) {
    const char *const directives[] = {"%s", "%5s", "%-5s", "%.2s", "%5.1s", "%-7.3s", "%.0s", "%c", "%4c", "%-4c"};
    for (const char *directive : directives) {
        char expected[64];
        if (std::string(directive).back() == 'c') std::snprintf(expected, sizeof expected, directive, 'q');
        else std::snprintf(expected, sizeof expected, directive, "abcd");
        const ObjectRef argument = std::string(directive).back() == 'c' ? makeLongObject('q') : makeStringObject("abcd");
        EXPECT_EQ(formatValues({makeStringObject(directive), argument}), expected) << directive;
    }
}

TEST(FormatWalk, TextsWithNulBytesPassWhole) {
    const std::string withNul("a\0b", 3);
    const std::string result =
        formatValues({makeStringObject("[%s|%c]"), makeStringObject(withNul), makeLongObject(0)});
    EXPECT_EQ(result, std::string("[a\0b|\0]", 7));
}

TEST(FormatWalk, StarsAtTheIntLimitsAreClampedBeforeTheBound) {
    bool ok = true;
    EXPECT_EQ(formatValues({makeStringObject("%*d"), makeLongObject(-9223372036854775807LL - 1), makeLongObject(1)},
                           &ok),
              "error: format width or precision too large");
    EXPECT_FALSE(ok);
    // A precision of any size only cuts a text.
    EXPECT_EQ(formatValues({makeStringObject("%.*s"), makeLongObject(9223372036854775807LL), makeStringObject("xy")}),
              "xy");
    EXPECT_EQ(formatValues({makeStringObject("%.*s"), makeLongObject(-9223372036854775807LL - 1),
                            makeStringObject("xy")}),
              "xy");
}
