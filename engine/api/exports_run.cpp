// Exports that run script text and script files, and the one that tells
// where the last run failed. Every run is an outermost run: it starts with
// no control-flow state left over from an earlier run and gives back the
// scope depth it began with, however it ends.
#include <exception>
#include <memory>
#include <new>
#include <sstream>
#include <string>

#include "engine/api/export_support.h"
#include "engine/frontend/parser.h"
#include "engine/interpreter/permissions.h"
#include "engine/interpreter/runtime.h"
#include "engine/values/conversions.h"
#include "zelkscript/zelkscript.h"

using namespace zelkscript;

namespace {

// Collects what an evaluation prints instead of letting it reach the
// context's output stream.
class OutputCapture {
public:
    explicit OutputCapture(ZelkScriptLibContext &context) : context_(context), saved_(context.outputStream) {
        if (context.outputCaptureInUse) {
            nested_ = std::make_unique<std::ostringstream>();
            buffer_ = nested_.get();
        } else {
            context.outputCaptureInUse = true;
            buffer_ = &context.outputCapture;
            buffer_->str(std::string());
            buffer_->clear();
        }
        context.outputStream = buffer_;
    }
    ~OutputCapture() {
        context_.outputStream = saved_;
        if (!nested_) {
            context_.outputCaptureInUse = false;
            // A large print must not stay allocated until the next run.
            context_.outputCapture.str(std::string());
        }
    }
    OutputCapture(const OutputCapture &) = delete;
    OutputCapture &operator=(const OutputCapture &) = delete;
    std::string text() const { return buffer_->str(); }

private:
    ZelkScriptLibContext &context_;
    std::ostream *saved_;
    std::ostringstream *buffer_ = nullptr;
    std::unique_ptr<std::ostringstream> nested_;
};

void noteRunOutcome(ZelkScriptLibContext &context, const ZelkScriptErrorException *failure) {
    auto &record = context.lastRunFailure;
    record.failed = failure != nullptr;
    record.fileName = failure ? failure->getFileName() : std::string();
    record.line = failure ? failure->getLine() : 0;
    record.column = failure ? failure->getColumn() : 0;
}

// Parses and runs a script as one outermost run. For a script file the
// source name is its path: it names the file in error positions, and the
// file's folder becomes the first include path of a context that has none.
bool runHostScript(ZelkScriptLibContext &context, std::string text, const std::string &sourceName, bool fromFile,
                   ObjectRef &result, std::string &error, bool *returned = nullptr) {
    result.reset();
    if (returned) *returned = false;
    error.clear();
    ZelkScriptErrorException failure("", sourceName, 0, 0);
    bool ok = false;
    {
        OutermostRun run(context);
        try {
            NodeRef root = parseScript(ZelkScriptSource(sourceName, std::move(text)));
            if (!root) {
                // A text without a single statement.
                failure = ZelkScriptErrorException("<error>", sourceName, 0, 0);
            } else {
                if (fromFile) {
                    if (!sourceName.empty() && context.includePaths.empty()) {
                        const std::string folder = folderOfPath(sourceName);
                        context.includePaths.push_back(folder.empty() ? std::string(".") : folder);
                    }
                    context.scriptFilesRun.push_back(sourceName);
                }
                runSyntaxTree(root, &context, result);
                // Whether a return statement gave the result, or it is only
                // the value of the last statement run.
                if (returned) *returned = context.returnFlag;
                ok = true;
            }
        } catch (const ZelkScriptErrorException &raised) {
            failure = raised;
        } catch (const std::bad_alloc &) {
            failure = ZelkScriptErrorException("exception occured: out of memory", sourceName, 0, 0);
        } catch (const std::exception &raised) {
            failure = ZelkScriptErrorException(std::string("exception occured: ") + raised.what(), sourceName, 0, 0);
        }
    }
    if (!ok) {
        result.reset();
        error = failure.getMessage();
    }
    noteRunOutcome(context, ok ? nullptr : &failure);
    return ok;
}

// Reads a script file for the execute exports; a failure is noted as a
// failed run at the file itself.
bool readHostScriptFile(ZelkScriptLibContext &context, const std::string &path, std::string &text) {
    std::string ignored;
    if (readScriptFile(path, text, ignored)) return true;
    ZelkScriptErrorException failure("", path, 0, 0);
    noteRunOutcome(context, &failure);
    return false;
}

// Evaluates script text: the value a return statement gave; otherwise what
// it printed, when it printed anything; otherwise the value of the last
// statement. A script that only prints "abc" therefore answers "abc", not
// the true that print itself yields.
bool evaluateText(ZelkScriptLibContext &context, const char *script, ObjectRef &value, std::string &error) {
    OutputCapture capture(context);
    bool returned = false;
    const bool ok = runHostScript(context, textOrEmpty(script), std::string(), false, value, error, &returned);
    if (ok && (!returned || !value)) {
        std::string printed = capture.text();
        if (!printed.empty()) value = makeStringObject(std::move(printed));
    }
    return ok;
}

bool executeFile(ZelkScriptLibContext &context, const std::string &path, std::string &text, ObjectRef &value,
                 std::string &error) {
    return runHostScript(context, std::move(text), path, true, value, error);
}

std::string textOfResult(const ObjectRef &value) { return value ? value->gettext() : std::string(); }

} // namespace

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_evaluate_strings(zelkscript_contextid contextid,
                                                                     const char *script, char *result,
                                                                     int32_t resultmaxsize, char *errmsg,
                                                                     int32_t errmsgmaxsize) {
    copyToCallerBuffer("", result, resultmaxsize);
    copyToCallerBuffer("", errmsg, errmsgmaxsize);
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        ObjectRef value;
        std::string error;
        const bool ok = evaluateText(context, script, value, error);
        copyToCallerBuffer(textOfResult(value), result, resultmaxsize);
        copyToCallerBuffer(error, errmsg, errmsgmaxsize);
        return ok;
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_stringevaluate(zelkscript_contextid contextid, const char *script,
                                                                   char *result, int32_t resultmaxsize, char *errmsg,
                                                                   int32_t errmsgmaxsize) {
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        copyToCallerBuffer("", result, resultmaxsize);
        copyToCallerBuffer("", errmsg, errmsgmaxsize);
        ObjectRef value;
        std::string error;
        const bool ok = evaluateText(context, script, value, error);
        copyToCallerBuffer(textOfResult(value), result, resultmaxsize);
        copyToCallerBuffer(error, errmsg, errmsgmaxsize);
        return ok;
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_evaluate_dataids(zelkscript_contextid contextid,
                                                                     const char *script,
                                                                     zelkscript_dataid *resultdataid, char *errmsg,
                                                                     int32_t errmsgmaxsize) {
    if (!resultdataid) {
        copyToCallerBuffer("error: resultdataid must not be null", errmsg, errmsgmaxsize);
        return 0;
    }
    *resultdataid = 0;
    copyToCallerBuffer("", errmsg, errmsgmaxsize);
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        ObjectRef value;
        std::string error;
        const bool ok = evaluateText(context, script, value, error);
        if (ok) *resultdataid = context.registerValue(value);
        copyToCallerBuffer(error, errmsg, errmsgmaxsize);
        return ok;
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_execute_strings(zelkscript_contextid contextid,
                                                                    const char *scriptfilepath, char *result,
                                                                    int32_t resultmaxsize, char *errmsg,
                                                                    int32_t errmsgmaxsize) {
    copyToCallerBuffer("", result, resultmaxsize);
    copyToCallerBuffer("", errmsg, errmsgmaxsize);
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        const std::string path = textOrEmpty(scriptfilepath);
        std::string text;
        if (!readHostScriptFile(context, path, text)) return 0;
        ObjectRef value;
        std::string error;
        const bool ok = executeFile(context, path, text, value, error);
        copyToCallerBuffer(textOfResult(value), result, resultmaxsize);
        copyToCallerBuffer(error, errmsg, errmsgmaxsize);
        return ok;
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_stringexecute(zelkscript_contextid contextid,
                                                                  const char *scriptfilepath, char *result,
                                                                  int32_t resultmaxsize, char *errmsg,
                                                                  int32_t errmsgmaxsize) {
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        const std::string path = textOrEmpty(scriptfilepath);
        std::string text;
        if (!readHostScriptFile(context, path, text)) return 0;
        copyToCallerBuffer("", result, resultmaxsize);
        copyToCallerBuffer("", errmsg, errmsgmaxsize);
        ObjectRef value;
        std::string error;
        const bool ok = executeFile(context, path, text, value, error);
        copyToCallerBuffer(textOfResult(value), result, resultmaxsize);
        copyToCallerBuffer(error, errmsg, errmsgmaxsize);
        return ok;
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_execute_dataids(zelkscript_contextid contextid,
                                                                    const char *scriptfilepath,
                                                                    zelkscript_dataid *resultdataid, char *errmsg,
                                                                    int32_t errmsgmaxsize) {
    if (!resultdataid) {
        copyToCallerBuffer("error: resultdataid must not be null", errmsg, errmsgmaxsize);
        return 0;
    }
    *resultdataid = 0;
    copyToCallerBuffer("", errmsg, errmsgmaxsize);
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        const std::string path = textOrEmpty(scriptfilepath);
        std::string text;
        if (!readHostScriptFile(context, path, text)) return 0;
        ObjectRef value;
        std::string error;
        const bool ok = executeFile(context, path, text, value, error);
        if (ok) *resultdataid = context.registerValue(value);
        copyToCallerBuffer(error, errmsg, errmsgmaxsize);
        return ok;
    });
}

extern "C" ZELKSCRIPT_API zelkscript_bool zelkscript_context_getlasterror(zelkscript_contextid contextid,
                                                                         char *filename, int32_t filenamemaxsize,
                                                                         int32_t *line, int32_t *column) {
    copyToCallerBuffer("", filename, filenamemaxsize);
    if (line) *line = 0;
    if (column) *column = 0;
    return withContext(contextid, zelkscript_bool{0}, [&](ZelkScriptLibContext &context) -> zelkscript_bool {
        const auto &record = context.lastRunFailure;
        if (!record.failed) return 0;
        copyToCallerBuffer(record.fileName, filename, filenamemaxsize);
        if (line) *line = record.line;
        if (column) *column = record.column;
        return 1;
    });
}
