// Statuses by name, for reports and results that a person or a script reads.
#pragma once

#include <windows.h>

#include <string>

// The name of a status, or an empty string when it has none here.
const char* StatusName(DWORD status);

// What one of the panel's own KVX_USB_E_ statuses means, for a person ("the driver does not
// respond"); an empty string for every other status.
const char* StatusMeaning(DWORD status);

// "0x0000001F": eight hexadecimal digits, upper case.
std::string HexText(DWORD value);

// "ERROR_NOT_FOUND (0x00000490)" for a status with a name, else "0x........".
std::string StatusText(DWORD status);
