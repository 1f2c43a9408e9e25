// Texts the console tools share: driver statuses by name, hexadecimal values and JSON
// string literals of the driver's 8-bit bytes.
#pragma once

#include <windows.h>

#include <string>

#include "KvxUsbStatus.h" // statuses by name and hexadecimal values, shared with settings/

// A JSON string literal of 8-bit bytes: quotes, backslashes, control characters and every
// byte from 0x7F up are escaped as \u00XX, so the result is plain ASCII whatever the code page.
std::string JsonString(const std::string& bytes);

// The driver's 8-bit text for a console: control bytes, which would garble it, as \xXX.
std::string ConsoleText(const std::string& bytes);
