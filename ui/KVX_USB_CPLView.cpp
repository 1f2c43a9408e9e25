#include "KVX_USB_CPLView.h"

#include "Drv.h"
#include "ScopedHandle.h"
#include "StatusHost.h"
#include "resource.h"

#include <cstddef>

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
const UINT kTreeIcons[] = {IDI_INTERFACE, IDI_DEVICES, IDI_SETTINGS, IDI_JACK, IDI_XLR, IDI_CLOCK};

// Where every page sits in the view's client area, in pixels at 96 DPI.
const int kPageLeft = 140;
const int kPageTop = 2;
// The separator and the tree end this far left of the pages at most, in pixels at 96 DPI,
// where the form's template puts them. Its font does not grow in step with the DPI at every
// scale, and at some the template would reach under the pages.
const int kSeparatorGap = 6;
const int kTreeGap = 11;

// Names shorter than this are no interface path of the driver.
const size_t kMinimumInterfaceName = 5;

const UINT_PTR kDrainTimerId = 0x4B01;

// After an arrival that could not be connected (a driver still starting, a request that
// failed once), the connection is tried again this often, this many times. A driver that is
// open but whose notification could not start is tried this often until it holds.
const UINT_PTR kReconnectTimerId = 0x4B02;
const UINT kReconnectIntervalMs = 1000;
const int kReconnectTries = 5;

} // namespace

BEGIN_MESSAGE_MAP(CKVX_USB_CPLView, CFormView)
ON_NOTIFY(TVN_SELCHANGED, IDC_PAGE_TREE, OnSelChanged)
ON_WM_DESTROY()
ON_MESSAGE(WM_DRIVER_NOTIFY, OnDriverNotify)
ON_WM_DEVICECHANGE()
ON_WM_TIMER()
ON_MESSAGE(WM_DPICHANGED_AFTERPARENT, OnDpiChangedAfterParent)
END_MESSAGE_MAP()

CKVX_USB_CPLView::CKVX_USB_CPLView()
    : CFormView(IDD_KVX_USB_CPL_FORM), m_pszDeviceName(KVX_USB_DEVICE_NAME)
{
    // Without a driver the channel stays closed and the panel still comes up; an arrival
    // broadcast connects it later.
    theDrv.Open(m_pszDeviceName);
    // No window yet: the thread posts nothing until the first update gives it the view.
    if (theDrv.IsOpen() && !m_Notificator.IsRunning())
        StartNotification();
}

CKVX_USB_CPLView::~CKVX_USB_CPLView()
{
    theDrv.Close();
}

DWORD CKVX_USB_CPLView::StartNotification()
{
    m_Notificator.SetTarget(m_hWnd, WM_DRIVER_NOTIFY, 0, 0);
    return m_Notificator.Start(m_pszDeviceName);
}

bool CKVX_USB_CPLView::IsConnected() const
{
    return theDrv.IsOpen() && m_Notificator.IsRunning();
}

void CKVX_USB_CPLView::DoDataExchange(CDataExchange* pDX)
{
    CFormView::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PAGE_TREE, m_PageTree);
}

void CKVX_USB_CPLView::OnInitialUpdate()
{
    CFormView::OnInitialUpdate();
    RegisterDeviceInterfaceNotification();
    if (m_Notificator.IsRunning())
        m_Notificator.SetTarget(m_hWnd, WM_DRIVER_NOTIFY, 0, 0);
    else
        StartNotification();
    if (CFrameWnd* frame = GetParentFrame())
        frame->RecalcLayout();
    // Grown as well as shrunk: a default frame smaller than the form would cut the pages off.
    ResizeParentToFit(FALSE);
    ScheduleReconnectIfNeeded();
    if (!m_bFirstUpdate)
        return;
    CreatePages();
    ShowDriversAsioNameOption();
    HideAllPages();
    BuildTree();
    HideAllPages();
    m_bFirstUpdate = false;
    ShowPage(m_StartPage);
}

bool CKVX_USB_CPLView::RegisterDeviceInterfaceNotification()
{
    return m_DeviceNotification.Register(m_hWnd);
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
    m_nDpi = AfxGetWindowDpi(m_hWnd);
    for (CDialogPage* page : Pages())
        page->Create(this);
    PlacePages(SWP_SHOWWINDOW);
    KeepTreeLeftOfPages();
}

void CKVX_USB_CPLView::PlacePages(UINT flags)
{
    for (CDialogPage* page : Pages())
        if (page->m_hWnd)
            page->SetWindowPos(nullptr, AfxScaleForDpi(kPageLeft, m_nDpi),
                               AfxScaleForDpi(kPageTop, m_nDpi), 0, 0,
                               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
}

void CKVX_USB_CPLView::KeepTreeLeftOfPages()
{
    const int pageLeft = AfxScaleForDpi(kPageLeft, m_nDpi);
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    RECT rect;
    HWND separator = GetDlgItem(IDC_PAGE_SEPARATOR);
    const int separatorLeft = pageLeft - AfxScaleForDpi(kSeparatorGap, m_nDpi);
    if (GetChildRect(separator, &rect) && rect.left > separatorLeft)
        ::SetWindowPos(separator, nullptr, separatorLeft, rect.top, 0, 0, flags | SWP_NOSIZE);
    const int treeRight = pageLeft - AfxScaleForDpi(kTreeGap, m_nDpi);
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

void CKVX_USB_CPLView::RescaleForDpi(UINT dpi)
{
    if (m_bFirstUpdate)
        return;
    const UINT oldDpi = m_nDpi;
    m_nDpi = dpi;
    // The window keeps the place the system gave it, at the size of the form, as when made.
    ResizeParentToFit(FALSE);
    PlacePages(0);
    KeepTreeLeftOfPages();
    if (dpi == oldDpi)
        return;
    LoadTreeImages(dpi);
    for (CDialogPage* page : Pages())
        page->RescaleForDpi(oldDpi, dpi);
}

LRESULT CKVX_USB_CPLView::OnDpiChangedAfterParent(WPARAM, LPARAM)
{
    // Windows tells the children after their frame, which has laid out the form and the pages
    // at the new DPI already (the system's own rescaling is off for them): the lengths given
    // in pixels are placed exactly again.
    RescaleForDpi(AfxGetWindowDpi(m_hWnd));
    return 0;
}

void CKVX_USB_CPLView::LoadTreeImages(UINT dpi)
{
    // Each icon at the size drawn for this scale, not one size stretched by the list.
    const int size = AfxScaleForDpi(kTreeIconSize, dpi);
    m_ImageList.Create(size, size, ILC_COLOR, 6, 1);
    for (UINT id : kTreeIcons) {
        const CIconHandle icon(
            static_cast<HICON>(::LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(id),
                                            IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
        m_ImageList.Add(icon.Get()); // the list keeps its own copy
    }
    m_PageTree.SetImageList(&m_ImageList, TVSIL_NORMAL);
}

void CKVX_USB_CPLView::BuildTree()
{
    LoadTreeImages(m_nDpi);
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
    entry->page(*this).ShowWindow(SW_SHOW);
    if (IStatusHost* host = dynamic_cast<IStatusHost*>(GetParentFrame()))
        host->SetStatusText(AfxLoadString(entry->caption).c_str());
}

void CKVX_USB_CPLView::ReloadChannelPages()
{
    m_InputChannelsPage.Refresh();
    m_OutputChannelsPage.Refresh();
}

void CKVX_USB_CPLView::RefreshAllPages()
{
    for (CDialogPage* page : PagesInRefreshOrder())
        page->Refresh();
}

LRESULT CKVX_USB_CPLView::OnDriverNotify(WPARAM, LPARAM)
{
    m_Drain.OnNotice();
    return 0;
}

bool CKVX_USB_CPLView::SettleChanges()
{
    // A batch or refresh that waits for its timer is left to it: the pacing stays as it is.
    if (!m_Drain.IsIdle())
        return false;
    m_Drain.OnNotice();
    return m_Drain.IsSettled();
}

void CKVX_USB_CPLView::RefreshForChanges()
{
    ShowDriversAsioNameOption();
    RefreshAllPages();
}

bool CKVX_USB_CPLView::TakeChangeRecord(_KVX_USB_NOTIFICATION* record)
{
    return m_Notificator.GetNotification(record) == 0;
}

bool CKVX_USB_CPLView::ScheduleDrain(UINT ms)
{
    return SetTimer(kDrainTimerId, ms) != 0;
}

void CKVX_USB_CPLView::CancelDrain()
{
    KillTimer(kDrainTimerId);
}

void CKVX_USB_CPLView::PostNotice()
{
    PostMessage(WM_DRIVER_NOTIFY);
}

void CKVX_USB_CPLView::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == kDrainTimerId)
        m_Drain.Drain();
    else if (nIDEvent == kReconnectTimerId)
        RetryConnection();
    else
        CFormView::OnTimer(nIDEvent);
}

void CKVX_USB_CPLView::ScheduleReconnectIfNeeded()
{
    if (!IsConnected() && (theDrv.IsOpen() || m_nReconnectTriesLeft > 0))
        SetTimer(kReconnectTimerId, kReconnectIntervalMs);
}

void CKVX_USB_CPLView::RetryConnection()
{
    KillTimer(kReconnectTimerId);
    if (IsConnected())
        return;
    if (theDrv.IsOpen()) {
        // Changes may have gone unheard meanwhile: the pages read everything again.
        m_Notificator.Stop();
        if (StartNotification() == 0)
            RefreshAllPages();
    } else if (m_nReconnectTriesLeft > 0) {
        --m_nReconnectTriesLeft;
        ReconnectDriver();
    }
    ScheduleReconnectIfNeeded();
}

std::string BroadcastInterfaceName(const DEV_BROADCAST_HDR* record)
{
    const size_t nameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name);
    static_assert(nameOffset == 28, "the name follows size, type, reserved word and class");
    if (!record || record->dbch_size <= nameOffset)
        return std::string();
    const char* name = reinterpret_cast<const char*>(record) + nameOffset;
    const size_t room = record->dbch_size - nameOffset;
    size_t length = 0;
    while (length < room && name[length] != '\0')
        ++length;
    return std::string(name, length);
}

BOOL CKVX_USB_CPLView::OnDeviceChange(UINT nEventType, DWORD_PTR dwData)
{
    // The registration filter lets only the driver's interface class through.
    const std::string name =
        BroadcastInterfaceName(reinterpret_cast<const DEV_BROADCAST_HDR*>(dwData));
    if (name.size() < kMinimumInterfaceName ||
        (nEventType != DBT_DEVICEARRIVAL && nEventType != DBT_DEVICEREMOVECOMPLETE))
        return TRUE;
    // A new broadcast ends the retries of the one before.
    KillTimer(kReconnectTimerId);
    m_nReconnectTriesLeft = 0;
    // Something arrived, yet the driver could not be reached: try again a few times.
    if (ReconnectDriver() != 0 && nEventType == DBT_DEVICEARRIVAL && !theDrv.IsOpen())
        m_nReconnectTriesLeft = kReconnectTries;
    ScheduleReconnectIfNeeded();
    return TRUE;
}

DWORD CKVX_USB_CPLView::ReconnectDriver()
{
    if (theDrv.IsOpen())
        theDrv.Close();
    DWORD status = theDrv.Open(m_pszDeviceName);
    // The notification's channel and event registration belong to the driver instance that
    // was there when it started. A driver that was unloaded and loaded again knows nothing of
    // them, and one that is gone took them along: the notification starts anew with every
    // reopen, and stops when there is nothing to open.
    m_Notificator.Stop();
    if (status == 0) {
        status = StartNotification();
        ShowDriversAsioNameOption();
    }
    RefreshAllPages();
    return status;
}

void CKVX_USB_CPLView::ShowDriversAsioNameOption()
{
    if (theDrv.GetAsioNameOption(&theDrv.m_AsioNameOption) == 0)
        ShowAsioNameOption(theDrv.m_AsioNameOption != 0 ? 1 : 0);
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
}

void CKVX_USB_CPLView::OnDestroy()
{
    m_Drain.Cancel();
    KillTimer(kReconnectTimerId);
    m_Notificator.Stop();
    m_Notificator.SetTarget(nullptr, 0, 0, 0);
    m_DeviceNotification.Unregister();
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
