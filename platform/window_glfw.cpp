// GLFW window layer: one fixed-size window with a GL 2.0 compatibility context. Key and
// button events feed the virtual-key table and the record of transitions, typed characters
// their own record; close requests and wheel turns become messages.
#include "platform/window.h"
#include "platform/window_input.h"
#include "platform/offscreen_gl.h"

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>
#include <GL/gl.h>

#include <cmath>
#include <memory>

// GLFW's X11 accessor, declared here because its native header pulls in the RandR
// development headers. An X11 Window is an XID, an unsigned long.
extern "C" unsigned long glfwGetX11Window(GLFWwindow* window);

namespace morva {

struct Window {
    GLFWwindow* handle = nullptr;
    GLFWwindow* list_window = nullptr;   // never shown; its context shares display lists
    WindowInputState input;
    double wheelRemainder = 0.0;  // fractions of a notch from smooth-scrolling devices
};

namespace {

bool windowOpen = false;
std::string lastGlfwError;

void SetError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

void RememberGlfwError(int, const char* description) {
    lastGlfwError = description ? description : "unknown GLFW error";
}

Window* FromHandle(GLFWwindow* handle) {
    return static_cast<Window*>(glfwGetWindowUserPointer(handle));
}

// GLFW key code to Windows virtual-key code; 0 for keys the editor has no code for.
int VirtualKeyFromGlfwKey(int key) {
    if (key >= GLFW_KEY_A && key <= GLFW_KEY_Z) return 0x41 + (key - GLFW_KEY_A);
    if (key >= GLFW_KEY_0 && key <= GLFW_KEY_9) return 0x30 + (key - GLFW_KEY_0);
    if (key >= GLFW_KEY_F1 && key <= GLFW_KEY_F12) return 0x70 + (key - GLFW_KEY_F1);
    if (key >= GLFW_KEY_KP_0 && key <= GLFW_KEY_KP_9) return 0x60 + (key - GLFW_KEY_KP_0);
    switch (key) {
        case GLFW_KEY_BACKSPACE: return 0x08;
        case GLFW_KEY_TAB: return 0x09;
        case GLFW_KEY_ENTER: return 0x0D;
        case GLFW_KEY_KP_ENTER: return 0x0D;
        case GLFW_KEY_LEFT_SHIFT: return 0x10;
        case GLFW_KEY_RIGHT_SHIFT: return 0x10;
        case GLFW_KEY_LEFT_CONTROL: return 0x11;
        case GLFW_KEY_RIGHT_CONTROL: return 0x11;
        case GLFW_KEY_LEFT_ALT: return 0x12;
        case GLFW_KEY_RIGHT_ALT: return 0x12;
        case GLFW_KEY_ESCAPE: return 0x1B;
        case GLFW_KEY_SPACE: return 0x20;
        case GLFW_KEY_PAGE_UP: return 0x21;
        case GLFW_KEY_PAGE_DOWN: return 0x22;
        case GLFW_KEY_END: return 0x23;
        case GLFW_KEY_HOME: return 0x24;
        case GLFW_KEY_LEFT: return 0x25;
        case GLFW_KEY_UP: return 0x26;
        case GLFW_KEY_RIGHT: return 0x27;
        case GLFW_KEY_DOWN: return 0x28;
        case GLFW_KEY_INSERT: return 0x2D;
        case GLFW_KEY_DELETE: return 0x2E;
        case GLFW_KEY_KP_DECIMAL: return 0x6E;
        case GLFW_KEY_KP_MULTIPLY: return 0x6A;
        case GLFW_KEY_KP_ADD: return 0x6B;
        case GLFW_KEY_KP_SUBTRACT: return 0x6D;
        case GLFW_KEY_KP_DIVIDE: return 0x6F;
        case GLFW_KEY_EQUAL: return 0xBB;
        case GLFW_KEY_COMMA: return 0xBC;
        case GLFW_KEY_MINUS: return 0xBD;
        case GLFW_KEY_PERIOD: return 0xBE;
        default: return 0;
    }
}

int VirtualKeyFromGlfwButton(int button) {
    switch (button) {
        case GLFW_MOUSE_BUTTON_LEFT: return kVkLeftButton;
        case GLFW_MOUSE_BUTTON_RIGHT: return kVkRightButton;
        case GLFW_MOUSE_BUTTON_MIDDLE: return kVkMiddleButton;
        default: return 0;
    }
}

void OnKey(GLFWwindow* handle, int key, int, int action, int) {
    const int code = VirtualKeyFromGlfwKey(key);
    if (code == 0 || action == GLFW_REPEAT) return;
    Window* window = FromHandle(handle);
    RecordKey(window->input, code, action == GLFW_PRESS, GetCursorScreenPos(window));
}

void OnMouseButton(GLFWwindow* handle, int button, int action, int) {
    const int code = VirtualKeyFromGlfwButton(button);
    if (code == 0) return;
    Window* window = FromHandle(handle);
    RecordKey(window->input, code, action == GLFW_PRESS, GetCursorScreenPos(window));
}

void OnChar(GLFWwindow* handle, unsigned int codePoint) {
    RecordTypedChar(FromHandle(handle)->input, codePoint);
}

// One wheel notch is one unit of GLFW's offset and 120 in the Windows unit.
void OnScroll(GLFWwindow* handle, double, double yoffset) {
    Window* window = FromHandle(handle);
    window->wheelRemainder += yoffset * 120.0;
    const double whole = std::trunc(window->wheelRemainder);
    if (whole == 0.0) return;
    window->wheelRemainder -= whole;
    QueueEvent(window->input, {WindowEventKind::Wheel, int(whole)});
}

// Files dragged from a file manager arrive as paths (GLFW decodes the URI list).
void OnDrop(GLFWwindow* handle, int count, const char** paths) {
    WindowEvent event;
    event.kind = WindowEventKind::Drop;
    for (int i = 0; i < count; ++i) {
        if (paths[i] && paths[i][0]) event.paths.push_back(paths[i]);
    }
    if (!event.paths.empty()) QueueEvent(FromHandle(handle)->input, event);
}
// Cursor moves, exposure and focus changes feed no record but may change the frame.
void OnCursorMoved(GLFWwindow* handle, double, double) { NoteInput(FromHandle(handle)->input); }
void OnRefresh(GLFWwindow* handle) { NoteInput(FromHandle(handle)->input); }
void OnFocus(GLFWwindow* handle, int) { NoteInput(FromHandle(handle)->input); }

void OnClose(GLFWwindow* handle) {
    glfwSetWindowShouldClose(handle, GLFW_FALSE);
    QueueEvent(FromHandle(handle)->input, {WindowEventKind::Close, 0});
}

void SetContextHints() {
    glfwDefaultWindowHints();
    glfwWindowHint(GLFW_CLIENT_API, GLFW_OPENGL_API);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 2);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 0);
    glfwWindowHint(GLFW_RED_BITS, 8);
    glfwWindowHint(GLFW_GREEN_BITS, 8);
    glfwWindowHint(GLFW_BLUE_BITS, 8);
    glfwWindowHint(GLFW_ALPHA_BITS, 8);
    glfwWindowHint(GLFW_DEPTH_BITS, 24);
    glfwWindowHint(GLFW_STENCIL_BITS, 8);
    glfwWindowHint(GLFW_DOUBLEBUFFER, GLFW_TRUE);
    glfwWindowHint(GLFW_RESIZABLE, GLFW_FALSE);
    glfwWindowHint(GLFW_SCALE_TO_MONITOR, GLFW_FALSE);
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);  // shown once placed
}

// Puts the outer frame (title bar included) at the top-left corner of the screen.
void PlaceAtScreenOrigin(GLFWwindow* handle) {
    int frameLeft = 0, frameTop = 0, frameRight = 0, frameBottom = 0;
    glfwGetWindowFrameSize(handle, &frameLeft, &frameTop, &frameRight, &frameBottom);
    glfwSetWindowPos(handle, frameLeft, frameTop);
}

void InstallCallbacks(Window* window) {
    glfwSetWindowUserPointer(window->handle, window);
    glfwSetKeyCallback(window->handle, OnKey);
    glfwSetMouseButtonCallback(window->handle, OnMouseButton);
    glfwSetCharCallback(window->handle, OnChar);
    glfwSetCursorPosCallback(window->handle, OnCursorMoved);
    glfwSetWindowRefreshCallback(window->handle, OnRefresh);
    glfwSetWindowFocusCallback(window->handle, OnFocus);
    glfwSetScrollCallback(window->handle, OnScroll);
    glfwSetWindowCloseCallback(window->handle, OnClose);
    glfwSetDropCallback(window->handle, OnDrop);
}

}  // namespace

Window* CreateMainWindow(const char* title, std::string* error) {
    if (windowOpen) {
        SetError(error, "a window is already open");
        return nullptr;
    }
    glfwSetErrorCallback(RememberGlfwError);
    if (!glfwInit()) {
        SetError(error, "cannot initialise GLFW: " + lastGlfwError);
        return nullptr;
    }
    SetContextHints();
    auto window = std::make_unique<Window>();
    window->handle = glfwCreateWindow(kClientWidth, kClientHeight, title ? title : "", nullptr, nullptr);
    if (!window->handle) {
        SetError(error, "cannot create the window: " + lastGlfwError);
        glfwTerminate();
        return nullptr;
    }
    // Without it lists are recorded on the drawing thread only.
    window->list_window = glfwCreateWindow(1, 1, "", nullptr, window->handle);
    PlaceAtScreenOrigin(window->handle);
    glfwShowWindow(window->handle);
    InstallCallbacks(window.get());
    glfwMakeContextCurrent(window->handle);
    morva::PinGLDriverModules();
    // Frames are paced by the swap; an idle editor waits for events instead of drawing.
    glfwSwapInterval(1);
    SetDrawingViewport(window.get(), float(kDrawingWidth), float(kDrawingHeight));
    windowOpen = true;
    return window.release();
}

void DestroyMainWindow(Window* window) {
    if (!window) return;
    glfwMakeContextCurrent(nullptr);
    if (window->list_window) glfwDestroyWindow(window->list_window);
    glfwDestroyWindow(window->handle);
    glfwTerminate();
    delete window;
    windowOpen = false;
}

bool MakeWindowListContextCurrent(Window* window) {
    if (!window || !window->list_window) return false;
    glfwMakeContextCurrent(window->list_window);
    return glfwGetCurrentContext() == window->list_window;
}

void ReleaseWindowListContext(Window* window) {
    if (window && window->list_window) glfwMakeContextCurrent(nullptr);
}

WindowInputState* InputStateOf(Window* window) { return window ? &window->input : nullptr; }

bool PollWindowEvent(Window* window, WindowEvent* event) {
    if (!window) return false;
    if (window->input.events.empty()) glfwPollEvents();
    return TakeEvent(window->input, event);
}

void WaitForWindowInput(Window* window, double timeoutSeconds) {
    if (!window || !window->input.events.empty()) return;
    if (window->input.serial.load() != window->input.serialLooked.load()) return;
    if (timeoutSeconds > 0.0) {
        glfwWaitEventsTimeout(timeoutSeconds);
    } else {
        glfwPollEvents();
    }
}

void SwapWindowBuffers(Window* window) {
    if (window) glfwSwapBuffers(window->handle);
}

bool IsKeyDown(Window* window, int virtualKey) {
    return window && QueryKey(window->input, virtualKey);
}

WindowPoint GetCursorScreenPos(Window* window) {
    if (!window) return {};
    int left = 0, top = 0;
    glfwGetWindowPos(window->handle, &left, &top);
    double x = 0.0, y = 0.0;
    glfwGetCursorPos(window->handle, &x, &y);
    return {int32_t(left + std::floor(x)), int32_t(top + std::floor(y))};
}

WindowRect GetClientScreenRect(Window* window) {
    if (!window) return {};
    int left = 0, top = 0, width = 0, height = 0;
    glfwGetWindowPos(window->handle, &left, &top);
    glfwGetWindowSize(window->handle, &width, &height);
    return {left, top, left + width, top + height};
}

void GetFramebufferScale(Window* window, float* scaleX, float* scaleY) {
    float sx = 1.0f, sy = 1.0f;
    if (window) {
        int width = 0, height = 0, fbWidth = 0, fbHeight = 0;
        glfwGetWindowSize(window->handle, &width, &height);
        glfwGetFramebufferSize(window->handle, &fbWidth, &fbHeight);
        if (width > 0 && height > 0 && fbWidth > 0 && fbHeight > 0) {
            sx = float(fbWidth) / float(width);
            sy = float(fbHeight) / float(height);
        }
    }
    if (scaleX) *scaleX = sx;
    if (scaleY) *scaleY = sy;
}

void SetDrawingViewport(Window* window, float width, float height) {
    float sx = 1.0f, sy = 1.0f;
    GetFramebufferScale(window, &sx, &sy);
    glViewport(0, 0, GLsizei(std::lround(width * sx)), GLsizei(std::lround(height * sy)));
}

unsigned long GetNativeWindowId(Window* window) {
    if (!window) return 0;
    return glfwGetX11Window(window->handle);
}

}  // namespace morva
