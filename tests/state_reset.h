// The state record back to its start values, the images it holds released:
// the unit tests' reset between cases and the benchmarks' between runs, so it
// needs no test framework.
#pragma once

void ResetState();
