// The support report: prints everything the driver reports, or the status that stopped
// it, as text or (--json) as JSON for a support ticket. Exits as every tool does (ExitStatus.h):
// 1 when a read inside the report failed, 3 when the control device cannot be opened or the
// driver stops answering.
#include <cstdio>
#include <cstring>
#include <string>

#include "ExitStatus.h"
#include "KvxUsbStatus.h"
#include "KvxVersion.h"
#include "KvxuUsbDriver.h"
#include "SupportReport.h"

namespace {

void Print(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    bool json = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0) {
            json = true;
        } else {
            std::fprintf(stderr, "usage: kvxuinfo [--json]\n%s", ExitStatusHelp());
            return std::strcmp(argv[i], "--help") == 0 ? KVX_EXIT_OK : KVX_EXIT_INVALID;
        }
    }

    std::string out, err;
    const int status = RunSupportReport(json, out, err);
    Print(out);
    std::fputs(err.c_str(), stderr);
    return status;
}
