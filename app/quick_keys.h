// The editor's keyboard beyond W, A, S, D and Delete: the menu commands' shortcuts (Ctrl+N,
// Ctrl+O, Ctrl+S, Ctrl+Shift+S, Ctrl+I, Ctrl+Shift+I, Ctrl+L; Ctrl+Z undo, Ctrl+Y and
// Ctrl+Shift+Z redo), the views (Home, T, F), the
// arrow and page keys that step the selected object in the panel's mode (held, they repeat
// by the clock), and the value field: a click on a panel value makes it editable, typed
// digits, sign and point fill it, Enter applies (clamped as the panel's buttons are) and
// Escape cancels. Every change of the project goes through an undo step.
// It runs once per frame before the overlay; it never draws except the value field.
#pragma once

#include "app/shell.h"

// Takes this frame's key presses and typed characters and acts on them.
void ApplyQuickKeys(ShellState& s);

// Draws a panel row's value at (0, y): the label as it is, or the field being typed on that
// row. A click on the label opens the field on it; a click anywhere else closes a field
// open on this row without applying it.
void DrawPanelValue(MenuState& menu, int row, float y, const char* label, const float* m, bool click);
