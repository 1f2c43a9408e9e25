// The settings users change (names, ranking, clock sources, rate, mode, clock master,
// buffer depths, the ASIO name option), kept in a file so that they survive a restart of
// the stand-in as they would in a real driver.
#pragma once

#include <string>

#include "SimHardware.h"

std::string StateText(const SimHardware& hardware);
// Applies a state file's settings to the hardware. Entries for devices or channels the
// scenario does not have are left out; values the hardware does not offer are an error.
bool ApplyStateText(const std::string& text, SimHardware* hardware, std::string* error);

// Writes a temporary file beside path and moves it over path, so that a crash leaves
// either the old or the new file, never a damaged one.
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error);
