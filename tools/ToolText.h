// Texts the console tools share: driver statuses by name, hexadecimal values and JSON
// string literals of the driver's 8-bit bytes.
#pragma once

#include <windows.h>

#include <string>

// "ERROR_NOT_FOUND (0x00000490)" for a status with a name, else "0x........".
std::string StatusText(DWORD status);

// The name of a status, or an empty string when it has none here.
const char* StatusName(DWORD status);

// "0x0000001F": eight hexadecimal digits, upper case.
std::string HexText(DWORD value);

// A JSON string literal of 8-bit bytes: quotes, backslashes, control characters and every
// byte from 0x7F up are escaped as \u00XX, so the result is plain ASCII whatever the code page.
std::string JsonString(const std::string& bytes);
