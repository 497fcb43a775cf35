#include "platform/Testing.h"
#include "support/FreshProcess.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace planora {
namespace {

constexpr const char* kChildMark = "PLANORA_TEST_COMMAND_LINE_CHILD";

// The child's half: this test program, started with the toolkit's own options after its test
// filter. A toolkit that read them would have refused "-platform nosuch" and ended the child
// before any test ran.
TEST(CommandLineChild, TheToolkitWasGivenTheProgramPathAlone) {
    if (std::getenv(kChildMark) == nullptr)
        GTEST_SKIP() << "runs only in the child that ToolkitCommandLine starts";
    const std::vector<std::string> given = testing::toolkitArguments();
    ASSERT_EQ(given.size(), 1u);
    EXPECT_EQ(given[0], std::string(std::getenv(kChildMark)));
}

TEST(ToolkitCommandLine, OptionsOfTheToolkitOnTheCommandLineHaveNoEffect) {
    const int status = test::runInFreshProcess(
        "CommandLineChild.*", kChildMark, test::thisProgram(),
        {"-platform", "nosuch", "-reverse", "-qwindowtitle", "Hallo", "-style=nosuch"});
    EXPECT_EQ(status, 0);
}

} // namespace
} // namespace planora
