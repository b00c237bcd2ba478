// The Windows chooser: the common open and save dialogs (wide-character versions, so
// folder and file names outside the ANSI code page come back intact as UTF-8).
#include "platform/cdialog_native.h"

#include <windows.h>
#include <commdlg.h>
#include <cderr.h>

#include <cstdint>
#include <vector>

#include "platform/win32_text.h"

namespace {

// The filter list in the dialog's form: UTF-16 strings, each ended by a zero, the list by
// one more. Patterns are joined by ';' as the dialog expects.
std::wstring WideFilterList(const std::vector<cdialog_filter>& filters) {
    std::wstring list;
    for (const cdialog_filter& f : filters) {
        if (f.patterns.empty()) continue;
        std::string patterns;
        for (const std::string& p : f.patterns) {
            if (!patterns.empty()) patterns += ';';
            patterns += p;
        }
        list += morva::WidenUtf8(f.description);
        list += L'\0';
        list += morva::WidenUtf8(patterns);
        list += L'\0';
    }
    list += L'\0';
    return list;
}

// The extension the save dialog adds to a name typed without one: that of the first
// pattern when it is a plain "*.EXT" ("*.PRJ" gives "PRJ"); otherwise none.
std::wstring DefaultExtension(const std::vector<cdialog_filter>& filters) {
    if (filters.empty() || filters[0].patterns.empty()) return std::wstring();
    const std::string& p = filters[0].patterns[0];
    if (p.size() < 3 || p.compare(0, 2, "*.") != 0) return std::wstring();
    const std::string ext = p.substr(2);
    if (ext.find_first_of("*?.") != std::string::npos) return std::wstring();
    return morva::WidenUtf8(ext);
}

// The user's home folder, where both dialogs start.
std::wstring HomeFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD n = ExpandEnvironmentStringsW(L"%USERPROFILE%", buffer, MAX_PATH + 1);
    if (n == 0 || n > MAX_PATH + 1 || buffer[0] == L'%') return std::wstring();
    return buffer;
}

std::wstring CurrentFolder() {
    const DWORD n = GetCurrentDirectoryW(0, nullptr);
    if (n == 0) return std::wstring();
    std::wstring dir(n, L'\0');
    const DWORD got = GetCurrentDirectoryW(n, &dir[0]);
    dir.resize(got < n ? got : 0);
    return dir;
}

}  // namespace

cdialog_choice ShowNativeChooser(cdialog& d, bool save, const char* title, const char* filter) {
    cdialog_choice choice;
    const std::vector<cdialog_filter> filters = ParseDialogFilter(filter);
    const std::wstring filter_list = WideFilterList(filters);
    const std::wstring wide_title = morva::WidenUtf8(title ? title : "");
    const std::wstring home = HomeFolder();
    const std::wstring extension = save ? DefaultExtension(filters) : std::wstring();
    std::vector<wchar_t> file(kDialogPathBufferSize, L'\0');

    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = d.owner ? HWND(uintptr_t(morva::GetNativeWindowId(d.owner))) : nullptr;
    ofn.lpstrFilter = filter_list.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = DWORD(file.size());
    ofn.lpstrInitialDir = home.empty() ? nullptr : home.c_str();
    ofn.lpstrTitle = wide_title.c_str();
    ofn.lpstrDefExt = extension.c_str();
    // Opening needs an existing file; saving takes a new name and asks before replacing.
    ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_DONTADDTORECENT | OFN_NOCHANGEDIR;
    ofn.Flags |= save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST;

    // The editor reads its assets relative to the working folder, which the open dialog may
    // move while the user browses.
    const std::wstring working = CurrentFolder();
    const BOOL confirmed = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    const DWORD failure = confirmed ? 0 : CommDlgExtendedError();
    if (!working.empty()) SetCurrentDirectoryW(working.c_str());

    if (!confirmed) {
        if (failure == FNERR_BUFFERTOOSMALL) {
            choice.failure = Dialog_PathTooLong;
        } else {
            choice.failure = failure == 0 ? Dialog_Cancelled : Dialog_Unavailable;
        }
        return choice;
    }
    choice.path = morva::NarrowToUtf8(file.data());
    choice.failure = choice.path.empty() ? Dialog_Cancelled : Dialog_None;
    return choice;
}

// The system's message box: its buttons are Yes / No / Cancel (OK / Cancel for a question
// without Discard), so the text names what each one does.
cdialog_reply AskNativeQuestion(cdialog& d, const std::string& title, const std::string& text,
                                const std::string& ok_label, bool with_discard) {
    const std::string hint = with_discard ? "\n\nYes: " + ok_label + "    No: Discard    Cancel: keep working"
                                          : "\n\nOK: " + ok_label + "    Cancel: keep working";
    const HWND owner = d.owner ? HWND(uintptr_t(morva::GetNativeWindowId(d.owner))) : nullptr;
    const UINT style = (with_discard ? MB_YESNOCANCEL : MB_OKCANCEL) | MB_ICONWARNING | MB_TASKMODAL;
    const int pressed = MessageBoxW(owner, morva::WidenUtf8(text + hint).c_str(), morva::WidenUtf8(title).c_str(), style);
    if (pressed == 0) {
        d.last_failure = Dialog_Unavailable;
        return Reply_Cancel;
    }
    const cdialog_reply reply = (pressed == IDYES || pressed == IDOK) ? Reply_Save
                                : pressed == IDNO                     ? Reply_Discard
                                                                      : Reply_Cancel;
    d.last_failure = reply == Reply_Cancel ? Dialog_Cancelled : Dialog_None;
    return reply;
}
