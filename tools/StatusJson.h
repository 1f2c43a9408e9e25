// How every JSON answer of the tools writes a driver status, so that a script reads them all
// alike: "status" its name (its hexadecimal value when it has none), "statusCode" its
// hexadecimal value, "why" what it means.
#pragma once

#include <windows.h>

#include <nlohmann/json.hpp>

void AddStatusJson(nlohmann::ordered_json& object, DWORD status);
