// What a long-running console program (the bridge) needs from the system.
#pragma once

#include <cstddef>

// Standard output handed on at every line end, so that a log sees each line.
void SetupDaemonOutput();

// From here on Ctrl-C and termination requests (and on Windows closing the
// console, log-off, shut-down) only make StopWasRequested() true: the program
// finishes, calls StopFinished() and returns from main. A peer closing a
// socket does not end it either.

void WatchForStop();
bool StopWasRequested();

// Said when the goodbye has been written. Windows ends a program whose
// console is being closed as soon as its handler returns; the handler waits
// for this (a few seconds at most).
void StopFinished();

// The computer's host name. Returns false when the system cannot tell.
bool ComputerName(char *buffer, size_t size);

// True when the file can be opened for reading; otherwise errno says why.
bool FileReadable(const char *path);
