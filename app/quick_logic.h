// The rules behind the editor's quick keys that need no window: how a held arrow key
// repeats (a first step at the press, repeats after 400 ms at ten a second, by the clock
// and not by the frame count), which panel row and direction each arrow key steps, and how
// a typed value becomes a panel value. The shell's key handling applies them.
// Nothing here reads input, draws or changes the project.
#pragma once

#include <cstdint>
#include <string>

// Delay before a held key repeats, and the time between repeats.
constexpr uint64_t kRepeatDelayMs = 400;
constexpr uint64_t kRepeatIntervalMs = 100;
// Most repeats taken in one frame (a frame held up by a dialog does not fling the object).
constexpr int kMaxRepeatsPerFrame = 10;

// One held nudge key.
struct KeyRepeat {
    int key = 0;               // the virtual-key code held; 0 when none
    int factor = 1;            // 1, or 10 with Shift at the press
    uint64_t pressed_ms = 0;
    uint64_t repeats = 0;      // repeats already given
};

// Starts the repeat of a key pressed at now_ms.
void StartKeyRepeat(KeyRepeat& r, int key, int factor, uint64_t now_ms);
// The repeats due since the last call while the key is still held (0 before the delay;
// at most kMaxRepeatsPerFrame at once); ends the repeat when the key is no longer held.
int DueRepeats(KeyRepeat& r, bool held, uint64_t now_ms);

// What an arrow or page key steps: the panel row (0 x, 1 y, 2 z) and the sign. False for
// any other key. Left/Right step x, Up/Down z (Up away from the front), Page Up/Down y.
bool NudgeRowOfKey(int key, int* row, int* sign);

// A panel value being typed: which object, panel mode and row it belongs to, and the text.
struct ValueField {
    bool active = false;
    int object = -1;
    int mode = 0;   // 0 Move, 1 Rotate, 2 Size
    int row = 0;    // 0 x, 1 y, 2 z
    std::string text;
};

// The characters a value field accepts: digits, a sign, the decimal point (a comma is
// taken as the point). Returns 0 for anything else, else the character to add.
char ValueFieldChar(uint32_t code_point);
// Longest text a value field holds.
constexpr size_t kValueFieldLength = 12;

// Reads the typed text of a row as a panel value: millimetres (Move, Size) become scene
// units (/ 50), degrees (Rotate, mode 1) stay. False for text that is not a whole number
// ("", "-", "1.2.3", "--4", a sign after digits) or not finite.
bool ParseTypedValue(const std::string& text, int mode, float* value);
