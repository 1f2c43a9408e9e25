// The soak's side of the stand-in driver: its control commands, sent straight down the
// control pipe (as kvxusim.exe COMMAND does, without a process per command), and the parts
// of its status the soak checks.
#pragma once

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

inline DWORD Now()
{
    return GetTickCount();
}

// Waits without spinning; the soak's own thread has no windows to serve.
inline void Pause(DWORD ms)
{
    static HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    WaitForSingleObject(never, ms);
}

inline std::string Lower(std::string s)
{
    for (char& c : s)
        c = char(tolower(static_cast<unsigned char>(c)));
    return s;
}

// One command on the control pipe, as kvxusim.exe COMMAND would send it, without starting
// a process for it: exit code (-1: no answer within waitMs) and text.
inline int Control(const std::string& pipe, const std::vector<std::string>& args,
                   std::string* text = nullptr, DWORD waitMs = 5000)
{
    const std::string name = "\\\\.\\pipe\\" + pipe + ".control";
    HANDLE h = INVALID_HANDLE_VALUE;
    // Busy, or between two listening instances while other senders are served: try again
    // for a few seconds.
    const DWORD end = Now() + waitMs;
    while (h == INVALID_HANDLE_VALUE && LONG(end - Now()) > 0) {
        h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                        nullptr);
        if (h != INVALID_HANDLE_VALUE)
            break;
        const DWORD error = GetLastError();
        if (error == ERROR_PIPE_BUSY)
            WaitNamedPipeA(name.c_str(), 500);
        else if (error == ERROR_FILE_NOT_FOUND)
            Pause(5);
        else
            return -1;
    }
    if (h == INVALID_HANDLE_VALUE)
        return -1;
    DWORD mode = PIPE_READMODE_MESSAGE;
    SetNamedPipeHandleState(h, &mode, nullptr, nullptr);
    std::string message;
    for (size_t i = 0; i < args.size(); ++i)
        message += args[i] + (i + 1 < args.size() ? std::string(1, '\0') : std::string());
    DWORD n = 0;
    std::string reply;
    bool ok = WriteFile(h, message.data(), DWORD(message.size()), &n, nullptr) != FALSE;
    while (ok) {
        char buffer[4096];
        BOOL done = ReadFile(h, buffer, sizeof buffer, &n, nullptr);
        reply.append(buffer, n);
        if (done)
            break;
        ok = GetLastError() == ERROR_MORE_DATA;
    }
    CloseHandle(h);
    if (!ok || reply.size() < 4)
        return -1;
    int code = 0;
    std::memcpy(&code, reply.data(), 4);
    if (text)
        *text = reply.substr(4);
    return code;
}

// What the soak reads from the stand-in's status.
struct SimState {
    bool answered = false;
    std::vector<unsigned> plugged; // device ids in ranking order
    std::map<std::string, unsigned> faultsLeft;
    int panelClients = 0; // clients of the panel's process
    int panelEvents = 0;  // ... that registered an event
    unsigned panelQueued = 0;
};

// The parts of a status text the soak checks; `panelId` names the panel's process.
inline SimState ParseSimStatus(const std::string& text, DWORD panelId)
{
    SimState s;
    s.answered = true;
    const std::string clientOf = " of process " + std::to_string(panelId) + ":";
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        char name[64];
        unsigned left = 0, queued = 0;
        if (line.compare(0, 13, "device order ") == 0) {
            const char* p = line.c_str() + 13;
            char* next = nullptr;
            for (unsigned long id = strtoul(p, &next, 10); next != p; id = strtoul(p, &next, 10)) {
                s.plugged.push_back(unsigned(id));
                p = next;
            }
        } else if (std::sscanf(line.c_str(), " fail %63s next %u", name, &left) == 2) {
            s.faultsLeft[name] = left;
        } else if (line.compare(0, 7, "client ") == 0 && line.find(clientOf) != std::string::npos) {
            ++s.panelClients;
            if (line.find("event registered") != std::string::npos)
                ++s.panelEvents;
            size_t comma = line.rfind(", ");
            if (comma != std::string::npos &&
                std::sscanf(line.c_str() + comma + 2, "%u", &queued) == 1)
                s.panelQueued += queued;
        }
    }
    return s;
}

inline SimState ReadSim(const std::string& pipe, DWORD panelId)
{
    std::string text;
    if (Control(pipe, {"status"}, &text) != 0)
        return SimState();
    return ParseSimStatus(text, panelId);
}
