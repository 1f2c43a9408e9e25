// Control commands of a running stand-in, as support engineers and tests give them:
//   stop | status | plug DEVICE | unplug DEVICE | stream on|off
//   set rate HZ | set source DEVICE SOURCEID | set mode auto|manual | set master pc|device
//   set name DEVICE TEXT | set channel CHANNEL TEXT | set ranking DEVICE N
//   set stream-depth US | set asio-depth US | set wdm-depth US | set asio-names on|off
//   notify KIND [DATA1 DATA2]
//   fault OPERATION COUNT STATUS | fault short OPERATION | fault overcount
//   fault unterminated | fault zerostep | fault stall MILLISECONDS | fault clear
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
