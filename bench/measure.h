// Timing for the benchmark: every figure is measured against its floor in
// the same process, the two interleaved, so that load from other programs
// on the machine hits both alike.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

// Seconds from an arbitrary start (QueryPerformanceCounter).
double Now();

// The median of a series and its extremes.
struct Spread {
    double median = 0;
    double low = 0;
    double high = 0;
};
Spread Summarize(std::vector<double> values);

// One repetition of a figure or a floor: prepares what it needs untimed and
// returns the seconds of the measured part.
typedef std::function<double()> Run;

// Runs every run once to warm the caches, then `rounds` rounds of every
// run once each. The order rotates from round to round (A B, B A, A B, ...;
// for three runs A B C, B C A, C A B, ...) so that none always goes first. `after` runs, untimed, after
// every run (to remove outputs, for instance). Returns the seconds per run
// of the timed rounds: result[run][round].
std::vector<std::vector<double>> Interleave(int rounds, const std::vector<Run>& runs,
                                            const std::function<void()>& after);

// Per-round quotients a[i] / b[i].
std::vector<double> Ratios(const std::vector<double>& a, const std::vector<double>& b);
