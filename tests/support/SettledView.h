// Waiting until the settings view shows every change its driver has reported: every record
// queued so far taken and the refresh they called for made, however the storm pacing times
// it. A test that has made the driver change something waits for this before it looks.
#pragma once

#include "KVX_USB_CPLView.h"
#include "MessagePump.h"

inline bool WaitForSettledView(CKVX_USB_CPLView& view, DWORD timeoutMs = 10000)
{
    return PumpUntil([&] { return view.SettleChanges(); }, timeoutMs);
}

// A page as the user looks at it: selected in the tree, and so showing what the driver holds.
template <class Page> Page& LookAt(CKVX_USB_CPLView& view, Page& page, CPageCode code)
{
    view.ShowPage(code);
    return page;
}
