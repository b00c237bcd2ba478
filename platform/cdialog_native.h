// The one piece of the file dialogs that differs between platforms: showing the system's
// chooser and collecting the path it returns. cdialog.cpp handles the buffer, the scripted
// answers and the failure codes around it; cdialog_posix.cpp (zenity or kdialog) and
// cdialog_win32.cpp (the common dialogs) each define ShowNativeChooser.
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
