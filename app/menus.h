// The interface overlay of one frame: the menu bar (File, Options, Execute, Edit) with its
// drop-down items, the value panel that shows and steps the selected object's position,
// rotation or size in millimetres and degrees, the message log, and the commands the
// items run (file dialogs, project operations and their log lines).
// It is immediate-mode: drawn anew every frame from MenuState and hit-tested against the
// rectangles just drawn. It never touches the camera or the 3D passes.
#pragma once

#include "app/shell.h"

#include <string>

// Start state: menus closed, no menu chosen, Move mode.
void InitMenus(MenuState& menu);

// Draws the value panel, the message log and the menu bar and runs the commands clicked in
// this frame. Expects the overlay GL state (identity matrices, depth test always passing).
// Returns true when the overlay used the frame's click (the 3D view must not select).
bool DrawOverlay(MenuState& menu);

// The commands behind the File and Edit items.
void CommandNewProject();
void CommandOpenProject();
void CommandSaveProject();
void CommandImportOBJ();
void CommandImportImage();
void CommandImportSTL();
void CommandDelete();
// The same commands for a file already chosen (a dropped file): the import or open and its
// log line, without a dialog. Each import is an undo step; the open first asks about changes
// not saved, as Open Project does.
void ImportModelFile(char* path);
void ImportImageFile(char* path);
void OpenProjectFile(char* path);

// The panel's vector of object s in a mode (0 position, 1 rotation, 2 size), and writing it
// back (a size is raised to at least 1 mm on each axis, as the buttons' steps are).
cMath::vector4 PanelValue(int mode, int s);
void StorePanelValue(int mode, int s, cMath::vector4* v);

// Ctrl+S: saves to the project's file without a dialog once it has one, else as Save Project.
void CommandSaveProjectQuick();

// The save steps behind those commands; each logs "Save Project OK" or "Save Project FAIL"
// (a cancelled dialog logs nothing) and returns true when the project was written.
// SaveProjectAs always asks for the file; a typed name without an extension gets ".PRJ".
bool SaveProjectAs();
bool SaveCurrentProject();
bool SaveProjectTo(const std::string& path);

// Closed-interval hit test of the interface: x0 <= x <= x1 and y0 <= y <= y1.
bool InInterfaceRect(const float* m, float x0, float x1, float y0, float y1);

// One item of a drop-down menu.
struct MenuItem {
    const char* label;
    float x, y, length;
    int menu;        // 0 File, 1 Options, 2 Execute, 3 Edit
    int mode;        // the edit mode an Edit mode item selects, -1 for others
    bool closes;     // running it closes the menus
    void (*command)();  // may be null
};
// The menu titles' x positions and the items in drawing order.
extern const float kMenuTitleX[4];
extern const char* const kMenuTitles[4];
constexpr int kMenuItemCount = 17;
extern const MenuItem kMenuItems[kMenuItemCount];
