// The control panel's entry point and its two process-wide objects. They are defined here,
// in this order, so that the device model is constructed after the application object and
// destroyed before it.
#include "Drv.h"
#include "KVX_USB_CPL.h"

CKVX_USB_CPLApp theApp;
CDrv theDrv;

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow)
{
    return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}
