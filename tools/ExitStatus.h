// The exit status of every console tool (kvxuctl's verbs, watch and self-test, and kvxuinfo),
// so that a script acts on them all alike.
#pragma once

enum : int {
    KVX_EXIT_OK = 0,         // everything done: applied, unchanged, read, passed
    KVX_EXIT_INCOMPLETE = 1, // done in part: some setting not read or not applied, each named
    KVX_EXIT_INVALID = 2,    // the call or the file is wrong: fix it (usage, an invalid file)
    KVX_EXIT_NO_DRIVER = 3,  // no driver, or the driver does not answer: try again later
};

// The lines of help that say so.
inline const char* ExitStatusHelp()
{
    return "Exit status: 0 done; 1 done in part (what was not read or not applied is named);\n"
           "2 the call or the file is wrong; 3 no driver, or the driver does not answer (try\n"
           "again later).\n";
}
