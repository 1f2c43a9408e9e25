#include "RestartAfterUpdate.h"

#include <windows.h>

bool RegisterRestartAfterUpdate()
{
    // Looked up, not imported: kernel32 has it from Vista on, and a missing import would keep
    // the panel from starting at all on an older system.
    using RegisterFn = HRESULT(WINAPI*)(PCWSTR, DWORD);
    const auto registerRestart = reinterpret_cast<RegisterFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "RegisterApplicationRestart")));
    if (!registerRestart)
        return false;
    return SUCCEEDED(
        registerRestart(L"-hide", RESTART_NO_CRASH | RESTART_NO_HANG | RESTART_NO_REBOOT));
}
