// What the host interface keeps inside and hosts cannot reach directly: the
// process-wide data-id counter, the folder check for every access mode, and
// the bounded reading of callback buffers.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <set>
#include <thread>
#include <vector>

#include "engine/api/data_ids.h"
#include "engine/api/host_callbacks.h"
#include "engine/api/lib_context.h"
#include "engine/values/conversions.h"

namespace fs = std::filesystem;
using namespace zelkscript;

namespace {

TEST(DataIdCounter, StopsIssuingAtTheEndOfTheRange) {
    const int64_t saved = peekNextDataId();
    setNextDataIdForTesting(std::numeric_limits<int32_t>::max());
    EXPECT_EQ(issueDataId(), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(issueDataId(), 0);
    EXPECT_EQ(issueDataId(), 0);
    ZelkScriptLibContext context;
    EXPECT_EQ(context.registerValue(makeStringObject("late")), 0);
    EXPECT_EQ(context.dataIdCount(), 0u);
    setNextDataIdForTesting(saved);
}

TEST(DataIdCounter, ThreadsNeverShareAnId) {
    constexpr int kThreads = 4, kIds = 20000;
    std::vector<std::vector<int32_t>> issued(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&issued, t] {
            for (int i = 0; i < kIds; ++i) issued[t].push_back(issueDataId());
        });
    for (auto &thread : threads) thread.join();
    std::set<int32_t> all;
    for (const auto &ids : issued) all.insert(ids.begin(), ids.end());
    EXPECT_EQ(all.size(), static_cast<size_t>(kThreads * kIds));
    EXPECT_EQ(all.count(0), 0u);
}

TEST(DataIdTable, RegisteringAValueAgainKeepsItsId) {
    ZelkScriptLibContext context;
    ObjectRef value = makeVectorObject();
    const int32_t id = context.registerValue(value);
    EXPECT_NE(id, 0);
    EXPECT_EQ(context.registerValue(value), id);
    EXPECT_EQ(context.registerValue(ObjectRef()), 0);
    context.forgetDataId(id);
    EXPECT_FALSE(context.holdsDataId(id));
    EXPECT_GT(context.registerValue(value), id);  // never reused
}

class FolderCheck : public ::testing::Test {
protected:
    void SetUp() override {
        // One folder per test: CTest runs the tests of this fixture in
        // parallel processes.
        root = fs::current_path() /
               (std::string("folder-check-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "granted/sub");
        fs::create_directories(root / "grantedx");
        fs::create_directories(root / "other");
        fs::create_directory_symlink(root / "other", root / "granted/link");
        root = fs::canonical(root);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    bool may(const fs::path &path, char mode) { return context.mayAccessFile(path.string(), mode); }
    fs::path root;
    ZelkScriptLibContext context;
};

TEST_F(FolderCheck, WithoutGrantsOnlyTheTemporaryFolderIsWritable) {
    EXPECT_TRUE(may(root / "other/x", 'r'));
    EXPECT_TRUE(may(root / "other/x", 'i'));
    EXPECT_FALSE(may(root / "other/x", 'w'));
    EXPECT_TRUE(may(fs::temp_directory_path() / "x", 'w'));
}

TEST_F(FolderCheck, AGrantCoversItsFolderAtSeparatorBoundariesOnly) {
    context.addFolderPermission((root / "granted").string(), "rwi");
    EXPECT_TRUE(may(root / "granted", 'w'));
    EXPECT_TRUE(may(root / "granted/sub/new/file", 'w'));
    // Not covered: the base rule decides (no writing outside the temporary folder).
    EXPECT_FALSE(may(root / "grantedx/file", 'w'));
    EXPECT_FALSE(may(root / "granted/../other/file", 'w'));
    EXPECT_FALSE(may(root / "granted/link/file", 'w'));
    EXPECT_FALSE(may(root / "granted/sub/../../other/file", 'w'));
    EXPECT_TRUE(may(root / "grantedx/file", 'r'));
    EXPECT_FALSE(may("", 'r'));
}

TEST_F(FolderCheck, TheNearestGrantDecidesAlone) {
    context.addFolderPermission((root / "granted").string(), "ri");
    context.addFolderPermission("*", "rwi");
    EXPECT_FALSE(may(root / "granted/file", 'w'));
    EXPECT_TRUE(may(root / "granted/file", 'r'));
    EXPECT_TRUE(may(root / "other/file", 'w'));
    // A nearer grant inside a read-only one opens its own folder only.
    context.addFolderPermission((root / "granted/sub").string(), "w");
    EXPECT_TRUE(may(root / "granted/sub/file", 'w'));
    EXPECT_FALSE(may(root / "granted/sub/file", 'r'));
    EXPECT_FALSE(may(root / "granted/other-file", 'w'));
}

TEST_F(FolderCheck, StarAloneDecidesEverywhere) {
    context.addFolderPermission("*", "r");
    EXPECT_TRUE(may(root / "other/file", 'r'));
    EXPECT_FALSE(may(root / "other/file", 'i'));
    EXPECT_FALSE(may(fs::temp_directory_path() / "x", 'w'));
    context.addFolderPermission("/", "w");
    EXPECT_TRUE(may(root / "other/file", 'w'));
    EXPECT_FALSE(may(root / "other/file", 'r'));  // "/" covers every path: "*" no longer decides
}

TEST_F(FolderCheck, KeysAreResolvedWhenSetAndCompareExactly) {
    context.addFolderPermission((root / "granted/link/").string(), "w");  // really root/other
    EXPECT_TRUE(may(root / "other/file", 'w'));
    context.addFolderPermission((root / "GRANTED").string(), "w");
    EXPECT_FALSE(may(root / "granted/file", 'w'));
    context.addFolderPermission("r", "");
    EXPECT_EQ(context.folderPermissions().count((root / "other").string()), 1u);
}

TEST(ExchangeBuffers, AreReadUpToTheirSize) {
    ExchangeBuffer<4> buffer;
    EXPECT_EQ(buffer.text(), "");
    std::memcpy(buffer.bytes, "abcd", 4);
    EXPECT_EQ(buffer.text(), "abcd");
    buffer.bytes[1] = '\0';
    EXPECT_EQ(buffer.text(), "a");
}

TEST(CopyToCallerBuffer, FollowsTheCopyRule) {
    char buffer[5] = "zzzz";
    EXPECT_FALSE(copyToCallerBuffer("textvalue", buffer, 5));
    EXPECT_STREQ(buffer, "text");
    EXPECT_TRUE(copyToCallerBuffer("", buffer, 5));
    EXPECT_STREQ(buffer, "");
    EXPECT_FALSE(copyToCallerBuffer("x", buffer, 0));
    EXPECT_FALSE(copyToCallerBuffer("x", nullptr, 5));
    EXPECT_TRUE(copyToCallerBuffer("four", buffer, 5));
}

} // namespace
