#include "platform/Launcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "common/TempDir.h"

using namespace velotan::platform;
using velotan::testing::TempDir;

TEST(Launcher, PassesArgumentsWithoutAShell) {
    TempDir tmp;
    // A shell would expand the $(...) and the ; — the program must see them verbatim.
    const std::string target = (tmp / "out").string();
    ASSERT_TRUE(StartProgram({"/bin/cp", "/dev/null", target + ";$(touch x)"}));
    for (int i = 0; i < 200 && !std::filesystem::exists(target + ";$(touch x)"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(std::filesystem::exists(target + ";$(touch x)"));
    EXPECT_FALSE(std::filesystem::exists(tmp / "x"));
}

TEST(Launcher, ReportsWhatCannotStart) {
    std::string err;
    EXPECT_FALSE(StartProgram({"/nonexistent/program"}, &err));
    EXPECT_NE(err.find("/nonexistent/program"), std::string::npos);
    EXPECT_FALSE(StartProgram({}, &err));
}
