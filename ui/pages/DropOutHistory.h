// The drop-out part of the buffer settings page: the count of the last read, the watch's
// option, the last drop-out, the number since the last reset with its Reset, the graph of the
// last hour and the log's "Copy" to the clipboard. It shows what the monitor holds and never
// reads the driver itself.
#pragma once

#include <string>

#include "Afx.h"
#include "AfxDialog.h"
#include "BarGraph.h"

class CDropOutMonitor;

class CDropOutHistory {
public:
    void SetMonitor(CDropOutMonitor* monitor) { m_pMonitor = monitor; }
    CDropOutMonitor* Monitor() const { return m_pMonitor; }

    void DoDataExchange(CDataExchange* pDX);
    // Names the buttons for a screen reader; once the page's controls exist.
    void Init(CWnd& page);
    // The texts and the graph from the monitor; the caller transfers the texts.
    void Update();

    void OnWatch();
    void OnReset();
    // The log as text on the clipboard, owned by the page's window.
    void OnCopy(CWnd& page);

    CButton m_WatchCheck;
    CBarGraph m_Graph;
    std::string m_strCount, m_strLast, m_strSince;

private:
    CDropOutMonitor* m_pMonitor = nullptr;
    CAccessibleControl m_ResetAccessible, m_CopyAccessible;
};
