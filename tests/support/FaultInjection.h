#pragma once

// Failures of the system injected into a freshly started copy of this test program (see
// runInFreshProcess) by the library that tests/preload/FaultInjection.cpp builds.

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace planora::test {

// Names a file whose reads fail with EIO in its second half once it has been read to its end.
constexpr const char* kFailReadsOf = "PLANORA_FAIL_READS_OF";

// The environment that loads the library into the new process, with the variables given,
// which choose the failures.
inline std::vector<std::pair<std::string, std::string>>
withFaultInjection(std::vector<std::pair<std::string, std::string>> variables) {
    variables.emplace_back("LD_PRELOAD", PLANORA_FAULT_INJECTION);
#if defined(PLANORA_SANITIZED)
    // The sanitizer's runtime would otherwise refuse to start behind another library.
    const char* options = std::getenv("ASAN_OPTIONS");
    variables.emplace_back("ASAN_OPTIONS", std::string(options != nullptr ? options : "") +
                                               ":verify_asan_link_order=0");
#endif
    return variables;
}

} // namespace planora::test
