#include "StartsInFlight.h"

#include <tlhelp32.h>

#include <string>

#include "ScopedHandle.h"

namespace {

std::string MarkName(const char* mutexName, DWORD processId)
{
    return std::string(mutexName) + "-reached-" + std::to_string(processId);
}

bool HasMark(const char* mutexName, DWORD processId)
{
    CKernelHandle mark(::OpenEventA(SYNCHRONIZE, FALSE, MarkName(mutexName, processId).c_str()));
    return bool(mark);
}

// The file name of this program without its folder: another copy of it is started by the
// same name, wherever it lies.
std::string ProgramName()
{
    char path[MAX_PATH] = "";
    const std::string full(path, ::GetModuleFileNameA(nullptr, path, MAX_PATH));
    return full.substr(full.find_last_of("\\/") + 1);
}

struct ProcessFacts {
    DWORD session = 0;
    FILETIME created = {};
    bool running = false;
};

// False when the process cannot be looked at (gone, or not ours to open).
bool LookAt(DWORD processId, ProcessFacts* facts)
{
    CKernelHandle process(
        ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, processId));
    FILETIME exited, kernel, user;
    if (!process || !::ProcessIdToSessionId(processId, &facts->session) ||
        !::GetProcessTimes(process.Get(), &facts->created, &exited, &kernel, &user))
        return false;
    facts->running = ::WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
    return true;
}

// Another process of this program in this logon session, running, and created no later than
// this one: the same clock tick counts as earlier, as that start may be the one raced.
bool IsEarlierCopy(const PROCESSENTRY32& entry, const std::string& program,
                   const ProcessFacts& self)
{
    ProcessFacts other;
    return entry.th32ProcessID != ::GetCurrentProcessId() &&
           ::lstrcmpiA(entry.szExeFile, program.c_str()) == 0 &&
           LookAt(entry.th32ProcessID, &other) && other.running && other.session == self.session &&
           ::CompareFileTime(&other.created, &self.created) <= 0;
}

} // namespace

HANDLE MarkMutexReached(const char* mutexName)
{
    return ::CreateEventA(nullptr, TRUE, FALSE,
                          MarkName(mutexName, ::GetCurrentProcessId()).c_str());
}

bool EarlierStartInFlight(const char* mutexName)
{
    ProcessFacts self;
    if (!LookAt(::GetCurrentProcessId(), &self))
        return false;
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    CKernelHandle closeSnapshot(snapshot);
    const std::string program = ProgramName();
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot, &entry); more;
         more = ::Process32Next(snapshot, &entry)) {
        if (IsEarlierCopy(entry, program, self) && !HasMark(mutexName, entry.th32ProcessID))
            return true;
    }
    return false;
}
