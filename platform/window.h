// The small platform layer: the one editor window with its GL context, the event pump,
// the buffer swap, key and mouse-button state by Windows virtual-key code, the cursor and
// the client rectangle in screen pixels. Implementations with the same functions are
// chosen at link time: morva_window_glfw (a real window on Linux), morva_window_win32 (a
// real window on Windows) and morva_window_headless (an offscreen buffer whose input is
// set by tests and scripts).
// It never interprets input (no clicks, no camera, no zoom): that is Cinput's and the
// shell's business. Only this layer and the shell talk to the window system.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace morva {

// The one window and its GL context; defined by the implementation.
struct Window;

// A point in screen pixels (window pixels on a scaled display).
struct WindowPoint {
    int32_t x = 0;
    int32_t y = 0;
};

// A rectangle in screen pixels: left <= x < right, top <= y < bottom.
struct WindowRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// Messages the shell dispatches one at a time (key and button changes are not
// messages: they update the key table and the record of transitions that Cinput reads).
enum class WindowEventKind {
    Close,  // the user (or a script) asked to close the window
    Wheel,  // the mouse wheel turned; wheelDelta holds the amount
    Drop,   // files were dropped onto the window; paths holds them in the order given
};

struct WindowEvent {
    WindowEvent() = default;
    WindowEvent(WindowEventKind k, int delta) : kind(k), wheelDelta(delta) {}

    WindowEventKind kind = WindowEventKind::Close;
    int wheelDelta = 0;  // one notch = 120; positive = turned away from the user
    std::vector<std::string> paths;  // Drop: the files, as full paths
};

// One press or release as it happened: the modifier keys held and the cursor (screen
// pixels) at that moment.
struct KeyTransition {
    int virtualKey = 0;
    bool down = false;
    int modifiers = 0;  // kModShift | kModCtrl | kModAlt
    WindowPoint cursor;
};

// An RGBA8 image of the client area, rows from top to bottom.
struct ClientImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;
};

// The visible client area: the bottom-left 1016 x 736 of the 1024 x 768 drawing space.
constexpr int kClientWidth = 1016;
constexpr int kClientHeight = 736;
// The drawing space the viewport covers (anchored at the client's bottom-left corner).
constexpr int kDrawingWidth = 1024;
constexpr int kDrawingHeight = 768;
// Where the headless layer puts the client area's top-left corner on its "screen".
constexpr int kHeadlessClientLeft = 100;
constexpr int kHeadlessClientTop = 60;

// Virtual-key codes the editor uses (the layer maps its own key codes to these; letters
// and digits are their upper-case ASCII codes, F1..F12 0x70..0x7B, keypad digits 0x60..0x69).
constexpr int kVkLeftButton = 0x01;
constexpr int kVkRightButton = 0x02;
constexpr int kVkMiddleButton = 0x04;
constexpr int kVkBackspace = 0x08;
constexpr int kVkTab = 0x09;
constexpr int kVkEnter = 0x0D;
constexpr int kVkShift = 0x10;
constexpr int kVkControl = 0x11;
constexpr int kVkAlt = 0x12;
constexpr int kVkEscape = 0x1B;
constexpr int kVkSpace = 0x20;
constexpr int kVkPageUp = 0x21;
constexpr int kVkPageDown = 0x22;
constexpr int kVkEnd = 0x23;
constexpr int kVkHome = 0x24;
constexpr int kVkLeft = 0x25;
constexpr int kVkUp = 0x26;
constexpr int kVkRight = 0x27;
constexpr int kVkDown = 0x28;
constexpr int kVkInsert = 0x2D;
constexpr int kVkDelete = 0x2E;
constexpr int kVkNumpadAdd = 0x6B;
constexpr int kVkNumpadSubtract = 0x6D;
constexpr int kVkNumpadDecimal = 0x6E;
constexpr int kVkPlus = 0xBB;   // the "=" / "+" key of the main block
constexpr int kVkComma = 0xBC;
constexpr int kVkMinus = 0xBD;
constexpr int kVkPeriod = 0xBE;
constexpr int kVkA = 0x41;
constexpr int kVkD = 0x44;
constexpr int kVkS = 0x53;
constexpr int kVkW = 0x57;

// Modifier bits of a key transition: the modifier keys held when it happened.
constexpr int kModShift = 1;
constexpr int kModCtrl = 2;
constexpr int kModAlt = 4;

// Opens the one window titled `title` with a 1016 x 736 client area, not resizable, and a
// double-buffered GL 2.0 compatibility context (24 depth, 8 stencil bits) made current, with
// the viewport set to the 1024 x 768 drawing space. Returns null and fills `error` (when
// given) if the window or context cannot be created or a window is already open.
Window* CreateMainWindow(const char* title, std::string* error);

// Closes the window and releases its context. Safe on null.
void DestroyMainWindow(Window* window);

// A second GL context sharing display lists with the window's, for recording lists on
// another thread than the one drawing. MakeWindowListContextCurrent makes it current on the
// calling thread (false when the window has none or it cannot be made current there);
// ReleaseWindowListContext leaves the calling thread without a context again.
bool MakeWindowListContextCurrent(Window* window);
void ReleaseWindowListContext(Window* window);

// Takes at most one pending message without waiting. Returns true and fills `event` when one
// was taken; false when none was pending (the caller then draws a frame).
bool PollWindowEvent(Window* window, WindowEvent* event);

// Shows the frame just drawn (the headless layer finishes the drawing instead).
void SwapWindowBuffers(Window* window);

// True when the key or mouse button with that virtual-key code is down now, or was pressed
// since the last query of that code (a press shorter than a frame is reported once).
bool IsKeyDown(Window* window, int virtualKey);

// Takes the oldest press or release of that key or button not taken yet (into `transition`
// when given): each one the user made is recorded when it happens, so presses shorter than
// a frame keep their order, number and place. False when none is waiting.
bool TakeKeyTransition(Window* window, int virtualKey, KeyTransition* transition);

// Drops the recorded presses and releases of that code not taken yet.
void DiscardKeyTransitions(Window* window, int virtualKey);

// True while the key or button is down; unlike IsKeyDown it clears no "pressed since" mark.
bool IsKeyHeld(Window* window, int virtualKey);

// Takes the oldest character typed and not taken yet (a Unicode code point). False when none.
bool TakeTypedChar(Window* window, uint32_t* codePoint);

// A count that grows with everything that may change what a frame shows: key and button
// transitions, typed characters, messages, cursor moves, the window exposed again.
uint64_t WindowInputSerial(Window* window);

// Waits until a message or input arrives or `timeoutSeconds` pass, whichever is first (the
// idle editor sleeps here instead of drawing). Returns at once when the count has grown
// since WindowInputSerial last returned it.
void WaitForWindowInput(Window* window, double timeoutSeconds);

// The cursor position in screen pixels (may lie outside the client area).
WindowPoint GetCursorScreenPos(Window* window);

// The client area in screen pixels (width kClientWidth, height kClientHeight).
WindowRect GetClientScreenRect(Window* window);

// Framebuffer pixels per window pixel (2 on a doubly scaled display, otherwise 1).
void GetFramebufferScale(Window* window, float* scaleX, float* scaleY);

// Sets the GL viewport to (0, 0, width, height) of the drawing space, scaled to framebuffer
// pixels, so it stays anchored at the client area's bottom-left corner.
void SetDrawingViewport(Window* window, float width, float height);

// The native X11 window id for a dialog to attach to; 0 when there is none (headless).
unsigned long GetNativeWindowId(Window* window);

// ---- Scripted input: the headless layer sets its state directly; the Win32 layer posts
// the matching window messages (taken by the next poll). The GLFW layer has none. ----

// Puts the cursor at a screen position / at a position relative to the client's top-left.
void SetHeadlessCursor(Window* window, int screenX, int screenY);
void SetHeadlessCursorInClient(Window* window, int clientX, int clientY);

// Presses or releases a key or mouse button by virtual-key code (1 left, 2 right, 4 middle)
// at the cursor's present place. A press and release before the next query still reports
// the press once.
void SetHeadlessKey(Window* window, int virtualKey, bool down);

// Types one character (a Unicode code point), as a keyboard layout would deliver it.
void PostHeadlessChar(Window* window, uint32_t codePoint);

// Queues a wheel message (delta in units of 120 per notch) or a close request.
void PostHeadlessWheel(Window* window, int delta);
void PostHeadlessClose(Window* window);
// Queues a drop of files onto the window, as a file manager would deliver it.
void PostHeadlessDrop(Window* window, const std::vector<std::string>& paths);

// Reads back the 1016 x 736 client image as drawn so far (after a swap: the shown frame).
bool ReadHeadlessClientImage(Window* window, ClientImage* image);

}  // namespace morva
