// The timing pair every pacing in the program is built on.
#pragma once

// Remembers the current wall-clock time.
void mark();

// 1 / (seconds since the last mark()), capped at 999.0.
double rate();
