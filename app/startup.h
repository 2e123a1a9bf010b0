// The program's start-up sequence.
#pragma once

#include "platform/platform.h"

// Runs the whole program; returns its exit status.
int ProgramMain(int argc, char **argv);

// Prints the command-line echo (the line as the system gave it) and fills the
// argument table.
void StoreArguments(const ProgramArguments &args);
