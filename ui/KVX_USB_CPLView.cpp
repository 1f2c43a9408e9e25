#include "KVX_USB_CPLView.h"

#include "Drv.h"
#include "KVX_USB_CPL.h"
#include "MainFrm.h"
#include "resource.h"

namespace {

// Caption string, image-list position and page code of each tree item, in tree order.
struct TreeItem {
    UINT caption;
    int image;
    DWORD_PTR code;
    HTREEITEM CKVX_USB_CPLView::*item;
};

const TreeItem kTreeItems[] = {
    {IDS_PAGE_DEVICES, 1, 0x12000000, &CKVX_USB_CPLView::m_hDevicesItem},
    {IDS_PAGE_INPUT_CHANNELS, 3, 0x13000000, &CKVX_USB_CPLView::m_hInputChannelsItem},
    {IDS_PAGE_OUTPUT_CHANNELS, 3, 0x14000000, &CKVX_USB_CPLView::m_hOutputChannelsItem},
    {IDS_PAGE_SYNCHRONISATION, 5, 0x18000000, &CKVX_USB_CPLView::m_hSynchronisationItem},
    {IDS_PAGE_SETTINGS, 2, 0x11000000, &CKVX_USB_CPLView::m_hSettingsItem},
};

const UINT kTreeIcons[] = {IDI_INTERFACE, IDI_DEVICES, IDI_SETTINGS, IDI_JACK, IDI_XLR, IDI_CLOCK};

} // namespace

BEGIN_MESSAGE_MAP(CKVX_USB_CPLView, CFormView)
ON_NOTIFY(TVN_SELCHANGED, IDC_PAGE_TREE, OnSelChanged)
END_MESSAGE_MAP()

CKVX_USB_CPLView::CKVX_USB_CPLView() : CFormView(IDD_KVX_USB_CPL_FORM)
{
    // Without a driver the channel stays closed and the panel still comes up.
    theDrv.Open(KVX_USB_DEVICE_NAME);
}

CKVX_USB_CPLView::~CKVX_USB_CPLView()
{
    theDrv.Close();
}

void CKVX_USB_CPLView::DoDataExchange(CDataExchange* pDX)
{
    CFormView::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PAGE_TREE, m_PageTree);
}

void CKVX_USB_CPLView::OnInitialUpdate()
{
    CFormView::OnInitialUpdate();
    if (CFrameWnd* frame = GetParentFrame())
        frame->RecalcLayout();
    ResizeParentToFit();
    if (!m_bFirstUpdate)
        return;
    BuildTree();
    const CKVX_USB_CPLApp* app = static_cast<CKVX_USB_CPLApp*>(AfxGetApp());
    m_PageTree.SelectItem(app && app->m_bAsioPage ? m_hSettingsItem : m_hDevicesItem);
    m_bFirstUpdate = false;
}

void CKVX_USB_CPLView::BuildTree()
{
    m_ImageList.Create(16, 16, ILC_COLOR32 | ILC_MASK, 6, 1);
    for (UINT id : kTreeIcons) {
        HICON icon = static_cast<HICON>(::LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(id),
                                                     IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
        m_ImageList.Add(icon); // the list keeps its own copy
        ::DestroyIcon(icon);
    }
    m_PageTree.SetImageList(&m_ImageList, TVSIL_NORMAL);
    for (const TreeItem& entry : kTreeItems) {
        HTREEITEM item =
            m_PageTree.InsertItem(AfxLoadString(entry.caption).c_str(), entry.image, entry.image);
        m_PageTree.SetItemData(item, entry.code);
        this->*entry.item = item;
    }
}

void CKVX_USB_CPLView::OnSelChanged(NMHDR*, LRESULT* pResult)
{
    *pResult = 0;
    const DWORD_PTR code = m_PageTree.GetItemData(m_PageTree.GetSelectedItem()) & 0xFF000000;
    for (const TreeItem& entry : kTreeItems) {
        if (entry.code != code)
            continue;
        if (CMainFrame* frame = dynamic_cast<CMainFrame*>(GetParentFrame()))
            frame->SetStatusText(AfxLoadString(entry.caption).c_str());
        return;
    }
}
