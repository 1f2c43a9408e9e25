// The exit status of every console tool, so that a script reads them all alike.
#pragma once

enum : int {
    KVX_EXIT_OK = 0,         // everything done: applied, unchanged, read, passed
    KVX_EXIT_INCOMPLETE = 1, // something was refused, skipped, not read or failed a check
    KVX_EXIT_INVALID = 2,    // invalid file or arguments, no driver, or a driver that does not respond
};
