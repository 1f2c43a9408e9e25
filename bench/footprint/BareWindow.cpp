// The floors of the footprint and start-up figures, with the panel's manifest (common
// controls 6): a window with a tree view and nothing else (bare_window.exe); and, built with
// KVX_PANEL_WINDOWS and the panel's resources (panel_windows.exe), the windows the panel
// shows at start made straight from its templates, with no driver and no framework: the menu,
// the form with its tree, the status bar and the devices page with two rows.
#include <windows.h>

#include <commctrl.h>

#ifdef KVX_PANEL_WINDOWS
#include <initializer_list>

#include "resource.h"
#endif

namespace {

#ifdef KVX_PANEL_WINDOWS
INT_PTR CALLBACK ChildDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

HWND ChildDialog(HINSTANCE instance, UINT id, HWND parent, int x, int y)
{
    HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(id), parent, ChildDialogProc, 0);
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
    return dialog;
}

void AddColumnsAndRows(HWND list)
{
    const char* const texts[2][2] = {{"Interface 1", "A1B2C3"}, {"Interface 2", "D4E5F6"}};
    for (int column = 0; column < 2; ++column) {
        LVCOLUMNA lvc = {};
        lvc.mask = LVCF_TEXT | LVCF_WIDTH;
        lvc.cx = 220;
        lvc.pszText = const_cast<char*>("Column");
        ListView_InsertColumn(list, column, &lvc);
    }
    for (int row = 0; row < 2; ++row) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = const_cast<char*>(texts[row][0]);
        ListView_InsertItem(list, &item);
        ListView_SetItemText(list, row, 1, const_cast<char*>(texts[row][1]));
    }
}

const DWORD kFrameStyle = WS_OVERLAPPEDWINDOW & ~(WS_THICKFRAME | WS_MAXIMIZEBOX);
const DWORD kControlClasses = ICC_WIN95_CLASSES;

HMENU FrameMenu(HINSTANCE instance)
{
    return LoadMenuA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME));
}

// What the panel makes before its window shows, and the frame sized to fit, as it does.
void MakeChildWindows(HINSTANCE instance, HWND frame)
{
    HICON icon = HICON(LoadImageA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, 0, 0, 0));
    SendMessageA(frame, WM_SETICON, ICON_BIG, LPARAM(icon));
    SendMessageA(frame, WM_SETICON, ICON_SMALL, LPARAM(icon));
    HWND status = CreateWindowA(STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, frame,
                                nullptr, instance, nullptr);
    const int panes[] = {200, -1};
    SendMessageA(status, SB_SETPARTS, 2, LPARAM(panes));
    HWND form = ChildDialog(instance, IDD_KVX_USB_CPL_FORM, frame, 0, 0);
    HWND tree = GetDlgItem(form, IDC_PAGE_TREE);
    for (const char* page : {"Devices", "Input Channels", "Output Channels", "Sync", "Settings"}) {
        TVINSERTSTRUCTA insert = {};
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT;
        insert.item.pszText = const_cast<char*>(page);
        TreeView_InsertItem(tree, &insert);
    }
    // Where the view puts its pages at 96 DPI, the bench's.
    HWND page = ChildDialog(instance, IDD_PAGE_DEVICES, form, 140, 2);
    AddColumnsAndRows(GetDlgItem(page, IDC_DEVICE_LIST));
    RECT formRect, statusRect, frameRect, client;
    GetWindowRect(form, &formRect);
    GetWindowRect(status, &statusRect);
    GetWindowRect(frame, &frameRect);
    GetClientRect(frame, &client);
    const int cx = formRect.right - formRect.left, cy = formRect.bottom - formRect.top;
    SetWindowPos(frame, nullptr, 0, 0, frameRect.right - frameRect.left + cx - client.right,
                 frameRect.bottom - frameRect.top + cy + statusRect.bottom - statusRect.top -
                     client.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageA(status, WM_SIZE, 0, 0); // along the bottom, as the frame's layout puts it
}
#else
const DWORD kFrameStyle = WS_OVERLAPPEDWINDOW;
const DWORD kControlClasses = ICC_TREEVIEW_CLASSES;

HMENU FrameMenu(HINSTANCE)
{
    return nullptr;
}

void MakeChildWindows(HINSTANCE instance, HWND frame)
{
    CreateWindowA(WC_TREEVIEWA, "", WS_CHILD | WS_VISIBLE | WS_BORDER | TVS_HASLINES, 8, 8, 200,
                  400, frame, nullptr, instance, nullptr);
}
#endif

LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, kControlClasses};
    InitCommonControlsEx(&controls);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = HBRUSH(COLOR_WINDOW + 1);
    windowClass.lpszClassName = "KvxBareWindow";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA("KvxBareWindow", "Bare window", kFrameStyle, CW_USEDEFAULT,
                                CW_USEDEFAULT, 640, 480, nullptr, FrameMenu(instance), instance,
                                nullptr);
    MakeChildWindows(instance, window);
    ShowWindow(window, show);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
