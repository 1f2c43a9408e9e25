// Answers the modal windows this thread opens while it lives, from a timer, as a user would:
// a name dialog gets the name given (or is left as it is) and OK; a message box is read and
// closed with OK. What was seen is kept for the test.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "resource.h"

class ModalAnswers {
public:
    ModalAnswers()
    {
        s_current = this;
        m_timer = SetTimer(nullptr, 0, 10, &ModalAnswers::OnTimer);
    }
    ~ModalAnswers()
    {
        KillTimer(nullptr, m_timer);
        s_current = nullptr;
    }
    ModalAnswers(const ModalAnswers&) = delete;
    ModalAnswers& operator=(const ModalAnswers&) = delete;

    // Typed into the next name dialog; without it the dialog's text is left as shown.
    void TypeName(const std::string& name)
    {
        m_name = name;
        m_type = true;
    }

    std::vector<std::string> boxes; // each message box's text, in order
    std::string shownName;          // what the name dialog showed, when one opened
    bool nameDialog = false;

    std::string Boxes() const
    {
        std::string all;
        for (const std::string& box : boxes)
            all += (all.empty() ? "" : " | ") + box;
        return all;
    }

private:
    static BOOL CALLBACK FindDialog(HWND w, LPARAM found)
    {
        char cls[16] = "";
        GetClassNameA(w, cls, sizeof cls);
        if (std::string(cls) == "#32770" && IsWindowVisible(w))
            *reinterpret_cast<HWND*>(found) = w;
        return TRUE;
    }
    static BOOL CALLBACK BoxText(HWND child, LPARAM text)
    {
        char cls[16] = "", line[512] = "";
        GetClassNameA(child, cls, sizeof cls);
        GetWindowTextA(child, line, sizeof line);
        const LONG style = GetWindowLongA(child, GWL_STYLE);
        if (lstrcmpiA(cls, "Static") == 0 && (style & SS_TYPEMASK) != SS_ICON && line[0])
            *reinterpret_cast<std::string*>(text) = line;
        return TRUE;
    }
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD)
    {
        ModalAnswers* self = s_current;
        HWND dialog = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
        if (!self || dialog == self->m_answered)
            return;
        self->m_answered = dialog;
        if (!dialog)
            return;
        if (HWND edit = GetDlgItem(dialog, IDC_NAME_EDIT)) {
            char text[256] = "";
            GetWindowTextA(edit, text, sizeof text);
            self->shownName = text;
            self->nameDialog = true;
            if (self->m_type)
                SetWindowTextA(edit, self->m_name.c_str());
        } else {
            std::string text;
            EnumChildWindows(dialog, BoxText, reinterpret_cast<LPARAM>(&text));
            self->boxes.push_back(text);
        }
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    }

    static inline ModalAnswers* s_current = nullptr;
    std::string m_name;
    bool m_type = false;
    UINT_PTR m_timer = 0;
    HWND m_answered = nullptr;
};
