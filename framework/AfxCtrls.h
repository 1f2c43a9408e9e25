// Thin wrappers over the standard and common controls: one-line members over SendMessage, no
// state of their own (CImageList owns its image list; CStatusBar keeps its pane layout and
// the font it made for a new DPI).
//
// Bind a wrapper to a template control with DDX_Control(pDX, IDC_X, m_X) in DoDataExchange
// (or m_X.SubclassDlgItem(IDC_X, this)); its m_hWnd is null again once the control is
// destroyed. A wrapper never destroys a control it only bound.
//
//     m_Slider.SetRange(1, 80);               // TBM_SETRANGEMIN/MAX: full 32-bit range
//     int n = m_List.InsertItem(i, "name");   // then SetItemText(n, 1, "...")
//     m_ToolTip.Create(this, TTS_ALWAYSTIP);
//     m_ToolTip.AddTool(&m_Button, "tip text");
//     m_ToolTip.RelayEvent(pMsg);             // from the page's PreTranslateMessage
//
// Status bar of a frame (created in the frame's OnCreate after CFrameWnd::OnCreate):
//     static const UINT indicators[] = {ID_SEPARATOR, ID_SEPARATOR};
//     m_wndStatusBar.Create(this);
//     m_wndStatusBar.SetIndicators(indicators, 2);
//     m_wndStatusBar.SetPaneInfo(0, 0, SBPS_STRETCH, 200); // at least 200 px, takes the rest
//     m_wndStatusBar.SetPaneInfo(1, 1, SBPS_NORMAL, 150);
//     m_wndStatusBar.SetPaneText(1, "2 Device(s) connected.");
//     m_wndStatusBar.SetWindowText("...");   // the pane whose id is 0
#pragma once

#include "AfxWnd.h"
#include "Dpi.h"

#include <string>
#include <vector>

class CButton : public CWnd {
public:
    int GetCheck() const { return (int)SendMessage(BM_GETCHECK); }
    void SetCheck(int nCheck) { SendMessage(BM_SETCHECK, (WPARAM)nCheck); }
};

class CStatic : public CWnd {
public:
    HICON SetIcon(HICON hIcon) { return (HICON)SendMessage(STM_SETICON, (WPARAM)hIcon); }
};

class CImageList {
public:
    CImageList() = default;
    ~CImageList() { DeleteImageList(); }
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    bool Create(int cx, int cy, UINT nFlags, int nInitial, int nGrow);
    int Add(HICON hIcon) { return ImageList_AddIcon(m_hImageList, hIcon); }
    // Adds the module's icons of these ids in one step, each the 32-bit image its resource
    // holds at exactly the list's size, with its mask: as Add would from LoadImage, at a
    // fraction of the cost. False, with nothing added, where a resource holds no such image
    // (then load and Add them one by one).
    bool AddResourceIcons(HINSTANCE module, const std::vector<UINT>& ids);
    int GetImageCount() const { return ImageList_GetImageCount(m_hImageList); }
    HIMAGELIST GetSafeHandle() const { return m_hImageList; }
    bool DeleteImageList();

    HIMAGELIST m_hImageList = nullptr;
};

class CListCtrl : public CWnd {
public:
    int InsertColumn(int nCol, LPCSTR lpszHeading, int nFormat = LVCFMT_LEFT, int nWidth = -1,
                     int nSubItem = -1);
    DWORD GetExtendedStyle() const { return (DWORD)SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE); }
    DWORD SetExtendedStyle(DWORD dwNewStyle)
    {
        return (DWORD)SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, (LPARAM)dwNewStyle);
    }
    int GetItemCount() const { return (int)SendMessage(LVM_GETITEMCOUNT); }
    int GetColumnWidth(int nCol) const { return (int)SendMessage(LVM_GETCOLUMNWIDTH, nCol); }
    BOOL SetColumnWidth(int nCol, int cx)
    {
        return (BOOL)SendMessage(LVM_SETCOLUMNWIDTH, (WPARAM)nCol, MAKELPARAM(cx, 0));
    }
    BOOL DeleteAllItems() { return (BOOL)SendMessage(LVM_DELETEALLITEMS); }
    BOOL DeleteItem(int nItem) { return (BOOL)SendMessage(LVM_DELETEITEM, (WPARAM)nItem); }
    int InsertItem(int nItem, LPCSTR lpszItem);
    BOOL SetItemText(int nItem, int nSubItem, LPCSTR lpszText);
    // Text of a cell, through a buffer of nLen bytes (as the caller's own buffer would).
    int GetItemText(int nItem, int nSubItem, LPSTR lpszText, int nLen) const;
    std::string GetItemText(int nItem, int nSubItem) const;
    BOOL SetItemData(int nItem, DWORD_PTR dwData);
    DWORD_PTR GetItemData(int nItem) const;
    BOOL SetItemState(int nItem, UINT nState, UINT nMask);
    UINT GetItemState(int nItem, UINT nMask) const
    {
        return (UINT)SendMessage(LVM_GETITEMSTATE, (WPARAM)nItem, (LPARAM)nMask);
    }
    int GetNextItem(int nItem, int nFlags) const
    {
        return (int)SendMessage(LVM_GETNEXTITEM, (WPARAM)nItem, MAKELPARAM(nFlags, 0));
    }
    BOOL EnsureVisible(int nItem, BOOL bPartialOK)
    {
        return (BOOL)SendMessage(LVM_ENSUREVISIBLE, (WPARAM)nItem, (LPARAM)bPartialOK);
    }
};

class CTreeCtrl : public CWnd {
public:
    HTREEITEM InsertItem(LPCSTR lpszItem, int nImage, int nSelectedImage,
                         HTREEITEM hParent = TVI_ROOT, HTREEITEM hInsertAfter = TVI_LAST);
    HTREEITEM InsertItem(LPCSTR lpszItem, HTREEITEM hParent = TVI_ROOT,
                         HTREEITEM hInsertAfter = TVI_LAST);
    BOOL SetItemData(HTREEITEM hItem, DWORD_PTR dwData);
    DWORD_PTR GetItemData(HTREEITEM hItem) const;
    std::string GetItemText(HTREEITEM hItem) const;
    HTREEITEM GetNextItem(HTREEITEM hItem, UINT nCode) const
    {
        return (HTREEITEM)SendMessage(TVM_GETNEXTITEM, (WPARAM)nCode, (LPARAM)hItem);
    }
    HTREEITEM GetRootItem() const { return GetNextItem(nullptr, TVGN_ROOT); }
    HTREEITEM GetNextSiblingItem(HTREEITEM hItem) const { return GetNextItem(hItem, TVGN_NEXT); }
    HTREEITEM GetSelectedItem() const { return GetNextItem(nullptr, TVGN_CARET); }
    BOOL Select(HTREEITEM hItem, UINT nCode)
    {
        return (BOOL)SendMessage(TVM_SELECTITEM, (WPARAM)nCode, (LPARAM)hItem);
    }
    BOOL SelectItem(HTREEITEM hItem) { return Select(hItem, TVGN_CARET); }
    UINT GetCount() const { return (UINT)SendMessage(TVM_GETCOUNT); }
    BOOL DeleteAllItems() { return (BOOL)SendMessage(TVM_DELETEITEM, 0, (LPARAM)TVI_ROOT); }
    HIMAGELIST SetImageList(CImageList* pImageList, int nImageListType);
};

class CSliderCtrl : public CWnd {
public:
    // TBM_SETRANGE packs 16-bit values: the two 32-bit messages are used instead.
    void SetRange(int nMin, int nMax, BOOL bRedraw = FALSE)
    {
        SendMessage(TBM_SETRANGEMIN, FALSE, (LPARAM)nMin);
        SendMessage(TBM_SETRANGEMAX, (WPARAM)bRedraw, (LPARAM)nMax);
    }
    int GetRangeMin() const { return (int)SendMessage(TBM_GETRANGEMIN); }
    int GetRangeMax() const { return (int)SendMessage(TBM_GETRANGEMAX); }
    int GetPos() const { return (int)SendMessage(TBM_GETPOS); }
    void SetPos(int nPos) { SendMessage(TBM_SETPOS, TRUE, (LPARAM)nPos); }
    void SetTicFreq(int nFreq) { SendMessage(TBM_SETTICFREQ, (WPARAM)nFreq); }
    int SetPageSize(int nSize) { return (int)SendMessage(TBM_SETPAGESIZE, 0, (LPARAM)nSize); }
    int GetPageSize() const { return (int)SendMessage(TBM_GETPAGESIZE); }
    int SetLineSize(int nSize) { return (int)SendMessage(TBM_SETLINESIZE, 0, (LPARAM)nSize); }
    int GetLineSize() const { return (int)SendMessage(TBM_GETLINESIZE); }
    void ClearTics(BOOL bRedraw = FALSE) { SendMessage(TBM_CLEARTICS, (WPARAM)bRedraw); }
};

class CComboBox : public CWnd {
public:
    void ResetContent() { SendMessage(CB_RESETCONTENT); }
    int AddString(LPCSTR lpszString)
    {
        return (int)SendMessage(CB_ADDSTRING, 0, (LPARAM)lpszString);
    }
    int InsertString(int nIndex, LPCSTR lpszString)
    {
        return (int)SendMessage(CB_INSERTSTRING, (WPARAM)nIndex, (LPARAM)lpszString);
    }
    int DeleteString(UINT nIndex) { return (int)SendMessage(CB_DELETESTRING, nIndex); }
    int GetCount() const { return (int)SendMessage(CB_GETCOUNT); }
    int GetCurSel() const { return (int)SendMessage(CB_GETCURSEL); }
    int SetCurSel(int nSelect) { return (int)SendMessage(CB_SETCURSEL, (WPARAM)nSelect); }
    DWORD_PTR GetItemData(int nIndex) const
    {
        return (DWORD_PTR)SendMessage(CB_GETITEMDATA, (WPARAM)nIndex);
    }
    int SetItemData(int nIndex, DWORD_PTR dwItemData)
    {
        return (int)SendMessage(CB_SETITEMDATA, (WPARAM)nIndex, (LPARAM)dwItemData);
    }
    std::string GetLBText(int nIndex) const;
};

class CToolTipCtrl : public CWnd {
public:
    // A tooltip owned by pParentWnd (TTS_NOPREFIX is always added).
    bool Create(CWnd* pParentWnd, DWORD dwStyle = 0);
    // A tip for a whole control (the tool is the control's window).
    BOOL AddTool(CWnd* pWnd, LPCSTR lpszText);
    BOOL AddTool(HWND hWndCtrl, LPCSTR lpszText);
    void Activate(BOOL bActivate) { SendMessage(TTM_ACTIVATE, (WPARAM)bActivate); }
    int SetMaxTipWidth(int iWidth) { return (int)SendMessage(TTM_SETMAXTIPWIDTH, 0, iWidth); }
    // Hands a mouse message of a tool to the tooltip, so that it knows when to show.
    void RelayEvent(MSG* pMsg) { SendMessage(TTM_RELAYEVENT, 0, (LPARAM)pMsg); }
    int GetToolCount() const { return (int)SendMessage(TTM_GETTOOLCOUNT); }
};

// Pane styles of CStatusBar::SetPaneInfo. The texts live in the control itself.
#define SBPS_NORMAL 0x0000
#define SBPS_NOBORDERS SBT_NOBORDERS
#define SBPS_POPOUT SBT_POPOUT
#define SBPS_STRETCH 0x08000000 // the pane takes the width the others leave (at least its own)

class CStatusBar : public CWnd {
public:
    bool Create(CWnd* pParentWnd, DWORD dwStyle = WS_CHILD | WS_VISIBLE,
                UINT nID = AFX_IDW_STATUS_BAR);
    // One pane per id; ID_SEPARATOR panes are empty, others show the string with that id.
    bool SetIndicators(const UINT* lpIDArray, int nIDCount);
    void SetPaneInfo(int nIndex, UINT nID, UINT nStyle, int cxWidth);
    void GetPaneInfo(int nIndex, UINT& nID, UINT& nStyle, int& cxWidth) const;
    bool SetPaneText(int nIndex, LPCSTR lpszNewText, BOOL bUpdate = TRUE);
    std::string GetPaneText(int nIndex) const;
    int GetCount() const { return (int)m_panes.size(); }
    int CommandToIndex(UINT nIDFind) const;
    // Recomputes the part edges from the pane widths and the bar's width.
    void UpdateParts();

protected:
    // The system's status font at the new DPI (the bar's height follows it).
    void OnDpiLayout(UINT oldDpi, UINT newDpi) override;

    LRESULT OnSizeMsg(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetTextMsg(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetTextMsg(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetTextLengthMsg(WPARAM wParam, LPARAM lParam);

private:
    struct Pane {
        UINT nID;
        UINT nStyle;
        int cxWidth;
    };
    static const int kMaxPanes = 255; // the status bar's own limit
    std::vector<Pane> m_panes;
    CFontHandle m_font; // the font made for it, once the DPI changed

    DECLARE_MESSAGE_MAP()
};
