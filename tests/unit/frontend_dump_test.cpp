// Dump texts: every script under tests/dump/ must dump exactly as its .dump
// file says, plus the dump rules that need a hand-built tree.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/frontend/parser.h"
#include "engine/interpreter/script_error.h"

namespace zelkscript {
namespace {

const std::filesystem::path kDumpFolder = std::filesystem::path(__FILE__).parent_path().parent_path() / "dump";

std::string readFile(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(FrontendDumpTest, ScriptsDumpAsExpected) {
    int checked = 0;
    for (const auto &entry : std::filesystem::directory_iterator(kDumpFolder)) {
        if (entry.path().extension() != ".zelkscript") continue;
        std::filesystem::path expectedPath = entry.path();
        expectedPath.replace_extension(".dump");
        ASSERT_TRUE(std::filesystem::exists(expectedPath)) << expectedPath;
        SCOPED_TRACE(entry.path().filename().string());
        std::string dump;
        try {
            const NodeRef root = parseScript(ZelkScriptSource(entry.path().string(), readFile(entry.path())));
            ASSERT_TRUE(root);
            dump = root->dump(0);
        } catch (const ZelkScriptErrorException &error) {
            FAIL() << error.getInfo();
        }
        EXPECT_EQ(dump, readFile(expectedPath));
        ++checked;
    }
    EXPECT_GE(checked, 6);
}

TEST(FrontendDumpTest, NineLineExample) {
    const NodeRef root = parseScript(ZelkScriptSource("", "var a = 1; a += 2;"));
    EXPECT_EQ(root->dump(0),
              "STATEMENTS{\n"
              "  VAR  a\n"
              "    CONSTVALUE 1\n"
              "  ASSIGNMENT +=\n"
              "    L-VALUE:\n"
              "      VARIABLE a\n"
              "    RIGHT:\n"
              "      CONSTVALUE 2\n"
              "}\n");
    // A deeper level indents every line of the subtree.
    EXPECT_EQ(root->dump(2).substr(0, 18), "    STATEMENTS{\n  ");
}

TEST(FrontendDumpTest, AbsentChildren) {
    ZelkScriptAssignmentExpression assignment('=', NodeRef(), NodeRef());
    EXPECT_EQ(assignment.dump(1),
              "  ASSIGNMENT =\n"
              "    L-VALUE:\n"
              "      null\n"
              "    RIGHT:\n"
              "      null\n");
    ZelkScriptFunctionDefinition function("f", {}, {}, NodeRef(), true);
    EXPECT_EQ(function.dump(0), "FUNCTION f(,...) {\n}\n");
    ZelkScriptTryCatch tryOnly(NodeRef(), "", false, NodeRef());
    EXPECT_EQ(tryOnly.dump(0), "TRY {\n}\nCATCH() {\n}\n");
    ZelkScriptBinaryExpression binary(TOKEN_IN, NodeRef(), makeRef<ZelkScriptConstNull>());
    EXPECT_EQ(binary.dump(0), "BINARY IN\n  RIGHT:\n    null\n");
    ZelkScriptCaseStatement single(makeRef<ZelkScriptConstValue>("5", false), NodeRef(), false);
    EXPECT_EQ(single.dump(0), "CASE\n  CONSTVALUE 5\n");
}

TEST(FrontendDumpTest, PendingPostExpressionValue) {
    class FakeValue : public RefCounted {};
    ZelkScriptPostExpression post(makeRef<ZelkScriptVariableReference>("i"), TOKEN_DECREMENT);
    EXPECT_EQ(post.dump(0), "POSTEXPRESSION--\n  VARIABLE i\n");
    post.setPendingLValue(makeRef<FakeValue>());
    ZelkScriptPostExpression::setPendingValueTextFunction([](const RefCounted &) { return std::string("41"); });
    EXPECT_EQ(post.dump(0), "POSTEXPRESSION--\n  VARIABLE i\nL-VALUE: 41\n");
    ZelkScriptPostExpression::setPendingValueTextFunction(nullptr);
    post.clearPendingLValue();
    EXPECT_EQ(post.dump(0), "POSTEXPRESSION--\n  VARIABLE i\n");
}

} // namespace
} // namespace zelkscript
