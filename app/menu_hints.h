// The keyboard shortcuts shown in the drop-down menus: a grey column to the right of the
// open menu's items, each shortcut right-aligned on its item's line. The items' own labels,
// places and hit rectangles stay as they are; the column only adds text beside them.
// It never runs a command (the key handling does that).
#pragma once

// The shortcut written beside the item with that label ("Ctrl+N"); null when none.
const char* MenuShortcutHint(const char* label);

// Draws the hint column of menu `open` (0 File .. 3 Edit) when any of its items has a
// shortcut. Returns true when the cursor m (interface pixels) lies on the column, so that a
// click there does not fall through to the 3D view.
bool DrawMenuHints(int open, const float* m);
