// The program's start-up sequence.
#pragma once

// Runs the whole program; returns its exit status.
int ProgramMain(int argc, char **argv);

// Prints the command-line echo and fills the argument table.
void StoreArguments(int argc, char **argv);

// A first given name ending like S00003_00120.jpg opens folder S003 at frame
// 120. Called by the player's preparation after the first folder scan.
void ApplyStartPosition();
