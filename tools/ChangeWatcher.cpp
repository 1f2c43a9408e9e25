#include "ChangeWatcher.h"

#include <cstdio>
#include <cstdlib>

#include "DropOutLines.h"
#include "ExitStatus.h"
#include "StatusJson.h"
#include "KvxuUsbDriver.h"
#include "ToolText.h"

namespace {

const char kWatching[] = "watching";
const char kError[] = "error ";

// False once nobody reads the output any more.
bool PrintLine(const std::string& line)
{
    return std::printf("%s\n", line.c_str()) >= 0 && std::fflush(stdout) == 0;
}

// How often the watcher looks for a driver that went away without a word.
const DWORD kCheckPeriodMs = 1000;

// Statuses of a request on a channel whose driver is no more: the stand-in's pipe broke, or
// the control device was removed under its open handle.
bool MeansDriverGone(DWORD status)
{
    switch (status) {
    case ERROR_BROKEN_PIPE:
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_INVALID_HANDLE:
        return true;
    default:
        return false;
    }
}

std::string RecordLine(const _KVX_USB_NOTIFICATION& record, bool asJson)
{
    if (asJson)
        return nlohmann::ordered_json{
            {"change", {{"kind", record.Kind}, {"data1", record.Data1}, {"data2", record.Data2}}}}
            .dump();
    return "change " + std::to_string(record.Kind) + " " + std::to_string(record.Data1) + " " +
           std::to_string(record.Data2);
}

// "watching", or "error " with what happened and the status; in JSON one object each.
std::string StateLine(bool asJson, DWORD status, const std::string& what = std::string())
{
    if (!asJson)
        return status ? kError + what + StatusText(status) : kWatching;
    if (!status)
        return nlohmann::ordered_json{{kWatching, true}}.dump();
    // What ended the watch, in the words of the text line without its colon.
    nlohmann::ordered_json line{{"error", what.empty()
                                              ? std::string("the watch could not start")
                                              : what.substr(0, what.find_last_not_of(": ") + 1)}};
    AddStatusJson(line, status);
    return line.dump();
}

} // namespace

int WatchChanges(const char* deviceName, DWORD exitWith, const CWatchOptions& options)
{
    CDropOutLines dropOuts(options.json);
    DWORD lastDropOutRead = GetTickCount() - kCheckPeriodMs;
    CKvxuUsbDriver driver;
    DWORD status = driver.Open(deviceName);
    if (status != 0) {
        PrintLine(StateLine(options.json, status));
        return KVX_EXIT_NO_DRIVER;
    }
    CKernelHandle event(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    status = event ? driver.RegisterNotificationEvent(event.Get()) : GetLastError();
    if (status != 0) {
        PrintLine(StateLine(options.json, status));
        return KVX_EXIT_INCOMPLETE;
    }
    CKernelHandle parent(exitWith ? OpenProcess(SYNCHRONIZE, FALSE, exitWith) : nullptr);
    if (!PrintLine(StateLine(options.json, 0)))
        return KVX_EXIT_OK;
    const HANDLE waits[2] = {event.Get(), parent.Get()};
    for (;;) {
        // A driver that goes away signals nothing: the queue is read at least once a
        // period, and a read that finds the channel dead ends the watch.
        const DWORD woken = WaitForMultipleObjects(parent ? 2 : 1, waits, FALSE, kCheckPeriodMs);
        if (woken != WAIT_OBJECT_0 && woken != WAIT_TIMEOUT)
            return KVX_EXIT_OK;
        _KVX_USB_NOTIFICATION record = {};
        while ((status = driver.GetNotification(&record)) == 0)
            if (options.changes && !PrintLine(RecordLine(record, options.json)))
                return KVX_EXIT_OK;
        if (MeansDriverGone(status)) {
            PrintLine(StateLine(options.json, status, "the driver went away: "));
            return KVX_EXIT_NO_DRIVER;
        }
        // The driver took the record off its queue for a request it answered too late, and
        // the channel threw that answer away: a change may be lost, and no later line can
        // say which.
        if (status == KVX_USB_E_NOT_RESPONDING) {
            PrintLine(StateLine(options.json, status, "changes may have been missed: "));
            return KVX_EXIT_NO_DRIVER;
        }
        // Once a period, however many records woke it.
        if (options.dropOuts && GetTickCount() - lastDropOutRead >= kCheckPeriodMs) {
            lastDropOutRead = GetTickCount();
            const std::string line = dropOuts.Poll(driver);
            if (!line.empty() && !PrintLine(line))
                return KVX_EXIT_OK;
        }
    }
}

CChangeWatcher::~CChangeWatcher()
{
    if (m_process) {
        TerminateProcess(m_process.Get(), 0);
        WaitForSingleObject(m_process.Get(), 5000);
    }
    // The watcher's end of the pipe is closed with it, which ends the reader's ReadFile.
    if (m_reader.joinable())
        m_reader.join();
}

DWORD CChangeWatcher::Start(const std::string& exePath, DWORD timeoutMs)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return GetLastError();
    CKernelHandle output(readEnd), input(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    std::string line =
        "\"" + exePath + "\" watch --exit-with " + std::to_string(GetCurrentProcessId());
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(exePath.c_str(), &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &si, &pi))
        return GetLastError();
    CloseHandle(pi.hThread);
    m_process.Reset(pi.hProcess);
    input.Reset(); // only the watcher writes: its end closes the pipe
    m_reader = std::thread([this, out = output.Release()] {
        ReadLines(out);
        CloseHandle(out);
    });

    std::string first;
    if (!NextLine(std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs), &first))
        return ERROR_TIMEOUT;
    if (first == kWatching)
        return 0;
    // "error NAME (0x........)" or "error 0x........"
    size_t hex = first.rfind("0x");
    DWORD status = hex == std::string::npos ? 0 : std::strtoul(first.c_str() + hex, nullptr, 16);
    return status ? status : ERROR_INVALID_DATA;
}

bool CChangeWatcher::WaitForRecord(int kind, DWORD timeoutMs, std::string* seen)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const std::string prefix = "change " + std::to_string(kind) + " ";
    std::string line;
    while (NextLine(deadline, &line))
        if (line.compare(0, prefix.size(), prefix) == 0) {
            *seen = line;
            return true;
        }
    std::lock_guard<std::mutex> guard(m_lock);
    *seen = m_ended ? "the watcher ended" : "none within " + std::to_string(timeoutMs) + " ms";
    return false;
}

DWORD CChangeWatcher::WaitForEnd(DWORD timeoutMs, std::string* lastLine)
{
    DWORD code = STILL_ACTIVE;
    if (m_process && WaitForSingleObject(m_process.Get(), timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(m_process.Get(), &code);
    // Its end of the pipe closed with it: the reader has every line once it has ended.
    std::unique_lock<std::mutex> guard(m_lock);
    if (code != STILL_ACTIVE)
        m_arrived.wait_for(guard, std::chrono::seconds(5), [this] { return m_ended; });
    *lastLine = m_lines.empty() ? "" : m_lines.back();
    return code;
}

bool CChangeWatcher::NextLine(std::chrono::steady_clock::time_point deadline, std::string* line)
{
    std::unique_lock<std::mutex> guard(m_lock);
    if (!m_arrived.wait_until(guard, deadline, [this] { return !m_lines.empty() || m_ended; }) ||
        m_lines.empty())
        return false;
    *line = m_lines.front();
    m_lines.pop_front();
    return true;
}

void CChangeWatcher::ReadLines(HANDLE output)
{
    std::string pending;
    char buffer[512];
    DWORD n = 0;
    while (ReadFile(output, buffer, sizeof buffer, &n, nullptr) && n > 0) {
        pending.append(buffer, n);
        size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            std::lock_guard<std::mutex> guard(m_lock);
            m_lines.push_back(line);
            m_arrived.notify_one();
        }
    }
    std::lock_guard<std::mutex> guard(m_lock);
    m_ended = true;
    m_arrived.notify_one();
}
