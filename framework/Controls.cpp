// Control wrappers that need more than one message, and the status bar's pane layout.
#include "AfxCtrls.h"
#include "AfxApp.h"
#include "ScopedHandle.h"
#include "SystemColours.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <utility>

// ---- CImageList -----------------------------------------------------------------------------

bool CImageList::Create(int cx, int cy, UINT nFlags, int nInitial, int nGrow)
{
    DeleteImageList();
    m_hImageList = ImageList_Create(cx, cy, nFlags, nInitial, nGrow);
    return m_hImageList != nullptr;
}

namespace {

// The image an icon resource holds at exactly this size as 32-bit pixels and a mask, each
// read only as far as its resource reaches.
struct IconImage {
    const DWORD* pixels; // bottom row first
    const BYTE* mask;    // bottom row first, rows of whole 32-bit words
};

bool FindIconImage(HINSTANCE module, UINT id, int size, IconImage* image)
{
    // The directory: a 6-byte header whose last word counts the 14-byte entries after it.
    HRSRC group = ::FindResourceA(module, MAKEINTRESOURCEA(id), RT_GROUP_ICON);
    const BYTE* directory =
        group ? static_cast<const BYTE*>(::LockResource(::LoadResource(module, group))) : nullptr;
    const DWORD directoryBytes = group ? ::SizeofResource(module, group) : 0;
    if (!directory || directoryBytes < 6 ||
        directoryBytes < 6 + 14u * (directory[4] | directory[5] << 8))
        return false;
    const int entry = ::LookupIconIdFromDirectoryEx(const_cast<PBYTE>(directory), TRUE, size, size,
                                                    LR_DEFAULTCOLOR);
    HRSRC icon = entry ? ::FindResourceA(module, MAKEINTRESOURCEA(entry), RT_ICON) : nullptr;
    const BYTE* data =
        icon ? static_cast<const BYTE*>(::LockResource(::LoadResource(module, icon))) : nullptr;
    const DWORD bytes = icon ? ::SizeofResource(module, icon) : 0;
    BITMAPINFOHEADER header;
    if (!data || bytes < sizeof header)
        return false;
    std::memcpy(&header, data, sizeof header);
    // A PNG image, another depth or another size: the system's loader would scale or convert.
    if (header.biSize < sizeof header || header.biSize > bytes || header.biWidth != size ||
        header.biHeight != 2 * size || header.biPlanes != 1 || header.biBitCount != 32 ||
        header.biCompression != BI_RGB)
        return false;
    const size_t pixelBytes = size_t(size) * size * 4;
    const size_t maskBytes = size_t(size + 31) / 32 * 4 * size;
    if (bytes - header.biSize < pixelBytes + maskBytes)
        return false;
    image->pixels = reinterpret_cast<const DWORD*>(data + header.biSize);
    image->mask = data + header.biSize + pixelBytes;
    return true;
}

} // namespace

bool CImageList::AddResourceIcons(HINSTANCE module, const std::vector<UINT>& ids)
{
    int size = 0, height = 0;
    if (!m_hImageList || ids.empty() || !ImageList_GetIconSize(m_hImageList, &size, &height) ||
        size != height)
        return false;
    std::vector<IconImage> images(ids.size());
    for (size_t i = 0; i < ids.size(); ++i)
        if (!FindIconImage(module, ids[i], size, &images[i]))
            return false;
    // One strip, the images side by side, top row first (the resources' rows run bottom up).
    const int width = size * int(ids.size());
    DWORD* pixels = nullptr;
    const CBitmapHandle strip(AfxCreatePixelBitmap(width, size, &pixels));
    if (!strip)
        return false;
    for (size_t i = 0; i < images.size(); ++i)
        for (int y = 0; y < size; ++y)
            std::memcpy(pixels + size_t(y) * width + i * size,
                        images[i].pixels + size_t(size - 1 - y) * size, size_t(size) * 4);
    const size_t maskStride = size_t(size + 31) / 32 * 4;
    const CBitmapHandle mask(AfxCreateMaskBitmap(width, size, [&](int x, int y) {
        const BYTE* row = images[x / size].mask + size_t(size - 1 - y) * maskStride;
        return (row[x % size / 8] & (0x80 >> (x % size % 8))) != 0;
    }));
    return mask && ImageList_Add(m_hImageList, strip.Get(), mask.Get()) != -1;
}

bool CImageList::DeleteImageList()
{
    if (!m_hImageList)
        return false;
    ImageList_Destroy(m_hImageList);
    m_hImageList = nullptr;
    return true;
}

// ---- CListCtrl ------------------------------------------------------------------------------

int CListCtrl::InsertColumn(int nCol, LPCSTR lpszHeading, int nFormat, int nWidth, int nSubItem)
{
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_TEXT;
    column.fmt = nFormat;
    column.pszText = const_cast<LPSTR>(lpszHeading);
    if (nWidth != -1) {
        column.mask |= LVCF_WIDTH;
        column.cx = nWidth;
    }
    if (nSubItem != -1) {
        column.mask |= LVCF_SUBITEM;
        column.iSubItem = nSubItem;
    }
    return (int)SendMessage(LVM_INSERTCOLUMNA, (WPARAM)nCol, (LPARAM)&column);
}

int CListCtrl::InsertItem(int nItem, LPCSTR lpszItem)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = nItem;
    item.pszText = const_cast<LPSTR>(lpszItem);
    return (int)SendMessage(LVM_INSERTITEMA, 0, (LPARAM)&item);
}

BOOL CListCtrl::SetItemText(int nItem, int nSubItem, LPCSTR lpszText)
{
    LVITEMA item = {};
    item.iSubItem = nSubItem;
    item.pszText = const_cast<LPSTR>(lpszText);
    return (BOOL)SendMessage(LVM_SETITEMTEXTA, (WPARAM)nItem, (LPARAM)&item);
}

int CListCtrl::GetItemText(int nItem, int nSubItem, LPSTR lpszText, int nLen) const
{
    if (!lpszText || nLen <= 0)
        return 0;
    lpszText[0] = '\0';
    LVITEMA item = {};
    item.iSubItem = nSubItem;
    item.pszText = lpszText;
    item.cchTextMax = nLen;
    SendMessage(LVM_GETITEMTEXTA, (WPARAM)nItem, (LPARAM)&item);
    // Some list views leave a cut text unterminated.
    lpszText[nLen - 1] = '\0';
    return (int)std::strlen(lpszText);
}

std::string CListCtrl::GetItemText(int nItem, int nSubItem) const
{
    // A text that fills the buffer may have been cut: grow until it no longer does.
    std::string text(256, '\0');
    for (;;) {
        int length = GetItemText(nItem, nSubItem, &text[0], (int)text.size());
        if (length < (int)text.size() - 1 || text.size() >= 0x100000) {
            text.resize((size_t)length);
            return text;
        }
        text.resize(text.size() * 2);
    }
}

BOOL CListCtrl::SetItemData(int nItem, DWORD_PTR dwData)
{
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = nItem;
    item.lParam = (LPARAM)dwData;
    return (BOOL)SendMessage(LVM_SETITEMA, 0, (LPARAM)&item);
}

DWORD_PTR CListCtrl::GetItemData(int nItem) const
{
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = nItem;
    if (!SendMessage(LVM_GETITEMA, 0, (LPARAM)&item))
        return 0;
    return (DWORD_PTR)item.lParam;
}

BOOL CListCtrl::SetItemState(int nItem, UINT nState, UINT nMask)
{
    LVITEMA item = {};
    item.state = nState;
    item.stateMask = nMask;
    return (BOOL)SendMessage(LVM_SETITEMSTATE, (WPARAM)nItem, (LPARAM)&item);
}

// ---- CTreeCtrl ------------------------------------------------------------------------------

HTREEITEM CTreeCtrl::InsertItem(LPCSTR lpszItem, int nImage, int nSelectedImage, HTREEITEM hParent,
                                HTREEITEM hInsertAfter)
{
    TVINSERTSTRUCTA insert = {};
    insert.hParent = hParent;
    insert.hInsertAfter = hInsertAfter;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = const_cast<LPSTR>(lpszItem);
    insert.item.iImage = nImage;
    insert.item.iSelectedImage = nSelectedImage;
    return (HTREEITEM)SendMessage(TVM_INSERTITEMA, 0, (LPARAM)&insert);
}

HTREEITEM CTreeCtrl::InsertItem(LPCSTR lpszItem, HTREEITEM hParent, HTREEITEM hInsertAfter)
{
    TVINSERTSTRUCTA insert = {};
    insert.hParent = hParent;
    insert.hInsertAfter = hInsertAfter;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<LPSTR>(lpszItem);
    return (HTREEITEM)SendMessage(TVM_INSERTITEMA, 0, (LPARAM)&insert);
}

BOOL CTreeCtrl::SetItemData(HTREEITEM hItem, DWORD_PTR dwData)
{
    TVITEMA item = {};
    item.mask = TVIF_PARAM;
    item.hItem = hItem;
    item.lParam = (LPARAM)dwData;
    return (BOOL)SendMessage(TVM_SETITEMA, 0, (LPARAM)&item);
}

DWORD_PTR CTreeCtrl::GetItemData(HTREEITEM hItem) const
{
    TVITEMA item = {};
    item.mask = TVIF_PARAM;
    item.hItem = hItem;
    if (!SendMessage(TVM_GETITEMA, 0, (LPARAM)&item))
        return 0;
    return (DWORD_PTR)item.lParam;
}

std::string CTreeCtrl::GetItemText(HTREEITEM hItem) const
{
    char buffer[1024] = "";
    TVITEMA item = {};
    item.mask = TVIF_TEXT;
    item.hItem = hItem;
    item.pszText = buffer;
    item.cchTextMax = (int)sizeof buffer;
    if (!SendMessage(TVM_GETITEMA, 0, (LPARAM)&item))
        return std::string();
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

HIMAGELIST CTreeCtrl::SetImageList(CImageList* pImageList, int nImageListType)
{
    return (HIMAGELIST)SendMessage(TVM_SETIMAGELIST, (WPARAM)nImageListType,
                                   (LPARAM)(pImageList ? pImageList->m_hImageList : nullptr));
}

// ---- CComboBox ------------------------------------------------------------------------------

std::string CComboBox::GetLBText(int nIndex) const
{
    int length = (int)SendMessage(CB_GETLBTEXTLEN, (WPARAM)nIndex);
    if (length == CB_ERR || length < 0)
        return std::string();
    std::string text((size_t)length + 1, '\0');
    int copied = (int)SendMessage(CB_GETLBTEXT, (WPARAM)nIndex, (LPARAM)&text[0]);
    text.resize(copied > 0 ? (size_t)copied : 0);
    return text;
}

// ---- CToolTipCtrl ---------------------------------------------------------------------------

bool CToolTipCtrl::Create(CWnd* pParentWnd, DWORD dwStyle)
{
    return CreateEx(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | dwStyle,
                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                    pParentWnd ? pParentWnd->m_hWnd : nullptr, 0);
}

BOOL CToolTipCtrl::AddTool(CWnd* pWnd, LPCSTR lpszText)
{
    return pWnd ? AddTool(pWnd->m_hWnd, lpszText) : FALSE;
}

BOOL CToolTipCtrl::AddTool(HWND hWndCtrl, LPCSTR lpszText)
{
    if (!hWndCtrl)
        return FALSE;
    TTTOOLINFOA info = {};
    // The size every comctl32 version accepts (the newest form is refused by version 5).
    info.cbSize = TTTOOLINFOA_V2_SIZE;
    info.uFlags = TTF_IDISHWND;
    info.hwnd = ::GetParent(hWndCtrl);
    info.uId = (UINT_PTR)hWndCtrl;
    info.lpszText = const_cast<LPSTR>(lpszText);
    return (BOOL)SendMessage(TTM_ADDTOOLA, 0, (LPARAM)&info);
}

// ---- CStatusBar -----------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CStatusBar, CWnd)
ON_MESSAGE(WM_SIZE, OnSizeMsg)
ON_MESSAGE(WM_SETTEXT, OnSetTextMsg)
ON_MESSAGE(WM_GETTEXT, OnGetTextMsg)
ON_MESSAGE(WM_GETTEXTLENGTH, OnGetTextLengthMsg)
END_MESSAGE_MAP()

bool CStatusBar::Create(CWnd* pParentWnd, DWORD dwStyle, UINT nID)
{
    if (!pParentWnd || !pParentWnd->m_hWnd)
        return false;
    m_panes.clear();
    return CreateEx(0, STATUSCLASSNAMEA, nullptr, dwStyle, 0, 0, 0, 0, pParentWnd->m_hWnd, nID);
}

bool CStatusBar::SetIndicators(const UINT* lpIDArray, int nIDCount)
{
    if (!m_hWnd || nIDCount <= 0 || nIDCount > kMaxPanes || !lpIDArray)
        return false;
    m_panes.clear();
    std::vector<std::string> texts;
    HDC hDC = ::GetDC(m_hWnd);
    HFONT hFont = (HFONT)SendMessage(WM_GETFONT);
    HGDIOBJ hOldFont = hFont ? ::SelectObject(hDC, hFont) : nullptr;
    for (int i = 0; i < nIDCount; ++i) {
        Pane pane = {lpIDArray[i], SBPS_NORMAL, 0};
        std::string text = pane.nID != ID_SEPARATOR ? AfxLoadString(pane.nID) : std::string();
        SIZE size = {0, 0};
        ::GetTextExtentPoint32A(hDC, text.c_str(), (int)text.size(), &size);
        pane.cxWidth = size.cx;
        m_panes.push_back(pane);
        texts.push_back(text);
    }
    if (hOldFont)
        ::SelectObject(hDC, hOldFont);
    ::ReleaseDC(m_hWnd, hDC);
    UpdateParts();
    for (int i = 0; i < nIDCount; ++i)
        SetPaneText(i, texts[(size_t)i].c_str(), FALSE);
    return true;
}

void CStatusBar::SetPaneInfo(int nIndex, UINT nID, UINT nStyle, int cxWidth)
{
    if (nIndex < 0 || nIndex >= GetCount())
        return;
    Pane& pane = m_panes[(size_t)nIndex];
    pane.nID = nID;
    pane.nStyle = nStyle;
    pane.cxWidth = cxWidth;
    UpdateParts();
}

void CStatusBar::GetPaneInfo(int nIndex, UINT& nID, UINT& nStyle, int& cxWidth) const
{
    if (nIndex < 0 || nIndex >= GetCount())
        return;
    const Pane& pane = m_panes[(size_t)nIndex];
    nID = pane.nID;
    nStyle = pane.nStyle;
    cxWidth = pane.cxWidth;
}

int CStatusBar::CommandToIndex(UINT nIDFind) const
{
    for (size_t i = 0; i < m_panes.size(); ++i) {
        if (m_panes[i].nID == nIDFind)
            return (int)i;
    }
    return -1;
}

bool CStatusBar::SetPaneText(int nIndex, LPCSTR lpszNewText, BOOL bUpdate)
{
    if (!m_hWnd || nIndex < 0 || nIndex >= GetCount())
        return false;
    UINT drawStyle = m_panes[(size_t)nIndex].nStyle & (SBT_NOBORDERS | SBT_POPOUT);
    if (!SendMessage(SB_SETTEXTA, (WPARAM)(nIndex | drawStyle),
                     (LPARAM)(lpszNewText ? lpszNewText : "")))
        return false;
    if (bUpdate)
        UpdateWindow();
    return true;
}

std::string CStatusBar::GetPaneText(int nIndex) const
{
    if (!m_hWnd || nIndex < 0 || nIndex >= GetCount())
        return std::string();
    size_t length = LOWORD(SendMessage(SB_GETTEXTLENGTHA, (WPARAM)nIndex));
    std::string text(length + 1, '\0');
    SendMessage(SB_GETTEXTA, (WPARAM)nIndex, (LPARAM)&text[0]);
    text.resize(std::strlen(text.c_str()));
    return text;
}

void CStatusBar::UpdateParts()
{
    if (!m_hWnd || m_panes.empty())
        return;
    RECT client;
    GetClientRect(&client);
    int fixed = 0;
    for (const Pane& pane : m_panes) {
        if (!(pane.nStyle & SBPS_STRETCH))
            fixed += pane.cxWidth;
    }
    int edges[kMaxPanes];
    int right = 0;
    for (size_t i = 0; i < m_panes.size(); ++i) {
        const Pane& pane = m_panes[i];
        int width = pane.cxWidth;
        if (pane.nStyle & SBPS_STRETCH)
            width = std::max(width, (int)client.right - fixed);
        right += width;
        edges[i] = right;
    }
    SendMessage(SB_SETPARTS, (WPARAM)m_panes.size(), (LPARAM)edges);
}

void CStatusBar::OnDpiLayout(UINT, UINT newDpi)
{
    CFontHandle font(AfxCreateStatusFont(newDpi));
    if (!font)
        return;
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
    m_font = std::move(font); // the one made for the old DPI is no longer used
}

LRESULT CStatusBar::OnSizeMsg(WPARAM, LPARAM)
{
    LRESULT result = Default();
    UpdateParts();
    return result;
}

// The bar's window text is the text of the pane whose id is 0. Messages reach a subclassed
// control in their wide form.
LRESULT CStatusBar::OnSetTextMsg(WPARAM, LPARAM lParam)
{
    int index = CommandToIndex(0);
    if (index < 0)
        return Default();
    const wchar_t* wide = reinterpret_cast<const wchar_t*>(lParam);
    std::string text;
    if (wide && *wide) {
        int size = ::WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
        if (size > 1) {
            text.resize((size_t)size);
            ::WideCharToMultiByte(CP_ACP, 0, wide, -1, &text[0], size, nullptr, nullptr);
            text.resize((size_t)size - 1);
        }
    }
    return SetPaneText(index, text.c_str()) ? TRUE : FALSE;
}

LRESULT CStatusBar::OnGetTextMsg(WPARAM wParam, LPARAM lParam)
{
    int index = CommandToIndex(0);
    if (index < 0)
        return Default();
    wchar_t* buffer = reinterpret_cast<wchar_t*>(lParam);
    size_t capacity = (size_t)wParam;
    if (!buffer || capacity == 0)
        return 0;
    size_t length = LOWORD(SendMessage(SB_GETTEXTLENGTHW, (WPARAM)index));
    std::wstring text(length + 1, L'\0');
    SendMessage(SB_GETTEXTW, (WPARAM)index, (LPARAM)&text[0]);
    size_t copied = std::min(std::wcslen(text.c_str()), capacity - 1);
    text.copy(buffer, copied);
    buffer[copied] = L'\0';
    return (LRESULT)copied;
}

LRESULT CStatusBar::OnGetTextLengthMsg(WPARAM, LPARAM)
{
    int index = CommandToIndex(0);
    if (index < 0)
        return Default();
    return (LRESULT)LOWORD(SendMessage(SB_GETTEXTLENGTHW, (WPARAM)index));
}
