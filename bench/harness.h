// What the benchmark programs share: console sinks, figures, a folder of
// their own to make contents in, and the state record put back between runs.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tests/state_reset.h" // ResetState: the state record put back

// Console sinks: Discard drops what the program prints, Capture keeps it in
// Captured (for the checks a benchmark makes before it measures).
void Discard(const char *data, size_t size);
void Capture(const char *data, size_t size);
extern std::string Captured;

// Seconds on a steady clock.
double Now();

// The figure at fraction p (0..1) of the sorted figures, and the median
// (the upper of the two middle ones for an even count).
double Percentile(std::vector<double> figures, double p);
double Median(std::vector<double> figures);

// Makes a fresh folder /tmp/orvantis-<name>-XXXXXX with a working folder
// work/ in it, and makes work/ current, so that contents folders made as
// ../S001 and so on land beside it. Returns the fresh folder; ends the
// program with a message when it cannot be made.
std::string EnterBenchFolder(const char *name);

// Leaves the folder and removes it with everything in it. Returns false
// when it could not be removed.
bool RemoveBenchFolder(const std::string &root);
