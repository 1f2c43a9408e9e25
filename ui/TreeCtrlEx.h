// The page tree of the settings view.
#pragma once

#include "Afx.h"

class CTreeCtrlEx : public CTreeCtrl {};
