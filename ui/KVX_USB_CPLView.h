// The settings view on the form template: the page tree on the left and, from client
// x = 140, the area where the selected page appears. This first form opens the shared driver
// channel for its lifetime, builds the tree and follows its selection in the status bar; the
// pages themselves come with their own work.
#pragma once

#include "Afx.h"

class CKVX_USB_CPLView : public CFormView {
public:
    CKVX_USB_CPLView();
    ~CKVX_USB_CPLView() override;

    void OnInitialUpdate() override;
    void DoDataExchange(CDataExchange* pDX) override;

    CTreeCtrl m_PageTree;
    HTREEITEM m_hDevicesItem = nullptr;
    HTREEITEM m_hInputChannelsItem = nullptr;
    HTREEITEM m_hOutputChannelsItem = nullptr;
    HTREEITEM m_hSynchronisationItem = nullptr;
    HTREEITEM m_hSettingsItem = nullptr;

protected:
    void OnSelChanged(NMHDR* pNMHDR, LRESULT* pResult);

    DECLARE_MESSAGE_MAP()

private:
    void BuildTree();

    CImageList m_ImageList;
    bool m_bFirstUpdate = true;
};
