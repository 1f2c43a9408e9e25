// What a page may ask of the view that holds it, for what one page changes that other pages
// show. The settings view implements it; no page knows the view itself.
#pragma once

class IPageHost {
public:
    // Device names or ranking changed: the channel pages show their channels anew, each as
    // it is next seen.
    virtual void ReloadChannelPages() = 0;
    // Both channel pages show the display-name option alike, as checked (1) or not (0), or
    // as not read (-1).
    virtual void ShowAsioNameOption(int checked) = 0;
    // Both channel pages show the driver's display-name option, read again now.
    virtual void ShowDriversAsioNameOption() = 0;

protected:
    ~IPageHost() = default;
};

// The page host of the application's main window, or null when there is none.
IPageHost* GetPageHost();
