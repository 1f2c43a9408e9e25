// The request trace: one line per request with time, operation (its catalogue name, or the
// code in hex when it has none), sizes and status in hex. Lines for the control commands
// ("command: stream on") and the change records queued ("notification kind=3 ...") are
// interleaved, so that a trace tells what a client saw and why.
#pragma once

#include <windows.h>

#include <cstdio>
#include <mutex>
#include <string>

class CSimTrace {
public:
    ~CSimTrace();
    bool Open(const std::string& path, std::string* error);
    // "12:03:04.517 GetDeviceIdList in=0 out=260 returned=260 status=0x00000000"
    void Request(DWORD code, DWORD inSize, DWORD outSize, DWORD returned, DWORD status);
    void Note(const std::string& text);

private:
    void Line(const char* text);

    std::FILE* m_file = nullptr;
    std::mutex m_lock;
};
