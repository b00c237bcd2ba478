// Cinput: the one place the editor reads the keyboard, the mouse buttons, the cursor and the
// geometry of its window. Keys and buttons are sampled through the platform layer; Update
// turns the presses and releases the layer recorded for the three mouse buttons into
// one-frame click flags, one click per press, in order, however short the press. The cursor is converted into
// normalised client coordinates (picking) and interface pixels (menus, panels, log).
// It never draws and never handles window messages.
#pragma once

#include "platform/window.h"

#include <cstdint>
#include <memory>

#ifdef _WIN32
#include <windows.h>  // POINT and RECT are the system's own records (same fields)
#else
using POINT = morva::WindowPoint;  // screen pixels x, y
using RECT = morva::WindowRect;    // screen pixels left, top, right, bottom
#endif

// Width and height of the client area in pixels.
struct ClientSize {
    int32_t width = 0;
    int32_t height = 0;
};

class Cinput {
public:
    explicit Cinput(morva::Window* window);
    ~Cinput();
    Cinput(const Cinput&) = delete;
    Cinput& operator=(const Cinput&) = delete;

    // True while the key or button with that virtual-key code is down (1 left, 2 right,
    // 4 middle, 0x41 A ...); a press shorter than a frame is reported once.
    bool GetKey(int key);
    // Derives the three one-frame click flags; called once per frame before they are read.
    // Each recorded press gives one click; presses beyond the first wait for later updates.
    void Update();
    // True once for each press of that key not taken yet (in order, one per call), with the
    // modifier bits (morva::kModShift, kModCtrl, kModAlt) held at the press in `modifiers`.
    // Releases are passed over. Call it once per frame for each key a frame reacts to.
    bool TakeKeyPress(int key, int* modifiers = nullptr);
    // The oldest typed character not taken yet (a Unicode code point); false when none.
    bool TakeTypedChar(uint32_t* codePoint);
    bool GetMouseLeft();
    bool GetMouseMidle();
    bool GetMouseRight();
    // The live state of the left button, not the click.
    bool GetMouseLeft_select();

    // Fetches the cursor in screen pixels into cursorPos and returns it; in the update of a
    // left click, the place where that press was made.
    POINT* GetPos();
    // Fetches the client area in screen pixels into clientRect and returns it.
    RECT* GetWindow();
    // Fetches the client area and stores its width and height in clientSize.
    ClientSize* GetWindowSize();
    // left <= x < right and top <= y < bottom.
    bool PointInRect(RECT* r, POINT* p);
    // The last fetched cursor in client coordinates [-1, 1], y upwards; (0, 0) for an
    // empty client area. Returns glPos.
    float* GetMouseGLfinal();
    // The last fetched cursor in interface pixels of a width x height drawing space
    // (0..width-8 across, 0..height-32 down). Returns the same glPos.
    float* GetMouseGLprereder(float width, float height);

    morva::Window* wnd;
    std::unique_ptr<POINT> cursorPos;
    std::unique_ptr<RECT> clientRect;
    std::unique_ptr<ClientSize> clientSize;
    std::unique_ptr<float[]> glPos;  // two floats
    bool clickLeft;
    bool clickMiddle;
    bool clickRight;
    bool releasedLeft;
    bool releasedMiddle;
    bool releasedRight;
    bool leftClickPlaced;  // this update's left click came with the place of its press
    POINT leftClickAt;
};
