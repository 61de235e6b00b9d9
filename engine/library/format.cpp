// The formatting and printing family: sprintf, printf, printerrorf, print,
// println, printerror, printerrorln and logmessage.
#include "engine/library/format.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <ostream>

#include "engine/interpreter/context.h"
#include "engine/interpreter/function_table.h"
#include "engine/library/families.h"
#include "engine/values/conversions.h"

namespace zelkscript {

namespace {

using Arguments = std::span<ObjectRef>;

// One conversion as the C grammar reads it: flags, width or "*", "."
// precision or "*", conversion character. Only the flags "-", "+" and "0"
// exist here: the blank and "#" are not among the bytes a conversion may
// hold, so they are reported as invalid conversion characters.
struct ConversionDirective {
    bool leftAlign = false;
    bool plusSign = false;
    bool zeroPad = false;
    bool widthFromArgument = false;
    bool precisionFromArgument = false;
    int64_t width = 0;       // 0: no width
    int64_t precision = -1;  // negative: no precision
    char conversion = 0;
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The bytes that may stand between "%" and the conversion character.
bool isDirectiveByte(char c) { return isDigit(c) || c == '.' || c == '+' || c == '-' || c == '*'; }

bool isConversionCharacter(char c) {
    return c == 'd' || c == 'u' || c == 'x' || c == 'X' || c == 'f' || c == 's' || c == 'c';
}

// Reads digits, saturating just above the field bound so that a number of
// any length stays a defined value that the bound check then refuses.
int64_t readFieldNumber(std::string_view run, size_t &at) {
    int64_t value = 0;
    while (at < run.size() && isDigit(run[at])) {
        value = std::min<int64_t>(value * 10 + (run[at] - '0'), int64_t{kMaxFormatFieldSize} + 1);
        ++at;
    }
    return value;
}

// Parses the bytes between "%" and the conversion character. False when
// they do not follow the grammar ("5-", "1.2.3", "*5"): such a conversion is
// copied into the result as it stands.
bool parseConversionDirective(std::string_view run, ConversionDirective &directive) {
    size_t at = 0;
    for (; at < run.size(); ++at) {
        if (run[at] == '-') directive.leftAlign = true;
        else if (run[at] == '+') directive.plusSign = true;
        else if (run[at] == '0') directive.zeroPad = true;
        else break;
    }
    if (at < run.size() && run[at] == '*') {
        directive.widthFromArgument = true;
        ++at;
    } else {
        directive.width = readFieldNumber(run, at);
    }
    if (at < run.size() && run[at] == '.') {
        ++at;
        if (at < run.size() && run[at] == '*') {
            directive.precisionFromArgument = true;
            ++at;
        } else {
            directive.precision = readFieldNumber(run, at);
        }
    }
    return at == run.size();
}

// A "*" value: the argument as an integer, clamped to what an int holds (C
// takes an int there). A negative width means left alignment, a negative
// precision means none, as in C.
bool readStarArgument(const ObjectRef &argument, int64_t &value, std::string &error) {
    int64_t number = 0;
    if (!convertToInteger(argument.get(), number, error)) return false;
    value = std::clamp<int64_t>(number, -INT_MAX, INT_MAX);
    return true;
}

// Writes sign, leading zeros and body into a field of the directive's width.
// zeroFill: the "0" flag may widen the leading zeros (numbers only).
void appendField(std::string &output, const ConversionDirective &directive, std::string_view sign, size_t zeros,
                 std::string_view body, bool zeroFill) {
    const size_t length = sign.size() + zeros + body.size();
    const size_t pad = directive.width > 0 && static_cast<uint64_t>(directive.width) > length
                           ? static_cast<size_t>(directive.width) - length
                           : 0;
    if (directive.leftAlign) {
        output.append(sign);
        output.append(zeros, '0');
        output.append(body);
        output.append(pad, ' ');
    } else if (zeroFill) {
        output.append(sign);
        output.append(zeros + pad, '0');
        output.append(body);
    } else {
        output.append(pad, ' ');
        output.append(sign);
        output.append(zeros, '0');
        output.append(body);
    }
}

// %d, %u, %x, %X: the low 32 bits of the value, as the C conversions of a
// 32-bit long print them.
void appendInteger(std::string &output, const ConversionDirective &directive, int64_t value) {
    const uint32_t bits = static_cast<uint32_t>(static_cast<uint64_t>(value));
    char digits[16];
    char *end = digits;
    std::string_view sign;
    if (directive.conversion == 'd') {
        const int32_t signedValue = static_cast<int32_t>(bits);
        const uint32_t magnitude = signedValue < 0 ? 0u - bits : bits;
        end = std::to_chars(digits, digits + sizeof digits, magnitude).ptr;
        if (signedValue < 0) sign = "-";
        else if (directive.plusSign) sign = "+";
    } else if (directive.conversion == 'u') {
        end = std::to_chars(digits, digits + sizeof digits, bits).ptr;
    } else {
        end = std::to_chars(digits, digits + sizeof digits, bits, 16).ptr;
        if (directive.conversion == 'X')
            for (char *c = digits; c != end; ++c)
                if (*c >= 'a' && *c <= 'f') *c = static_cast<char>(*c - 'a' + 'A');
    }
    std::string_view body(digits, static_cast<size_t>(end - digits));
    size_t zeros = 0;
    if (directive.precision >= 0) {
        // An explicit precision of 0 prints no digits for the value 0.
        if (directive.precision == 0 && bits == 0) body = {};
        if (static_cast<uint64_t>(directive.precision) > body.size())
            zeros = static_cast<size_t>(directive.precision) - body.size();
    }
    appendField(output, directive, sign, zeros, body, directive.zeroPad && directive.precision < 0 && !directive.leftAlign);
}

// %f: fixed notation, precision 6 unless given; infinities and NaN have the
// fixed texts "inf", "-inf" and "nan" here as everywhere else.
void appendFixed(std::string &output, const ConversionDirective &directive, double value) {
    const size_t precision = directive.precision >= 0 ? static_cast<size_t>(directive.precision) : 6;
    std::string_view sign;
    if (std::isnan(value)) {
        appendField(output, directive, sign, 0, "nan", false);
        return;
    }
    if (std::signbit(value)) sign = "-";
    else if (directive.plusSign) sign = "+";
    const double magnitude = std::fabs(value);
    if (std::isinf(magnitude)) {
        appendField(output, directive, sign, 0, "inf", false);
        return;
    }
    // The integral part of a finite double has at most 309 digits.
    char small[400];
    std::string large;
    char *begin = small;
    size_t capacity = sizeof small;
    if (precision + 320 > sizeof small) {
        large.resize(precision + 320);
        begin = large.data();
        capacity = large.size();
    }
    const auto written = std::to_chars(begin, begin + capacity, magnitude, std::chars_format::fixed,
                                       static_cast<int>(precision));
    const std::string_view body(begin, written.ec == std::errc() ? static_cast<size_t>(written.ptr - begin) : 0);
    appendField(output, directive, sign, 0, body, directive.zeroPad && !directive.leftAlign);
}

void appendText(std::string &output, const ConversionDirective &directive, std::string_view text) {
    if (directive.precision >= 0 && static_cast<uint64_t>(directive.precision) < text.size())
        text = text.substr(0, static_cast<size_t>(directive.precision));
    appendField(output, directive, {}, 0, text, false);
}

bool failFieldTooLarge(std::string &error) {
    error = "format width or precision too large";
    return false;
}

// Formats one conversion whose directive is complete (stars resolved).
bool appendConversion(std::string &output, const ConversionDirective &directive, const ObjectRef &argument,
                      std::string &scratch, std::string &error) {
    if (directive.width > kMaxFormatFieldSize) return failFieldTooLarge(error);
    // A precision only cuts a text, so it needs no bound there.
    if (directive.precision > kMaxFormatFieldSize && directive.conversion != 's') return failFieldTooLarge(error);
    switch (directive.conversion) {
    case 'd':
    case 'u':
    case 'x':
    case 'X': {
        int64_t value = 0;
        if (!convertToInteger(argument.get(), value, error)) return false;
        appendInteger(output, directive, value);
        return true;
    }
    case 'c': {
        int64_t value = 0;
        if (!convertToInteger(argument.get(), value, error)) return false;
        const char byte = static_cast<char>(static_cast<uint8_t>(static_cast<uint64_t>(value)));
        appendField(output, directive, {}, 0, std::string_view(&byte, 1), false);
        return true;
    }
    case 'f': {
        double value = 0;
        if (!convertToDouble(argument.get(), value, error)) return false;
        appendFixed(output, directive, value);
        return true;
    }
    default: // 's'
        appendText(output, directive, argument ? argument->viewText(scratch) : std::string_view());
        return true;
    }
}

std::ostream &outputStreamOf(ZelkScriptContextBase &context) {
    return context.outputStream ? *context.outputStream : std::cout;
}

std::ostream &errorStreamOf(ZelkScriptContextBase &context) {
    return context.errorStream ? *context.errorStream : std::cerr;
}

// The texts of all arguments, one after the other, straight into the stream.
void writeConcatenated(std::ostream &stream, Arguments arguments) {
    std::string scratch;
    for (const ObjectRef &argument : arguments) {
        if (!argument) continue;
        const std::string_view text = argument->viewText(scratch);
        if (!text.empty()) stream.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
}

// ---------------------------------------------------------------------------
// The system functions
// ---------------------------------------------------------------------------

bool sprintfImpl(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    std::string text;
    if (!formatArguments("sprintf", arguments, text, error)) return false;
    result = makeStringObject(std::move(text));
    return true;
}

bool writeFormatted(std::string_view name, std::ostream &stream, Arguments arguments, ObjectRef &result,
                    std::string &error) {
    std::string text;
    if (!formatArguments(name, arguments, text, error)) return false;
    stream.write(text.data(), static_cast<std::streamsize>(text.size()));
    result = makeBoolObject(true);
    return true;
}

bool printfImpl(ZelkScriptContextBase &context, Arguments arguments, ObjectRef &result, std::string &error) {
    return writeFormatted("printf", outputStreamOf(context), arguments, result, error);
}

bool printerrorfImpl(ZelkScriptContextBase &context, Arguments arguments, ObjectRef &result, std::string &error) {
    return writeFormatted("printerrorf", errorStreamOf(context), arguments, result, error);
}

bool printImpl(ZelkScriptContextBase &context, Arguments arguments, ObjectRef &result, std::string &) {
    writeConcatenated(outputStreamOf(context), arguments);
    result = makeBoolObject(true);
    return true;
}

bool printlnImpl(ZelkScriptContextBase &context, Arguments arguments, ObjectRef &result, std::string &) {
    std::ostream &stream = outputStreamOf(context);
    writeConcatenated(stream, arguments);
    stream.put('\n');
    result = makeBoolObject(true);
    return true;
}

bool printerrorImpl(ZelkScriptContextBase &context, Arguments arguments, ObjectRef &result, std::string &) {
    writeConcatenated(errorStreamOf(context), arguments);
    result = makeBoolObject(true);
    return true;
}

bool printerrorlnImpl(ZelkScriptContextBase &context, Arguments arguments, ObjectRef &result, std::string &) {
    std::ostream &stream = errorStreamOf(context);
    writeConcatenated(stream, arguments);
    stream.put('\n');
    result = makeBoolObject(true);
    return true;
}

bool logmessageImpl(ZelkScriptContextBase &context, Arguments arguments, ObjectRef &result, std::string &) {
    std::string text;
    std::string scratch;
    for (const ObjectRef &argument : arguments)
        if (argument) text.append(argument->viewText(scratch));
    context.logLine(text);
    result = makeStringObject(std::move(text));
    return true;
}

} // namespace

bool formatArguments(std::string_view functionName, std::span<const ObjectRef> arguments, std::string &output,
                     std::string &error) {
    if (arguments.empty() || !arguments[0]) {
        error = std::string(functionName) + " requires format parameter as first argument";
        return false;
    }
    std::string formatScratch;
    std::string argumentScratch;
    const std::string_view format = arguments[0]->viewText(formatScratch);
    output.reserve(output.size() + format.size() + 16);
    size_t next = 1;  // the next argument to consume
    size_t at = 0;
    while (at < format.size()) {
        const void *found = std::memchr(format.data() + at, '%', format.size() - at);
        if (!found) {
            output.append(format.substr(at));
            break;
        }
        const size_t percent = static_cast<size_t>(static_cast<const char *>(found) - format.data());
        output.append(format.substr(at, percent - at));
        if (percent + 1 < format.size() && format[percent + 1] == '%') {
            output.push_back('%');
            at = percent + 2;
            continue;
        }
        // Every argument consumed: the rest of the format stays as it is.
        const std::string_view rest = format.substr(percent);
        if (next >= arguments.size()) {
            output.append(rest);
            break;
        }
        size_t end = percent + 1;
        while (end < format.size() && isDirectiveByte(format[end])) ++end;
        if (end >= format.size()) {
            // A "%" (and directive bytes) at the very end converts nothing.
            output.append(rest);
            break;
        }
        const char conversion = format[end];
        if (!isConversionCharacter(conversion)) {
            error = std::string("invalid ") + conversion + " format character: " + conversion;
            return false;
        }
        const std::string_view run = format.substr(percent + 1, end - percent - 1);
        if (std::count(run.begin(), run.end(), '*') > 2) {
            error = "too many format * arguments";
            return false;
        }
        at = end + 1;
        ConversionDirective directive;
        directive.conversion = conversion;
        if (!parseConversionDirective(run, directive)) {
            output.append(format.substr(percent, at - percent));
            continue;
        }
        const size_t needed = size_t{directive.widthFromArgument} + size_t{directive.precisionFromArgument} + 1;
        if (arguments.size() - next < needed) {
            // The stars took the arguments the conversion itself needed.
            output.append(rest);
            break;
        }
        if (directive.widthFromArgument) {
            int64_t width = 0;
            if (!readStarArgument(arguments[next++], width, error)) return false;
            if (width < 0) directive.leftAlign = true;
            directive.width = width < 0 ? -width : width;
        }
        if (directive.precisionFromArgument) {
            int64_t precision = 0;
            if (!readStarArgument(arguments[next++], precision, error)) return false;
            directive.precision = precision < 0 ? -1 : precision;
        }
        if (!appendConversion(output, directive, arguments[next++], argumentScratch, error)) return false;
    }
    return true;
}

void registerFormatFunctions(SystemFunctionRegistry &registry) {
    registry.addByHelpText("sprintf(format,...)", &sprintfImpl);
    registry.addByHelpText("printf(format,...)", &printfImpl);
    registry.addByHelpText("print(format,...)", &printImpl);
    registry.addByHelpText("println()", &printlnImpl);
    registry.addByHelpText("println(text,...)", &printlnImpl);
    registry.addByHelpText("printerrorf(format,...)", &printerrorfImpl);
    registry.addByHelpText("printerror(text,...)", &printerrorImpl);
    registry.addByHelpText("printerrorln()", &printerrorlnImpl);
    registry.addByHelpText("printerrorln(text,...)", &printerrorlnImpl);
    registry.addByHelpText("logmessage(text1,...)", &logmessageImpl);
}

} // namespace zelkscript
