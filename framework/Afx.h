// The framework in one include: windows and message maps (AfxWnd.h), dialogs and data
// exchange (AfxDialog.h), document, views, frame and template (AfxDocView.h), the application
// and its message loop (AfxApp.h), control wrappers (AfxCtrls.h), framework ids (AfxRes.h),
// lengths scaled to a window's DPI (Dpi.h), what a screen reader hears of a control
// (AfxAccessible.h), icons in the user's colours (SystemColours.h).
// Each header starts with how its classes are used.
#pragma once

#include "AfxRes.h"
#include "AfxWnd.h"
#include "AfxDialog.h"
#include "AfxDocView.h"
#include "AfxApp.h"
#include "AfxCtrls.h"
#include "Dpi.h"
#include "AfxAccessible.h"
#include "SystemColours.h"
