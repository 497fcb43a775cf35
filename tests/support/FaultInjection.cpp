#include "support/FaultInjection.h"

#include <cstdlib>
#include <dlfcn.h>
#include <sched.h>
#include <utility>

namespace planora::test::faults {

namespace {

template <typename F>
F* entry(const char* name) {
    return reinterpret_cast<F*>(::dlsym(RTLD_DEFAULT, name));
}

std::function<void()>& hookHeld() {
    static std::function<void()> hook;
    return hook;
}

void runHook(void*) {
    hookHeld()();
}

} // namespace

std::vector<std::pair<std::string, std::string>>
preloadEnvironment(std::vector<std::pair<std::string, std::string>> variables) {
    std::vector<std::pair<std::string, std::string>> environment = std::move(variables);
    environment.emplace_back("LD_PRELOAD", PLANORA_FAULT_INJECTION);
#if defined(PLANORA_SANITIZED)
    // The sanitizer's runtime wants to come first; the library hands on to it what it does
    // not fail.
    const char* options = std::getenv("ASAN_OPTIONS");
    environment.emplace_back("ASAN_OPTIONS", std::string(options != nullptr ? options : "") +
                                                 ":verify_asan_link_order=0");
#endif
    return environment;
}

bool loaded() {
    return entry<void(int)>("planoraFailThreadStartsFrom") != nullptr;
}

void failThreadStartsFrom(int n) {
    if (auto* f = entry<void(int)>("planoraFailThreadStartsFrom"))
        f(n);
}

int threadStarts() {
    auto* f = entry<int()>("planoraThreadStarts");
    return f != nullptr ? f() : 0;
}

void failNextAllocation(std::size_t bytes) {
    if (auto* f = entry<void(std::size_t)>("planoraFailNextAllocation"))
        f(bytes);
}

void newThreadsCannotAllocate(bool on) {
    if (auto* f = entry<void(bool)>("planoraNewThreadsCannotAllocate"))
        f(on);
}

void beforeThreadStart(std::function<void()> hook) {
    auto* f = entry<void(void (*)(void*), void*)>("planoraBeforeThreadStart");
    if (f == nullptr)
        return;
    f(nullptr, nullptr);
    hookHeld() = std::move(hook);
    if (hookHeld())
        f(runHook, nullptr);
}

int usableProcessors() {
    cpu_set_t set;
    CPU_ZERO(&set);
    return ::sched_getaffinity(0, sizeof set, &set) == 0 ? CPU_COUNT(&set) : 1;
}

} // namespace planora::test::faults
