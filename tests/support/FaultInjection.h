#pragma once

// Failures of the system, made to order: a library preloaded into a newly started test program
// (see runInFreshProcess) fails reads of a file, thread starts, or allocations, when the test
// says so. Outside such a program, loaded() is false and the rest does nothing.

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace planora::test::faults {

// Names a file whose reads fail with EIO in its second half once it has been read to its end.
constexpr const char* kFailReadsOf = "PLANORA_FAIL_READS_OF";

// The environment that starts a program with the library preloaded, and the variables given,
// which choose failures (kFailReadsOf).
std::vector<std::pair<std::string, std::string>>
preloadEnvironment(std::vector<std::pair<std::string, std::string>> variables = {});

// Whether this program runs with the library preloaded.
bool loaded();

// Thread start n (counted from this call, 1 = the next) and every one after it fail as when
// the system has no thread to give (EAGAIN); 0 lets every start succeed again.
void failThreadStartsFrom(int n);
// Thread starts asked for since failThreadStartsFrom was last called.
int threadStarts();

// The next allocation through operator new of at least `bytes` on the calling thread fails, as
// when memory runs out.
void failNextAllocation(std::size_t bytes);

// Every allocation through operator new fails inside the threads started while this is on.
void newThreadsCannotAllocate(bool on);

// Runs hook at every thread start, before the thread exists; an empty hook for none.
void beforeThreadStart(std::function<void()> hook);

// The processors that this process may run on.
int usableProcessors();

} // namespace planora::test::faults
