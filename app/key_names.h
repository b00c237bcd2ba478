// Names of keys and mouse buttons as scripts and help texts write them ("Escape", "Ctrl+Z",
// "Shift+ArrowLeft", "left" for the left mouse button) and their virtual-key codes.
// It only translates names; it never reads or sets input.
#pragma once

#include <string>
#include <vector>

// A key with the modifier keys held together with it.
struct KeyChord {
    int modifiers = 0;  // morva::kModShift | kModCtrl | kModAlt
    int key = -1;       // virtual-key code
};

// The virtual-key code of one name, -1 when unknown. Names are not case-sensitive:
// the buttons left, middle, right; letters A..Z; digits 0..9; Escape (Esc), Enter (Return),
// Tab, Space, Backspace, Insert, Delete (Del), Home, End, PageUp, PageDown, ArrowLeft,
// ArrowRight, ArrowUp, ArrowDown, Plus, Minus, Comma, Period, F1..F12, Num0..Num9, NumAdd,
// NumSubtract, NumDecimal, Shift, Ctrl (Control), Alt; or a code from 10 to 255 as a number.
int KeyCodeFromName(const std::string& name);

// Parses "Ctrl+Shift+Z": modifier names, then one key name, joined by "+". A lone modifier
// ("Ctrl") is a key of its own. False when a part is empty or unknown, or a modifier
// follows the key.
bool ParseKeyChord(const std::string& text, KeyChord* chord);

// The virtual-key codes of the modifier bits, in the order they are pressed: Ctrl, Shift, Alt.
std::vector<int> ModifierKeyCodes(int modifiers);
