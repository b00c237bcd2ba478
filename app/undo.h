// The editor's undo history: the one ProjectHistory of the open project, the shell's
// millisecond clock, and the calls every editing feature makes around a change of the
// project. Any code of the shell that changes mgrProject's objects does
//
//     BeginProjectStep("Arrange");   // before touching the list
//     ...                            // change it (nested steps of other commands join in)
//     CommitProjectStep();           // one undo step when anything changed, else nothing
//
// and repeated small changes of one thing (panel clicks on one row, arrow nudges) pass a
// merge key naming that thing: changes with the same key less than a second apart are one
// step. The history never reads a file: undo brings back the records with their loaded
// models and textures (see project/history.h).
// The modified state and the project's file name live in gHistory only: read them with
// ProjectModified / ProjectFileName, set them with SetProjectModified and the save and open
// commands. Nothing here draws or reads input.
#pragma once

#include <cstdint>
#include <string>

#include "project/history.h"

// The history of the project in mgrProject (a shell global like the services).
extern ProjectHistory gHistory;

// Milliseconds of the editor's clock: steady time, or the script's clock in a scripted run.
uint64_t EditorClockMs();
// Scripted runs: from now on the clock moves only by AdvanceScriptClock.
void UseScriptClock();
void AdvanceScriptClock(uint64_t ms);

// See above. `merge_key` may be null (the change never joins another).
void BeginProjectStep(const char* label, const char* merge_key = nullptr);
void CommitProjectStep();

// Edit > Undo / Redo and their keys: take back or repeat the newest step, with a log line
// naming it ("Undo Delete"), or "Nothing to undo" / "Nothing to redo".
void CommandUndo();
void CommandRedo();

// The open project has changes not saved.
bool ProjectModified();
// Marks the project changed (true) or as it is in its file (false).
void SetProjectModified(bool modified);
// The file name the menu bar shows: the project file's name, "untitled" when none.
std::string ProjectFileName();
// The full path of the project file; empty before the first save or open.
const std::string& ProjectFilePath();

// A fresh history at start-up and after opening a project (`path` is its file, "" for none).
void ResetProjectHistory(const std::string& path);
// Forgets the steps, releasing what only they kept (before the services are released).
void ClearProjectHistory();
