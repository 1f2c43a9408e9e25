// The command-line control of the driver: kvxuctl VERB [OPTIONS]. Each verb is a function of
// its own arguments; main only picks it.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ChangeWatcher.h"
#include "ExitStatus.h"
#include "KvxVersion.h"
#include "KvxuUsbDriver.h"
#include "ProfileVerbs.h"
#include "SelfTest.h"
#include "StatusJson.h"
#include "ToolText.h"

namespace {

struct Verb {
    const char* name;
    const char* arguments;
    const char* what;
    int (*run)(int argc, char** argv);
};

int Help(int argc, char** argv);
int SelfTest(int argc, char** argv);
int Watch(int argc, char** argv);
int Save(int argc, char** argv);
int Load(int argc, char** argv);
int Get(int argc, char** argv);
int Set(int argc, char** argv);
int Check(int argc, char** argv);
int Schema(int argc, char** argv);

const Verb kVerbs[] = {
    {"selftest", "[--json] [--write]",
     "checks that the driver keeps the control protocol: a PASS, FAIL or SKIP line per\n"
     "    check; --write also writes names, ranking and the display-name option back as\n"
     "    read; exit 0 when nothing failed, 1 when something did, 3 without a driver or\n"
     "    when it stopped answering",
     SelfTest},
    {"watch", "[--dropouts] [--json]",
     "prints the driver's change records as they come, and a line for each rise of the\n"
     "    drop-out count with the time and the settings in force; --dropouts prints only\n"
     "    those; --json one object a line; ends with exit 3 when the driver goes away or\n"
     "    does not answer, since a change may then have been missed",
     Watch},
    {"save", "FILE", "saves every setting into a settings file", Save},
    {"load", "FILE [--dry-run] [--match-by-order] [--json]",
     "loads a settings file: the whole file is checked first, then only what differs is\n"
     "    sent, with a result per setting; --dry-run shows the plan and sends nothing;\n"
     "    --match-by-order takes devices by their ranking instead of their serial number",
     Load},
    {"get", "[SETTING] [--json]", "prints every setting, or one, as set takes it", Get},
    {"set", "SETTING VALUE... [--json]", "changes one setting, with the checks a file gets", Set},
    {"check", "FILE", "checks a settings file as load does, without a driver", Check},
    {"schema", "", "prints the JSON Schema of settings files", Schema},
    {"help", "", "prints this", Help},
};

void Print(FILE* out, const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), out);
    std::fflush(out);
}

std::string Usage()
{
    std::string text = "kvxuctl " KVX_VERSION_TEXT ", the command-line control of the driver\n"
                       "usage: kvxuctl VERB [OPTIONS]\n";
    for (const Verb& verb : kVerbs)
        text += std::string("  ") + verb.name + (*verb.arguments ? " " : "") + verb.arguments +
                "\n    " + verb.what + "\n";
    return text + ProfileVerbsHelp();
}

int Help(int, char**)
{
    Print(stdout, Usage());
    return KVX_EXIT_OK;
}

int BadArguments()
{
    Print(stderr, Usage());
    return KVX_EXIT_INVALID;
}

std::string ThisProgram()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, length < MAX_PATH ? length : 0);
}

std::string SelfTestJson(DWORD openStatus, bool write, const CCheckList& checks)
{
    std::string out = "{\n  \"tool\": " + JsonString("kvxuctl " KVX_VERSION_TEXT) + ",\n" +
                      "  \"controlDevice\": " + JsonString("\\\\.\\" KVX_USB_DEVICE_NAME) + ",\n" +
                      "  \"write\": " + (write ? "true" : "false") + ",\n";
    if (openStatus != 0) {
        nlohmann::ordered_json open = nlohmann::ordered_json::object();
        AddStatusJson(open, openStatus);
        out += "  \"open\": " + open.dump(-1, ' ', true) + ",\n";
    }
    return out + RenderChecksJsonMembers(checks) + "\n}\n";
}

int SelfTest(int argc, char** argv)
{
    bool json = false;
    SelfTestOptions options;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0)
            json = true;
        else if (std::strcmp(argv[i], "--write") == 0)
            options.write = true;
        else
            return BadArguments();
    }
    options.watcherExe = ThisProgram();
    CCheckList checks;
    bool unanswered = false;
    DWORD status = RunSelfTest(KVX_USB_DEVICE_NAME, options, checks, &unanswered);
    if (json)
        Print(stdout, SelfTestJson(status, options.write, checks));
    else if (status != 0)
        Print(stdout, "No driver: \\\\.\\" KVX_USB_DEVICE_NAME " cannot be opened, " +
                          StatusText(status) + "\n");
    else
        Print(stdout, RenderChecksText(checks));
    return SelfTestExitStatus(status, unanswered, checks);
}

// "watch [--dropouts] [--json] [--exit-with PID]": the self-test starts it with its own
// process id, so that it never outlives the test.
int Watch(int argc, char** argv)
{
    DWORD exitWith = 0;
    CWatchOptions options;
    options.dropOuts = true;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--exit-with") == 0 && i + 1 < argc) {
            exitWith = std::strtoul(argv[++i], nullptr, 10);
        } else if (std::strcmp(argv[i], "--dropouts") == 0) {
            options.changes = false;
        } else if (std::strcmp(argv[i], "--json") == 0) {
            options.json = true;
        } else {
            return BadArguments();
        }
    }
    return WatchChanges(KVX_USB_DEVICE_NAME, exitWith, options);
}

// The settings verbs write into strings, for their tests; here they go to the console.
int RunProfileVerb(int (*verb)(const CVerbArguments&, CVerbOutput&), int argc, char** argv)
{
    CVerbOutput output;
    const int status = verb(CVerbArguments(argv, argv + argc), output);
    Print(stdout, output.out);
    Print(stderr, output.err);
    return status;
}

int Save(int argc, char** argv)
{
    return RunProfileVerb(ProfileVerbSave, argc, argv);
}

int Load(int argc, char** argv)
{
    return RunProfileVerb(ProfileVerbLoad, argc, argv);
}

int Get(int argc, char** argv)
{
    return RunProfileVerb(ProfileVerbGet, argc, argv);
}

int Set(int argc, char** argv)
{
    return RunProfileVerb(ProfileVerbSet, argc, argv);
}

int Check(int argc, char** argv)
{
    return RunProfileVerb(ProfileVerbCheck, argc, argv);
}

int Schema(int argc, char** argv)
{
    return RunProfileVerb(ProfileVerbSchema, argc, argv);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Help(0, nullptr);
    for (const Verb& verb : kVerbs)
        if (std::strcmp(argv[1], verb.name) == 0)
            return verb.run(argc - 2, argv + 2);
    return BadArguments();
}
