#include "platform/Testing.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
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
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    self[n] = '\0';
    std::array<const char*, 9> argv = {self,        "--gtest_filter=CommandLineChild.*",
                                       "-platform", "nosuch",
                                       "-reverse",  "-qwindowtitle",
                                       "Hallo",     "-style=nosuch",
                                       nullptr};
    std::fflush(nullptr);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::setenv(kChildMark, self, 1);
        ::execv(self, const_cast<char* const*>(argv.data()));
        ::_exit(127);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child was ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
} // namespace planora
