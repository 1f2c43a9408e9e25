#include "DropOutHistory.h"

#include <cstring>

#include "DropOutMonitor.h"
#include "resource.h"

void CDropOutHistory::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_DROPOUT_WATCH, m_WatchCheck);
    DDX_Control(pDX, IDC_DROPOUT_GRAPH, m_Graph);
    DDX_Text(pDX, IDC_DROPOUTS, m_strCount);
    DDX_Text(pDX, IDC_DROPOUT_LAST, m_strLast);
    DDX_Text(pDX, IDC_DROPOUT_SINCE, m_strSince);
}

void CDropOutHistory::Init(CWnd& page)
{
    m_ResetAccessible.Attach(page.GetDlgItem(IDC_DROPOUT_RESET),
                             AfxLoadString(IDS_DROPOUT_RESET_NAME));
    m_CopyAccessible.Attach(page.GetDlgItem(IDC_DROPOUT_COPY),
                            AfxLoadString(IDS_DROPOUT_COPY_NAME));
}

void CDropOutHistory::Update()
{
    if (!m_pMonitor)
        return;
    uint32_t count = 0;
    m_strCount = m_pMonitor->LastCount(&count) ? std::to_string(count) : std::string();
    const CDropOutWatch& watch = m_pMonitor->Watch();
    m_strLast = watch.HasLast() ? ClockText(watch.Last()) : "none";
    m_strSince = std::to_string(watch.Total()) + " since " + ClockText(watch.Since()).substr(0, 5);
    if (m_WatchCheck.m_hWnd)
        m_WatchCheck.SetCheck(m_pMonitor->IsWatching() ? BST_CHECKED : BST_UNCHECKED);
    const CWatchTime now = CDropOutMonitor::Now();
    m_Graph.SetValues(watch.PerMinute(now), watch.GraphText(now));
}

void CDropOutHistory::OnWatch()
{
    if (m_pMonitor)
        m_pMonitor->SetWatching(m_WatchCheck.GetCheck() == BST_CHECKED);
}

void CDropOutHistory::OnReset()
{
    if (m_pMonitor)
        m_pMonitor->Reset();
}

void CDropOutHistory::OnCopy(CWnd& page)
{
    if (!m_pMonitor || !::OpenClipboard(page.m_hWnd))
        return;
    const std::string text = m_pMonitor->Watch().LogText();
    ::EmptyClipboard();
    if (HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
        if (void* bytes = ::GlobalLock(memory)) {
            std::memcpy(bytes, text.c_str(), text.size() + 1);
            ::GlobalUnlock(memory);
            if (!::SetClipboardData(CF_TEXT, memory))
                ::GlobalFree(memory); // the clipboard took it only on success
        } else {
            ::GlobalFree(memory);
        }
    }
    ::CloseClipboard();
}
