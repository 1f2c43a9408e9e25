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

    // A channel of its own: the tool shares nothing with a running control panel.
    CKvxuUsbDriver driver;
    bool notResponding = false;
    driver.SetNotRespondingHandler([&notResponding] { notResponding = true; });
    DWORD status = driver.Open(KVX_USB_DEVICE_NAME);
    CReportNode report;
    report.Text("tool", "Support report", "kvxuinfo " KVX_VERSION_TEXT);
    report.Text("controlDevice", "Control device", "\\\\.\\" KVX_USB_DEVICE_NAME);
    if (status != 0) {
        report.Failure("open", "Open", status);
    } else {
        CReportNode driverReport = ReadSupportReport(driver);
        for (CReportNode& node : driverReport.children)
            report.children.push_back(std::move(node));
    }
    Print(json ? RenderJson(report) : RenderText(report));
    // What could be read is printed; the report is not whole.
    if (notResponding) {
        std::fprintf(stderr, "kvxuinfo: %s (%s)\n", StatusSentence(KVX_USB_E_NOT_RESPONDING),
                     StatusText(KVX_USB_E_NOT_RESPONDING).c_str());
        return KVX_EXIT_NO_DRIVER;
    }
    if (status != 0)
        return KVX_EXIT_NO_DRIVER;
    return ReportHasFailure(report) ? KVX_EXIT_INCOMPLETE : KVX_EXIT_OK;
}
