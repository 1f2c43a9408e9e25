// Starts of this program that have begun but not yet reached the single-instance mutex. Such
// a process is invisible to every named object until its own code runs; only the process
// list shows it. Each start marks, by an event named after the mutex and its process id,
// that it has reached the mutex, so that the starts still on their way can be told apart.
#pragma once

#include <windows.h>

// The mark of this process, held for the life of the handle: it has reached the mutex
// (taken it, or found it taken). Null when it cannot be made.
HANDLE MarkMutexReached(const char* mutexName);

// Whether another process of this program, in this logon session and created no later than
// this one, runs without that mark yet.
bool EarlierStartInFlight(const char* mutexName);
