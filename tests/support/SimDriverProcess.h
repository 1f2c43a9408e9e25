// Runs the stand-in driver (kvxusim.exe) for a test program, and its control commands.
//
//   #include "SimDriverProcess.h"       // CMake: link the target kvxsim_process
//
//   SimDriverProcess sim;               // picks a pipe name of its own for this process
//   RegisterDriverInterfaceNotification(view);      // windows: after sim is constructed
//   ASSERT_TRUE(sim.Start()) << sim.Log();          // demo scenario
//   // or sim.Start("maximal"), sim.Start("C:\\x.json", {"--state", file, "--trace", file})
//   CKvxuUsbDriver drv;
//   drv.Open(KVX_USB_DEVICE_NAME);      // reaches this stand-in, through the pipe fallback
//   SimResult r = sim.Run({"stream", "on"});        // r.exitCode, r.output
//   sim.Stop();                         // removal broadcast; the destructor stops it too
//   sim.Kill();                         // or: vanish without a word, as a crash would
//
// Parallel test programs: the constructor sets the environment variable KVX_SIMDRIVER_PIPE
// of this process to a unique name, which the device-I/O boundary, the device-notification
// registration and kvxusim.exe all read, so each test program has a stand-in of its own
// and needs no lock, and hears only its own stand-in's broadcasts. Construct it before
// anything opens the driver or registers a window; one object per process at a time (the
// variable is process-wide); the destructor clears it again.
//
// Scenarios: "demo" and "maximal" name the shipped files, which the build copies beside
// kvxusim.exe (BUILD/simdriver/scenarios); any other argument is a file path.
// kvxusim.exe is found from the test program's folder upwards (BUILD/simdriver), or at the
// path in the environment variable KVXUSIM_EXE.
//
// Every wait has a deadline (Start 20 s, each command 20 s, Stop 15 s, then the process is
// terminated) and meanwhile delivers messages sent to this thread's windows, so that the
// stand-in's WM_DEVICECHANGE broadcasts to the test's own windows arrive while it waits;
// posted messages stay queued for the test. The stand-in ends with the test program even
// if the test crashes (--exit-with), and its output goes to a file, never to the test's.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

struct SimResult {
    int exitCode = -1;  // -1: the command did not run or did not end in time
    std::string output; // what it printed, stdout and stderr
};

class SimDriverProcess {
public:
    // Picks the pipe name and puts it into this process's environment at once, so that
    // windows registered from now on carry the mark this stand-in looks for.
    SimDriverProcess()
    {
        static LONG counter = 0;
        m_pipe = "kvxtest-" + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(InterlockedIncrement(&counter));
        SetEnvironmentVariableA("KVX_SIMDRIVER_PIPE", m_pipe.c_str());
    }
    ~SimDriverProcess()
    {
        Stop();
        SetEnvironmentVariableA("KVX_SIMDRIVER_PIPE", nullptr);
    }
    SimDriverProcess(const SimDriverProcess&) = delete;
    SimDriverProcess& operator=(const SimDriverProcess&) = delete;

    // Starts "kvxusim serve" and waits until its pipe accepts clients.
    bool Start(const std::string& scenario = "demo", std::vector<std::string> extra = {})
    {
        if (m_process)
            return false;
        SetEnvironmentVariableA("KVX_SIMDRIVER_PIPE", m_pipe.c_str());
        m_log = TempPath(m_pipe + ".log");
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, ("kvxusim-ready-" + m_pipe).c_str());
        std::vector<std::string> args = {"serve", "--scenario", scenario, "--exit-with",
                                         std::to_string(GetCurrentProcessId())};
        args.insert(args.end(), extra.begin(), extra.end());
        m_process = Launch(args, m_log);
        bool ok = false;
        if (m_process && ready) {
            HANDLE waits[2] = {ready, m_process};
            ok = WaitPumping(waits, 2, 20000) == WAIT_OBJECT_0;
        }
        if (ready)
            CloseHandle(ready);
        if (!ok)
            Kill();
        return ok;
    }

    // Runs "kvxusim ARGS..." against this stand-in and waits for it to end.
    SimResult Run(std::initializer_list<std::string> args)
    {
        return Run(std::vector<std::string>(args));
    }
    SimResult Run(const std::vector<std::string>& args)
    {
        SimResult result;
        std::string out = TempPath(m_pipe + "-command.txt");
        HANDLE process = Launch(args, out);
        if (!process)
            return result;
        if (WaitPumping(&process, 1, 20000) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(process, &code);
            result.exitCode = int(code);
        } else {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 5000);
        }
        CloseHandle(process);
        result.output = ReadFileText(out);
        DeleteFileA(out.c_str());
        return result;
    }

    // "kvxusim stop" and waits for the process to end; terminates it if it does not.
    bool Stop()
    {
        if (!m_process)
            return true;
        bool ok = Run({"stop"}).exitCode == 0 && WaitPumping(&m_process, 1, 15000) == WAIT_OBJECT_0;
        Kill();
        return ok;
    }

    // Ends the stand-in at once, without its removal broadcast or a last word to clients.
    void Kill()
    {
        if (!m_process)
            return;
        if (WaitForSingleObject(m_process, 0) != WAIT_OBJECT_0) {
            TerminateProcess(m_process, 1);
            WaitForSingleObject(m_process, 5000);
        }
        CloseHandle(m_process);
        m_process = nullptr;
    }

    bool Running() const { return m_process && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT; }
    // What the serving process printed so far.
    std::string Log() const { return ReadFileText(m_log); }
    // The pipe name part, as in KVX_SIMDRIVER_PIPE.
    const std::string& PipeName() const { return m_pipe; }

    // A path in the temporary folder, unique to this process.
    static std::string TempPath(const std::string& name)
    {
        char dir[MAX_PATH];
        GetTempPathA(MAX_PATH, dir);
        return std::string(dir) + "kvx-" + std::to_string(GetCurrentProcessId()) + "-" + name;
    }

    static std::string ReadFileText(const std::string& path)
    {
        std::string text;
        HANDLE f = CreateFileA(path.c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        if (f == INVALID_HANDLE_VALUE)
            return text;
        char buffer[4096];
        DWORD n = 0;
        while (ReadFile(f, buffer, sizeof buffer, &n, nullptr) && n > 0)
            text.append(buffer, n);
        CloseHandle(f);
        return text;
    }

    // Waits for any of the handles while delivering messages sent to this thread.
    static DWORD WaitPumping(const HANDLE* handles, DWORD count, DWORD timeoutMs)
    {
        DWORD end = GetTickCount() + timeoutMs;
        for (;;) {
            LONG left = LONG(end - GetTickCount());
            if (left <= 0)
                return WAIT_TIMEOUT;
            DWORD r = MsgWaitForMultipleObjects(count, handles, FALSE, DWORD(left), QS_SENDMESSAGE);
            if (r != WAIT_OBJECT_0 + count)
                return r;
            MSG msg;
            PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }

    static std::string ExePath()
    {
        char path[MAX_PATH];
        DWORD n = GetEnvironmentVariableA("KVXUSIM_EXE", path, MAX_PATH);
        if (n > 0 && n < MAX_PATH)
            return path;
        n = GetModuleFileNameA(nullptr, path, MAX_PATH);
        std::string dir(path, n);
        for (int up = 0; up < 5; ++up) {
            dir = dir.substr(0, dir.find_last_of('\\'));
            std::string candidate = dir + "\\simdriver\\kvxusim.exe";
            if (GetFileAttributesA(candidate.c_str()) != INVALID_FILE_ATTRIBUTES)
                return candidate;
        }
        return "kvxusim.exe";
    }

private:
    static std::string Quote(const std::string& arg)
    {
        if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos)
            return arg;
        std::string quoted = "\"";
        for (char c : arg)
            quoted += c == '"' ? std::string("\\\"") : std::string(1, c);
        return quoted + "\"";
    }

    // Starts kvxusim with its output into the file at outPath.
    static HANDLE Launch(const std::vector<std::string>& args, const std::string& outPath)
    {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        HANDLE in = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                OPEN_EXISTING, 0, nullptr);
        std::string exe = ExePath();
        std::string line = Quote(exe);
        for (const std::string& a : args)
            line += " " + Quote(a);
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = in;
        si.hStdOutput = out;
        si.hStdError = out;
        PROCESS_INFORMATION pi = {};
        BOOL ok = out != INVALID_HANDLE_VALUE &&
                  CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                 nullptr, nullptr, &si, &pi);
        if (out != INVALID_HANDLE_VALUE)
            CloseHandle(out);
        if (in != INVALID_HANDLE_VALUE)
            CloseHandle(in);
        if (!ok)
            return nullptr;
        CloseHandle(pi.hThread);
        return pi.hProcess;
    }

    HANDLE m_process = nullptr;
    std::string m_pipe;
    std::string m_log;
};
