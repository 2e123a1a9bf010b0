// The state record back to its start values, its images released: between
// test cases and benchmark runs, so it needs no test framework.
#pragma once

void ResetState();
