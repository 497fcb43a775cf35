#pragma once

// Starting this test program again, in a process of its own, for a test whose subject is the
// process itself: what the toolkit was told at start, which libraries a load maps, or how it
// holds when the system fails under it. A forked child would inherit whatever earlier tests of
// the run left in the process.

#include <string>
#include <utility>
#include <vector>

namespace planora::test {

// Runs the tests that filter names in a newly started copy of this program, with the
// environment variable mark set to markValue, the extra arguments after the filter and the
// further environment variables given. Returns the child's exit status; -1 when it could not
// be started, was ended by a signal, or still ran after a minute (it is then killed).
int runInFreshProcess(const std::string& filter, const char* mark, const std::string& markValue,
                      const std::vector<std::string>& extraArguments = {},
                      const std::vector<std::pair<std::string, std::string>>& environment = {});

// The path of this test program.
std::string thisProgram();

} // namespace planora::test
