// The host interface tested as a host uses it: the library is loaded with
// dlopen (its path is the first command-line argument), every export is
// bound by name, and this program exports the callbacks the library looks
// up. Grouped by export family.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "api_test_host.h"

namespace fs = std::filesystem;

namespace {

class ApiTest : public ::testing::Test {
protected:
    void SetUp() override {
        hostFunctions = HostFunctions();
        resetLiveModel();
        char errmsg[64] = "unchanged";
        context = api.zelkscript_createcontext(errmsg, sizeof errmsg);
        ASSERT_NE(context, 0u);
        EXPECT_STREQ(errmsg, "");
    }
    void TearDown() override {
        if (context) api.zelkscript_freecontext(context);
    }

    // Evaluates text; result and error receive the buffers' texts.
    bool evaluate(const std::string &script) { return evaluateIn(context, script); }
    bool evaluateIn(zelkscript_contextid in, const std::string &script) {
        std::vector<char> resultBuffer(4096), errorBuffer(1024);
        const bool ok = api.zelkscript_evaluate_strings(in, script.c_str(), resultBuffer.data(), 4096,
                                                        errorBuffer.data(), 1024) != 0;
        result = resultBuffer.data();
        error = errorBuffer.data();
        return ok;
    }
    bool execute(const std::string &path) {
        char resultBuffer[1024], errorBuffer[1024];
        const bool ok = api.zelkscript_execute_strings(context, path.c_str(), resultBuffer, sizeof resultBuffer,
                                                       errorBuffer, sizeof errorBuffer) != 0;
        result = resultBuffer;
        error = errorBuffer;
        return ok;
    }
    std::string textVariable(const char *name) {
        char value[1024];
        api.zelkscript_context_gettextvariable(context, name, value, sizeof value);
        return value;
    }
    std::string textOf(zelkscript_dataid id) {
        char value[4096];
        api.zelkscript_data_tostring(context, id, value, sizeof value);
        return value;
    }
    bool idIsValid(zelkscript_dataid id) {
        char value[512];
        return api.zelkscript_data_debug(context, id, value, sizeof value) != 0;
    }
    zelkscript_dataid evaluateToId(const std::string &script) {
        zelkscript_dataid id = 0;
        char errmsg[512];
        EXPECT_TRUE(api.zelkscript_evaluate_dataids(context, script.c_str(), &id, errmsg, sizeof errmsg)) << errmsg;
        return id;
    }
    // A folder of its own for the running test, under the scratch folder in
    // the build tree (never under the temporary folder, where writing is
    // always granted).
    fs::path scratchFolder() {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        fs::path folder = fs::current_path() / (std::string(info->test_suite_name()) + "." + info->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        return fs::canonical(folder);
    }
    static void writeFile(const fs::path &path, const std::string &text) {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }

    zelkscript_contextid context = 0;
    std::string result, error;
};

// ===========================================================================
// Contexts and variables
// ===========================================================================

class ContextsAndVariables : public ApiTest {};

TEST_F(ContextsAndVariables, TextVariableRoundTripsAndCopyRuleCutsToTheBuffer) {
    ASSERT_TRUE(api.zelkscript_context_settextvariable(context, "textvar", "textvalue"));
    EXPECT_EQ(textVariable("textvar"), "textvalue");
    char small[5] = "zzzz";
    EXPECT_TRUE(api.zelkscript_context_gettextvariable(context, "textvar", small, sizeof small));
    EXPECT_STREQ(small, "text");
    char exact[10];
    EXPECT_TRUE(api.zelkscript_context_gettextvariable(context, "textvar", exact, sizeof exact));
    EXPECT_STREQ(exact, "textvalue");
    // Set again: the variable now refers to the new value.
    ASSERT_TRUE(api.zelkscript_context_settextvariable(context, "textvar", nullptr));
    EXPECT_EQ(textVariable("textvar"), "");
}

TEST_F(ContextsAndVariables, UnknownVariableGivesItsMessageInTheValueBuffer) {
    char value[64] = "unchanged";
    EXPECT_FALSE(api.zelkscript_context_gettextvariable(context, "nosuchvar", value, sizeof value));
    EXPECT_STREQ(value, "variable is not defined");
    strcpy(value, "unchanged");
    EXPECT_FALSE(api.zelkscript_context_gettextvariable(context, "", value, sizeof value));
    EXPECT_STREQ(value, "");
    // Nothing is written for a size of 0 or less or a null buffer.
    strcpy(value, "unchanged");
    EXPECT_FALSE(api.zelkscript_context_gettextvariable(context, "nosuchvar", value, 0));
    EXPECT_FALSE(api.zelkscript_context_gettextvariable(context, "nosuchvar", value, -5));
    EXPECT_STREQ(value, "unchanged");
    EXPECT_FALSE(api.zelkscript_context_gettextvariable(context, "nosuchvar", nullptr, 10));
}

TEST_F(ContextsAndVariables, BstrWidensEachByteAndCarriesItsByteLength) {
    ASSERT_TRUE(api.zelkscript_context_settextvariable(context, "word", "a\xe4z"));
    zelkscript_bstr wide = reinterpret_cast<zelkscript_bstr>(1);
    ASSERT_TRUE(api.zelkscript_context_gettextvariable_bstr(context, "word", &wide));
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide[0], L'a');
    EXPECT_EQ(static_cast<uint32_t>(wide[1]), 0xE4u);
    EXPECT_EQ(wide[2], L'z');
    EXPECT_EQ(wide[3], L'\0');
    uint32_t byteLength = 0;
    std::memcpy(&byteLength, reinterpret_cast<const char *>(wide) - 4, 4);
    EXPECT_EQ(byteLength, 3 * sizeof(wchar_t));
    // Narrowed back without loss, or as UTF-8.
    char narrow[16];
    EXPECT_TRUE(api.zelkscript_data_bstr_gettext(wide, narrow, sizeof narrow, 0));
    EXPECT_STREQ(narrow, "a\xe4z");
    EXPECT_EQ(api.zelkscript_data_bstr_getsize(wide, 1), 5);
    EXPECT_TRUE(api.zelkscript_data_bstr_gettext(wide, narrow, sizeof narrow, 1));
    EXPECT_STREQ(narrow, "a\xc3\xa4z");
    api.zelkscript_bstr_free(wide);

    // Failures leave a null pointer.
    wide = reinterpret_cast<zelkscript_bstr>(1);
    EXPECT_FALSE(api.zelkscript_context_gettextvariable_bstr(context, "nosuchvar", &wide));
    EXPECT_EQ(wide, nullptr);
    EXPECT_FALSE(api.zelkscript_context_gettextvariable_bstr(context, "word", nullptr));
    api.zelkscript_bstr_free(nullptr);
}

TEST_F(ContextsAndVariables, NumberVariablesConvertTheWholeText) {
    ASSERT_TRUE(api.zelkscript_context_setintvariable(context, "intvar", -328328));
    int64_t number = 1;
    EXPECT_TRUE(api.zelkscript_context_getintvariable(context, "intvar", &number));
    EXPECT_EQ(number, -328328);
    ASSERT_TRUE(api.zelkscript_context_setintvariable(context, "big", INT64_MIN));
    EXPECT_TRUE(api.zelkscript_context_getintvariable(context, "big", &number));
    EXPECT_EQ(number, INT64_MIN);

    ASSERT_TRUE(api.zelkscript_context_settextvariable(context, "mixed", "30x40"));
    number = 7;
    EXPECT_FALSE(api.zelkscript_context_getintvariable(context, "mixed", &number));
    EXPECT_EQ(number, 0);
    // Only the first 29 bytes would read as "5": the whole text is no number.
    ASSERT_TRUE(api.zelkscript_context_settextvariable(context, "padded", ("5" + std::string(28, ' ') + "x").c_str()));
    EXPECT_FALSE(api.zelkscript_context_getintvariable(context, "padded", &number));
    double real = 1.0;
    EXPECT_FALSE(api.zelkscript_context_getdoublevariable(context, "padded", &real));
    EXPECT_EQ(real, 0.0);
    // ...and a long number text with blanks is still read whole.
    ASSERT_TRUE(api.zelkscript_context_settextvariable(context, "spaced", (std::string(40, ' ') + "12").c_str()));
    EXPECT_TRUE(api.zelkscript_context_getintvariable(context, "spaced", &number));
    EXPECT_EQ(number, 12);

    ASSERT_TRUE(api.zelkscript_context_setdoublevariable(context, "doublevar", 2.5));
    EXPECT_TRUE(api.zelkscript_context_getdoublevariable(context, "doublevar", &real));
    EXPECT_DOUBLE_EQ(real, 2.5);
    ASSERT_TRUE(api.zelkscript_context_settextvariable(context, "empty", ""));
    EXPECT_FALSE(api.zelkscript_context_getdoublevariable(context, "empty", &real));
    EXPECT_FALSE(api.zelkscript_context_getintvariable(context, "intvar", nullptr));
}

TEST_F(ContextsAndVariables, ConstantsReadLikeVariablesAndCannotBeChanged) {
    ASSERT_TRUE(api.zelkscript_context_setconstant(context, "constantvar", "textvalue"));
    ASSERT_TRUE(api.zelkscript_context_setconstant(context, "mypi", "3.1415926"));
    evaluate("constantvar = 'changed';");
    EXPECT_TRUE(evaluate("return constantvar;"));
    EXPECT_EQ(result, "textvalue");
    EXPECT_TRUE(evaluate("return mypi * 2;"));
    EXPECT_EQ(result, "6.28319");
    ASSERT_TRUE(api.zelkscript_context_setconstant(context, "constantvar", nullptr));
    EXPECT_TRUE(evaluate("return '[' + constantvar + ']';"));
    EXPECT_EQ(result, "[]");
    EXPECT_FALSE(api.zelkscript_context_setconstant(context, "", "x"));
    EXPECT_FALSE(api.zelkscript_context_setconstant(context, nullptr, "x"));
}

TEST_F(ContextsAndVariables, DataIdVariablesShareOneValue) {
    const zelkscript_dataid vector = api.zelkscript_data_createvector(context);
    ASSERT_TRUE(api.zelkscript_context_setvariable(context, "shared", vector));
    ASSERT_TRUE(evaluate("shared.push(5); shared.push(6); return shared;"));
    EXPECT_EQ(textOf(vector), "[5,6]");
    zelkscript_dataid first = 0, second = 0;
    ASSERT_TRUE(api.zelkscript_context_getvariable(context, "shared", &first));
    ASSERT_TRUE(api.zelkscript_context_getvariable(context, "shared", &second));
    EXPECT_NE(first, 0);
    EXPECT_EQ(first, second);
    // A missing variable bound to no value is defined holding null.
    EXPECT_TRUE(api.zelkscript_context_setvariable(context, "nothing", 0));
    EXPECT_TRUE(evaluate("return gettype(nothing);"));
    EXPECT_EQ(result, "null");
    zelkscript_dataid id = 99;
    EXPECT_FALSE(api.zelkscript_context_getvariable(context, "nosuchvar", &id));
    EXPECT_EQ(id, 0);
}

TEST_F(ContextsAndVariables, FreeingAContextFromItsOwnCallbackWaitsForTheRun) {
    hostFunctions.texts["closeme"] = [](const HostCall &call, char *out, int32_t size, char *, int32_t) {
        api.zelkscript_freecontext(call.context);
        // The id is refused from now on, while the running script finishes.
        char errmsg[64];
        zelkscript_dataid ignored = 0;
        EXPECT_FALSE(api.zelkscript_evaluate_dataids(call.context, "return 1;", &ignored, errmsg, sizeof errmsg));
        std::snprintf(out, static_cast<size_t>(size), "closed");
        return true;
    };
    char errmsg[256];
    ASSERT_TRUE(api.zelkscript_context_definefunction_strings(context, "closeme()", errmsg, sizeof errmsg));
    EXPECT_TRUE(evaluate("var before = [1, 2]; var text = closeme(); before.push(3); return text + before.size();"));
    EXPECT_EQ(result, "closed3");
    context = 0;  // destroyed when the evaluation returned
}

// ===========================================================================
// Options and permissions
// ===========================================================================

class OptionsAndPermissions : public ApiTest {
protected:
    void SetUp() override {
        ApiTest::SetUp();
        root = scratchFolder();
        writeFile(root / "granted/inc.zelkscript", "function fromgranted() { return 'granted'; }");
        writeFile(root / "grantedx/inc.zelkscript", "function fromsibling() { return 'sibling'; }");
        writeFile(root / "other/inc.zelkscript", "function fromother() { return 'other'; }");
        fs::create_directory_symlink(root / "other", root / "granted/link");
    }
    // Whether including the file (relative to the scratch root) succeeds.
    bool includes(const std::string &relative, const std::string &function) {
        return evaluateIn(context, "include('" + (root / relative).string() + "'); return " + function + "();");
    }
    void grant(const fs::path &folder, const char *letters) {
        ASSERT_TRUE(api.zelkscript_option_setpermission_fileaccess_folder(context, folder.c_str(), letters));
    }
    fs::path root;
};

TEST_F(OptionsAndPermissions, WithoutGrantsFilesAreReadableEverywhere) {
    EXPECT_TRUE(includes("other/inc.zelkscript", "fromother")) << error;
    EXPECT_EQ(result, "other");
}

TEST_F(OptionsAndPermissions, AGrantCoversItsFolderAndOnlyTheLettersGiven) {
    grant(root / "granted", "w");
    EXPECT_FALSE(includes("granted/inc.zelkscript", "fromgranted"));
    EXPECT_NE(error.find("not found in include path"), std::string::npos) << error;
    // Letters add up.
    grant(root / "granted", "r");
    grant(root / "granted", "i");
    EXPECT_TRUE(includes("granted/inc.zelkscript", "fromgranted")) << error;
}

TEST_F(OptionsAndPermissions, TheNearestGrantDecidesAloneAndStarOnlyForUncoveredPaths) {
    grant(root / "granted", "w");
    ASSERT_TRUE(api.zelkscript_option_setpermission_fileaccess_all(context, "ri"));
    // "*" grants reading, but the folder's own grant has no "r" or "i".
    EXPECT_FALSE(includes("granted/inc.zelkscript", "fromgranted"));
    EXPECT_TRUE(includes("other/inc.zelkscript", "fromother")) << error;
}

TEST_F(OptionsAndPermissions, TraversalLinksAndSiblingNamesDoNotReachIntoAGrant) {
    grant(root / "granted", "ri");
    ASSERT_TRUE(api.zelkscript_option_setpermission_fileaccess_all(context, "w"));
    EXPECT_TRUE(includes("granted/inc.zelkscript", "fromgranted")) << error;
    // Each of these names a file outside the granted folder, where "*"
    // grants no reading.
    EXPECT_FALSE(includes("granted/../other/inc.zelkscript", "fromother"));
    EXPECT_FALSE(includes("granted/link/inc.zelkscript", "fromother"));
    EXPECT_FALSE(includes("grantedx/inc.zelkscript", "fromsibling"));
}

TEST_F(OptionsAndPermissions, FolderKeysCompareExactlyAndResolveWhenSet) {
    ASSERT_TRUE(api.zelkscript_option_setpermission_fileaccess_all(context, "w"));
    grant(root / "GRANTED", "ri");
    EXPECT_FALSE(includes("granted/inc.zelkscript", "fromgranted"));
    // A key with ".." and a trailing separator names the folder it leads to.
    grant(root / "other/../granted/", "ri");
    EXPECT_TRUE(includes("granted/inc.zelkscript", "fromgranted")) << error;
}

TEST_F(OptionsAndPermissions, IncludePathsAreSearched) {
    EXPECT_FALSE(evaluate("include('inc.zelkscript'); return fromother();"));
    EXPECT_NE(error.find("not found in include path"), std::string::npos) << error;
    ASSERT_TRUE(api.zelkscript_option_addincludepath(context, (root / "other").c_str()));
    ASSERT_TRUE(api.zelkscript_option_addincludepath(context, (root / "other").c_str()));
    EXPECT_TRUE(evaluate("include('inc.zelkscript'); return fromother();")) << error;
    EXPECT_EQ(result, "other");
}

TEST_F(OptionsAndPermissions, OptionsRefuseAnUnusableContext) {
    EXPECT_FALSE(api.zelkscript_option_setpermission_fileaccess_folder(0, "/x", "r"));
    EXPECT_FALSE(api.zelkscript_option_setpermission_fileaccess_all(0, "r"));
    EXPECT_FALSE(api.zelkscript_option_addincludepath(0, "/x"));
    // Null texts read as empty.
    EXPECT_TRUE(api.zelkscript_option_setpermission_fileaccess_folder(context, nullptr, nullptr));
    EXPECT_TRUE(api.zelkscript_option_addincludepath(context, nullptr));
}

// ===========================================================================
// Evaluation and execution
// ===========================================================================

class EvaluationAndExecution : public ApiTest {};

TEST_F(EvaluationAndExecution, ResultIsTheReturnedValueOrElseWhatWasPrinted) {
    EXPECT_TRUE(evaluate("var persisted = 4; return persisted * 3;"));
    EXPECT_EQ(result, "12");
    EXPECT_TRUE(evaluate("return persisted;"));
    EXPECT_EQ(result, "4");
    // Printed text is collected; it is the result when the script's value is
    // null (a loop's value is null; print itself answers true).
    ::testing::internal::CaptureStdout();
    const bool ok = evaluate("print('a', 'bc'); while (false) {}");
    const std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(ok);
    EXPECT_EQ(result, "abc");
    EXPECT_EQ(printed, "");
}

TEST_F(EvaluationAndExecution, ScriptErrorsGiveTheirMessageAndPosition) {
    ASSERT_TRUE(api.zelkscript_context_setintvariable(context, "intvar", -328328));
    EXPECT_FALSE(evaluate("var zero = 0;\nreturn intvar / zero;"));
    EXPECT_NE(error.find("division by 0"), std::string::npos) << error;
    EXPECT_EQ(result, "");
    char file[64] = "unchanged";
    int32_t line = -1, column = -1;
    EXPECT_TRUE(api.zelkscript_context_getlasterror(context, file, sizeof file, &line, &column));
    EXPECT_STREQ(file, "");
    EXPECT_EQ(line, 2);
    EXPECT_GT(column, 0);

    EXPECT_TRUE(evaluate("return 1;"));
    EXPECT_FALSE(api.zelkscript_context_getlasterror(context, file, sizeof file, &line, &column));
    EXPECT_EQ(line, 0);
    EXPECT_FALSE(api.zelkscript_context_getlasterror(0, file, sizeof file, nullptr, nullptr));

    EXPECT_FALSE(evaluate("var broken = ;"));
    EXPECT_EQ(error.rfind("invalid syntax", 0), 0u) << error;
    EXPECT_TRUE(api.zelkscript_context_getlasterror(context, file, sizeof file, &line, &column));
    EXPECT_EQ(line, 1);
}

TEST_F(EvaluationAndExecution, AScriptWithoutStatementsFails) {
    EXPECT_FALSE(evaluate(""));
    EXPECT_EQ(error, "<error>");
    EXPECT_FALSE(evaluate("// only a comment"));
    EXPECT_EQ(error, "<error>");
}

TEST_F(EvaluationAndExecution, EveryRunStartsCleanAfterReturnExitOrAnError) {
    EXPECT_TRUE(evaluate("return 5;"));
    EXPECT_TRUE(evaluate("var a = 1; a = a + 1; return a;"));
    EXPECT_EQ(result, "2");
    int32_t code = -1;
    EXPECT_FALSE(api.zelkscript_context_getexitcode(context, &code));
    EXPECT_EQ(code, 0);
    evaluate("exit(3); return 4;");
    EXPECT_TRUE(api.zelkscript_context_getexitcode(context, &code));
    EXPECT_EQ(code, 3);
    EXPECT_TRUE(evaluate("var b = 6; return b + 1;"));
    EXPECT_EQ(result, "7");
    EXPECT_FALSE(api.zelkscript_context_getexitcode(context, &code));
    EXPECT_FALSE(api.zelkscript_context_getexitcode(context, nullptr));
    EXPECT_FALSE(api.zelkscript_context_getexitcode(0, &code));
    EXPECT_FALSE(evaluate("{ var inner = 1; throwexception('boom'); }"));
    EXPECT_TRUE(evaluate("var global = 8;"));
    EXPECT_TRUE(evaluate("return global;"));
    EXPECT_EQ(result, "8");
}

TEST_F(EvaluationAndExecution, ExecutedFilesNameThemselvesAndSetTheIncludePath) {
    const fs::path folder = scratchFolder();
    writeFile(folder / "main.zelkscript", "var area = 2;\nfor (var i = 1; i <= 2; i++)\narea *= 3;\nreturn area;");
    writeFile(folder / "helper.zelkscript", "function helper() { return 'helped'; }");
    writeFile(folder / "failing.zelkscript", "var ok = 1;\nnosuchvariable + 1;\n");
    EXPECT_TRUE(execute((folder / "main.zelkscript").string())) << error;
    EXPECT_EQ(result, "18");
    // The file's folder became the first include path.
    EXPECT_TRUE(evaluate("include('helper.zelkscript'); return helper();")) << error;
    EXPECT_EQ(result, "helped");

    const std::string failing = (folder / "failing.zelkscript").string();
    EXPECT_FALSE(execute(failing));
    char file[512];
    int32_t line = 0, column = 0;
    EXPECT_TRUE(api.zelkscript_context_getlasterror(context, file, sizeof file, &line, &column));
    EXPECT_EQ(file, failing);
    EXPECT_EQ(line, 2);

    writeFile(folder / "vector.zelkscript", "return [area, 'x'];");
    zelkscript_dataid id = 0;
    char errmsg[256];
    EXPECT_TRUE(api.zelkscript_execute_dataids(context, (folder / "vector.zelkscript").c_str(), &id, errmsg,
                                               sizeof errmsg))
        << errmsg;
    EXPECT_EQ(textOf(id), "[18,'x']");
}

TEST_F(EvaluationAndExecution, OnlyRegularFilesAreExecuted) {
    const fs::path folder = scratchFolder();
    ASSERT_EQ(mkfifo((folder / "pipe").c_str(), 0600), 0);
    // Neither may hang or fill memory; all fail with empty buffers.
    for (const std::string &path : {(folder / "pipe").string(), std::string("/dev/zero"), folder.string(),
                                   (folder / "missing.zelkscript").string(), std::string()}) {
        EXPECT_FALSE(execute(path)) << path;
        EXPECT_EQ(error, "") << path;
        EXPECT_EQ(result, "") << path;
    }
    char errmsg[64];
    zelkscript_dataid id = 5;
    EXPECT_FALSE(api.zelkscript_execute_dataids(context, "/dev/zero", &id, errmsg, sizeof errmsg));
    EXPECT_EQ(id, 0);
    EXPECT_STREQ(errmsg, "");
}

TEST_F(EvaluationAndExecution, DataIdRunsRegisterTheResult) {
    char errmsg[128];
    EXPECT_FALSE(api.zelkscript_evaluate_dataids(context, "return 1;", nullptr, errmsg, sizeof errmsg));
    EXPECT_STREQ(errmsg, "error: resultdataid must not be null");
    zelkscript_dataid id = 0;
    ASSERT_TRUE(api.zelkscript_evaluate_dataids(context, "return [1, 'two'];", &id, errmsg, sizeof errmsg));
    EXPECT_EQ(api.zelkscript_data_gettype(context, id), '[');
    EXPECT_EQ(textOf(id), "[1,'two']");
    EXPECT_FALSE(api.zelkscript_evaluate_dataids(context, "return nosuchvar;", &id, errmsg, sizeof errmsg));
    EXPECT_EQ(id, 0);
    EXPECT_NE(std::string(errmsg), "");
    // What was printed is the result when nothing was returned.
    ASSERT_TRUE(api.zelkscript_evaluate_dataids(context, "print('out'); while (false) {}", &id, errmsg, sizeof errmsg));
    EXPECT_EQ(textOf(id), "out");
}

TEST_F(EvaluationAndExecution, OneShotFormsWriteNothingForAnUnusableContextOrUnreadableFile) {
    char resultBuffer[32] = "keep", errorBuffer[32] = "keep";
    EXPECT_FALSE(api.zelkscript_stringevaluate(0, "return 1;", resultBuffer, 32, errorBuffer, 32));
    EXPECT_STREQ(resultBuffer, "keep");
    EXPECT_STREQ(errorBuffer, "keep");
    EXPECT_FALSE(api.zelkscript_stringexecute(context, "/no/such/file", resultBuffer, 32, errorBuffer, 32));
    EXPECT_STREQ(resultBuffer, "keep");
    EXPECT_TRUE(api.zelkscript_stringevaluate(context, "return 'textvalue';", resultBuffer, 5, errorBuffer, 32));
    EXPECT_STREQ(resultBuffer, "text");
    // The ordinary forms empty their buffers even then.
    strcpy(resultBuffer, "keep");
    EXPECT_FALSE(api.zelkscript_evaluate_strings(0, "return 1;", resultBuffer, 32, errorBuffer, 32));
    EXPECT_STREQ(resultBuffer, "");
}

// ===========================================================================
// Data ids
// ===========================================================================

class DataIds : public ApiTest {};

TEST_F(DataIds, IdsAreUniqueAcrossContextsAndBelongToOne) {
    char errmsg[64];
    const zelkscript_contextid other = api.zelkscript_createcontext(errmsg, sizeof errmsg);
    const zelkscript_dataid a = api.zelkscript_data_createstring(context, "a");
    const zelkscript_dataid b = api.zelkscript_data_createstring(other, "b");
    EXPECT_GT(a, 0);
    EXPECT_GT(b, a);
    EXPECT_EQ(textOf(b), "");  // not this context's id
    EXPECT_FALSE(idIsValid(b));
    api.zelkscript_freecontext(other);
    EXPECT_EQ(api.zelkscript_data_createstring(0, "x"), 0);
}

TEST_F(DataIds, StringsBooleansAndNumbersReadBack) {
    const zelkscript_dataid text = api.zelkscript_data_createstring(context, "my string");
    EXPECT_EQ(api.zelkscript_data_gettype(context, text), 'S');
    EXPECT_EQ(textOf(text), "my string");
    char debug[256];
    ASSERT_TRUE(api.zelkscript_data_debug(context, text, debug, sizeof debug));
    EXPECT_EQ(std::string(debug).rfind("OBJECT TYPE=string L-VALUE data=", 0), 0u) << debug;

    const zelkscript_dataid flag = api.zelkscript_data_createbool(context, 1);
    zelkscript_bool boolean = 0;
    EXPECT_TRUE(api.zelkscript_data_tobool(context, flag, &boolean));
    EXPECT_EQ(boolean, 1);
    EXPECT_EQ(textOf(flag), "1");
    EXPECT_EQ(api.zelkscript_data_gettype(context, flag), 'S');

    int32_t number = 0;
    EXPECT_TRUE(api.zelkscript_data_tolong(context, api.zelkscript_data_createlong(context, 328), &number));
    EXPECT_EQ(number, 328);
    double real = 0;
    EXPECT_TRUE(api.zelkscript_data_todouble(context, api.zelkscript_data_createdouble(context, 30.75), &real));
    EXPECT_DOUBLE_EQ(real, 30.75);
    EXPECT_FALSE(api.zelkscript_data_todouble(context, text, &real));
    EXPECT_EQ(real, 0.0);

    // tolong refuses the one value of 32 bits that has no negation.
    EXPECT_FALSE(api.zelkscript_data_tolong(context, api.zelkscript_data_createlong(context, INT32_MIN), &number));
    EXPECT_EQ(number, 0);
    EXPECT_FALSE(api.zelkscript_data_tolong(context, evaluateToId("return 2147483648;"), &number));
    EXPECT_TRUE(api.zelkscript_data_getlong("-2147483648", &number));
    EXPECT_EQ(number, INT32_MIN);
    EXPECT_FALSE(api.zelkscript_data_getlong("2147483648", &number));
}

TEST_F(DataIds, VectorsAreBuiltReadAndChanged) {
    const zelkscript_dataid vector = api.zelkscript_data_createvector(context);
    for (int32_t i = 1; i <= 10; ++i)
        ASSERT_TRUE(api.zelkscript_data_vector_pushelement(context, vector, api.zelkscript_data_createlong(context, i)));
    EXPECT_EQ(api.zelkscript_data_vector_getsize(context, vector), 10);
    zelkscript_dataid element = 0;
    ASSERT_TRUE(api.zelkscript_data_vector_getelement(context, vector, 8, &element));
    EXPECT_EQ(textOf(element), "9");
    EXPECT_EQ(textOf(vector), "[1,2,3,4,5,6,7,8,9,10]");
    zelkscript_dataid popped = 0;
    ASSERT_TRUE(api.zelkscript_data_vector_popelement(context, vector, &popped));
    EXPECT_EQ(textOf(popped), "10");
    EXPECT_EQ(textOf(vector), "[1,2,3,4,5,6,7,8,9]");
    ASSERT_TRUE(api.zelkscript_data_vector_setelement(context, vector, 5, api.zelkscript_data_createlong(context, 23)));
    EXPECT_EQ(textOf(vector), "[1,2,3,4,5,23,7,8,9]");
    // The element id names the element itself.
    ASSERT_TRUE(api.zelkscript_data_setreference_value(context, element, api.zelkscript_data_createstring(context, "x")));
    EXPECT_EQ(textOf(vector), "[1,2,3,4,5,23,7,8,'x']");
    ASSERT_TRUE(api.zelkscript_data_vector_setelement(context, vector, 0, 0));
    EXPECT_EQ(textOf(vector), "['',2,3,4,5,23,7,8,'x']");

    const zelkscript_dataid copy = api.zelkscript_data_duplicate(context, vector);
    EXPECT_NE(copy, vector);
    ASSERT_TRUE(api.zelkscript_data_vector_clearelements(context, vector));
    EXPECT_EQ(api.zelkscript_data_vector_getsize(context, vector), 0);
    EXPECT_EQ(api.zelkscript_data_gettype(context, vector), 0);
    EXPECT_FALSE(api.zelkscript_data_vector_pushelement(context, vector, 0));
    EXPECT_EQ(api.zelkscript_data_vector_getsize(context, copy), 9);
}

TEST_F(DataIds, VectorEdgesAnswerWhatHappened) {
    const zelkscript_dataid vector = evaluateToId("return [1, 2];");
    // A negative index is refused, not taken as four billion.
    EXPECT_FALSE(api.zelkscript_data_vector_setelement(context, vector, -1, 0));
    zelkscript_dataid element = 7;
    EXPECT_FALSE(api.zelkscript_data_vector_getelement(context, vector, -1, &element));
    EXPECT_EQ(element, 0);
    EXPECT_EQ(textOf(vector), "[1,2]");
    // An index far past the end cannot claim gigabytes.
    EXPECT_FALSE(api.zelkscript_data_vector_setelement(context, vector, INT32_MAX, 0));
    // An assignment that fails is reported: a vector holding itself cannot be
    // copied into an element.
    ASSERT_TRUE(evaluate("var loop = [1]; loop[0] =& loop;")) << error;
    zelkscript_dataid looped = 0;
    ASSERT_TRUE(api.zelkscript_context_getvariable(context, "loop", &looped));
    EXPECT_FALSE(api.zelkscript_data_vector_setelement(context, vector, 0, looped));
    // Popping an empty vector fails.
    zelkscript_dataid popped = 9;
    EXPECT_FALSE(api.zelkscript_data_vector_popelement(context, evaluateToId("return [];"), &popped));
    EXPECT_EQ(popped, 0);
    EXPECT_FALSE(api.zelkscript_data_vector_popelement(context, api.zelkscript_data_createstring(context, "s"), &popped));
    EXPECT_EQ(api.zelkscript_data_vector_getsize(context, api.zelkscript_data_createstring(context, "s")), 0);
}

TEST_F(DataIds, StructuresListMembersInNameOrder) {
    const zelkscript_dataid person = api.zelkscript_data_createstructure(context);
    ASSERT_TRUE(api.zelkscript_data_structure_setmember(context, person, "name",
                                                        api.zelkscript_data_createstring(context, "Test Person One")));
    ASSERT_TRUE(api.zelkscript_data_structure_setmember(context, person, "age", api.zelkscript_data_createlong(context, 24)));
    EXPECT_EQ(api.zelkscript_data_structure_getmembercount(context, person), 2);
    char name[16];
    ASSERT_TRUE(api.zelkscript_data_structure_getmembername(context, person, 0, name, sizeof name));
    EXPECT_STREQ(name, "age");
    EXPECT_FALSE(api.zelkscript_data_structure_getmembername(context, person, 2, name, sizeof name));
    EXPECT_FALSE(api.zelkscript_data_structure_getmembername(context, person, -1, name, sizeof name));
    EXPECT_STREQ(name, "");
    EXPECT_EQ(textOf(person), "{age: 24, name: 'Test Person One'}");

    zelkscript_dataid member = 0;
    EXPECT_FALSE(api.zelkscript_data_structure_getmember(context, person, "nosuchmember", &member));
    EXPECT_EQ(api.zelkscript_data_structure_getmembercount(context, person), 2);  // nothing was created
    ASSERT_TRUE(api.zelkscript_data_structure_getmember(context, person, "name", &member));
    ASSERT_TRUE(api.zelkscript_data_structure_removemember(context, person, "name"));
    EXPECT_FALSE(idIsValid(member));  // released with the member
    EXPECT_EQ(api.zelkscript_data_structure_getmembercount(context, person), 1);
    EXPECT_FALSE(api.zelkscript_data_structure_removemember(context, person, "name"));
    EXPECT_FALSE(api.zelkscript_data_structure_setmember(context, person, "", 0));
}

TEST_F(DataIds, FreeingAContainerReleasesTheIdsInsideOnly) {
    const zelkscript_dataid outer = evaluateToId("var keep = 'kept'; return { inner: [1, { deep: 2 }] };");
    zelkscript_dataid inner = 0, deep = 0, element = 0;
    ASSERT_TRUE(api.zelkscript_data_structure_getmember(context, outer, "inner", &inner));
    ASSERT_TRUE(api.zelkscript_data_vector_getelement(context, inner, 1, &element));
    ASSERT_TRUE(api.zelkscript_data_structure_getmember(context, element, "deep", &deep));
    zelkscript_dataid kept = 0;
    ASSERT_TRUE(api.zelkscript_context_getvariable(context, "keep", &kept));
    api.zelkscript_data_free(context, outer);
    for (zelkscript_dataid id : {outer, inner, element, deep}) EXPECT_FALSE(idIsValid(id)) << id;
    EXPECT_TRUE(idIsValid(kept));

    // A container that holds itself is freed without looping.
    ASSERT_TRUE(evaluate("var loop = [1]; loop[0] =& loop;")) << error;
    zelkscript_dataid looped = 0;
    ASSERT_TRUE(api.zelkscript_context_getvariable(context, "loop", &looped));
    api.zelkscript_data_free(context, looped);
    EXPECT_FALSE(idIsValid(looped));

    api.zelkscript_data_free_alluseddata(context);
    EXPECT_FALSE(idIsValid(kept));
    char debug[64];
    EXPECT_FALSE(api.zelkscript_data_debug(context, kept, debug, sizeof debug));
    EXPECT_STREQ(debug, "error: invalid data id");
    EXPECT_TRUE(api.zelkscript_data_debug(context, 0, debug, sizeof debug));
    EXPECT_STREQ(debug, "null");
}

TEST_F(DataIds, ReferenceValuesChangeWhatScriptsSee) {
    ASSERT_TRUE(evaluate("var seen = 1;"));
    zelkscript_dataid seen = 0;
    ASSERT_TRUE(api.zelkscript_context_getvariable(context, "seen", &seen));
    ASSERT_TRUE(api.zelkscript_data_setreference_value(context, seen, api.zelkscript_data_createstring(context, "new")));
    EXPECT_TRUE(evaluate("return seen;"));
    EXPECT_EQ(result, "new");
    EXPECT_FALSE(api.zelkscript_data_setreference_value(context, 0, seen));
    EXPECT_FALSE(api.zelkscript_data_setreference_value(context, 123456789, seen));
}

TEST_F(DataIds, TextChecksAndConversionsNeedNoContext) {
    EXPECT_TRUE(api.zelkscript_data_isnumber("-329328"));
    EXPECT_TRUE(api.zelkscript_data_isnumber("+30.75"));
    EXPECT_FALSE(api.zelkscript_data_isnumber("30x40"));
    EXPECT_FALSE(api.zelkscript_data_isnumber(""));
    EXPECT_FALSE(api.zelkscript_data_isnumber(nullptr));
    EXPECT_TRUE(api.zelkscript_data_islong("+329328"));
    EXPECT_FALSE(api.zelkscript_data_islong("30.75"));
    EXPECT_TRUE(api.zelkscript_data_isdouble("+329328.0"));
    EXPECT_FALSE(api.zelkscript_data_isdouble("30"));
    for (const char *word : {"17", "True", "false", "YES", "NO"}) EXPECT_TRUE(api.zelkscript_data_isbool(word)) << word;
    EXPECT_FALSE(api.zelkscript_data_isbool("30x40"));

    int32_t number = 0;
    EXPECT_TRUE(api.zelkscript_data_getlong("-329328", &number));
    EXPECT_EQ(number, -329328);
    EXPECT_TRUE(api.zelkscript_data_getlong("-329328", nullptr));
    double real = 0;
    EXPECT_TRUE(api.zelkscript_data_getdouble("30", &real));
    EXPECT_DOUBLE_EQ(real, 30.0);
    EXPECT_FALSE(api.zelkscript_data_getdouble("30", nullptr));
    zelkscript_bool flag = 0;
    EXPECT_TRUE(api.zelkscript_data_getbool("17", &flag));
    EXPECT_EQ(flag, 1);
    EXPECT_TRUE(api.zelkscript_data_getbool("0", &flag));
    EXPECT_EQ(flag, 0);

    EXPECT_EQ(api.zelkscript_data_bstr_getsize(nullptr, 0), 1);
    EXPECT_EQ(api.zelkscript_data_bstr_getsize(L"abc", 0), 4);
    EXPECT_EQ(api.zelkscript_data_bstr_getsize(L"\x20ac", 1), 4);  // three UTF-8 bytes
    EXPECT_EQ(api.zelkscript_data_bstr_getsize(L"\x20ac", 0), 2);  // "?"
    char text[3] = "zz";
    EXPECT_TRUE(api.zelkscript_data_bstr_gettext(L"abc", text, sizeof text, 0));
    EXPECT_STREQ(text, "ab");
    EXPECT_FALSE(api.zelkscript_data_bstr_gettext(nullptr, text, sizeof text, 0));
    EXPECT_STREQ(text, "");
    EXPECT_FALSE(api.zelkscript_data_bstr_gettext(L"abc", text, 0, 0));
}

// ===========================================================================
// Host functions
// ===========================================================================

class HostFunctionsTest : public ApiTest {
protected:
    void define(const char *prototype, bool byDataIds = false) {
        char errmsg[256];
        const bool ok = byDataIds
                            ? api.zelkscript_context_definefunction_dataids(context, prototype, errmsg, sizeof errmsg)
                            : api.zelkscript_context_definefunction_strings(context, prototype, errmsg, sizeof errmsg);
        ASSERT_TRUE(ok) << errmsg;
    }
};

TEST_F(HostFunctionsTest, TextFunctionsGetTheirArgumentsAsTexts) {
    hostFunctions.texts["teststringfunction"] = [](const HostCall &call, char *out, int32_t size, char *, int32_t) {
        std::snprintf(out, static_cast<size_t>(size), "%s|%s", call.texts[0].c_str(), call.texts[1].c_str());
        return true;
    };
    define("teststringfunction(param1, param2)");
    api.zelkscript_context_settextvariable(context, "textvar", "textvalue");
    api.zelkscript_context_setintvariable(context, "intvar", -328328);
    EXPECT_TRUE(evaluate("return teststringfunction(textvar, intvar);")) << error;
    EXPECT_EQ(result, "textvalue|-328328");
    ASSERT_EQ(hostFunctions.calls.size(), 1u);
    EXPECT_EQ(hostFunctions.calls[0].name, "teststringfunction");
    EXPECT_TRUE(hostFunctions.calls[0].paramsEndWithNull);
    EXPECT_EQ(hostFunctions.calls[0].context, context);

    // A call with another argument count never reaches the host.
    EXPECT_FALSE(evaluate("return teststringfunction(textvar);"));
    EXPECT_FALSE(evaluate("return teststringfunction();"));
    EXPECT_EQ(hostFunctions.calls.size(), 1u);
}

TEST_F(HostFunctionsTest, EachCallGetsFreshBuffersReadWithinTheirSize) {
    hostFunctions.texts["writes"] = [](const HostCall &, char *out, int32_t size, char *, int32_t) {
        std::snprintf(out, static_cast<size_t>(size), "abc");
        return true;
    };
    hostFunctions.texts["silent"] = [](const HostCall &, char *out, int32_t size, char *, int32_t) {
        // Answers without writing: the buffer it got must be empty.
        return out[0] == '\0' && size == 1024;
    };
    hostFunctions.texts["fills"] = [](const HostCall &, char *out, int32_t size, char *, int32_t) {
        std::memset(out, 'x', static_cast<size_t>(size));  // no NUL at all
        return true;
    };
    hostFunctions.texts["failsilently"] = [](const HostCall &, char *, int32_t, char *, int32_t) { return false; };
    define("writes()");
    define("silent()");
    define("fills()");
    define("failsilently()");
    EXPECT_TRUE(evaluate("return writes() + '/' + silent() + '/';")) << error;
    EXPECT_EQ(result, "abc//");
    EXPECT_TRUE(evaluate("return fills();"));
    EXPECT_EQ(result, std::string(1024, 'x'));
    EXPECT_FALSE(evaluate("writes(); return failsilently();"));
}

TEST_F(HostFunctionsTest, CallbacksMayRunScriptsAndDefineFunctions) {
    hostFunctions.texts["inner"] = [](const HostCall &, char *out, int32_t size, char *, int32_t) {
        std::snprintf(out, static_cast<size_t>(size), "in");
        return true;
    };
    hostFunctions.texts["outer"] = [](const HostCall &call, char *out, int32_t size, char *, int32_t) {
        char nested[64], errmsg[256];
        const bool ok =
            api.zelkscript_evaluate_strings(call.context, "return inner() + inner();", nested, 64, errmsg, 256);
        std::snprintf(out, static_cast<size_t>(size), "out:%s", ok ? nested : errmsg);
        return true;
    };
    hostFunctions.texts["definer"] = [](const HostCall &call, char *out, int32_t size, char *, int32_t) {
        char nested[64], errmsg[256];
        api.zelkscript_context_definefunction_strings(call.context, "late()", errmsg, sizeof errmsg);
        api.zelkscript_evaluate_strings(call.context, "return late();", nested, 64, errmsg, 256);
        std::snprintf(out, static_cast<size_t>(size), "%s", nested);
        return true;
    };
    hostFunctions.texts["late"] = [](const HostCall &, char *out, int32_t size, char *, int32_t) {
        std::snprintf(out, static_cast<size_t>(size), "late");
        return true;
    };
    hostFunctions.texts["complain"] = [](const HostCall &, char *, int32_t, char *errmsg, int32_t size) {
        std::snprintf(errmsg, static_cast<size_t>(size), "error: host says no");
        return false;
    };
    define("inner()");
    define("outer()");
    define("definer()");
    define("complain()");
    EXPECT_TRUE(evaluate("var local = 1; return outer() + local;")) << error;
    EXPECT_EQ(result, "out:inin1");
    EXPECT_TRUE(evaluate("return definer();")) << error;
    EXPECT_EQ(result, "late");
    EXPECT_FALSE(evaluate("return complain();"));
    EXPECT_EQ(error, "error: host says no");
    EXPECT_TRUE(evaluate("try { complain(); } catch (var e) { return 'caught'; }")) << error;
    EXPECT_EQ(result, "caught");
}

TEST_F(HostFunctionsTest, DefinitionsAreCheckedAndMayNotBeAmbiguous) {
    char errmsg[256];
    EXPECT_FALSE(api.zelkscript_context_definefunction_strings(0, "f()", errmsg, sizeof errmsg));
    EXPECT_STREQ(errmsg, "error: contextid missing");
    EXPECT_FALSE(api.zelkscript_context_definefunction_strings(context, "bad(", errmsg, sizeof errmsg));
    EXPECT_EQ(std::string(errmsg).rfind("invalid user function definition: ", 0), 0u) << errmsg;
    EXPECT_FALSE(api.zelkscript_context_definefunction_dataids(context, nullptr, errmsg, sizeof errmsg));
    EXPECT_NE(std::string(errmsg), "");
    define("dup(a, b)");
    define("dup(a, b)", true);
    EXPECT_FALSE(evaluate("return dup(1, 2);"));
    EXPECT_EQ(error, "error: function dup($$) is defined twice");
    EXPECT_TRUE(hostFunctions.calls.empty());
}

TEST_F(HostFunctionsTest, DataIdFunctionsGetCopiesAndReferences) {
    std::vector<zelkscript_dataid> seenIds;
    zelkscript_dataid resultId = 0;
    hostFunctions.dataIds["calccirclearea2"] = [&](const HostCall &call, zelkscript_dataid *out, char *errmsg,
                                                    int32_t size) {
        double radius = 0;
        if (!api.zelkscript_data_todouble(call.context, call.ids[0], &radius)) {
            std::snprintf(errmsg, static_cast<size_t>(size), "error: calccirclearea2 parameter radius expects a number");
            return false;
        }
        seenIds = call.ids;
        const zelkscript_dataid area = api.zelkscript_data_createdouble(call.context, radius * radius * 3.1415926);
        api.zelkscript_data_setreference_value(call.context, call.ids[1], area);
        // The first argument is a copy: changing it changes nothing outside.
        api.zelkscript_data_setreference_value(call.context, call.ids[0], api.zelkscript_data_createlong(call.context, 13));
        *out = resultId = api.zelkscript_data_createbool(call.context, 1);
        return true;
    };
    define("calccirclearea2(radius, &area)", true);
    EXPECT_TRUE(evaluate("var radius = 8; var area = 0; var r = calccirclearea2(radius, area);"
                         "return r + ',' + radius + ',' + area;"))
        << error;
    EXPECT_EQ(result, "1,8,201.062");
    ASSERT_EQ(seenIds.size(), 2u);
    EXPECT_FALSE(idIsValid(seenIds[0]));
    EXPECT_FALSE(idIsValid(seenIds[1]));
    EXPECT_TRUE(idIsValid(resultId));
    EXPECT_FALSE(evaluate("return calccirclearea2('abc', area);"));
    EXPECT_EQ(error, "error: calccirclearea2 parameter radius expects a number");
}

TEST_F(HostFunctionsTest, OnlyIdsIssuedDuringACallAreReleasedAfterIt) {
    zelkscript_dataid memberDuringCall = 0, createdDuringCall = 0;
    hostFunctions.dataIds["inspect"] = [&](const HostCall &call, zelkscript_dataid *out, char *, int32_t) {
        api.zelkscript_data_structure_getmember(call.context, call.ids[0], "a", &memberDuringCall);
        createdDuringCall = api.zelkscript_data_createlong(call.context, 1);
        *out = call.ids[0];  // the argument itself is the result
        return true;
    };
    define("inspect(&s)", true);
    ASSERT_TRUE(evaluate("var s = { a: 1; b: 2 };"));
    zelkscript_dataid held = 0;
    ASSERT_TRUE(api.zelkscript_context_getvariable(context, "s", &held));
    ASSERT_TRUE(evaluate("var r = inspect(s); return r.b;")) << error;
    EXPECT_EQ(result, "2");
    // The host's own id for the variable and its new id survive; the member
    // id obtained inside the argument was released with it.
    EXPECT_TRUE(idIsValid(held));
    EXPECT_TRUE(idIsValid(createdDuringCall));
    EXPECT_FALSE(idIsValid(memberDuringCall));
    ASSERT_EQ(hostFunctions.calls.size(), 1u);
    EXPECT_EQ(hostFunctions.calls[0].ids[0], held);  // the registered value kept its id
}

// ===========================================================================
// Live data
// ===========================================================================

class LiveData : public ApiTest {
protected:
    void SetUp() override {
        ApiTest::SetUp();
        song = createLiveSong(context);
        ASSERT_NE(song, 0);
        ASSERT_TRUE(api.zelkscript_context_setvariable(context, "song", song));
    }
    zelkscript_dataid song = 0;
};

TEST_F(LiveData, CreationIsCheckedAndRecorded) {
    char errmsg[64];
    EXPECT_EQ(api.zelkscript_livedata_create(context, 1, 'x', "T", errmsg, sizeof errmsg), 0);
    EXPECT_STREQ(errmsg, "error: invalid data type");
    EXPECT_EQ(api.zelkscript_livedata_create(context, 0, 'S', "T", errmsg, sizeof errmsg), 0);
    EXPECT_STREQ(errmsg, "error: missing userdataref");
    EXPECT_EQ(api.zelkscript_livedata_create(0, 1, 'S', "T", errmsg, sizeof errmsg), 0);
    EXPECT_STREQ(errmsg, "error: missing contextid");

    EXPECT_EQ(api.zelkscript_livedata_getdatatype(context, song), '{');
    EXPECT_EQ(api.zelkscript_data_gettype(context, song), '{');
    char name[8];
    EXPECT_TRUE(api.zelkscript_livedata_gettypename(context, song, name, sizeof name));
    EXPECT_STREQ(name, "SONG");
    EXPECT_EQ(api.zelkscript_livedata_getuserdataref(context, song), reinterpret_cast<uintptr_t>(&liveModel.song));

    const zelkscript_dataid plain = api.zelkscript_data_createstring(context, "plain");
    EXPECT_EQ(api.zelkscript_livedata_getdatatype(context, plain), 0);
    EXPECT_TRUE(api.zelkscript_livedata_gettypename(context, plain, name, sizeof name));
    EXPECT_STREQ(name, "");
    EXPECT_EQ(api.zelkscript_livedata_getuserdataref(context, plain), 0u);
    EXPECT_TRUE(api.zelkscript_livedata_gettypename(context, 0, name, sizeof name));
    EXPECT_STREQ(name, "null");
    EXPECT_FALSE(api.zelkscript_livedata_gettypename(context, song, name, 0));
}

TEST_F(LiveData, ScriptsReadTheHostDataWhereItLives) {
    EXPECT_TRUE(evaluate("return toupper(song.songname + '!');")) << error;
    EXPECT_EQ(result, "RAINY DAY!");
    EXPECT_TRUE(evaluate("return song.events[2].text;")) << error;
    EXPECT_EQ(result, "Clouds over the village");
    EXPECT_TRUE(evaluate("return song;")) << error;
    EXPECT_EQ(result,
              "{events: [{eventtype: 'program', program: 13},{eventtype: 'note', note: 63, velocity: 127},"
              "{eventtype: 'text', text: 'Clouds over the village', texttype: 5}], format: 1, songname: 'Rainy Day'}");
    EXPECT_FALSE(evaluate("return song.events[1].text;"));
    EXPECT_NE(error.find(" EVENT does not use this membername"), std::string::npos) << error;
    liveModel.song.name = "Sunny Day";
    EXPECT_TRUE(evaluate("return song.songname;"));
    EXPECT_EQ(result, "Sunny Day");
}

TEST_F(LiveData, AssignmentsWriteThroughToTheHost) {
    EXPECT_TRUE(evaluate("song.events[2].text = 'modified';")) << error;
    EXPECT_EQ(liveModel.song.events[2].text, "modified");
    EXPECT_FALSE(evaluate("song.events[1].note = 128;"));
    EXPECT_EQ(error, "error: invalid note number");
    EXPECT_TRUE(evaluate("song.events[1].note = 127;")) << error;
    EXPECT_FALSE(evaluate("song.format = 2;"));
    EXPECT_EQ(error, "error: modifying song format is not allowed");
    // A script cannot change the length of a live vector.
    EXPECT_FALSE(evaluate("song.events.push(1);"));
    EXPECT_EQ(liveModel.song.events.size(), 3u);
}

TEST_F(LiveData, ForeachVisitsLiveElementsInOrder) {
    EXPECT_TRUE(evaluate("var programs = []; foreach (var ev in song.events)"
                         " if (ev != null && ev.eventtype == 'program') programs.push(ev); return programs;"))
        << error;
    EXPECT_EQ(result, "[{eventtype: 'program', program: 13}]");
    EXPECT_TRUE(evaluate("var kinds = ''; foreach (var ev in song.events) kinds += ev.eventtype + ' '; return kinds;"))
        << error;
    EXPECT_EQ(result, "program note text ");
}

TEST_F(LiveData, ElementIndexesAboveTheLimitMakeNoCall) {
    EXPECT_FALSE(evaluate("return song.events[32767];"));
    EXPECT_EQ(error, "error: vector index out of range");
    EXPECT_NE(liveModel.lastElementIndex, 32767);
    EXPECT_FALSE(evaluate("return song.events[32766];"));
    EXPECT_EQ(liveModel.lastElementIndex, 32766);
    EXPECT_EQ(error, "error: index is outside of vector range");
}

TEST_F(LiveData, HostAnswersOutsideTheContractAreBounded) {
    liveModel.emptyMemberName = true;
    EXPECT_FALSE(evaluate("return song.songname;"));
    EXPECT_EQ(error, "error: empty member name found");
    liveModel.emptyMemberName = false;

    // A negative count is no member at all, not four billion calls.
    liveModel.forcedMemberCount = -1;
    EXPECT_TRUE(evaluate("return song;"));
    EXPECT_EQ(result, "{}");
    EXPECT_EQ(api.zelkscript_data_structure_getmembercount(context, song), 0);
    liveModel.forcedMemberCount = -1000;
    liveModel.forcedVectorSize = -5;
    EXPECT_TRUE(evaluate("return song.events;"));
    EXPECT_EQ(result, "[]");
    liveModel.forcedVectorSize = -1000;

    liveModel.fillWholeStringBuffer = true;
    EXPECT_TRUE(evaluate("return song.songname;"));
    EXPECT_EQ(result, std::string(1024, 'x'));
}

TEST_F(LiveData, FreeingHostDataThatReachesItselfEnds) {
    liveModel.songHasSelf = true;
    EXPECT_EQ(api.zelkscript_data_structure_getmembercount(context, song), 4);
    const zelkscript_dataid other = api.zelkscript_data_createstring(context, "other");
    api.zelkscript_data_free(context, song);
    EXPECT_FALSE(idIsValid(song));
    EXPECT_TRUE(idIsValid(other));
    EXPECT_TRUE(evaluate("return song.self.self.songname;")) << error;
    EXPECT_EQ(result, "Rainy Day");
}

TEST_F(LiveData, DataIdExportsAnswerWhatTheHostDid) {
    // A live member is a live string, not a structure: nothing is stored.
    EXPECT_FALSE(api.zelkscript_data_structure_setmember(context, song, "songname",
                                                         api.zelkscript_data_createstring(context, "x")));
    EXPECT_EQ(liveModel.song.name, "Rainy Day");
    EXPECT_FALSE(api.zelkscript_data_structure_removemember(context, song, "songname"));
    zelkscript_dataid member = 0;
    ASSERT_TRUE(api.zelkscript_data_structure_getmember(context, song, "songname", &member));
    EXPECT_EQ(textOf(member), "Rainy Day");
    EXPECT_EQ(api.zelkscript_livedata_getdatatype(context, member), 'S');
    // A variable assigned from a live value shares the host datum.
    ASSERT_TRUE(evaluate("var alias = song;")) << error;
    zelkscript_dataid alias = 0;
    ASSERT_TRUE(api.zelkscript_context_getvariable(context, "alias", &alias));
    EXPECT_EQ(api.zelkscript_livedata_getuserdataref(context, alias), reinterpret_cast<uintptr_t>(&liveModel.song));
    api.zelkscript_data_free(context, song);
    EXPECT_FALSE(idIsValid(song));
    EXPECT_TRUE(evaluate("return song.songname;"));  // the variable still holds the value
    EXPECT_EQ(result, "Rainy Day");
}

// ===========================================================================
// Run limits
// ===========================================================================

class RunLimits : public ApiTest {};

TEST_F(RunLimits, LoopLimitIsTheHostsChoice) {
    ASSERT_TRUE(api.zelkscript_option_setmaxloopcount(context, 5));
    EXPECT_FALSE(evaluate("var few = 0; while (few < 10) few++; return few;"));
    EXPECT_NE(error.find("loop never ending"), std::string::npos) << error;
    ASSERT_TRUE(api.zelkscript_option_setmaxloopcount(context, 0));
    EXPECT_TRUE(evaluate("var many = 0; while (many < 20000) many++; return many;")) << error;
    EXPECT_EQ(result, "20000");
    EXPECT_FALSE(api.zelkscript_option_setmaxloopcount(context, -1));
    EXPECT_FALSE(api.zelkscript_option_setmaxloopcount(0, 5));
}

TEST_F(RunLimits, NodeBudgetEndsARunUncatchably) {
    ASSERT_TRUE(api.zelkscript_option_setnodebudget(context, 5000));
    EXPECT_FALSE(evaluate("try { for (var i = 0; i < 10000; i++) for (var j = 0; j < 10000; j++) {} }"
                          " catch (var e) { return 'caught'; }"));
    EXPECT_EQ(error, "run limit reached: too many evaluation steps");
    // The budget is per run.
    EXPECT_TRUE(evaluate("var k = 0; for (var i = 0; i < 100; i++) k++; return k;")) << error;
    EXPECT_EQ(result, "100");
    EXPECT_FALSE(api.zelkscript_option_setnodebudget(context, -1));
}

TEST_F(RunLimits, TimeLimitEndsALongRun) {
    ASSERT_TRUE(api.zelkscript_option_settimelimit(context, 100));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(evaluate("for (var i = 0; i < 10000; i++) for (var j = 0; j < 10000; j++) {}"));
    EXPECT_EQ(error, "run limit reached: time is up");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_FALSE(api.zelkscript_option_settimelimit(context, -1));
}

TEST_F(RunLimits, InterruptStopsARunFromAnotherThread) {
    ASSERT_TRUE(api.zelkscript_option_setmaxloopcount(context, 0));
    ASSERT_TRUE(api.zelkscript_option_settimelimit(context, 60000));  // a safety net only
    std::atomic<bool> done{false};
    std::thread interrupter([&] {
        while (!done.load()) {
            api.zelkscript_interrupt(context);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    const bool ok = evaluate("while (true) {}");
    done = true;
    interrupter.join();
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, "run interrupted");
    EXPECT_FALSE(api.zelkscript_interrupt(0));
    // A request made while nothing runs does not stop the next run.
    EXPECT_TRUE(api.zelkscript_interrupt(context));
    EXPECT_TRUE(evaluate("return 1;")) << error;
}

// ===========================================================================
// Hostile calls: null contexts, null pointers, bad sizes, unknown ids
// ===========================================================================

class HostileCalls : public ApiTest {};

TEST_F(HostileCalls, ANullContextIsRefusedEverywhere) {
    char buffer[16] = "keep";
    int64_t number = 5;
    double real = 5;
    zelkscript_dataid id = 5;
    api.zelkscript_freecontext(0);
    EXPECT_FALSE(api.zelkscript_context_settextvariable(0, "a", "b"));
    EXPECT_FALSE(api.zelkscript_context_setintvariable(0, "a", 1));
    EXPECT_FALSE(api.zelkscript_context_setdoublevariable(0, "a", 1));
    EXPECT_FALSE(api.zelkscript_context_gettextvariable(0, "a", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "keep");
    EXPECT_FALSE(api.zelkscript_context_getintvariable(0, "a", &number));
    EXPECT_EQ(number, 0);
    EXPECT_FALSE(api.zelkscript_context_getdoublevariable(0, "a", &real));
    EXPECT_FALSE(api.zelkscript_context_setvariable(0, "a", 1));
    EXPECT_FALSE(api.zelkscript_context_getvariable(0, "a", &id));
    EXPECT_EQ(id, 0);
    EXPECT_FALSE(api.zelkscript_execute_strings(0, "/dev/null", buffer, sizeof buffer, buffer, sizeof buffer));
    EXPECT_EQ(api.zelkscript_data_createvector(0), 0);
    EXPECT_EQ(api.zelkscript_data_duplicate(0, 1), 0);
    EXPECT_EQ(api.zelkscript_data_gettype(0, 1), 0);
    EXPECT_EQ(api.zelkscript_data_vector_getsize(0, 1), 0);
    EXPECT_EQ(api.zelkscript_data_structure_getmembercount(0, 1), 0);
    EXPECT_EQ(api.zelkscript_livedata_getdatatype(0, 1), 0);
    EXPECT_EQ(api.zelkscript_livedata_getuserdataref(0, 1), 0u);
    api.zelkscript_data_free(0, 1);
    api.zelkscript_data_free_alluseddata(0);
    EXPECT_TRUE(api.zelkscript_data_tostring(0, 1, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "");
}

TEST_F(HostileCalls, NullPointersAndBadSizesWriteNothing) {
    const zelkscript_dataid text = api.zelkscript_data_createstring(context, "text");
    char buffer[8] = "keep";
    EXPECT_FALSE(api.zelkscript_data_tostring(context, text, buffer, 0));
    EXPECT_FALSE(api.zelkscript_data_tostring(context, text, buffer, -1));
    EXPECT_FALSE(api.zelkscript_data_debug(context, text, buffer, INT32_MIN));
    EXPECT_STREQ(buffer, "keep");
    EXPECT_FALSE(api.zelkscript_data_tostring(context, text, nullptr, 8));
    EXPECT_FALSE(api.zelkscript_data_tobool(context, text, nullptr));
    EXPECT_FALSE(api.zelkscript_data_tolong(context, text, nullptr));
    EXPECT_FALSE(api.zelkscript_data_todouble(context, text, nullptr));
    EXPECT_FALSE(api.zelkscript_data_vector_getelement(context, text, 0, nullptr));
    EXPECT_FALSE(api.zelkscript_data_vector_popelement(context, text, nullptr));
    EXPECT_FALSE(api.zelkscript_data_structure_getmember(context, text, "a", nullptr));
    EXPECT_FALSE(api.zelkscript_data_structure_getmembername(context, text, 0, nullptr, 8));
    EXPECT_FALSE(api.zelkscript_context_settextvariable(context, nullptr, "x"));
    EXPECT_TRUE(api.zelkscript_context_settextvariable(context, "nulltext", nullptr));
    EXPECT_FALSE(api.zelkscript_evaluate_strings(context, nullptr, nullptr, 0, nullptr, -3));
    char errmsg[32];
    const zelkscript_contextid quiet = api.zelkscript_createcontext(nullptr, 0);
    EXPECT_NE(quiet, 0u);
    api.zelkscript_freecontext(quiet);
    EXPECT_FALSE(api.zelkscript_context_definefunction_strings(context, "f(", errmsg, 0));
    // The evaluation above failed ("<error>"): its position is all zero.
    EXPECT_TRUE(api.zelkscript_context_getlasterror(context, nullptr, 0, nullptr, nullptr));
}

TEST_F(HostileCalls, UnknownAndFreedIdsNameNoValue) {
    const zelkscript_dataid freed = api.zelkscript_data_createstring(context, "gone");
    api.zelkscript_data_free(context, freed);
    api.zelkscript_data_free(context, freed);  // twice is harmless
    for (zelkscript_dataid id : {freed, zelkscript_dataid{-1}, zelkscript_dataid{INT32_MAX}}) {
        EXPECT_EQ(api.zelkscript_data_gettype(context, id), 0);
        EXPECT_EQ(textOf(id), "");
        EXPECT_FALSE(idIsValid(id));
        EXPECT_EQ(api.zelkscript_data_duplicate(context, id), 0);
        EXPECT_FALSE(api.zelkscript_data_vector_pushelement(context, id, 0));
        EXPECT_FALSE(api.zelkscript_data_vector_clearelements(context, id));
        EXPECT_FALSE(api.zelkscript_data_structure_setmember(context, id, "a", 0));
        EXPECT_FALSE(api.zelkscript_data_structure_removemember(context, id, "a"));
        int32_t number = 3;
        EXPECT_FALSE(api.zelkscript_data_tolong(context, id, &number));
        EXPECT_EQ(number, 0);
    }
    EXPECT_EQ(textOf(0), "null");
}

} // namespace

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2 && !::testing::GTEST_FLAG(list_tests)) {
        std::fprintf(stderr, "usage: %s PATH-TO-libzelkscriptlib.so [gtest options]\n", argv[0]);
        return 2;
    }
    std::string error;
    if (argc >= 2 && !bindLibrary(argv[1], error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    return RUN_ALL_TESTS();
}
