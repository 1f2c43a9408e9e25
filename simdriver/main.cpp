// kvxusim.exe: the stand-in driver. "serve" answers the control protocol on a named pipe
// until stopped; every other command is sent to the serving process, which carries it out
// and answers with a line of text and an exit code.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "DeviceIo.h"
#include "KvxuUsbDriver.h"
#include "SimBroadcast.h"
#include "SimCommands.h"
#include "SimDriver.h"
#include "SimPipeServer.h"
#include "SimProtocol.h"
#include "SimScenario.h"

namespace {

const DWORD CONTROL_MAX_MESSAGE = 64 * 1024;
const DWORD STOP_WAIT_MS = 15000;

HANDLE g_stop = nullptr;
std::atomic<bool> g_closing(false);

std::string DriverPipeName()
{
    return StandInPipeName("\\\\.\\" KVX_USB_DEVICE_NAME);
}
std::string ControlPipeName()
{
    return DriverPipeName() + ".control";
}
// The pipe's own name, without "\\.\pipe\": a part of the names of our kernel objects.
std::string PipePart()
{
    return DriverPipeName().substr(std::strlen("\\\\.\\pipe\\"));
}
std::string ReadyEventName()
{
    return "kvxusim-ready-" + PipePart();
}

int Usage(int exitCode)
{
    std::printf("usage: kvxusim serve [--scenario FILE|NAME] [--state FILE] [--trace FILE] "
                "[--exit-with PID]\n       kvxusim COMMAND ...\ncommands:\n%s"
                "The pipe is %s (environment variable %s overrides its name).\n",
                SimCommandUsage(), DriverPipeName().c_str(), KVX_SIMDRIVER_PIPE_VARIABLE);
    return exitCode;
}

// --- the serving process ----------------------------------------------------------------

struct ServeOptions {
    std::string scenario = "demo";
    std::string state;
    std::string trace;
    DWORD exitWith = 0;
};

bool ParseServeOptions(int argc, char** argv, ServeOptions* options)
{
    for (int i = 2; i < argc; ++i) {
        std::string option = argv[i];
        if (i + 1 >= argc)
            return false;
        std::string value = argv[++i];
        if (option == "--scenario")
            options->scenario = value;
        else if (option == "--state")
            options->state = value;
        else if (option == "--trace")
            options->trace = value;
        else if (option == "--exit-with")
            options->exitWith = std::strtoul(value.c_str(), nullptr, 0);
        else
            return false;
    }
    return true;
}

void ServeControlClient(CSimDriver& driver, HANDLE pipe)
{
    std::string message;
    bool tooLong = false;
    if (!ReadSimMessage(pipe, &message, CONTROL_MAX_MESSAGE, &tooLong))
        return;
    std::vector<std::string> args;
    for (size_t start = 0; start < message.size();) {
        size_t end = message.find('\0', start);
        if (end == std::string::npos)
            end = message.size();
        args.push_back(message.substr(start, end - start));
        start = end + 1;
    }
    SimCommandResult result = tooLong ? SimCommandResult{1, "error: command too long\n", false}
                                      : RunSimCommand(driver, args);
    std::string reply(4, '\0');
    std::memcpy(&reply[0], &result.exitCode, 4);
    reply += result.text;
    DWORD written = 0;
    WriteFile(pipe, reply.data(), DWORD(reply.size()), &written, nullptr);
    FlushFileBuffers(pipe);
    if (result.stop)
        SetEvent(g_stop);
}

BOOL WINAPI OnConsoleControl(DWORD)
{
    SetEvent(g_stop);
    return TRUE;
}

int Serve(int argc, char** argv)
{
    ServeOptions options;
    if (!ParseServeOptions(argc, argv, &options))
        return Usage(2);
    SimHardware hardware;
    std::string error;
    std::string scenarioPath = ResolveScenarioPath(options.scenario);
    if (!LoadScenarioFile(scenarioPath, &hardware, &error)) {
        std::fprintf(stderr, "kvxusim: %s\n", error.c_str());
        return 1;
    }
    size_t deviceCount = hardware.devices.size();
    static CSimDriver driver(std::move(hardware)); // lives until the process ends
    if ((!options.state.empty() && !driver.UseStateFile(options.state, &error)) ||
        (!options.trace.empty() && !driver.UseTrace(options.trace, &error))) {
        std::fprintf(stderr, "kvxusim: %s\n", error.c_str());
        return 1;
    }
    HANDLE parent = nullptr;
    if (options.exitWith && !(parent = OpenProcess(SYNCHRONIZE, FALSE, options.exitWith))) {
        std::fprintf(stderr, "kvxusim: no process %lu to exit with\n",
                     static_cast<unsigned long>(options.exitWith));
        return 1;
    }

    // One server per pipe name: the pipe alone cannot tell on every system.
    HANDLE single = CreateMutexA(nullptr, FALSE, ("kvxusim-serve-" + PipePart()).c_str());
    if (!single || GetLastError() == ERROR_ALREADY_EXISTS) {
        std::fprintf(stderr, "kvxusim: a stand-in driver already serves on %s\n",
                     DriverPipeName().c_str());
        return 1;
    }
    g_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    // A client that connects while we stop finds the pipe closing, as with a removed device.
    SimSession driverSession = [](HANDLE pipe) {
        if (!g_closing)
            ServeDriverClient(driver, pipe);
    };
    SimSession controlSession = [](HANDLE pipe) { ServeControlClient(driver, pipe); };
    if (!StartSimPipeServer(DriverPipeName(), SIM_MAX_REQUEST + 64, driverSession, &error) ||
        !StartSimPipeServer(ControlPipeName(), CONTROL_MAX_MESSAGE, controlSession, &error)) {
        std::fprintf(stderr, "kvxusim: %s\n", error.c_str());
        return 1;
    }
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, ReadyEventName().c_str());
    SetEvent(ready);
    std::printf("kvxusim: ready, serving %s (scenario %s, %u device(s))\n",
                DriverPipeName().c_str(), scenarioPath.c_str(), unsigned(deviceCount));
    std::fflush(stdout);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);

    if (driver.InterfacePresent())
        BroadcastInterfaceChange(true);
    HANDLE waits[2] = {g_stop, parent};
    WaitForMultipleObjects(parent ? 2 : 1, waits, FALSE, INFINITE);

    g_closing = true;
    if (driver.InterfacePresent())
        BroadcastInterfaceChange(false);
    driver.Shutdown();
    std::printf("kvxusim: stopped\n");
    std::fflush(stdout);
    ExitProcess(0); // client threads end with the process; their clients see a broken pipe
}

// --- a command to the serving process ---------------------------------------------------

// The control pipe in message mode, or INVALID_HANDLE_VALUE; then *busy tells a stand-in
// that serves but has every connection taken from one that is not there.
HANDLE ConnectControl(bool* busy)
{
    std::string name = ControlPipeName();
    *busy = false;
    for (int attempt = 0; attempt < 5; ++attempt) {
        HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            DWORD mode = PIPE_READMODE_MESSAGE;
            SetNamedPipeHandleState(h, &mode, nullptr, nullptr);
            return h;
        }
        *busy = GetLastError() == ERROR_PIPE_BUSY;
        if (!*busy)
            break;
        if (!WaitNamedPipeA(name.c_str(), 2000)) {
            *busy = GetLastError() != ERROR_FILE_NOT_FOUND; // else it stopped meanwhile
            break;
        }
    }
    return INVALID_HANDLE_VALUE;
}

bool ReadReply(HANDLE pipe, std::string* reply)
{
    char buffer[4096];
    DWORD size = 0;
    for (;;) {
        BOOL ok = ReadFile(pipe, buffer, sizeof buffer, &size, nullptr);
        reply->append(buffer, size);
        if (ok)
            return true;
        if (GetLastError() != ERROR_MORE_DATA)
            return false;
    }
}

int SendCommand(int argc, char** argv)
{
    bool busy = false;
    HANDLE pipe = ConnectControl(&busy);
    if (pipe == INVALID_HANDLE_VALUE) {
        if (busy)
            std::fprintf(stderr,
                         "kvxusim: the stand-in driver on %s is busy: all %ld connections of "
                         "its control pipe are taken; try again\n",
                         DriverPipeName().c_str(), long(SIM_MAX_CLIENTS));
        else
            std::fprintf(stderr, "kvxusim: no stand-in driver serves on %s\n",
                         DriverPipeName().c_str());
        return 2;
    }
    // Held before asking it to stop, so that its end can be awaited.
    ULONG serverId = 0;
    GetNamedPipeServerProcessId(pipe, &serverId);
    HANDLE server = OpenProcess(SYNCHRONIZE, FALSE, serverId);

    std::string message;
    for (int i = 1; i < argc; ++i)
        message += std::string(argv[i]) + (i + 1 < argc ? std::string(1, '\0') : "");
    DWORD written = 0;
    std::string reply;
    bool ok = WriteFile(pipe, message.data(), DWORD(message.size()), &written, nullptr) &&
              ReadReply(pipe, &reply) && reply.size() >= 4;
    CloseHandle(pipe);
    int exitCode = 2;
    if (!ok) {
        std::fprintf(stderr, "kvxusim: the stand-in driver did not answer\n");
    } else {
        std::memcpy(&exitCode, reply.data(), 4);
        std::fwrite(reply.data() + 4, 1, reply.size() - 4, exitCode ? stderr : stdout);
    }
    if (ok && exitCode == 0 && std::strcmp(argv[1], "stop") == 0 && server &&
        WaitForSingleObject(server, STOP_WAIT_MS) != WAIT_OBJECT_0) {
        std::fprintf(stderr, "kvxusim: the stand-in driver did not end\n");
        exitCode = 1;
    }
    if (server)
        CloseHandle(server);
    return exitCode;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage(2);
    if (std::strcmp(argv[1], "help") == 0 || std::strcmp(argv[1], "--help") == 0)
        return Usage(0);
    if (std::strcmp(argv[1], "serve") == 0)
        return Serve(argc, argv);
    return SendCommand(argc, argv);
}
