#include "SimPipeServer.h"

#include <sddl.h>

#include <process.h>

#include <new>
#include <vector>

namespace {

std::string CurrentUserSid()
{
    std::string sid;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return sid;
    std::vector<char> buffer(256);
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenUser, buffer.data(), DWORD(buffer.size()), &size) &&
        GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        buffer.resize(size);
        GetTokenInformation(token, TokenUser, buffer.data(), DWORD(buffer.size()), &size);
    }
    char* text = nullptr;
    if (ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        sid = text;
        LocalFree(text);
    }
    CloseHandle(token);
    return sid;
}

struct Server {
    std::string name;
    DWORD bufferSize;
    SimSession session;
    HANDLE slots; // semaphore: how many more clients may be served at once
    HANDLE first; // the instance created by the start, holding a slot
};

struct Client {
    Server* server;
    HANDLE pipe;
};

void EndClient(Server* server, HANDLE pipe)
{
    DisconnectNamedPipe(pipe);
    CloseHandle(pipe);
    ReleaseSemaphore(server->slots, 1, nullptr);
}

unsigned __stdcall RunClient(void* argument)
{
    Client* client = static_cast<Client*>(argument);
    client->server->session(client->pipe);
    EndClient(client->server, client->pipe);
    delete client;
    return 0;
}

// A thread with a small stack: what a client costs is mostly its thread.
bool StartThread(unsigned(__stdcall* run)(void*), void* argument)
{
    uintptr_t thread = _beginthreadex(nullptr, SIM_THREAD_STACK, run, argument,
                                      STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!thread)
        return false;
    CloseHandle(reinterpret_cast<HANDLE>(thread));
    return true;
}

// The next instance, made before a client just connected is served: an instance listens at
// every moment a slot is free, so that a client never finds none ("not found") while the one
// before it comes and goes. INVALID_HANDLE_VALUE while every slot is taken.
HANDLE SpareInstance(Server* server)
{
    if (WaitForSingleObject(server->slots, 0) != WAIT_OBJECT_0)
        return INVALID_HANDLE_VALUE;
    HANDLE pipe = CreateSimPipe(server->name, server->bufferSize, false);
    if (pipe == INVALID_HANDLE_VALUE)
        ReleaseSemaphore(server->slots, 1, nullptr);
    return pipe;
}

unsigned __stdcall AcceptLoop(void* argument)
{
    Server* server = static_cast<Server*>(argument); // lives as long as the process
    HANDLE pipe = server->first;
    for (;;) {
        if (pipe == INVALID_HANDLE_VALUE) {
            // While every slot is taken no instance listens: a newcomer's CreateFile fails
            // with ERROR_PIPE_BUSY, and the clients being served go on undisturbed.
            WaitForSingleObject(server->slots, INFINITE);
            while ((pipe = CreateSimPipe(server->name, server->bufferSize, false)) ==
                   INVALID_HANDLE_VALUE)
                Sleep(50); // out of resources for a moment
        }
        bool connected = ConnectNamedPipe(pipe, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED;
        if (!connected) {
            // Mostly a client that came and went before we saw it: the instance is free
            // again. Anything else must not make this loop spin.
            DWORD error = GetLastError();
            DisconnectNamedPipe(pipe);
            if (error != ERROR_NO_DATA)
                Sleep(50);
            continue;
        }
        const HANDLE accepted = pipe;
        pipe = SpareInstance(server);
        Client* client = new (std::nothrow) Client{server, accepted};
        if (!client || !StartThread(RunClient, client)) {
            // Nothing to serve it with: this client sees the pipe close, the others and
            // the server go on.
            delete client;
            EndClient(server, accepted);
        }
    }
}

} // namespace

PSECURITY_DESCRIPTOR SimPipeSecurity()
{
    static PSECURITY_DESCRIPTOR descriptor = [] {
        PSECURITY_DESCRIPTOR sd = nullptr;
        std::string sid = CurrentUserSid();
        std::string sddl = "D:P(A;;GA;;;" + sid + ")";
        if (sid.empty() || !ConvertStringSecurityDescriptorToSecurityDescriptorA(
                               sddl.c_str(), SDDL_REVISION_1, &sd, nullptr))
            sd = nullptr;
        return sd;
    }();
    return descriptor;
}

HANDLE CreateSimPipe(const std::string& name, DWORD bufferSize, bool first)
{
    PSECURITY_DESCRIPTOR sd = SimPipeSecurity();
    if (!sd) {
        SetLastError(ERROR_INVALID_SECURITY_DESCR);
        return INVALID_HANDLE_VALUE;
    }
    SECURITY_ATTRIBUTES sa = {sizeof sa, sd, FALSE};
    DWORD open = PIPE_ACCESS_DUPLEX | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
    return CreateNamedPipeA(name.c_str(), open, SIM_PIPE_MODE, PIPE_UNLIMITED_INSTANCES, bufferSize,
                            bufferSize, 0, &sa);
}

bool StartSimPipeServer(const std::string& name, DWORD bufferSize, SimSession session,
                        std::string* error, LONG maxClients)
{
    // Created here, so that a second server on the name is refused at once.
    HANDLE pipe = CreateSimPipe(name, bufferSize, true);
    if (pipe == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        *error = code == ERROR_ACCESS_DENIED || code == ERROR_PIPE_BUSY
                     ? "a stand-in driver already serves on " + name
                     : "cannot create pipe " + name + " (error " + std::to_string(code) + ")";
        return false;
    }
    // The first instance holds a slot; the loop takes one before it creates each later one.
    HANDLE slots = CreateSemaphoreA(nullptr, maxClients - 1, maxClients, nullptr);
    Server* server = slots ? new (std::nothrow)
                                 Server{name, bufferSize, std::move(session), slots, pipe}
                           : nullptr;
    if (!server || !StartThread(AcceptLoop, server)) {
        *error = "cannot serve " + name + " (error " + std::to_string(GetLastError()) + ")";
        if (slots)
            CloseHandle(slots);
        delete server;
        CloseHandle(pipe);
        return false;
    }
    return true;
}

bool ReadSimMessage(HANDLE pipe, std::string* message, DWORD maxSize, bool* tooLong)
{
    message->resize(maxSize);
    *tooLong = false;
    DWORD size = 0;
    if (ReadFile(pipe, &(*message)[0], maxSize, &size, nullptr)) {
        message->resize(size);
        return true;
    }
    if (GetLastError() != ERROR_MORE_DATA)
        return false;
    *tooLong = true;
    char rest[1024];
    while (!ReadFile(pipe, rest, sizeof rest, &size, nullptr))
        if (GetLastError() != ERROR_MORE_DATA)
            return false;
    message->clear();
    return true;
}
