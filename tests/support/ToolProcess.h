// Runs a console tool of this build tree (BUILD/tools/NAME.exe) as a process and gives its
// exit code and what it printed, stdout and stderr together. It inherits this process's
// environment, KVX_SIMDRIVER_PIPE included, so it reaches the test's stand-in.
#pragma once

#include <windows.h>

#include <string>

#include "SimDriverProcess.h"

struct ToolRun {
    DWORD exitCode = STILL_ACTIVE; // STILL_ACTIVE: it did not start or did not end in time
    std::string output;
};

// Tests live in BUILD/tests/FOLDER, the tools in BUILD/tools.
inline std::string ToolPath(const std::string& exe)
{
    char path[MAX_PATH];
    std::string dir(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    for (int up = 0; up < 3; ++up)
        dir = dir.substr(0, dir.find_last_of('\\'));
    return dir + "\\tools\\" + exe;
}

inline ToolRun RunTool(const std::string& exe, const std::string& arguments,
                       DWORD timeoutMs = 60000)
{
    ToolRun run;
    // A file per run: an ended process's handle to the last one may linger a moment.
    static int runs = 0;
    std::string outPath =
        SimDriverProcess::TempPath(exe + "-out-" + std::to_string(++runs) + ".txt");
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return run;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = out;
    std::string path = ToolPath(exe);
    std::string line = "\"" + path + "\" " + arguments;
    PROCESS_INFORMATION pi = {};
    BOOL started = CreateProcessA(path.c_str(), &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                  nullptr, nullptr, &si, &pi);
    CloseHandle(out);
    if (started) {
        if (SimDriverProcess::WaitPumping(&pi.hProcess, 1, timeoutMs) == WAIT_OBJECT_0)
            GetExitCodeProcess(pi.hProcess, &run.exitCode);
        else
            TerminateProcess(pi.hProcess, 1);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    run.output = SimDriverProcess::ReadFileText(outPath);
    DeleteFileA(outPath.c_str());
    return run;
}
