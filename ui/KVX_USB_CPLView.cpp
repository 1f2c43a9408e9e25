#include "KVX_USB_CPLView.h"

#include "Drv.h"
#include "ScopedHandle.h"
#include "StatusHost.h"
#include "resource.h"

namespace {

using View = CKVX_USB_CPLView;

// Caption string, image-list position, page code and page of each tree item, in tree order.
struct TreeItem {
    UINT caption;
    int image;
    CPageCode code;
    HTREEITEM View::*item;
    CDialogPage& (*page)(View&);
};

const TreeItem kTreeItems[] = {
    {IDS_PAGE_DEVICES, 1, PAGE_DEVICES, &View::m_hDevicesItem,
     [](View& v) -> CDialogPage& { return v.m_DevicesPage; }},
    {IDS_PAGE_INPUT_CHANNELS, 3, PAGE_INPUT_CHANNELS, &View::m_hInputChannelsItem,
     [](View& v) -> CDialogPage& { return v.m_InputChannelsPage; }},
    {IDS_PAGE_OUTPUT_CHANNELS, 3, PAGE_OUTPUT_CHANNELS, &View::m_hOutputChannelsItem,
     [](View& v) -> CDialogPage& { return v.m_OutputChannelsPage; }},
    {IDS_PAGE_SYNCHRONISATION, 5, PAGE_SYNCHRONISATION, &View::m_hSynchronisationItem,
     [](View& v) -> CDialogPage& { return v.m_SyncPage; }},
    {IDS_PAGE_SETTINGS, 2, PAGE_SETTINGS, &View::m_hSettingsItem,
     [](View& v) -> CDialogPage& { return v.m_SettingsPage; }},
};

const TreeItem* FindTreeItem(DWORD_PTR code)
{
    for (const TreeItem& entry : kTreeItems)
        if (entry.code == code)
            return &entry;
    return nullptr;
}

// Only the top byte of an item's data names its page.
const DWORD_PTR kPageCodeMask = 0xFF000000;

const int kTreeIconSize = 16; // at 96 DPI
// Each tree icon in its own colours and its high-contrast drawing, in image-list order.
const struct {
    UINT colours, oneColour;
} kTreeIcons[] = {{IDI_INTERFACE, IDI_INTERFACE_HC},
                  {IDI_DEVICES, IDI_DEVICES_HC},
                  {IDI_SETTINGS, IDI_SETTINGS_HC},
                  {IDI_JACK, IDI_JACK_HC},
                  {IDI_XLR, IDI_XLR_HC},
                  {IDI_CLOCK, IDI_CLOCK_HC}};

// Where every page sits in the view's client area, in pixels at 96 DPI.
const int kPageLeft = 140;
const int kPageTop = 2;
// The separator and the tree end this far left of the pages at most, in pixels at 96 DPI,
// where the form's template puts them. Its font does not grow in step with the DPI at every
// scale, and at some the template would reach under the pages.
const int kSeparatorGap = 6;
const int kTreeGap = 11;

} // namespace

BEGIN_MESSAGE_MAP(CKVX_USB_CPLView, CFormView)
ON_NOTIFY(TVN_SELCHANGED, IDC_PAGE_TREE, OnSelChanged)
ON_WM_DESTROY()
ON_MESSAGE(WM_DRIVER_NOTIFY, OnDriverNotify)
ON_MESSAGE(WM_CREATE_NEXT_PAGE, OnCreateNextPage)
ON_WM_DEVICECHANGE()
ON_WM_TIMER()
ON_MESSAGE(WM_SYSCOLORCHANGE, OnSystemChange)
ON_MESSAGE(WM_SETTINGCHANGE, OnSystemChange)
END_MESSAGE_MAP()

CKVX_USB_CPLView::CKVX_USB_CPLView() : CFormView(IDD_KVX_USB_CPL_FORM) {}

CKVX_USB_CPLView::~CKVX_USB_CPLView() = default;

void CKVX_USB_CPLView::DoDataExchange(CDataExchange* pDX)
{
    CFormView::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PAGE_TREE, m_PageTree);
}

void CKVX_USB_CPLView::OnInitialUpdate()
{
    CFormView::OnInitialUpdate();
    m_Connection.Attach(m_hWnd, WM_DRIVER_NOTIFY);
    m_SettingsPage.SetDropOutMonitor(&m_DropOuts);
    if (CFrameWnd* frame = GetParentFrame())
        frame->RecalcLayout();
    // Grown as well as shrunk: a default frame smaller than the form would cut the pages off.
    ResizeParentToFit(FALSE);
    if (!m_bFirstUpdate)
        return;
    CreatePages();
    ShowDriversAsioNameOption();
    HideAllPages();
    BuildTree();
    HideAllPages();
    m_bFirstUpdate = false;
    ShowPage(m_StartPage);
    ReportConnectionState();
    m_DropOuts.Attach(m_hWnd);
    DropOutsChanged();
}

void CKVX_USB_CPLView::ShowPage(CPageCode page)
{
    const TreeItem* entry = FindTreeItem(page);
    if (!entry)
        return;
    if (m_bFirstUpdate)
        m_StartPage = page;
    else
        m_PageTree.SelectItem(this->*entry->item);
}

std::array<CDialogPage*, 5> CKVX_USB_CPLView::Pages()
{
    return {&m_SettingsPage, &m_DevicesPage, &m_InputChannelsPage, &m_OutputChannelsPage,
            &m_SyncPage};
}

std::array<CDialogPage*, 5> CKVX_USB_CPLView::PagesInRefreshOrder()
{
    return {&m_DevicesPage, &m_InputChannelsPage, &m_OutputChannelsPage, &m_SettingsPage,
            &m_SyncPage};
}

void CKVX_USB_CPLView::CreatePages()
{
    // Only the page shown first is made before the window shows: each page reads the driver
    // as it is made, and making all five held up the start by most of its time.
    if (const TreeItem* entry = FindTreeItem(m_StartPage))
        CreatePage(entry->page(*this));
    KeepTreeLeftOfPages();
    PostMessage(WM_CREATE_NEXT_PAGE);
}

void CKVX_USB_CPLView::CreatePage(CDialogPage& page)
{
    if (page.m_hWnd)
        return;
    page.Create(this);
    page.SetWindowPos(nullptr, 0, 0, 0, 0,
                      SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    PlacePages(0);
    page.ShowWindow(SW_HIDE);
}

LRESULT CKVX_USB_CPLView::OnCreateNextPage(WPARAM, LPARAM)
{
    // One page per message, so that a click or a paint waits for one page at most. A window
    // hidden in the tray makes its pages when it is first shown, and reads nothing before.
    const auto pages = Pages();
    if (m_nPagesMade < pages.size() && IsSeenOnScreen()) {
        CreatePage(*pages[m_nPagesMade++]);
        PostMessage(WM_CREATE_NEXT_PAGE);
    }
    return 0;
}

void CKVX_USB_CPLView::PlacePages(UINT flags)
{
    const UINT dpi = GetLayoutDpi();
    for (CDialogPage* page : Pages())
        if (page->m_hWnd)
            page->SetWindowPos(nullptr, AfxScaleForDpi(kPageLeft, dpi),
                               AfxScaleForDpi(kPageTop, dpi), 0, 0,
                               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
}

void CKVX_USB_CPLView::KeepTreeLeftOfPages()
{
    const UINT dpi = GetLayoutDpi();
    const int pageLeft = AfxScaleForDpi(kPageLeft, dpi);
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    RECT rect;
    HWND separator = GetDlgItem(IDC_PAGE_SEPARATOR);
    const int separatorLeft = pageLeft - AfxScaleForDpi(kSeparatorGap, dpi);
    if (GetChildRect(separator, &rect) && rect.left > separatorLeft)
        ::SetWindowPos(separator, nullptr, separatorLeft, rect.top, 0, 0, flags | SWP_NOSIZE);
    const int treeRight = pageLeft - AfxScaleForDpi(kTreeGap, dpi);
    if (GetChildRect(m_PageTree.m_hWnd, &rect) && rect.right > treeRight)
        m_PageTree.SetWindowPos(nullptr, 0, 0, treeRight - rect.left, rect.bottom - rect.top,
                                flags | SWP_NOMOVE);
}

bool CKVX_USB_CPLView::GetChildRect(HWND child, RECT* rect) const
{
    if (!child || !::GetWindowRect(child, rect))
        return false;
    ::MapWindowPoints(HWND_DESKTOP, m_hWnd, reinterpret_cast<POINT*>(rect), 2);
    return true;
}

void CKVX_USB_CPLView::OnDpiLayout(UINT oldDpi, UINT newDpi)
{
    CFormView::OnDpiLayout(oldDpi, newDpi);
    PlacePages(0);
    KeepTreeLeftOfPages();
    if (!m_bFirstUpdate)
        LoadTreeImages(newDpi);
}

LRESULT CKVX_USB_CPLView::OnSystemChange(WPARAM wParam, LPARAM)
{
    // Its frame passes on what the system tells top-level windows.
    if (!m_bFirstUpdate && AfxIsColourChange(GetCurrentMessage()->message, wParam))
        LoadTreeImages(GetLayoutDpi());
    return Default();
}

void CKVX_USB_CPLView::LoadTreeImages(UINT dpi)
{
    // Each icon at the size drawn for this scale, not one size stretched by the list, and in
    // the user's colours: on the tree's window colour, in its text colour under high contrast.
    const int size = AfxScaleForDpi(kTreeIconSize, dpi);
    m_ImageList.Create(size, size, ILC_COLOR32 | ILC_MASK, 6, 1);
    // In their own colours the icons go in together where the resources hold this size: one
    // by one, they took a quarter of the start before the window showed.
    std::vector<UINT> colourIds;
    for (const auto& id : kTreeIcons)
        colourIds.push_back(id.colours);
    if (AfxUseOneColourIcons() || !m_ImageList.AddResourceIcons(AfxGetResourceHandle(), colourIds))
        for (const auto& id : kTreeIcons) {
            const CIconHandle icon(
                AfxLoadIconForColours(id.colours, id.oneColour, size, COLOR_WINDOWTEXT));
            m_ImageList.Add(icon.Get()); // the list keeps its own copy
        }
    m_PageTree.SetImageList(&m_ImageList, TVSIL_NORMAL);
}

void CKVX_USB_CPLView::BuildTree()
{
    LoadTreeImages(GetLayoutDpi());
    for (const TreeItem& entry : kTreeItems) {
        HTREEITEM item =
            m_PageTree.InsertItem(AfxLoadString(entry.caption).c_str(), entry.image, entry.image);
        m_PageTree.SetItemData(item, entry.code);
        this->*entry.item = item;
    }
}

void CKVX_USB_CPLView::HideAllPages()
{
    for (CDialogPage* page : Pages())
        page->ShowWindow(SW_HIDE);
}

void CKVX_USB_CPLView::OnSelChanged(NMHDR*, LRESULT* pResult)
{
    *pResult = 0;
    HideAllPages();
    const DWORD_PTR code = m_PageTree.GetItemData(m_PageTree.GetSelectedItem()) & kPageCodeMask;
    const TreeItem* entry = FindTreeItem(code);
    if (!entry)
        return;
    CDialogPage& page = entry->page(*this);
    CreatePage(page);
    page.ShowWindow(SW_SHOW);
    RefreshWhatIsSeen();
    if (IStatusHost* host = dynamic_cast<IStatusHost*>(GetParentFrame()))
        host->SetStatusText(AfxLoadString(entry->caption).c_str());
}

void CKVX_USB_CPLView::ReloadChannelPages()
{
    m_InputChannelsPage.MarkStale();
    m_OutputChannelsPage.MarkStale();
    RefreshWhatIsSeen();
}

void CKVX_USB_CPLView::RefreshAllPages()
{
    for (CDialogPage* page : PagesInRefreshOrder())
        RefreshPage(*page);
}

void CKVX_USB_CPLView::RefreshFromDriver(bool inSlices)
{
    for (CDialogPage* page : Pages())
        page->MarkStale();
    m_bAsioNameOptionStale = true;
    m_bDeviceCountStale = true;
    RefreshWhatIsSeen(inSlices);
}

CDialogPage* CKVX_USB_CPLView::ShownPage()
{
    for (CDialogPage* page : Pages())
        if (page->m_hWnd && (page->GetStyle() & WS_VISIBLE))
            return page;
    return nullptr;
}

bool CKVX_USB_CPLView::IsSeenOnScreen() const
{
    return m_hWnd && ::IsWindowVisible(m_hWnd) && !::IsIconic(::GetAncestor(m_hWnd, GA_ROOT));
}

void CKVX_USB_CPLView::RefreshWhatIsSeen(bool inSlices)
{
    if (m_bFirstUpdate)
        return;
    CDialogPage* page = IsSeenOnScreen() ? ShownPage() : nullptr;
    if (page && page->IsStale())
        RefreshPage(*page, inSlices);
    // One read of the device list, not the devices page's whole load. The tray icon shows
    // the count while the window is hidden.
    if (m_bDeviceCountStale)
        m_DevicesPage.RefreshDeviceCount();
    m_bDeviceCountStale = false;
    ReportConnectionState();
}

void CKVX_USB_CPLView::RefreshPage(CDialogPage& page, bool inSlices)
{
    if (IsChannelPage(page) && m_bAsioNameOptionStale)
        ShowDriversAsioNameOption();
    page.Refresh(inSlices);
    if (&page == &m_DevicesPage)
        m_bDeviceCountStale = false; // its refresh shows the count
}

bool CKVX_USB_CPLView::IsChannelPage(const CDialogPage& page) const
{
    return &page == &m_InputChannelsPage || &page == &m_OutputChannelsPage;
}

// The count is read before the new state is told, so that the tray tip never says "no
// device connected" between the two on a reconnect.
void CKVX_USB_CPLView::DriverStateChanged()
{
    RefreshFromDriver();
    ReportConnectionState();
}

void CKVX_USB_CPLView::ChangesReported()
{
    ReportConnectionState();
    // A storm of change records asks for refresh after refresh: the window answers in each.
    RefreshFromDriver(true);
}

bool CKVX_USB_CPLView::IsDriverAnswering() const
{
    return m_Connection.State() == CConnectionState::Connected;
}

void CKVX_USB_CPLView::DropOutsChanged()
{
    m_SettingsPage.ShowDropOuts();
    if (IStatusHost* host = dynamic_cast<IStatusHost*>(GetParentFrame()))
        host->SetDropOutTip(m_DropOuts.IsWatching() ? m_DropOuts.Watch().TipText() : "");
}

void CKVX_USB_CPLView::ShowDropOutBalloon(const std::string& text)
{
    if (IStatusHost* host = dynamic_cast<IStatusHost*>(GetParentFrame()))
        host->ShowDropOutBalloon(text);
}

void CKVX_USB_CPLView::ReportConnectionState()
{
    if (IStatusHost* host = dynamic_cast<IStatusHost*>(GetParentFrame()))
        host->SetConnectionState(m_Connection.State());
}

LRESULT CKVX_USB_CPLView::OnDriverNotify(WPARAM, LPARAM)
{
    m_Connection.OnNotice();
    return 0;
}

void CKVX_USB_CPLView::OnTimer(UINT_PTR nIDEvent)
{
    if (!m_Connection.OnTimer(nIDEvent) && !m_DropOuts.OnTimer(nIDEvent))
        CFormView::OnTimer(nIDEvent);
}

BOOL CKVX_USB_CPLView::OnDeviceChange(UINT nEventType, DWORD_PTR dwData)
{
    m_Connection.OnInterfaceBroadcast(
        nEventType, BroadcastInterfaceName(reinterpret_cast<const DEV_BROADCAST_HDR*>(dwData)));
    return TRUE;
}

void CKVX_USB_CPLView::ShowDriversAsioNameOption()
{
    const bool read = theDrv.GetAsioNameOption(&theDrv.m_AsioNameOption) == 0;
    ShowAsioNameOption(read ? (theDrv.m_AsioNameOption != 0 ? 1 : 0) : -1);
    m_bAsioNameOptionStale = !read;
}

void CKVX_USB_CPLView::ShowAsioNameOption(int checked)
{
    m_InputChannelsPage.ShowAsioNameOption(checked);
    m_OutputChannelsPage.ShowAsioNameOption(checked);
}

void CKVX_USB_CPLView::FollowScreenVisibility()
{
    for (CDialogPage* page : Pages())
        page->FollowScreenVisibility();
    PostMessage(WM_CREATE_NEXT_PAGE);
    RefreshWhatIsSeen();
}

void CKVX_USB_CPLView::OnDestroy()
{
    m_DropOuts.Detach();
    m_Connection.Detach();
    CFormView::OnDestroy();
}

CKVX_USB_CPLView* GetActiveSettingsView()
{
    CFrameWnd* frame = dynamic_cast<CFrameWnd*>(AfxGetMainWnd());
    return frame ? dynamic_cast<CKVX_USB_CPLView*>(frame->GetActiveView()) : nullptr;
}

IPageHost* GetPageHost()
{
    return GetActiveSettingsView();
}

IStatusHost* GetStatusHost()
{
    return dynamic_cast<IStatusHost*>(AfxGetMainWnd());
}
