#include "SimPipeServer.h"

#include <sddl.h>

#include <thread>
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

void AcceptLoop(std::string name, DWORD bufferSize, SimSession session, HANDLE pipe)
{
    for (;;) {
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
        HANDLE next = INVALID_HANDLE_VALUE;
        while ((next = CreateSimPipe(name, bufferSize, false)) == INVALID_HANDLE_VALUE)
            Sleep(50); // out of resources for a moment; the connected client is served anyway
        std::thread([session, pipe] {
            session(pipe);
            DisconnectNamedPipe(pipe);
            CloseHandle(pipe);
        }).detach();
        pipe = next;
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
                        std::string* error)
{
    HANDLE pipe = CreateSimPipe(name, bufferSize, true);
    if (pipe == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        *error = code == ERROR_ACCESS_DENIED || code == ERROR_PIPE_BUSY
                     ? "a stand-in driver already serves on " + name
                     : "cannot create pipe " + name + " (error " + std::to_string(code) + ")";
        return false;
    }
    std::thread(AcceptLoop, name, bufferSize, std::move(session), pipe).detach();
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
