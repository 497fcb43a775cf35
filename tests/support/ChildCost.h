#pragma once

// What a piece of work costs, measured in a child process so that a hostile file cannot take
// the test run down with it and the memory it takes is its own.

#include <functional>

namespace planora::test {

struct ChildCost {
    bool finished = false;      // the child ran the work to its end and reported
    bool result = false;        // what the work returned
    double seconds = 0;         // wall-clock time of the work
    double peakOverIdleMiB = 0; // the child's peak resident size above its size before the work
};

// Runs work in a forked child and waits for it; a child that dies is reported as unfinished.
// Work that takes long enough for a busy machine to matter is run up to three times: the
// quickest run's time counts, the largest peak memory of all runs, and every run must finish
// with the same result. Time that the work spends waiting of its own accord comes back in
// every run; time spent waiting for a processor that other programs hold does not.
ChildCost costInChild(const std::function<bool()>& work);

// This process's resident memory in MiB: now, and the most it has held since it started.
double residentMiB();
double peakResidentMiB();

// The time and memory bounds a test may demand of work that is meant to take at most
// `seconds` and `mib`: as given in a plain build; in a sanitizer build, which runs slower and
// keeps shadow memory and freed blocks, the time is allowed to be ten times as long and the
// memory is not bounded.
bool withinTime(const ChildCost& cost, double seconds);
bool withinMemory(const ChildCost& cost, double mib);

} // namespace planora::test
