// The pieces of the file dialogs that differ between platforms: showing the system's
// chooser and collecting the path it returns, and asking a question. cdialog.cpp handles
// the buffer, the scripted answers and the failure codes around them; cdialog_posix.cpp
// (zenity or kdialog) and cdialog_win32.cpp (the common dialogs, a message box) each define
// ShowNativeChooser and AskNativeQuestion.
#pragma once

#include <string>

#include "platform/cdialog.h"

// What the chooser answered: a path (UTF-8) with Dialog_None, or why there is none.
struct cdialog_choice {
    cdialog_failure failure = Dialog_Cancelled;
    std::string path;
};

// Shows the open (save false) or save chooser titled `title` with the double-zero-terminated
// `filter` list, owned by d.owner, and waits until it is closed.
cdialog_choice ShowNativeChooser(cdialog& d, bool save, const char* title, const char* filter);

// Asks `text` with the buttons `ok_label`, "Discard" (when `with_discard`) and "Cancel", owned
// by d.owner, and waits for the answer; closing the question is Cancel. Sets d.last_failure:
// Dialog_None, Dialog_Cancelled, or Dialog_Unavailable when it could not be shown.
cdialog_reply AskNativeQuestion(cdialog& d, const std::string& title, const std::string& text,
                                const std::string& ok_label, bool with_discard);
