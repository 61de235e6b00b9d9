// Parsing user function prototype texts and the variable-name rule they use.
#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

#include "engine/interpreter/user_function.h"

namespace zelkscript {
namespace {

TEST(UserFunctionPrototype, ReadsNamesReferencesAndTheVariadicEnd) {
    ZelkScriptFunctionDeclaration declaration;
    std::string error = "stale";
    ASSERT_TRUE(parseUserFunctionPrototype(" getinputlinebox (prompt, caption , &inputline ) ", declaration, error));
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(declaration.name, "getinputlinebox");
    EXPECT_EQ(declaration.parameters, (std::vector<std::string>{"prompt", "caption", "inputline"}));
    EXPECT_EQ(declaration.referenceFlags, (std::vector<bool>{false, false, true}));
    EXPECT_FALSE(declaration.variadic);

    ASSERT_TRUE(parseUserFunctionPrototype("join(sep,text1,text2,...)", declaration, error));
    EXPECT_EQ(declaration.parameters.size(), 3u);
    EXPECT_TRUE(declaration.variadic);

    ASSERT_TRUE(parseUserFunctionPrototype("gettemporaryfolder(...)", declaration, error));
    EXPECT_TRUE(declaration.parameters.empty());
    EXPECT_TRUE(declaration.variadic);

    ASSERT_TRUE(parseUserFunctionPrototype("exit()", declaration, error));
    EXPECT_TRUE(declaration.parameters.empty());
    EXPECT_FALSE(declaration.variadic);

    ASSERT_TRUE(parseUserFunctionPrototype("f(::g, a::b, _x1, &y)", declaration, error));
    EXPECT_EQ(declaration.parameters, (std::vector<std::string>{"::g", "a::b", "_x1", "y"}));
}

TEST(UserFunctionPrototype, RefusesMalformedTextsWithTheTextInTheMessage) {
    for (std::string text : {"f", "f(a", "f(a,)", "f(,a)", "f(1a)", "f(a b)", "f(&)", "f(& a)", "f(&&a)",
                             "f(a:b)", "f(a:::b)", "f(a::)", "f(a)x", "f(a))", "(a)", " (a)", "f(a.b)", "f(..)",
                             "f(&...)", "f(a\xE4)"}) {
        ZelkScriptFunctionDeclaration declaration;
        declaration.name = "kept";
        std::string error;
        EXPECT_FALSE(parseUserFunctionPrototype(text, declaration, error)) << text;
        EXPECT_EQ(error, "invalid user function definition: " + text);
        EXPECT_EQ(declaration.name, "kept") << "a failed parse must leave the declaration alone";
    }
}

TEST(UserFunctionPrototype, AllowsTheDotsOnlyAtTheEnd) {
    ZelkScriptFunctionDeclaration declaration;
    std::string error;
    EXPECT_FALSE(parseUserFunctionPrototype("f(a,...,b)", declaration, error));
    EXPECT_EQ(error, "... in user function definition is only allowed at end: f(a,...,b)");
    EXPECT_FALSE(parseUserFunctionPrototype("f(...,...)", declaration, error));
    EXPECT_EQ(error, "... in user function definition is only allowed at end: f(...,...)");
}

TEST(UserFunctionPrototype, FillsTheDeclarationPartOfAUserFunction) {
    // A host-defined function is parsed straight into its definition record.
    static_assert(std::is_base_of_v<ZelkScriptFunctionDeclaration, ZelkScriptUserFunction>);
    ZelkScriptFunctionDeclaration declaration;
    declaration.parameters = {"old"};
    declaration.referenceFlags = {true};
    declaration.variadic = true;
    std::string error;
    ASSERT_TRUE(parseUserFunctionPrototype("g(x)", declaration, error));
    EXPECT_EQ(declaration.parameters, std::vector<std::string>{"x"});
    EXPECT_EQ(declaration.referenceFlags, std::vector<bool>{false});
    EXPECT_FALSE(declaration.variadic);
}

TEST(VariableName, FollowsTheIdentifierRule) {
    for (std::string_view good : {"a", "_", "_x1", "A9", "::a", "a::b", "a::b::c", "::a::b", "::1"}) {
        EXPECT_TRUE(isValidVariableName(good)) << good;
    }
    for (std::string_view bad : {"", "1a", "::", "a::", "a:::b", ":a", "a:b", "a-b", "a b", "\xE4", "a.b"}) {
        EXPECT_FALSE(isValidVariableName(bad)) << bad;
    }
}

TEST(FunctionDeclaration, AcceptsArgumentCountsAsTheCheckBeforeARunDemands) {
    ZelkScriptFunctionDeclaration fixed{"f", {"a", "b"}, {false, false}, false};
    ZelkScriptFunctionDeclaration variadic{"g", {"a"}, {false}, true};
    EXPECT_TRUE(declarationAcceptsArgumentCount(fixed, 2));
    EXPECT_FALSE(declarationAcceptsArgumentCount(fixed, 1));
    EXPECT_FALSE(declarationAcceptsArgumentCount(fixed, 3));
    EXPECT_FALSE(declarationAcceptsArgumentCount(variadic, 0));
    EXPECT_TRUE(declarationAcceptsArgumentCount(variadic, 1));
    EXPECT_TRUE(declarationAcceptsArgumentCount(variadic, 50));
}

} // namespace
} // namespace zelkscript
