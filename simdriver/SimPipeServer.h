// Named-pipe servers of the stand-in: message mode, a bounded number of clients, one thread
// per client. Only the current user may connect, and only from this machine.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Clients served at once per pipe; more find the pipe busy (ERROR_PIPE_BUSY) until one goes.
constexpr LONG SIM_MAX_CLIENTS = 64;
// Stack reserved for each client's thread (and the accept loop's): the sessions keep their
// buffers on the heap.
constexpr unsigned SIM_THREAD_STACK = 64 * 1024;

constexpr DWORD SIM_PIPE_MODE =
    PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS;

// The security descriptor of every pipe the stand-in serves: full access for the current
// user, nobody else (a protected DACL with that one entry). Null if it cannot be built.
PSECURITY_DESCRIPTOR SimPipeSecurity();

// One instance of the pipe; with first, it fails when a server already owns the name.
HANDLE CreateSimPipe(const std::string& name, DWORD bufferSize, bool first);

// Runs on its own thread for each client until the client goes; closes nothing.
using SimSession = std::function<void(HANDLE pipe)>;

// Creates the first instance and accepts clients on a thread of its own, for the rest of
// the process, at most maxClients at once. False with a reason when the pipe cannot be
// created.
bool StartSimPipeServer(const std::string& name, DWORD bufferSize, SimSession session,
                        std::string* error, LONG maxClients = SIM_MAX_CLIENTS);

// Reads one whole message. False when the client is gone; tooLong when the message did
// not fit maxSize (the rest is read and dropped).
bool ReadSimMessage(HANDLE pipe, std::string* message, DWORD maxSize, bool* tooLong);
