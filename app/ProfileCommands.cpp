#include "ProfileCommands.h"

#include <commdlg.h>

#include <algorithm>
#include <cstring>

#include "Afx.h"
#include "Drv.h"
#include "KvxUsbStatus.h"
#include "KvxVersion.h"
#include "ProfileApply.h"
#include "ProfileDlg.h"
#include "ProfileFile.h"
#include "ProfileRead.h"
#include "SystemLibrary.h"

namespace {

const char kRecentValue[] = "Recent Profiles";

// Where a path's file name starts: after its last separator.
size_t NameStart(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? 0 : slash + 1;
}

std::string FileName(const std::string& path)
{
    return path.substr(NameStart(path));
}

// Menu text: "&1 mixing.kvxsettings", with any "&" of the name shown as itself. The tenth
// is "1&0", as Windows numbers a tenth recent file: its key 0 is no other item's.
std::string RecentItemText(size_t index, const std::string& path)
{
    std::string name;
    for (char c : FileName(path))
        name += c == '&' ? std::string("&&") : std::string(1, c);
    std::string number = std::to_string(index + 1);
    number.insert(number.size() - 1, "&");
    return number + " " + name;
}

// Whether a failed look at a recent file means it is gone for good: only "file not found" in
// a folder that can be seen. A share or drive that cannot be reached now (path not found,
// network errors, access denied) may come back, and the file with it.
bool IsGoneForGood(const std::string& path, DWORD error)
{
    if (error != ERROR_FILE_NOT_FOUND)
        return false;
    const std::string folder = NameStart(path) ? path.substr(0, NameStart(path)) : ".";
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// More notes than this are counted in the message box and listed whole on request.
const size_t kNotesInMessageBox = 5;

std::string NoteLines(const std::vector<std::string>& notes, size_t count)
{
    std::string lines;
    for (size_t i = 0; i < count && i < notes.size(); ++i)
        lines += notes[i] + "\n";
    return lines;
}

} // namespace

// ---- recent files ----

CProfileRecentList::CProfileRecentList(const char* registryKey) : m_Key(registryKey) {}

std::vector<std::string> CProfileRecentList::Files() const
{
    std::vector<std::string> files;
    char buffer[KVX_MAX_RECENT_PROFILES * (MAX_PATH + 1) + 1] = "";
    DWORD size = sizeof buffer - 1, type = 0;
    if (RegGetValueA(HKEY_CURRENT_USER, m_Key.c_str(), kRecentValue, RRF_RT_REG_MULTI_SZ, &type,
                     buffer, &size) != ERROR_SUCCESS)
        return files;
    // A list of zero-terminated texts ending with an empty one; bounded by what was read.
    for (const char* at = buffer;
         at < buffer + size && *at && files.size() < KVX_MAX_RECENT_PROFILES;
         at += std::strlen(at) + 1)
        files.push_back(at);
    return files;
}

void CProfileRecentList::Add(const std::string& path)
{
    std::vector<std::string> files = Files();
    files.erase(std::remove(files.begin(), files.end(), path), files.end());
    files.insert(files.begin(), path);
    if (files.size() > KVX_MAX_RECENT_PROFILES)
        files.resize(KVX_MAX_RECENT_PROFILES);
    Store(files);
}

void CProfileRecentList::Remove(const std::string& path)
{
    std::vector<std::string> files = Files();
    files.erase(std::remove(files.begin(), files.end(), path), files.end());
    Store(files);
}

void CProfileRecentList::Store(const std::vector<std::string>& files)
{
    std::string list;
    for (const std::string& file : files)
        list += file.substr(0, MAX_PATH) + '\0';
    list += '\0';
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, m_Key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, kRecentValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(list.data()),
                   DWORD(list.size()));
    RegCloseKey(key);
}

// ---- commands ----

CProfileCommands::CProfileCommands(HWND owner, CDrv& driver, const char* registryKey)
    : m_Recent(registryKey), m_Owner(owner), m_Driver(driver)
{
}

bool CProfileCommands::ChooseFile(bool save, std::string& path) const
{
    std::string filter = AfxLoadString(IDS_PROFILE_FILTER);
    std::replace(filter.begin(), filter.end(), '|', '\0');
    const std::string extension = AfxLoadString(IDS_PROFILE_EXTENSION);
    char file[MAX_PATH] = "";
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = m_Owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = file;
    dialog.nMaxFile = sizeof file;
    dialog.lpstrDefExt = extension.c_str();
    dialog.Flags =
        OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    typedef BOOL(WINAPI * FileDialogFn)(OPENFILENAMEA*);
    const FileDialogFn show = SystemLibraryFunction<FileDialogFn>(
        "comdlg32.dll", save ? "GetSaveFileNameA" : "GetOpenFileNameA");
    if (!show || !show(&dialog))
        return false;
    path = file;
    return true;
}

int CProfileCommands::Tell(UINT format, const std::string& detail, UINT icon) const
{
    std::string text = AfxLoadString(format);
    const size_t at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, detail);
    // A caption of its own: another start looks for the main window by its title.
    return ::MessageBoxA(m_Owner, text.c_str(), AfxLoadString(IDS_PROFILE_BOX_CAPTION).c_str(),
                         MB_OK | icon);
}

bool CProfileCommands::SaveSettings()
{
    std::string path;
    return ChooseFile(true, path) && SaveFile(path);
}

bool CProfileCommands::LoadSettings()
{
    std::string path;
    return ChooseFile(false, path) && LoadFile(path, false);
}

bool CProfileCommands::SaveFile(const std::string& path)
{
    // Refused before the file is touched, by the rule kvxuctl save follows too.
    CProfileToSave save = ReadProfileToSave(m_Driver);
    if (save.refusal != 0) {
        Tell(IDS_PROFILE_NOTHING_TO_SAVE, save.reason, MB_ICONERROR);
        return false;
    }
    save.profile.information.tool = "kvxucpl " KVX_VERSION_TEXT;
    std::string error;
    if (!SaveProfileFile(path, save.profile, error)) {
        Tell(IDS_PROFILE_SAVE_FAILED, error, MB_ICONERROR);
        return false;
    }
    m_Recent.Add(path);
    TellNotRead(save.notes);
    return true;
}

void CProfileCommands::TellNotRead(const std::vector<std::string>& notes) const
{
    if (notes.size() <= kNotesInMessageBox) {
        if (!notes.empty())
            Tell(IDS_PROFILE_NOT_READ, NoteLines(notes, notes.size()), MB_ICONWARNING);
        return;
    }
    // A few, and the count; the whole list on request.
    const std::string summary = NoteLines(notes, kNotesInMessageBox) + "... and " +
                                std::to_string(notes.size() - kNotesInMessageBox) + " more, " +
                                std::to_string(notes.size()) + " in all.";
    if (Tell(IDS_PROFILE_NOT_READ_MANY, summary, MB_ICONWARNING | MB_YESNO) == IDYES) {
        CProfileNotesDlg dialog(notes, nullptr);
        dialog.DoModal();
    }
}

bool CProfileCommands::LoadFile(const std::string& path, bool quietly)
{
    CProfile profile;
    std::string error;
    if (!LoadProfileFile(path, profile, error)) {
        Tell(IDS_PROFILE_INVALID, error, MB_ICONERROR);
        return false;
    }
    m_Recent.Add(path);
    if (!quietly) {
        const CProfilePlan plan = LoadProfile(m_Driver, profile, CLoadOptions(), true);
        CProfileDlg dialog(plan.results, CProfileDlg::PLAN, nullptr);
        if (dialog.DoModal() != IDOK)
            return false;
    }
    // Planned again: the driver may have changed while the plan was shown.
    const CProfilePlan plan = LoadProfile(m_Driver, profile, CLoadOptions(), false);
    if (!quietly || !AllApplied(plan.results)) {
        CProfileDlg dialog(plan.results, CProfileDlg::RESULTS, nullptr);
        dialog.DoModal();
    }
    return true;
}

void CProfileCommands::LoadRecent(size_t index)
{
    const std::vector<std::string> files = m_Recent.Files();
    if (index >= files.size())
        return;
    if (GetFileAttributesA(files[index].c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (IsGoneForGood(files[index], GetLastError())) {
            m_Recent.Remove(files[index]);
            Tell(IDS_PROFILE_GONE, files[index], MB_ICONWARNING);
        } else {
            Tell(IDS_PROFILE_UNREACHABLE, files[index], MB_ICONWARNING);
        }
        return;
    }
    LoadFile(files[index], true);
}

HMENU CProfileCommands::CreateTrayMenu() const
{
    HMENU resource = ::LoadMenuA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_PROFILEMENU));
    if (!resource)
        return nullptr;
    // The pop-up alone, taken out of its bar so that it outlives it.
    HMENU menu = ::GetSubMenu(resource, 0);
    ::RemoveMenu(resource, 0, MF_BYPOSITION);
    ::DestroyMenu(resource);
    const std::vector<std::string> files = m_Recent.Files();
    for (size_t i = 0; i < files.size(); ++i)
        ::InsertMenuA(menu, UINT(i), MF_BYPOSITION | MF_STRING, ID_PROFILE_RECENT_FIRST + i,
                      RecentItemText(i, files[i]).c_str());
    if (!files.empty())
        ::InsertMenuA(menu, UINT(files.size()), MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    return menu;
}
