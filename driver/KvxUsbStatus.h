// Statuses by name, for reports and results that a person or a script reads.
#pragma once

#include <windows.h>

#include <string>

// The name of a status, or an empty string when it has none here.
const char* StatusName(DWORD status);

// "0x0000001F": eight hexadecimal digits, upper case.
std::string HexText(DWORD value);

// "ERROR_NOT_FOUND (0x00000490)" for a status with a name, else "0x........".
std::string StatusText(DWORD status);

// What a refusal means, in words a person acts on: "audio is streaming; stop playback and
// try again". Every status has one; the panel's boxes, the plan dialog and the tools all say
// it, followed by the status's name.
const char* StatusSentence(DWORD status);
