// Scenario files: the hardware the stand-in plays, as JSON.
//
//   {
//     "driver": {"interface": [2, 1], "version": [3, 4, 1207]},
//     "rates": [44100, 48000], "currentRate": 48000,
//     "rateMode": "auto" | "manual" | N, "clockMaster": "pc" | "device" | N, "asioNames": true,
//     "streamBufferDepth": {"minimum": 1000, "maximum": 8000, "step": 500, "current": 2000},
//     "asioBufferDepth": {"depth": 5000, "granularity": 32},
//     "wdmBufferDepth": {"depth": 10000, "granularity": 0},
//     "streaming": false, "dropOuts": 0,
//     "devices": [{"id": 1, "name": "...", "serial": "...", "plugged": true,
//                  "inputs": ["In 1", "In 2"] or a count, "outputs": ...,
//                  "clockSources": [{"kind": 0, "id": 0, "name": "Internal"}, ...],
//                  "clockSource": 0}]
//   }
//
// Every key but "devices" may be left out. Limits are the records': 64 devices, 256 input and
// 256 output channels in all, 16 clock sources per device, 8 rates, names of 39 bytes.
// Numbers must be whole and fit their field (u8 for the versions, else u32); a value the
// field holds but the panel does not expect (rate mode 7, interface 3, a rate of 0) is kept,
// to test how the panel shows it. Nesting deeper than 32 levels is refused.
#pragma once

#include <string>

#include "SimHardware.h"

// Builds the hardware from the scenario text; false and a readable reason on error.
bool ParseScenario(const std::string& text, SimHardware* hardware, std::string* error);
bool LoadScenarioFile(const std::string& path, SimHardware* hardware, std::string* error);

// A scenario argument is a file path, or the name of a shipped scenario ("demo",
// "maximal") found in the "scenarios" folder beside the executable. An argument with a
// folder part, a drive or the ".json" ending is always a path, taken as given.
std::string ResolveScenarioPath(const std::string& argument);

// Whole-file helpers shared by scenario and state files.
bool ReadTextFile(const std::string& path, std::string* text);
