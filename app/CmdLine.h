// Command-line switches of the control panel (-exit, -asio, -hide).
#pragma once

#include <string>

// Looks for the switch as a whole white-space separated token of the command-line tail.
// Quotes are ordinary characters. With ignoreCase the comparison ignores case (multibyte
// aware), else it is exact. When found and value is given, value receives the token after
// the switch (empty when there is none). switchText must not be null.
bool FindCmdLineSwitch(const char* cmdLine, const char* switchText, std::string* value,
                       bool ignoreCase);
