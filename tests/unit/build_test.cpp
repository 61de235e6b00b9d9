// The library reports the version the build was configured with.
#include <gtest/gtest.h>

#include <cstring>

#include "zelkscript/zelkscript.h"
#include "zelkscript_version.h"

TEST(Library, ReportsConfiguredVersion) {
    EXPECT_STREQ(zelkscript_version(), ZELKSCRIPT_VERSION_TEXT);
    EXPECT_NE(std::strchr(zelkscript_version(), '.'), nullptr);
}
