#include "support/FreshProcess.h"

#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
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
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace planora::test
