// Control commands of a running stand-in, as support engineers and tests give them; the
// list is SimCommandUsage(). "set" changes what a request could through the catalogue's
// own requests and everything else (odd values included) in the model directly; both are
// reported to the clients as another program's change.
// Numbers may be decimal or 0x-prefixed hex.
#pragma once

#include <string>
#include <vector>

class CSimDriver;

struct SimCommandResult {
    int exitCode = 0;
    std::string text;  // ends in a newline
    bool stop = false; // the server ends once the reply is sent
};

SimCommandResult RunSimCommand(CSimDriver& driver, const std::vector<std::string>& args);

// The usage text of the control commands.
const char* SimCommandUsage();
