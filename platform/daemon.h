// What a long-running console program (the bridge) needs from the system:
// its output reaching a log line by line, a clean stop on request, and the
// computer's name.
#pragma once

#include <cstddef>

// Standard output handed on at every line end, so that each line reaches a
// log, the journal or a console when it happens.
void SetupDaemonOutput();

// From here on Ctrl-C and a termination request (SIGINT, SIGTERM on Linux;
// Ctrl-C, Ctrl-Break, closing the console, log-off and shut-down on Windows)
// only make StopWasRequested() true: the program finishes its work, calls
// StopFinished() and returns from main. A peer closing a socket does not end
// the program either.
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
