#include "RestartAfterUpdate.h"

#include <windows.h>

bool RegisterRestartAfterUpdate()
{
    // Imported: kernel32 has it from Vista on, which the runtime linked in needs already.
    return SUCCEEDED(::RegisterApplicationRestart(L"-hide", RESTART_NO_CRASH | RESTART_NO_HANG |
                                                                RESTART_NO_REBOOT));
}
