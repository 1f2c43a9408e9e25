// The command-line control's verbs for settings: save and load a profile, get and set any
// setting. Each takes the arguments after its own name, writes what it has to say into
// out (standard output) and err (standard error), and returns the exit status of
// ExitStatus.h.
#pragma once

#include <string>
#include <vector>

#include "ExitStatus.h"

struct CVerbOutput {
    std::string out;
    std::string err;
};

typedef std::vector<std::string> CVerbArguments;

int ProfileVerbSave(const CVerbArguments& arguments, CVerbOutput& output);
int ProfileVerbLoad(const CVerbArguments& arguments, CVerbOutput& output);
// Checks a settings file without a driver; "schema" prints the file's JSON Schema.
int ProfileVerbCheck(const CVerbArguments& arguments, CVerbOutput& output);
int ProfileVerbSchema(const CVerbArguments& arguments, CVerbOutput& output);
int ProfileVerbGet(const CVerbArguments& arguments, CVerbOutput& output);
int ProfileVerbSet(const CVerbArguments& arguments, CVerbOutput& output);

// The exit statuses and the settings with their values, for "help".
std::string ProfileVerbsHelp();
