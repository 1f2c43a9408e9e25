// Where the panel keeps its own state per user, under HKEY_CURRENT_USER: the recent settings
// profiles and whether the drop-out watch is on. Tests give keys of their own.
#pragma once

constexpr const char* KVX_PANEL_REGISTRY_KEY = "Software\\Volmar\\Model B USB Control Panel";
