// Introspection and script control: the engine version, source positions of
// the running code, type and text of values, eval, include and running other
// script files, libraries, variable queries, sleeping, exit and raising
// errors.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "engine/frontend/parser.h"
#include "engine/interpreter/context.h"
#include "engine/interpreter/function_table.h"
#include "engine/interpreter/include.h"
#include "engine/interpreter/permissions.h"
#include "engine/interpreter/runtime.h"
#include "engine/library/families.h"
#include "engine/values/conversions.h"
#include "engine/values/handlers.h"

namespace zelkscript {

namespace {

using Arguments = std::span<ObjectRef>;

constexpr const char *kEngineVersion = "1.4";

std::string argumentText(const Arguments &arguments, size_t index) {
    if (index >= arguments.size() || !arguments[index]) return std::string();
    return arguments[index]->gettext();
}

// ---------------------------------------------------------------------------
// Version
// ---------------------------------------------------------------------------

bool versionText(ZelkScriptContextBase &, Arguments, ObjectRef &result, std::string &) {
    result = makeStringObject(kEngineVersion);
    return true;
}

bool useVersion(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    double wanted = 0;
    if (!parseFloatText(argumentText(arguments, 0), wanted)) {
        error = "function __USEVERSION__ requires a version number argument (e.g. 1.0)";
        return false;
    }
    double engine = 0;
    if (!parseFloatText(kEngineVersion, engine)) engine = 0;
    if (wanted <= engine) {
        result = makeBoolObject(true);
        return true;
    }
    error = std::string("zelkscript version is older than required version: ") + kEngineVersion;
    return false;
}

// ---------------------------------------------------------------------------
// Positions
// ---------------------------------------------------------------------------

enum class PositionPart { Line, Pos, File, Folder, Code, CodePos };

const char *positionFunctionName(PositionPart part) {
    switch (part) {
    case PositionPart::Line: return "__LINE__";
    case PositionPart::Pos: return "__POS__";
    case PositionPart::File: return "__FILE__";
    case PositionPart::Folder: return "__FOLDER__";
    case PositionPart::Code: return "__CODE__";
    case PositionPart::CodePos: return "__CODEPOS__";
    }
    return "";
}

std::string positionText(const ZelkScriptPosition &position) {
    return ZelkScriptErrorException("", position.sourceName, position.line, position.column).getPositionText();
}

bool positionFunction(PositionPart part, ZelkScriptContextBase &context, Arguments arguments, ObjectRef &result,
                      std::string &error) {
    if (context.evalDepth() > 0) {
        error = std::string(positionFunctionName(part)) + "() is not allowed during eval";
        return false;
    }
    int64_t sublevel = 0;
    if (!arguments.empty() && !convertToInteger(arguments[0].get(), sublevel, error)) return false;
    const ZelkScriptExpressionBase *node = nullptr;
    if (sublevel == 0) {
        node = context.currentStatement;
    } else if (sublevel > 0 && static_cast<uint64_t>(sublevel) <= context.callNodes.size()) {
        node = context.callNodes[context.callNodes.size() - static_cast<size_t>(sublevel)];
    }
    if (!node) {
        error = "current function not found on callstack";
        return false;
    }
    const ZelkScriptPosition &position = node->getPosition();
    switch (part) {
    case PositionPart::Line: result = makeLongObject(position.line); break;
    case PositionPart::Pos: result = makeStringObject(positionText(position)); break;
    case PositionPart::File:
    case PositionPart::Folder: {
        std::string file = position.sourceName;
        std::error_code ignored;
        if (!file.empty() && std::filesystem::exists(file, ignored)) {
            std::filesystem::path absolute = std::filesystem::absolute(file, ignored);
            if (!ignored) file = absolute.lexically_normal().string();
        }
        result = makeStringObject(part == PositionPart::File ? file : folderOfPath(file));
        break;
    }
    case PositionPart::Code: result = makeStringObject(node->getSourceText()); break;
    case PositionPart::CodePos:
        result = makeStringObject(positionText(position) + " " + node->getSourceText());
        break;
    }
    return true;
}

template <PositionPart part>
bool positionOf(ZelkScriptContextBase &context, Arguments arguments, ObjectRef &result, std::string &error) {
    return positionFunction(part, context, arguments, result, error);
}

// ---------------------------------------------------------------------------
// Values
// ---------------------------------------------------------------------------

bool getDebugInfo(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    if (arguments.empty() || !arguments[0]) {
        error = "function getdebuginfo expects an object parameter";
        return false;
    }
    result = makeStringObject(arguments[0]->dump());
    return true;
}

bool getType(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &) {
    result = makeStringObject(getScriptTypeName(arguments.empty() ? ObjectRef() : arguments[0]));
    return true;
}

bool toString(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    if (arguments.empty() || !arguments[0]) {
        error = "function tostring expects an object parameter";
        return false;
    }
    result = makeStringObject(arguments[0]->gettext());
    return true;
}

// Sixteen bytes a line: offset, the bytes in hexadecimal, a tab, the
// printable bytes.
bool hexDump(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &) {
    if (arguments.empty() || !arguments[0]) {
        result = makeStringObject("<null>");
        return true;
    }
    std::string text = arguments[0]->gettext();
    if (text.empty()) {
        result = makeStringObject("<empty>");
        return true;
    }
    std::string out;
    char line[32];
    for (size_t offset = 0; offset < text.size(); offset += 16) {
        std::snprintf(line, sizeof line, "%08zx ", offset);
        out += line;
        for (size_t i = 0; i < 16; ++i) {
            if (offset + i < text.size()) {
                std::snprintf(line, sizeof line, "%02X ", static_cast<unsigned char>(text[offset + i]));
                out += line;
            } else {
                out += "   ";
            }
        }
        out += '\t';
        for (size_t i = 0; i < 16 && offset + i < text.size(); ++i) {
            unsigned char c = static_cast<unsigned char>(text[offset + i]);
            out += (c >= 32 && c < 127) ? static_cast<char>(c) : '.';
        }
        out += '\n';
    }
    result = makeStringObject(std::move(out));
    return true;
}

bool duplicateValue(ZelkScriptContextBase &, Arguments arguments, ObjectRef &result, std::string &error) {
    if (arguments.empty() || !arguments[0]) {
        error = "function duplicate(obj) requires an object as parameter";
        return false;
    }
    std::string ignored;
    if (!arguments[0]->clone(result, ignored) || !result) {
        error = "function duplicate(obj) not available";
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Variables
// ---------------------------------------------------------------------------

bool variableIsDefined(ZelkScriptContextBase &context, const std::string &name) {
    if (!isValidVariableName(name)) return false;
    return context.findVariableSlot(VariableName(name), LookupMode::Visible) != nullptr;
}

bool isVariableDefined(ZelkScriptContextBase &context, Arguments arguments, ObjectRef &result, std::string &) {
    result = makeBoolObject(variableIsDefined(context, argumentText(arguments, 0)));
    return true;
}

bool isDefined(ZelkScriptContextBase &context, Arguments arguments, ObjectRef &result, std::string &) {
    const ObjectRef value = arguments.empty() ? ObjectRef() : arguments[0];
    if (!value || value->isnull()) {
        result = makeLongObject(0);
        return true;
    }
    if (value->gettype() == ValueTypeString && value->getname().empty()) {
        result = makeBoolObject(variableIsDefined(context, value->gettext()));
        return true;
    }
    result = makeBoolObject(true);
    return true;
}

bool getArg(ZelkScriptContextBase &context, Arguments arguments, ObjectRef &result, std::string &error) {
    std::string name = argumentText(arguments, 0);
    if (!isValidVariableName(name)) {
        error = "function getarg requires a variable name as argument";
        return false;
    }
    if (ObjectRef *slot = context.findVariableSlot(VariableName(name), LookupMode::Visible)) {
        result = makeStringObject(*slot ? (*slot)->gettext() : std::string());
        return true;
    }
    result = makeStringObject(argumentText(arguments, 1));
    return true;
}

// ---------------------------------------------------------------------------
// Running code
// ---------------------------------------------------------------------------

bool evalCode(ZelkScriptContextBase &context, Arguments arguments, ObjectRef &result, std::string &) {
    std::string code = argumentText(arguments, 0);
    // Eval runs in the caller's scopes, so its nesting is counted against
    // the same limit as calls: "eval(s)" evaluating itself must stop.
    const size_t depth = context.scopeDepth();
    context.enterEval();
    struct Leave {
        ZelkScriptContextBase &context;
        size_t depth;
        ~Leave() {
            context.leaveEval();
            context.truncateScopes(depth);
        }
    } leave{context, depth};
    try {
        if (static_cast<size_t>(context.evalDepth()) + context.scopeDepth() > context.maxScopeDepth)
            context.raiseAt(ZelkScriptPosition(0, 0, 0, std::string()), "too many recursive calls");
        NodeRef root;
        auto cached = context.evalCache.find(code);
        if (cached != context.evalCache.end()) {
            root = cached->second;
        } else {
            root = parseScript(ZelkScriptSource(std::string(), code));
            if (context.evalCache.size() >= ZelkScriptContextBase::kMaxEvalCacheEntries)
                context.evalCache.erase(context.evalCache.begin());
            context.evalCache.emplace(code, root);
        }
        runSyntaxTree(root, &context, result);
    } catch (const ZelkScriptRunLimitException &) {
        throw;
    } catch (const ZelkScriptErrorException &failure) {
        result = makeStringObject("<evalerror> " + failure.getInfo());
    }
    return true;
}

bool includeCall(ZelkScriptContextBase &context, Arguments arguments, ObjectRef &result, std::string &) {
    std::string base;
    if (context.currentStatement) base = folderOfPath(context.currentStatement->getPosition().sourceName);
    includeFile(context, argumentText(arguments, 0), base, result);
    return true;
}

bool executeScriptFile(ZelkScriptContextBase &context, Arguments arguments, ObjectRef &result, std::string &error) {
    std::string path = argumentText(arguments, 0);
    if (context.scopeDepth() >= context.maxScopeDepth) {
        error = "too many recursive calls";
        return false;
    }
    if (!context.mayAccessFile(path, 'r')) {
        error = "no permission to read file " + path;
        return false;
    }
    std::string text;
    if (!readScriptFile(path, text, error)) return false;
    NodeRef root = parseScript(ZelkScriptSource(path, std::move(text)));
    const size_t depth = context.scopeDepth();
    context.pushScope("::");
    struct Pop {
        ZelkScriptContextBase &context;
        size_t depth;
        ~Pop() { context.truncateScopes(depth); }
    } pop{context, depth};
    runSyntaxTree(root, &context, result);
    return true;
}

bool useLibraries(ZelkScriptContextBase &context, Arguments arguments, ObjectRef &result, std::string &error) {
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string resolved;
        if (!useLibrary(context, argumentText(arguments, i), resolved, error)) return false;
    }
    result = makeBoolObject(true);
    return true;
}

bool setLibraryPath(ZelkScriptContextBase &context, Arguments arguments, ObjectRef &result, std::string &error) {
    std::vector<std::string> folders;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string folder = argumentText(arguments, i);
        std::error_code failure;
        if (folder.empty() || folder.find('\0') != std::string::npos ||
            !std::filesystem::is_directory(folder, failure)) {
            error = "library folder does not found";
            return false;
        }
        std::string resolved;
        folders.push_back(resolvePathForAccess(folder, resolved) ? resolved : folder);
    }
    for (std::string &folder : folders) context.libraryPaths.push_back(std::move(folder));
    result.reset();
    return true;
}

bool getLibrarySummary(ZelkScriptContextBase &context, Arguments arguments, ObjectRef &result, std::string &error) {
    std::string name = argumentText(arguments, 0);
    if (ZelkScriptUserExtension *extension = context.findExtension(name)) {
        result = makeStringObject(extension->summary());
        return true;
    }
    error = "library is not loaded: " + name;
    return false;
}

// ---------------------------------------------------------------------------
// Time and ending
// ---------------------------------------------------------------------------

// Sleeps in slices, and never past the run's deadline or an interrupt: a
// host's time limit covers waiting scripts too.
void sleepMilliseconds(ZelkScriptContextBase &context, int64_t milliseconds, int64_t slice) {
    while (milliseconds > 0) {
        int64_t now = milliseconds < slice ? milliseconds : slice;
        if (now > 50) now = 50;
        const uint64_t remaining = context.remainingRunTimeMs();
        if (static_cast<uint64_t>(now) > remaining) now = static_cast<int64_t>(remaining) + 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(now));
        milliseconds -= now;
        context.checkRunDeadline();
    }
}

bool sleepCall(ZelkScriptContextBase &context, Arguments arguments, ObjectRef &result, std::string &error) {
    int64_t milliseconds = 0;
    if (!arguments.empty() && !convertToInteger(arguments[0].get(), milliseconds, error)) return false;
    sleepMilliseconds(context, milliseconds, 10000);
    result.reset();
    return true;
}

// There is no window message queue outside the window extension: message
// processing has nothing to do and never reports the program ending.
bool allowMessageProcessing(ZelkScriptContextBase &, Arguments, ObjectRef &result, std::string &) {
    result.reset();
    return true;
}

bool waitCall(ZelkScriptContextBase &context, Arguments arguments, ObjectRef &result, std::string &error) {
    int64_t milliseconds = 0;
    if (!arguments.empty() && !convertToInteger(arguments[0].get(), milliseconds, error)) return false;
    sleepMilliseconds(context, milliseconds, 250);
    result.reset();
    return true;
}

bool exitCall(ZelkScriptContextBase &context, Arguments arguments, ObjectRef &result, std::string &error) {
    int64_t code = 0;
    if (!arguments.empty()) {
        std::string text = argumentText(arguments, 0);
        if (!parseIntegerText(text, code)) {
            error = "integer value expected";
            return false;
        }
    }
    // Exit codes reach the process as 32-bit values.
    const int32_t exitCode = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(code)));
    if (!context.requestExit(exitCode, error)) return false;
    result = makeLongObject(code);
    return true;
}

bool abortCall(ZelkScriptContextBase &, Arguments arguments, ObjectRef &, std::string &error) {
    error = arguments.empty() ? std::string("script aborted") : argumentText(arguments, 0);
    if (error.empty()) error = "script aborted";
    return false;
}

bool throwException(ZelkScriptContextBase &, Arguments arguments, ObjectRef &, std::string &) {
    throw ZelkScriptErrorException(argumentText(arguments, 0), std::string(), 0, 0, false);
}

} // namespace

void registerIntrospectionFunctions(SystemFunctionRegistry &registry) {
    registry.addByHelpText("__VERSION__()", &versionText);
    registry.addByHelpText("__USEVERSION__(version)", &useVersion);
    registry.addByHelpText("abort()", &abortCall);
    registry.addByHelpText("abort(message)", &abortCall);
    registry.addByHelpText("die()", &abortCall);
    registry.addByHelpText("die(message)", &abortCall);
    registry.addByHelpText("exit()", &exitCall);
    registry.addByHelpText("exit(exitcode)", &exitCall);
    registry.addByHelpText("throwexception(reason)", &throwException);
    registry.addByHelpText("sleep(milliseconds)", &sleepCall);
    registry.addByHelpText("wait(milliseconds)", &waitCall);
    registry.addByHelpText("allowmessageprocessing()", &allowMessageProcessing);
    registry.addByHelpText("__LINE__()", &positionOf<PositionPart::Line>);
    registry.addByHelpText("__LINE__(sublevel)", &positionOf<PositionPart::Line>);
    registry.addByHelpText("__POS__()", &positionOf<PositionPart::Pos>);
    registry.addByHelpText("__POS__(sublevel)", &positionOf<PositionPart::Pos>);
    registry.addByHelpText("__FILE__()", &positionOf<PositionPart::File>);
    registry.addByHelpText("__FILE__(sublevel)", &positionOf<PositionPart::File>);
    registry.addByHelpText("__FOLDER__()", &positionOf<PositionPart::Folder>);
    registry.addByHelpText("__FOLDER__(sublevel)", &positionOf<PositionPart::Folder>);
    registry.addByHelpText("__CODE__()", &positionOf<PositionPart::Code>);
    registry.addByHelpText("__CODE__(sublevel)", &positionOf<PositionPart::Code>);
    registry.addByHelpText("__CODEPOS__()", &positionOf<PositionPart::CodePos>);
    registry.addByHelpText("__CODEPOS__(sublevel)", &positionOf<PositionPart::CodePos>);
    registry.addByHelpText("getdebuginfo(obj)", &getDebugInfo);
    registry.addByHelpText("gettype(obj)", &getType);
    registry.addByHelpText("tostring(obj)", &toString);
    registry.addByHelpText("hexdump(obj)", &hexDump);
    registry.addByHelpText("eval(code)", &evalCode);
    registry.addByHelpText("include(filename)", &includeCall);
    registry.addByHelpText("zelkscriptexecute(scriptpath)", &executeScriptFile);
    registry.addByHelpText("uselibrary(libraryname,...)", &useLibraries);
    registry.addByHelpText("setlibrarypath(path,...)", &setLibraryPath);
    registry.addByHelpText("getlibrarysummary(libraryname)", &getLibrarySummary);
    registry.addByHelpText("duplicate(obj)", &duplicateValue);
    registry.addByHelpText("isdefined(variable)", &isDefined);
    registry.addByHelpText("isvariabledefined(varname)", &isVariableDefined);
    registry.addByHelpText("getarg(varname)", &getArg);
    registry.addByHelpText("getarg(varname,defvalue)", &getArg);
}

} // namespace zelkscript
