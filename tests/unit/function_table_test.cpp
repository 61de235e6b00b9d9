// The system function table: its help texts, the dispatch prototypes derived
// from them, the lookup of calls with its cache, and the implementation
// registry.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/interpreter/function_table.h"
#include "engine/interpreter/user_function.h"

namespace zelkscript {
namespace {

// The names in the order scripts have always seen them listed.
constexpr std::array<std::string_view, 258> kNameOrder = {
    "__VERSION__", "__USEVERSION__", "abort", "die", "exit", "throwexception", "sleep", "wait",
    "allowmessageprocessing", "__LINE__", "__POS__", "__FILE__", "__FOLDER__", "__CODE__", "__CODEPOS__",
    "getdebuginfo", "gettype", "tostring", "hexdump", "eval", "include", "zelkscriptexecute", "uselibrary",
    "setlibrarypath", "getlibrarysummary", "duplicate", "unittest_clear", "unittest_count",
    "unittest_results", "unittest_areequal", "unittest_areequalvalues", "unittest_areequalbool",
    "unittest_arenearvalues", "unittest_mustcontaintext", "unittest_fileexists",
    "unittest_arefilecontentsequal", "unittest_isinvaluelist", "unittest_istrue", "unittest_isfalse",
    "unittest_fail", "translate", "strlen", "length", "size", "comparetext", "comparetextignorecase",
    "comparenumeric", "isdefined", "isvariabledefined", "getarg", "isempty", "push", "pushreference", "pop",
    "shift", "insert", "unshift", "clear", "containskey", "containsvalue", "removekey", "removevalue", "mid",
    "left", "right", "index", "fill", "shortcut", "shortmiddlecut", "containstext", "textcontains",
    "textstartswith", "textendswith", "parseintrangelist", "rindex", "reservespace", "strcmp", "stricmp",
    "trim", "trimleft", "trimright", "escapestring", "unescapestring", "quotestring", "unquotestring", "ord",
    "isnumber", "ishexnumber", "isalpha", "isalphanumeric", "iswhitespace", "chr", "odd", "round", "toupper",
    "tolower", "split", "splitlines", "splitwords", "like", "join", "concat", "replace",
    "defaultreplaceoptions", "timemilliseconds", "timeseconds", "getdatestring", "gettimestring",
    "getdatetime", "startrandom", "random", "getenv", "setenv", "sprintf", "printf", "print", "println",
    "printerrorf", "printerror", "printerrorln", "fileexists", "filesize", "equalfiles", "closedfilereadtext",
    "closedfilereadlines", "closedfilereadbinary", "closedfilewritebinary", "closedfilewritetext",
    "closedfilewritelines", "closedfileappendtext", "fileopen", "openfileclose", "openfilepos",
    "openfilesize", "openfileseekbegin", "openfileseekcurrent", "openfileseekend", "openfilechangesize",
    "openfilereadbinary", "openfilereadline", "openfilewritebinary", "openfilewritetext", "copyfile",
    "copybinaryfile", "movefile", "createfilebackup", "isbackupfilename", "deletefile", "deletefileforever",
    "gettemporaryfolder", "gettemporaryfilename", "gettemporaryfoldername", "getpersonalfolder",
    "getmydocumentsfolder", "getprogramfolder", "getapplicationdatafolder", "joinpath", "getfilename",
    "getdirectory", "getfileextension", "removefileextension", "quotepath", "getfullpath", "readdirectory",
    "createdirectory", "deletedirectory", "createdirectories", "fileattributes", "directoryexists",
    "fileisnewer", "writeprofilestring", "getprofilestring", "writeprofilebool", "getprofilebool",
    "logmessage", "match", "substitute", "abs", "min", "max", "sum", "average", "swap", "acos", "asin", "atan",
    "atan2", "cos", "cosh", "exp", "log", "log10", "sin", "sinh", "tan", "tanh", "sqrt", "sqr", "ceil",
    "floor", "fract", "div", "modf", "fmod", "pow", "collectionkeys", "collectionvalues", "callfunction",
    "grepkeys", "grepvalues", "sort", "sortnumeric", "sortalphabetic", "sortignorecase", "inversesort",
    "inversesortnumeric", "inversesortalphabetic", "inversesortignorecase", "buffergetbyte",
    "buffersetbyte", "bufferfillbytes", "picturecreate", "picturedestroy", "picturesavebpm", "pictureload",
    "picturesave", "picturefillrect", "picturedrawtext", "getcolor32", "getcolor24", "getred", "getgreen",
    "getblue", "getalpha", "makecsvline", "parsecsvline", "splitcsvlines", "parsejson", "createjson",
    "messagebox", "getinputlinebox", "findapplication", "shellexecute", "runprocess", "beep", "playmidi",
    "saytext", "getclipboardtext", "setclipboardtext", "filechooser", "datetoday", "parsedate", "dategerman",
    "dateenglish", "dateweekday", "isvaliddate", "daysbetweendates", "isdatebefore",
};

// Every form that takes any number of further arguments, and every form with
// a reference parameter, exactly as hosts and scripts know them.
const std::set<std::string_view> kVariadicForms = {
    "uselibrary(libraryname,...)", "setlibrarypath(path,...)", "join(sep,text1,text2,...)",
    "concat(text1,...)", "sprintf(format,...)", "printf(format,...)", "print(format,...)",
    "println(text,...)", "printerrorf(format,...)", "printerror(text,...)", "printerrorln(text,...)",
    "gettemporaryfolder(...)", "getpersonalfolder(...)", "getmydocumentsfolder(...)",
    "getprogramfolder(...)", "getapplicationdatafolder(...)", "joinpath(path,...)", "logmessage(text1,...)",
    "match(text,regex,...)", "min(x,y,...)", "max(x,y,...)", "sum(x,y,...)", "average(x,y,...)",
    "callfunction(functionname,...)", "grepkeys(structure,operator,value,...)",
    "grepvalues(collection,operator,value,...)", "sort(vector,comparefunctionname,...)",
    "inversesort(vector,comparefunctionname,...)", "playmidi(events,...)",
};
const std::set<std::string_view> kReferenceForms = {
    "swap(&x,&y)", "buffergetbyte(&buffer,pos)", "buffersetbyte(&buffer,pos,value)",
    "bufferfillbytes(&buffer,pos,len,value)", "getinputlinebox(prompt, caption, &inputline)",
    "runprocess(cmdline,&processoutput)",
};

const SystemFunctionTable &table() { return SystemFunctionTable::instance(); }

std::string_view helpTextOf(const SystemFunctionEntry *entry) {
    return entry == nullptr ? std::string_view("<none>") : entry->helpText;
}

bool fakeImplementation(ZelkScriptContextBase &, std::span<ObjectRef>, ObjectRef &, std::string &) {
    return true;
}
bool otherImplementation(ZelkScriptContextBase &, std::span<ObjectRef>, ObjectRef &, std::string &) {
    return false;
}

TEST(SystemFunctionTable, HoldsEveryFormOnceGroupedByNameInListedOrder) {
    ASSERT_EQ(table().size(), 305u);
    EXPECT_EQ(systemFunctionHelpTexts().size(), 305u);

    std::vector<std::string_view> namesInTableOrder;
    std::set<std::string_view> helpTexts;
    for (const SystemFunctionEntry &entry : table().entries()) {
        if (namesInTableOrder.empty() || namesInTableOrder.back() != entry.name) {
            namesInTableOrder.push_back(entry.name);
        }
        EXPECT_TRUE(helpTexts.insert(entry.helpText).second) << "duplicate " << entry.helpText;
    }
    // A name seen twice in this sequence would mean its forms are not adjacent.
    EXPECT_TRUE(std::equal(namesInTableOrder.begin(), namesInTableOrder.end(), kNameOrder.begin(),
                           kNameOrder.end()));
}

TEST(SystemFunctionTable, ListsExactlyTheVariadicAndReferenceForms) {
    std::set<std::string_view> variadic, reference;
    for (const SystemFunctionEntry &entry : table().entries()) {
        if (entry.helpText.find("...") != std::string_view::npos) variadic.insert(entry.helpText);
        if (entry.helpText.find('&') != std::string_view::npos) reference.insert(entry.helpText);
        EXPECT_EQ(entry.variadic, entry.helpText.find("...") != std::string_view::npos) << entry.helpText;
    }
    EXPECT_EQ(variadic, kVariadicForms);
    EXPECT_EQ(reference, kReferenceForms);
}

TEST(SystemFunctionTable, EveryHelpTextGivesTheDispatchPrototypeOfItsParameterList) {
    // Cross-check the prototype with the independent parse of the same text
    // as a user function prototype.
    for (const SystemFunctionEntry &entry : table().entries()) {
        ZelkScriptFunctionDeclaration declaration;
        std::string error;
        ASSERT_TRUE(parseUserFunctionPrototype(entry.helpText, declaration, error)) << error;
        std::string expected = declaration.name + "(" + std::string(declaration.parameters.size(), '$') +
                               (declaration.variadic ? "*" : "") + ")";
        EXPECT_EQ(entry.prototype, expected) << entry.helpText;
        EXPECT_EQ(entry.name, declaration.name);
        EXPECT_EQ(entry.parameterCount, declaration.parameters.size()) << entry.helpText;
        EXPECT_EQ(&table().entry(entry.index), &entry);
    }
}

TEST(DispatchPrototype, FollowsTheDerivationRule) {
    EXPECT_EQ(deriveDispatchPrototype("mid(text,pos,len)"), "mid($$$)");
    EXPECT_EQ(deriveDispatchPrototype("join(sep,text1,text2,...)"), "join($$$*)");
    EXPECT_EQ(deriveDispatchPrototype("exit()"), "exit()");
    EXPECT_EQ(deriveDispatchPrototype("swap(&x,&y)"), "swap($$)");
    EXPECT_EQ(deriveDispatchPrototype("gettemporaryfolder(...)"), "gettemporaryfolder(*)");
    EXPECT_EQ(deriveDispatchPrototype("getinputlinebox(prompt, caption, &inputline)"), "getinputlinebox($$$)");
    EXPECT_EQ(deriveDispatchPrototype("f( )"), "f()");
    EXPECT_EQ(deriveDispatchPrototype("f(a, ... )"), "f($*)");
}

TEST(DispatchPrototype, MalformedHelpTextsGiveTheErrorPrototype) {
    for (std::string_view text : {"f(a.b)", "f(a,..)", "f(....)", "f(a,&x.y)", "f(a)x", "f(a) ", "f(a))",
                                  "f(...,a)", "f", "f(a", "(a)", ""}) {
        EXPECT_EQ(deriveDispatchPrototype(text), kInvalidDispatchPrototype) << text;
    }
}

TEST(DispatchPrototype, WildcardMatchesAnyRunForStarOnly) {
    EXPECT_TRUE(matchDispatchPrototype("join($$$*)", "join($$$)"));
    EXPECT_TRUE(matchDispatchPrototype("join($$$*)", "join($$$$$$)"));
    EXPECT_FALSE(matchDispatchPrototype("join($$$*)", "join($$)"));
    EXPECT_TRUE(matchDispatchPrototype("g(*)", "g()"));
    EXPECT_FALSE(matchDispatchPrototype("g(*)", "h()"));
    EXPECT_TRUE(matchDispatchPrototype("a*b*c", "aXbYbZc"));
    EXPECT_FALSE(matchDispatchPrototype("a*b*c", "aXbYbZ"));
    EXPECT_TRUE(matchDispatchPrototype("**", ""));
    EXPECT_FALSE(matchDispatchPrototype("mid($$$)", "mid($$$$)"));

    // Many stars against a long text that almost matches must stay cheap.
    std::string pattern(200, '*');
    pattern += 'x';
    std::string text(100000, '$');
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(matchDispatchPrototype(pattern, text));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(CallSignature, IsTheNameAndOneDollarPerArgument) {
    EXPECT_EQ(makeCallSignature("mid", 3), "mid($$$)");
    EXPECT_EQ(makeCallSignature("exit", 0), "exit()");
}

TEST(FindSystemFunction, ReachesEveryFormThroughItsOwnParameterCount) {
    for (const SystemFunctionEntry &entry : table().entries()) {
        const SystemFunctionEntry *found = table().findSystemFunction(entry.name, entry.parameterCount);
        ASSERT_NE(found, nullptr) << entry.helpText;
        EXPECT_EQ(found->name, entry.name);
        // A variable form may be answered by a fixed form of the same count.
        if (!entry.variadic) {
            EXPECT_EQ(found, &entry) << entry.helpText;
        } else {
            const SystemFunctionEntry *more = table().findSystemFunction(entry.name, entry.parameterCount + 7);
            EXPECT_EQ(more, &entry) << entry.helpText;
        }
    }
}

TEST(FindSystemFunction, ResolvesNamesWithSeveralForms) {
    EXPECT_EQ(helpTextOf(table().findSystemFunction("concat", 1)), "concat(vector)");
    EXPECT_EQ(helpTextOf(table().findSystemFunction("concat", 2)), "concat(text1,...)");
    EXPECT_EQ(helpTextOf(table().findSystemFunction("joinpath", 1)), "joinpath(vector)");
    EXPECT_EQ(helpTextOf(table().findSystemFunction("joinpath", 4)), "joinpath(path,...)");
    EXPECT_EQ(helpTextOf(table().findSystemFunction("join", 2)), "join(sep,vector)");
    EXPECT_EQ(helpTextOf(table().findSystemFunction("join", 3)), "join(sep,text1,text2,...)");
    EXPECT_EQ(helpTextOf(table().findSystemFunction("println", 0)), "println()");
    EXPECT_EQ(helpTextOf(table().findSystemFunction("println", 2)), "println(text,...)");
    EXPECT_EQ(helpTextOf(table().findSystemFunction("sort", 1)), "sort(vector)");
    EXPECT_EQ(helpTextOf(table().findSystemFunction("sort", 2)), "sort(vector,comparefunctionname,...)");
    EXPECT_EQ(helpTextOf(table().findSystemFunction("gettemporaryfolder", 0)), "gettemporaryfolder(...)");
    EXPECT_EQ(helpTextOf(table().findSystemFunction("mid", 2)), "mid(text,pos)");
    EXPECT_EQ(helpTextOf(table().findSystemFunction("mid", 3)), "mid(text,pos,len)");
}

TEST(FindSystemFunction, RefusesCallsNoFormAccepts) {
    EXPECT_EQ(table().findSystemFunction("min", 1), nullptr);
    EXPECT_EQ(helpTextOf(table().findSystemFunction("min", 3)), "min(x,y,...)");
    EXPECT_EQ(table().findSystemFunction("mid", 4), nullptr);
    EXPECT_EQ(table().findSystemFunction("print", 0), nullptr);
    EXPECT_EQ(table().findSystemFunction("MID", 3), nullptr);
    EXPECT_EQ(table().findSystemFunction("", 0), nullptr);
    EXPECT_EQ(table().findSystemFunction("mi", 3), nullptr);
    EXPECT_EQ(table().findSystemFunction("mid(", 3), nullptr);
    EXPECT_EQ(table().findSystemFunction("mid($$$)", 0), nullptr);
    EXPECT_EQ(table().findSystemFunction("join(*", 3), nullptr);
    EXPECT_EQ(table().findSystemFunction(std::string(100000, 'x'), 1), nullptr);
}

// The plain rule: the first form in table order whose prototype names the
// function and matches the call signature as a wildcard pattern.
const SystemFunctionEntry *firstMatchInTableOrder(std::string_view name, std::size_t count) {
    std::string signature = makeCallSignature(name, count);
    for (const SystemFunctionEntry &entry : table().entries()) {
        if (entry.prototype.starts_with(std::string(name) + "(") &&
            matchDispatchPrototype(entry.prototype, signature)) {
            return &entry;
        }
    }
    return nullptr;
}

TEST(FindSystemFunction, AnswersTheFirstMatchInTableOrderWhateverWasAskedBefore) {
    for (int pass = 0; pass < 2; ++pass) {  // the second pass answers from the cache
        for (std::string_view name : kNameOrder) {
            for (std::size_t count = 0; count <= 12; ++count) {
                const SystemFunctionEntry *expected = firstMatchInTableOrder(name, count);
                EXPECT_EQ(table().findSystemFunction(name, count), expected) << name << " with " << count;
                EXPECT_EQ(table().walkForSystemFunction(name, count), expected) << name << " with " << count;
            }
        }
    }
}

TEST(FindSystemFunction, ExactFormsWinOverEarlierVariableFormsInAnyTable) {
    constexpr std::array<std::string_view, 3> texts = {"f(a,...)", "f(a)", "f(a,b)"};
    SystemFunctionTable local(texts);
    // Even on the very first lookup, before anything was resolved.
    EXPECT_EQ(helpTextOf(local.walkForSystemFunction("f", 1)), "f(a)");
    EXPECT_EQ(helpTextOf(local.findSystemFunction("f", 1)), "f(a)");
    EXPECT_EQ(helpTextOf(local.findSystemFunction("f", 2)), "f(a,b)");
    EXPECT_EQ(helpTextOf(local.findSystemFunction("f", 3)), "f(a,...)");
    EXPECT_EQ(local.findSystemFunction("f", 0), nullptr);
}

TEST(FindSystemFunction, CachesExactFormsUpFrontAndResolvedCallsAsTheyCome) {
    constexpr std::array<std::string_view, 4> texts = {"a(x)", "a(x,y)", "b(...)", "broken(x.y)"};
    SystemFunctionTable local(texts);
    EXPECT_EQ(local.cachedSignatureCount(), 2u);
    EXPECT_NE(local.findSystemFunction("b", 5), nullptr);
    EXPECT_NE(local.findSystemFunction("b", 5), nullptr);
    EXPECT_EQ(local.cachedSignatureCount(), 3u);
    EXPECT_EQ(local.findSystemFunction("broken", 1), nullptr);
    EXPECT_EQ(local.findSystemFunction("c", 1), nullptr);  // misses are not kept
    EXPECT_EQ(local.cachedSignatureCount(), 3u);
    // A caller's temporary name must not end up inside the cache.
    {
        std::string name = "b";
        EXPECT_NE(local.findSystemFunction(name, 9), nullptr);
        name = "z";
    }
    EXPECT_NE(local.findSystemFunction("b", 9), nullptr);
    // Ever new argument counts do not grow the cache without bound.
    for (std::size_t count = 0; count < 10000; ++count) ASSERT_NE(local.findSystemFunction("b", count), nullptr);
    EXPECT_LE(local.cachedSignatureCount(), 4096u);
    EXPECT_GT(local.cachedSignatureCount(), 1000u);
}

TEST(FindSystemFunction, StaysConsistentWhenEightThreadsFillTheCache) {
    SystemFunctionTable local(systemFunctionHelpTexts());
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round) {
                for (std::size_t i = 0; i < kNameOrder.size(); ++i) {
                    std::string_view name = kNameOrder[(i * 7 + static_cast<std::size_t>(t)) % kNameOrder.size()];
                    std::size_t count = static_cast<std::size_t>(round + t) % 12;
                    if (local.findSystemFunction(name, count) != local.walkForSystemFunction(name, count)) {
                        mismatches.fetch_add(1);
                    }
                }
            }
        });
    }
    for (std::thread &thread : threads) thread.join();
    EXPECT_EQ(mismatches.load(), 0);
}

TEST(SystemFunctionRegistry, AttachesImplementationsByHelpTextOrPrototype) {
    constexpr std::array<std::string_view, 5> texts = {"containstext(text,subtext)", "textcontains(text,subtext)",
                                                       "concat(vector)", "concat(text1,...)", "exit()"};
    SystemFunctionTable local(texts, [](SystemFunctionRegistry &registry) {
        EXPECT_TRUE(registry.addByHelpText("containstext(text,subtext)", fakeImplementation));
        EXPECT_TRUE(registry.addByHelpText("textcontains(text,subtext)", fakeImplementation));
        EXPECT_TRUE(registry.addByPrototype("concat($*)", otherImplementation));
        EXPECT_FALSE(registry.addByHelpText("nothing(x)", fakeImplementation));
        EXPECT_FALSE(registry.addByPrototype("concat($$)", fakeImplementation));
        EXPECT_FALSE(registry.addByPrototype("<error>", fakeImplementation));
        EXPECT_FALSE(registry.addByHelpText("containstext(text,subtext)", otherImplementation));
        EXPECT_FALSE(registry.addByHelpText("exit()", nullptr));
    });
    EXPECT_EQ(local.findSystemFunction("containstext", 2)->implementation, &fakeImplementation);
    EXPECT_EQ(local.findSystemFunction("textcontains", 2)->implementation, &fakeImplementation);
    EXPECT_EQ(local.findSystemFunction("concat", 3)->implementation, &otherImplementation);
    EXPECT_EQ(local.findSystemFunction("concat", 1)->implementation, nullptr);
    EXPECT_EQ(local.registrationErrors().size(), 5u);

    std::vector<std::string_view> missing;
    for (const SystemFunctionEntry *entry : local.unimplementedEntries()) missing.push_back(entry->helpText);
    EXPECT_EQ(missing, (std::vector<std::string_view>{"concat(vector)", "exit()"}));
}

TEST(SystemFunctionRegistry, EveryFamilyRegistersOnlyFormsOfTheTable) {
    EXPECT_TRUE(table().registrationErrors().empty());
    for (const std::string &error : table().registrationErrors()) ADD_FAILURE() << error;
    // Every form either has its implementation or is listed as missing one.
    std::size_t implemented = 0;
    for (const SystemFunctionEntry &entry : table().entries()) implemented += entry.implementation != nullptr;
    EXPECT_EQ(implemented + table().unimplementedEntries().size(), table().size());
}

} // namespace
} // namespace zelkscript
