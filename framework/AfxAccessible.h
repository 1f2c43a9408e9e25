// What a screen reader hears of a control (MSAA, which UI Automation also reads).
//
// A control's name comes from its own text (buttons, check boxes) or from the static text
// just before it in the tab order (lists, trees, sliders, combo boxes, edit fields), so a
// template puts each label, visible, right before its control. A control whose name or value
// must differ from what the standard proxy says gets an accessible object of its own:
//
//     m_SliderAccessible.Attach(m_Slider.m_hWnd);            // in OnInitDialog; named by its label
//     m_SliderAccessible.SetValue("5.0 ms, 240 samples");    // raises the value-change event
//     m_ApplyAccessible.Attach(GetDlgItem(IDC_APPLY), "Apply sampling rate");
//
// The object answers WM_GETOBJECT for the control's client area and takes everything but its
// name and value from the standard proxy (CreateStdAccessibleObject). It lives while the
// window or its owner holds it, so a screen reader may keep it past either.
#pragma once

#include <windows.h>

#include <string>

class CAccessibleControl {
public:
    CAccessibleControl() = default;
    ~CAccessibleControl();
    CAccessibleControl(const CAccessibleControl&) = delete;
    CAccessibleControl& operator=(const CAccessibleControl&) = delete;

    // Answers for hWnd from now on, until the window is destroyed. Without a name of its own
    // the control is named by its label; without a value it has the standard proxy's.
    bool Attach(HWND hWnd, const std::string& name = std::string());
    // A new value is announced (EVENT_OBJECT_VALUECHANGE); the same value again is not.
    void SetValue(const std::string& value);

    // Every child of the dialog without a text of its own (tree, list, slider, combo box,
    // edit field) is named by its label without "&" and ":", as the label reads, where the
    // standard proxies would speak the colon or, on some systems, find no label. The windows
    // keep these objects; the dialogs do this when they are made.
    static void NameByLabels(HWND hWndDialog);

private:
    class Object;
    static Object* AttachObject(HWND hWnd, const std::string& name);
    Object* m_pObject = nullptr;
};

// The name a static label gives the control it precedes: the text of the static text control
// found walking back in the tab order (GW_HWNDPREV), the search ending at a control that is a
// tab stop or starts a group; without "&" and the closing ":". Empty when there is none, or
// when that label is hidden.
std::string AfxAccessibleLabel(HWND hWnd);
// A label's text as a name: "&Sampling rate:" is "Sampling rate".
std::string AfxNameOfLabelText(std::string text);
