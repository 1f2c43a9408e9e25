// The document of the single-document frame. It holds nothing: every setting lives in the
// driver, so there is nothing to load, store or save on closing.
#pragma once

#include "Afx.h"

class CKVX_USB_CPLDoc : public CDocument {};
