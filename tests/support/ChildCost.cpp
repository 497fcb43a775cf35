#include "support/ChildCost.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace planora::test {

namespace {

std::int64_t statusKiB(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0)
            return std::atoll(line.c_str() + std::string(field).size());
    return -1;
}

#if defined(PLANORA_SANITIZED)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

ChildCost costInChildOnce(const std::function<bool()>& work) {
    int ends[2];
    if (::pipe(ends) != 0)
        return {};
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ends[0]);
        ChildCost cost;
        const std::int64_t before = statusKiB("VmRSS:");
        const auto start = std::chrono::steady_clock::now();
        cost.result = work();
        cost.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        cost.peakOverIdleMiB = double(statusKiB("VmHWM:") - before) / 1024;
        cost.finished = true;
        const bool sent = ::write(ends[1], &cost, sizeof cost) == sizeof cost;
        ::_exit(sent ? 0 : 1);
    }
    ::close(ends[1]);
    ChildCost cost;
    if (child < 0 || ::read(ends[0], &cost, sizeof cost) != sizeof cost)
        cost = {};
    ::close(ends[0]);
    if (child > 0)
        ::waitpid(child, nullptr, 0);
    return cost;
}

} // namespace

double residentMiB() {
    return double(statusKiB("VmRSS:")) / 1024;
}

double peakResidentMiB() {
    return double(statusKiB("VmHWM:")) / 1024;
}

ChildCost costInChild(const std::function<bool()>& work) {
    // Below this a run is quick whatever the machine does beside it. A sanitizer build's bound
    // leaves room enough.
    constexpr double kQuick = 0.25;
    const int repeats = kSanitized ? 0 : 2;
    ChildCost cost = costInChildOnce(work);
    for (int again = 0; again < repeats && cost.finished && cost.seconds > kQuick; ++again) {
        const ChildCost next = costInChildOnce(work);
        cost.finished = next.finished && next.result == cost.result;
        cost.seconds = std::min(cost.seconds, next.seconds);
        cost.peakOverIdleMiB = std::max(cost.peakOverIdleMiB, next.peakOverIdleMiB);
    }
    return cost;
}

bool withinTime(const ChildCost& cost, double seconds) {
    return cost.finished && cost.seconds <= (kSanitized ? 10 * seconds : seconds);
}

bool withinMemory(const ChildCost& cost, double mib) {
    return cost.finished && (kSanitized || cost.peakOverIdleMiB <= mib);
}

} // namespace planora::test
