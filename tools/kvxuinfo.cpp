// The support report: prints everything the driver reports, or the status that stopped
// it, as text or (--json) as JSON for a support ticket. Exits as every tool does: 2 when the
// control device cannot be opened or the driver stops answering.
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
            std::fprintf(stderr, "usage: kvxuinfo [--json]\n");
            return std::strcmp(argv[i], "--help") == 0 ? KVX_EXIT_OK : KVX_EXIT_INVALID;
        }
    }

    // A channel of its own: the tool shares nothing with a running control panel.
    CKvxuUsbDriver driver;
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
    if (driver.WentUnanswered()) {
        std::fprintf(stderr, "kvxuinfo: %s (%s)\n", StatusSentence(KVX_USB_E_NOT_RESPONDING),
                     StatusText(KVX_USB_E_NOT_RESPONDING).c_str());
        return KVX_EXIT_INVALID;
    }
    return status == 0 ? KVX_EXIT_OK : KVX_EXIT_INVALID;
}
