// Never losing work without a word: the question asked before New Project, Open Project or
// closing the window throws away changes not saved (Save / Discard / Cancel), the question
// before a save replaces a file the save dialog did not ask about, and the project file
// extension a typed name gets. The answers come from the person, or from the script in a
// scripted run. It never draws; the save itself is the menus' (SaveCurrentProject).
#pragma once

#include <string>

// True when the caller may go on and replace the project: nothing is changed, or the person
// saved the changes (and the save worked) or chose to discard them. False on Cancel, on a
// failed or cancelled save, and when no question can be shown (logged).
bool AskBeforeLosingChanges();

// The same before the window closes; a question that cannot be shown at all lets the window
// close, as it always could (a line on the console says that nothing was saved).
bool AskBeforeClosing();

// True when the person agrees to replace the existing file at `path`.
bool AskReplaceFile(const std::string& path);

// `path` with ".PRJ" appended when its file name has no extension, else unchanged.
std::string WithProjectExtension(const std::string& path);
