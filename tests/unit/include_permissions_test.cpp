// The base permission rule with the traversal and link cases, and include
// files: found, read once, refused, unparsable, protected.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "engine/interpreter/context.h"
#include "engine/interpreter/permissions.h"
#include "engine/interpreter/runtime.h"

using namespace zelkscript;
namespace fs = std::filesystem;

namespace {

// A scratch folder that is deleted with the fixture.
class ScratchFolder {
public:
    explicit ScratchFolder(const fs::path &parent) {
        path_ = parent / ("zelkscript-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
        fs::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path &path() const { return path_; }
    std::string write(const std::string &name, const std::string &text) const {
        fs::path file = path_ / name;
        std::ofstream(file, std::ios::binary) << text;
        return file.string();
    }

private:
    static inline int counter_ = 0;
    fs::path path_;
};

std::string runText(ZelkScriptContextBase &context, const std::string &text) {
    ObjectRef result;
    ZelkScriptErrorException error("", "", 0, 0);
    if (!runScriptText(context, text, "", result, &error)) return "error: " + error.getMessage();
    return result ? result->gettext() : std::string("<null>");
}

// A context whose read permission can be switched off.
class SwitchableContext : public ZelkScriptContextBase {
public:
    bool mayAccessFile(const std::string &path, char mode) override {
        if (mode == 'r' && !mayRead) return false;
        return ZelkScriptContextBase::mayAccessFile(path, mode);
    }
    bool mayRead = true;
};

} // namespace

TEST(BasePermissionRule, WritesOnlyInsideTheTemporaryFolder) {
    const std::string temporary = temporaryFolderPath();
    EXPECT_TRUE(baseFileAccessAllowed(temporary + "/x.txt", 'w'));
    EXPECT_TRUE(baseFileAccessAllowed("/etc/passwd", 'r'));
    EXPECT_TRUE(baseFileAccessAllowed("/etc/passwd", 'i'));
    EXPECT_FALSE(baseFileAccessAllowed("/etc/passwd", 'w'));
}

TEST(BasePermissionRule, TraversalOutOfTheTemporaryFolderIsRefused) {
    const std::string temporary = temporaryFolderPath();
    EXPECT_FALSE(baseFileAccessAllowed(temporary + "/../etc/passwd", 'w'));
    EXPECT_FALSE(baseFileAccessAllowed(temporary + "/a/../../etc/x", 'w'));
    // A sibling whose name merely extends the temporary folder's name.
    EXPECT_FALSE(baseFileAccessAllowed(temporary + "foo/x.txt", 'w'));
    EXPECT_FALSE(pathIsWithin("/tmpfoo/x", "/tmp"));
    EXPECT_TRUE(pathIsWithin("/tmp/x", "/tmp"));
    EXPECT_TRUE(pathIsWithin("/tmp", "/tmp/"));
}

TEST(BasePermissionRule, ALinkInsideTheTemporaryFolderPointingOutsideIsRefused) {
    ScratchFolder outside(fs::current_path());
    ScratchFolder inside(temporaryFolderPath());
    fs::create_directory_symlink(outside.path(), inside.path() / "escape");
    EXPECT_FALSE(baseFileAccessAllowed((inside.path() / "escape" / "x.txt").string(), 'w'));
    // A dangling final link is followed to where it would create its target.
    fs::create_symlink(outside.path() / "new.txt", inside.path() / "dangling");
    EXPECT_FALSE(baseFileAccessAllowed((inside.path() / "dangling").string(), 'w'));
    EXPECT_TRUE(baseFileAccessAllowed((inside.path() / "plain.txt").string(), 'w'));
}

TEST(BasePermissionRule, APathWithANulByteIsRefused) {
    std::string path = temporaryFolderPath() + "/x";
    path.push_back('\0');
    path += "/../../etc/passwd";
    std::string resolved;
    EXPECT_FALSE(resolvePathForAccess(path, resolved));
    EXPECT_FALSE(baseFileAccessAllowed(path, 'w'));
}

TEST(ScriptFiles, OnlyRegularFilesAreRead) {
    std::string text, error;
    EXPECT_FALSE(readScriptFile("/dev/zero", text, error));
    EXPECT_FALSE(readScriptFile("/", text, error));
    ScratchFolder folder(fs::current_path());
    std::string plain = folder.write("plain.zelkscript", "return 1;");
    ASSERT_TRUE(readScriptFile(plain, text, error));
    EXPECT_EQ(text, "return 1;");
    std::string protectedFile = folder.write("protected.zelkscript", protectScriptText("return 2;"));
    ASSERT_TRUE(readScriptFile(protectedFile, text, error));
    EXPECT_EQ(text, "return 2;");
}

TEST(IncludeFiles, AFileRunsOnceAndDefinesForTheIncluder) {
    ScratchFolder folder(fs::current_path());
    std::string file = folder.write("lib.zelkscript", "count++; function twice(x) { return 2 * x; }");
    ZelkScriptContextBase context;
    EXPECT_EQ(runText(context, "var count = 0; include('" + file + "'); include('" + file + "'); return count;"), "1");
    EXPECT_EQ(runText(context, "return twice(21);"), "42");
}

TEST(IncludeFiles, IncludePathsAreSearched) {
    ScratchFolder folder(fs::current_path());
    folder.write("found.zelkscript", "var ::found = 'yes';");
    ZelkScriptContextBase context;
    context.includePaths.push_back(folder.path().string());
    EXPECT_EQ(runText(context, "include('found.zelkscript'); return found;"), "yes");
    EXPECT_EQ(runText(context, "include('missing.zelkscript');"),
              "error: include file not found in include path: missing.zelkscript");
    EXPECT_EQ(runText(context, "include('');"), "error: cannot include file with empty name");
}

TEST(IncludeFiles, ARefusedIncludeIsNotRememberedAsDone) {
    ScratchFolder folder(fs::current_path());
    std::string file = folder.write("guarded.zelkscript", "var ::ran = 'ran';");
    SwitchableContext context;
    context.mayRead = false;
    EXPECT_EQ(runText(context, "include('" + file + "');"), "error: no permission to read include file: " + file);
    context.mayRead = true;
    EXPECT_EQ(runText(context, "include('" + file + "'); return ran;"), "ran");
}

TEST(IncludeFiles, AFileThatDoesNotParseIsTriedAgain) {
    ScratchFolder folder(fs::current_path());
    std::string file = folder.write("broken.zelkscript", "var x = ;");
    ZelkScriptContextBase context;
    std::string first = runText(context, "include('" + file + "');");
    EXPECT_NE(first.find("invalid syntax"), std::string::npos) << first;
    EXPECT_EQ(runText(context, "include('" + file + "');"), first);
}

TEST(IncludeFiles, IncludeCyclesStop) {
    ScratchFolder folder(fs::current_path());
    std::string a = (folder.path() / "a.zelkscript").string();
    std::string b = (folder.path() / "b.zelkscript").string();
    folder.write("a.zelkscript", "var ::depth; depth++; include('" + b + "');");
    folder.write("b.zelkscript", "depth++; include('" + a + "');");
    ZelkScriptContextBase context;
    EXPECT_EQ(runText(context, "include('" + a + "'); return depth;"), "2");
}
