// The program's start-up sequence.
#pragma once

// Runs the whole program; returns its exit status.
int ProgramMain(int argc, char **argv);

// Prints the command-line echo and fills the argument table.
void StoreArguments(int argc, char **argv);
