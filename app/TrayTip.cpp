#include "TrayTip.h"

#include <windows.h>

#include "Afx.h"
#include "resource.h"

namespace {

std::string DriverFact(size_t devices, CConnectionState state)
{
    switch (state) {
    case CConnectionState::Closed:
        return AfxLoadString(IDS_TRAY_DRIVER_CLOSED);
    case CConnectionState::NotResponding:
        return AfxLoadString(IDS_TRAY_NOT_RESPONDING);
    case CConnectionState::Connected:
        break;
    }
    if (devices == 0)
        return AfxLoadString(IDS_TRAY_NO_DEVICE);
    if (devices == 1)
        return AfxLoadString(IDS_TRAY_ONE_DEVICE);
    std::string text = AfxLoadString(IDS_TRAY_DEVICES);
    const size_t at = text.find("%u");
    if (at != std::string::npos)
        text.replace(at, 2, std::to_string(devices));
    return text;
}

// The longest start of text within room bytes that ends between characters, never inside
// a double-byte one.
std::string CutToFit(const std::string& text, size_t room)
{
    const char* start = text.c_str();
    const char* end = start;
    for (const char* next = ::CharNextA(end); *end && size_t(next - start) <= room;
         next = ::CharNextA(next))
        end = next;
    return std::string(start, end);
}

} // namespace

std::string TrayTipText(const std::string& panelName, size_t devices, CConnectionState state,
                        const std::string& dropOuts)
{
    const std::string separator = ": ";
    const std::string fact =
        DriverFact(devices, state) + (dropOuts.empty() ? std::string() : ", " + dropOuts);
    if (separator.size() + fact.size() >= kTrayTipMaxChars)
        return CutToFit(fact, kTrayTipMaxChars);
    return CutToFit(panelName, kTrayTipMaxChars - separator.size() - fact.size()) + separator +
           fact;
}
