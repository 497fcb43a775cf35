#include "support/FreshProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace planora::test {

std::string thisProgram() {
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    return n > 0 ? std::string(self, std::size_t(n)) : std::string();
}

int runInFreshProcess(const std::string& filter, const char* mark, const std::string& markValue,
                      const std::vector<std::string>& extraArguments,
                      const std::vector<std::pair<std::string, std::string>>& environment) {
    const std::string self = thisProgram();
    const std::string filterArgument = "--gtest_filter=" + filter;
    std::vector<const char*> argv = {self.c_str(), filterArgument.c_str()};
    for (const std::string& a : extraArguments)
        argv.push_back(a.c_str());
    argv.push_back(nullptr);
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        ::setenv(mark, markValue.c_str(), 1);
        for (const auto& [name, value] : environment)
            ::setenv(name.c_str(), value.c_str(), 1);
        ::execv(self.c_str(), const_cast<char* const*>(argv.data()));
        ::_exit(127);
    }
    // A child that hangs ends its test, not the whole run.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    int status = 0;
    pid_t ended = 0;
    while (((ended = ::waitpid(child, &status, WNOHANG)) == 0 || (ended < 0 && errno == EINTR)) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (ended == 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        return -1;
    }
    if (ended != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace planora::test
