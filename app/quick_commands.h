// The editor's quick commands beside the menu's own: Arrange and Scale to fit (Edit menu),
// the warning for a model imported as a speck, and files dropped onto the window, each
// handed to the command its kind belongs to through a small table of file kinds.
// Log lines are those of the matching menu commands; only new situations add new lines.
// It never reads input and never draws.
#pragma once

#include <string>
#include <vector>

// Edit > Arrange: every object on the work area without overlap, largest first; a Warning
// names the objects that found no room. One undo step.
void CommandArrange();
// Edit > Scale to fit: the selected object scaled to fill the work area, proportions kept.
void CommandScaleToFit();
// After a model import: a Warning with the newest object's size when it is under 1 mm on
// every axis (a file written in metres).
void WarnIfTinyModel();

// What a dropped file is taken for: a row per file name ending (any letter case); a file
// that starts with the project file's magic is a project whatever its name.
struct DropHandler {
    const char* ending;         // ".obj"
    void (*open)(char* path);   // the menu command's work for a chosen file
};
// The handler for `path`, or null when the file is of no kind the editor reads.
const DropHandler* DropHandlerFor(const std::string& path);
// Handles dropped files in the order given; each logs what its menu command logs.
void HandleDroppedFiles(const std::vector<std::string>& paths);
