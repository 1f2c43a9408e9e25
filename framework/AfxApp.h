// The application object, its message loop, and global helpers.
//
//     class CMyApp : public CWinApp {
//     public:
//         BOOL InitInstance() override
//         {
//             m_nCmdShow = SW_SHOW;                        // the first activation uses it
//             AddDocTemplate(new CSingleDocTemplate(...)); // see AfxDocView.h
//             CCommandLineInfo cmdInfo;
//             if (!ProcessShellCommand(cmdInfo))           // document, frame and view
//                 return FALSE;
//             m_pMainWnd->UpdateWindow();
//             return TRUE;                                 // TRUE: Run() the message loop
//         }
//         DECLARE_MESSAGE_MAP()                            // optional: app commands
//     };
//     CMyApp theApp;
//
//     // in one .cpp of the program (GUI subsystem):
//     int WINAPI WinMain(HINSTANCE hInst, HINSTANCE hPrev, LPSTR lpCmdLine, int nCmdShow)
//     {
//         return AfxWinMain(hInst, hPrev, lpCmdLine, nCmdShow);
//     }
//
// AfxWinMain initialises the common controls, fills m_hInstance, m_lpCmdLine (the arguments
// after the program path), m_nCmdShow and m_pszAppName (string AFX_IDS_APP_TITLE unless the
// constructor was given a name), calls InitInstance, then Run() or, when InitInstance
// returns FALSE, ExitInstance(). Run() pumps messages until WM_QUIT (posted when the main
// window is destroyed): each message first goes to PreTranslateMessage (the message filters
// of modeless dialogs, newest first, then the main window's keyboard navigation); when the
// queue is empty OnIdle runs (the frame's "Ready" text).
//
// Commands the frame does not handle reach the application's map: ID_APP_EXIT sends WM_CLOSE
// to the main window; ID_FILE_NEW creates a new document through the template.
#pragma once

#include "AfxDocView.h"

#include <memory>
#include <string>
#include <vector>

class CCommandLineInfo {
public:
    enum { FileNew, FileNothing } m_nShellCommand = FileNew;
};

class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance() { return TRUE; }
    virtual int Run();
    virtual BOOL OnIdle(LONG lCount); // return TRUE for more idle calls
    virtual int ExitInstance();       // returns the process exit code
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    // One message: false on WM_QUIT.
    bool PumpMessage();

    void AddDocTemplate(CSingleDocTemplate* pTemplate); // takes ownership
    CSingleDocTemplate* GetDocTemplate() const { return m_pDocTemplate.get(); }
    BOOL ProcessShellCommand(CCommandLineInfo& rCmdInfo);
    void OnFileNew();
    void OnAppExit();

    // Modeless dialogs register while their window exists (CDialog does it itself).
    void AddMessageFilter(CWnd* pFilter);
    void RemoveMessageFilter(CWnd* pFilter);

    HINSTANCE m_hInstance = nullptr;
    LPSTR m_lpCmdLine = nullptr;
    int m_nCmdShow = SW_SHOWNORMAL; // -1 once the main frame has been shown with it
    CWnd* m_pMainWnd = nullptr;
    LPCSTR m_pszAppName = nullptr;
    int m_nExitCode = 0; // wParam of WM_QUIT

private:
    MSG m_msgCur = {};
    std::unique_ptr<CSingleDocTemplate> m_pDocTemplate;
    std::vector<CWnd*> m_filters;
    std::string m_strAppName;
    friend bool AfxWinInit(HINSTANCE, HINSTANCE, LPSTR, int);

    DECLARE_MESSAGE_MAP()
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetResourceHandle(); // the application's module, else this executable's

// Everything of AfxWinMain before InitInstance (tests call it to set up a CWinApp).
bool AfxWinInit(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);

// The string nID of the string table, any length; empty when there is none.
std::string AfxLoadString(UINT nID);
// Message box over the main window, captioned with the application name.
int AfxMessageBox(LPCSTR lpszText, UINT nType = MB_OK);
int AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK);
