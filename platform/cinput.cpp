#include "platform/cinput.h"

Cinput::Cinput(morva::Window* window)
    : wnd(window),
      cursorPos(std::make_unique<POINT>()),
      clientRect(std::make_unique<RECT>()),
      clientSize(std::make_unique<ClientSize>()),
      glPos(std::make_unique<float[]>(2)),
      clickLeft(false),
      clickMiddle(false),
      clickRight(false),
      releasedLeft(false),
      releasedMiddle(false),
      releasedRight(false),
      leftClickPlaced(false) {
    // A press made before the editor could see it (held at start-up) gives no click.
    for (int button : {morva::kVkLeftButton, morva::kVkMiddleButton, morva::kVkRightButton}) {
        morva::DiscardKeyTransitions(wnd, button);
    }
}

Cinput::~Cinput() = default;

bool Cinput::GetKey(int key) { return morva::IsKeyDown(wnd, key); }

namespace {

// The window layer's records as POINT and RECT (the same types on Linux, the system's on
// Windows).
POINT ToPoint(const morva::WindowPoint& p) { return POINT{p.x, p.y}; }
RECT ToRect(const morva::WindowRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

// One button's step of Update: a release arms the click, the next press fires it once.
// The recorded transitions are replayed in order up to the first press that fires, so two
// clicks made between the same two frames give a click in each of the next two updates.
// When none is left, the button's state now arms the click as a sampled release would.
// Returns the place of the press that fired, when one did.
bool UpdateButton(morva::Window* wnd, int button, bool& released, bool& click, POINT* pressedAt) {
    morva::KeyTransition t;
    while (morva::TakeKeyTransition(wnd, button, &t)) {
        if (!t.down) {
            released = true;
        } else if (released) {
            click = true;
            released = false;
            *pressedAt = ToPoint(t.cursor);
            return true;
        }
    }
    if (!morva::IsKeyHeld(wnd, button)) released = true;
    return false;
}

}  // namespace

void Cinput::Update() {
    clickLeft = false;
    clickMiddle = false;
    clickRight = false;
    POINT ignored;
    leftClickPlaced = UpdateButton(wnd, morva::kVkLeftButton, releasedLeft, clickLeft, &leftClickAt);
    UpdateButton(wnd, morva::kVkMiddleButton, releasedMiddle, clickMiddle, &ignored);
    UpdateButton(wnd, morva::kVkRightButton, releasedRight, clickRight, &ignored);
}

bool Cinput::TakeKeyPress(int key, int* modifiers) {
    morva::KeyTransition t;
    while (morva::TakeKeyTransition(wnd, key, &t)) {
        if (!t.down) continue;
        if (modifiers) *modifiers = t.modifiers;
        return true;
    }
    return false;
}

bool Cinput::TakeTypedChar(uint32_t* codePoint) { return morva::TakeTypedChar(wnd, codePoint); }

bool Cinput::GetMouseLeft() { return clickLeft; }
bool Cinput::GetMouseMidle() { return clickMiddle; }
bool Cinput::GetMouseRight() { return clickRight; }
bool Cinput::GetMouseLeft_select() { return GetKey(morva::kVkLeftButton); }

POINT* Cinput::GetPos() {
    // In the frame of a left click the cursor is where the button went down: clicks made
    // faster than the frames are drawn land where the user made them.
    *cursorPos = leftClickPlaced ? leftClickAt : ToPoint(morva::GetCursorScreenPos(wnd));
    return cursorPos.get();
}

RECT* Cinput::GetWindow() {
    *clientRect = ToRect(morva::GetClientScreenRect(wnd));
    return clientRect.get();
}

ClientSize* Cinput::GetWindowSize() {
    const RECT* r = GetWindow();
    clientSize->width = r->right - r->left;
    clientSize->height = r->bottom - r->top;
    return clientSize.get();
}

bool Cinput::PointInRect(RECT* r, POINT* p) {
    if (!r || !p) return false;
    return r->left <= p->x && p->x < r->right && r->top <= p->y && p->y < r->bottom;
}

float* Cinput::GetMouseGLfinal() {
    const long double dx = static_cast<long double>(cursorPos->x) - clientRect->left;
    const long double dy = static_cast<long double>(cursorPos->y) - clientRect->top;
    const long double w = static_cast<long double>(clientRect->right) - clientRect->left;
    const long double h = static_cast<long double>(clientRect->bottom) - clientRect->top;
    if (w == 0 || h == 0) {
        // No client area to map onto: report the origin rather than dividing by zero.
        glPos[0] = 0.0f;
        glPos[1] = 0.0f;
        return glPos.get();
    }
    glPos[0] = static_cast<float>(dx * 2 / w - 1);
    glPos[1] = static_cast<float>(-(dy * 2 / h - 1));
    return glPos.get();
}

namespace {

// Maps [-1, 1] onto 0..size and drops the part of the drawing space the client area lacks.
float ToInterfacePixels(float normalised, float size, float hidden) {
    const long double s = size;
    if (s == 0) return 0.0f;
    return static_cast<float>((static_cast<long double>(normalised) + 1) * s / 2 * ((s - hidden) / s));
}

}  // namespace

float* Cinput::GetMouseGLprereder(float width, float height) {
    const long double w = static_cast<long double>(clientRect->right) - clientRect->left;
    const long double h = static_cast<long double>(clientRect->bottom) - clientRect->top;
    GetMouseGLfinal();
    if (w == 0 || h == 0) return glPos.get();  // already (0, 0)
    glPos[1] = -glPos[1];
    glPos[0] = ToInterfacePixels(glPos[0], width, 8.0f);
    glPos[1] = ToInterfacePixels(glPos[1], height, 32.0f);
    return glPos.get();
}
