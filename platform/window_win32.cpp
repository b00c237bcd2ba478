// Win32 window layer: the one "GLSample" window with a WGL context. The window procedure
// turns key and button messages into the virtual-key table and the record of transitions,
// character messages into typed characters, wheel messages, dropped files and close
// requests into the layer's messages; everything else goes to the default procedure.
// The scripted-input functions post real messages to the window, so a scripted run goes
// through the same procedure as a person's input.
#include "platform/window.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <windowsx.h>
#include <GL/gl.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

#include "platform/gl_entry_points.h"
#include "platform/wgl_context.h"
#include "platform/win32_text.h"
#include "platform/window_input.h"

namespace morva {

struct Window {
    HWND hwnd = nullptr;
    HDC dc = nullptr;
    HGLRC context = nullptr;
    WglListContext lists;   // shares display lists with `context`; all null when there is none
    WindowInputState input;
    wchar_t pendingHighSurrogate = 0;  // first half of a character beyond U+FFFF
};

namespace {

const wchar_t kClassName[] = L"GLSample";
// No sizing border and no minimise or maximise box; a close box.
const DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
// Messages taken in one poll at most, so that a flood of them cannot stop the frames.
constexpr int kMaxMessagesPerPoll = 256;

bool windowOpen = false;

void SetError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

Window* FromHandle(HWND hwnd) {
    return reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

// Window pixels are physical pixels on every monitor, so the client stays 1016 x 736
// pixels whatever the display's scale. Newest interface first; older systems have fewer.
void EnablePerMonitorDpiAwareness() {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    using SetContext = BOOL(WINAPI*)(HANDLE);
    auto setContext = reinterpret_cast<SetContext>(
        reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
    if (setContext && setContext(reinterpret_cast<HANDLE>(intptr_t(-4)))) return;
    if (HMODULE shcore = LoadLibraryW(L"shcore.dll")) {
        using SetAwareness = HRESULT(WINAPI*)(int);
        auto setAwareness = reinterpret_cast<SetAwareness>(
            reinterpret_cast<void*>(GetProcAddress(shcore, "SetProcessDpiAwareness")));
        if (setAwareness && SUCCEEDED(setAwareness(2))) return;  // PROCESS_PER_MONITOR_DPI_AWARE
    }
    using SetAware = BOOL(WINAPI*)();
    auto setAware = reinterpret_cast<SetAware>(
        reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDPIAware")));
    if (setAware) setAware();
}

// Where the cursor was when the message being handled was sent (screen pixels).
WindowPoint MessageCursor() {
    const DWORD pos = GetMessagePos();
    return {int32_t(GET_X_LPARAM(pos)), int32_t(GET_Y_LPARAM(pos))};
}

// A mouse message's own position (client pixels in lParam) in screen pixels.
WindowPoint MouseMessageCursor(HWND hwnd, LPARAM lParam) {
    POINT p = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ClientToScreen(hwnd, &p);
    return {int32_t(p.x), int32_t(p.y)};
}

void ReleaseMouseButtons(Window& w) {
    for (int code : {kVkLeftButton, kVkRightButton, kVkMiddleButton}) {
        if (w.input.down[code]) RecordKey(w.input, code, false, MessageCursor());
    }
}

// Without focus no release would arrive: nothing stays held.
void ReleaseEverything(Window& w) {
    for (int code = 0; code < WindowInputState::kCodes; ++code) {
        if (w.input.down[code]) RecordKey(w.input, code, false, MessageCursor());
    }
}

// A drag that leaves the window keeps its buttons' messages until the last one is released.
void RecordButton(Window& w, HWND hwnd, int code, bool down, LPARAM lParam) {
    RecordKey(w.input, code, down, MouseMessageCursor(hwnd, lParam));
    const bool anyDown = w.input.down[kVkLeftButton] || w.input.down[kVkRightButton] ||
                         w.input.down[kVkMiddleButton];
    if (down && GetCapture() != hwnd) SetCapture(hwnd);
    if (!anyDown && GetCapture() == hwnd) ReleaseCapture();
}

// Characters arrive as UTF-16 units; a pair of surrogates makes one code point.
void RecordUtf16Unit(Window& w, wchar_t unit) {
    if (unit < 0x20 || unit == 0x7F) return;  // control keys are keys, not text
    if (unit >= 0xD800 && unit < 0xDC00) {
        w.pendingHighSurrogate = unit;
        return;
    }
    if (unit >= 0xDC00 && unit < 0xE000) {
        if (w.pendingHighSurrogate != 0) {
            const uint32_t high = uint32_t(w.pendingHighSurrogate) - 0xD800;
            RecordTypedChar(w.input, 0x10000 + (high << 10) + (uint32_t(unit) - 0xDC00));
        }
        w.pendingHighSurrogate = 0;
        return;
    }
    w.pendingHighSurrogate = 0;
    RecordTypedChar(w.input, uint32_t(unit));
}

// Files dragged from the Explorer arrive as one handle holding their full paths.
void QueueDroppedFiles(Window& w, HDROP drop) {
    WindowEvent event;
    event.kind = WindowEventKind::Drop;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        if (length == 0) continue;
        std::wstring path(length + 1, L'\0');
        const UINT got = DragQueryFileW(drop, i, &path[0], length + 1);
        path.resize(got);
        if (!path.empty()) event.paths.push_back(NarrowToUtf8(path));
    }
    DragFinish(drop);
    if (!event.paths.empty()) QueueEvent(w.input, event);
}

LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    Window* w = FromHandle(hwnd);
    if (!w) return DefWindowProcW(hwnd, message, wParam, lParam);
    switch (message) {
        case WM_CLOSE:
            PostQuitMessage(0);
            return 0;
        case WM_MENUCHAR:
            return MNC_CLOSE << 16;
        case WM_MOUSEWHEEL:
            QueueEvent(w->input, {WindowEventKind::Wheel, int(GET_WHEEL_DELTA_WPARAM(wParam))});
            return 0;
        case WM_KEYDOWN:
        case WM_KEYUP:
            RecordKey(w->input, int(wParam), message == WM_KEYDOWN, MessageCursor());
            return 0;
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
            // Alt combinations still reach the default procedure (Alt+F4 closes).
            RecordKey(w->input, int(wParam), message == WM_SYSKEYDOWN, MessageCursor());
            break;
        case WM_CHAR:
            RecordUtf16Unit(*w, wchar_t(wParam));
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
            RecordButton(*w, hwnd, kVkLeftButton, message == WM_LBUTTONDOWN, lParam);
            return 0;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
            RecordButton(*w, hwnd, kVkRightButton, message == WM_RBUTTONDOWN, lParam);
            return 0;
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
            RecordButton(*w, hwnd, kVkMiddleButton, message == WM_MBUTTONDOWN, lParam);
            return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != hwnd) ReleaseMouseButtons(*w);
            return 0;
        case WM_KILLFOCUS:
            ReleaseEverything(*w);
            NoteInput(w->input);
            return 0;
        case WM_SETFOCUS:
        case WM_MOUSEMOVE:
            NoteInput(w->input);  // may change what the next frame shows
            return 0;
        case WM_PAINT:
            NoteInput(w->input);  // exposed again: the idle editor draws a frame
            break;
        case WM_DROPFILES:
            QueueDroppedFiles(*w, reinterpret_cast<HDROP>(wParam));
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool RegisterWindowClass() {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = WindowProcedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// Outer size for a 1016 x 736 client with this system's frame (1024 x 768 with the frame
// of 8 and 32 pixels the interface was laid out for).
SIZE OuterSizeForClient() {
    RECT r = {0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&r, kStyle, FALSE, 0);
    return {r.right - r.left, r.bottom - r.top};
}

// Frames differ between systems, scales and themes: measure the client and correct the
// outer size until the client is exactly 1016 x 736, keeping the outer corner at (0, 0).
void FitClientArea(HWND hwnd) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        RECT client = {}, outer = {};
        GetClientRect(hwnd, &client);
        GetWindowRect(hwnd, &outer);
        const int dw = kClientWidth - (client.right - client.left);
        const int dh = kClientHeight - (client.bottom - client.top);
        if (dw == 0 && dh == 0) return;
        SetWindowPos(hwnd, nullptr, 0, 0, (outer.right - outer.left) + dw, (outer.bottom - outer.top) + dh,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// Sync to the display's refresh when the driver offers it: the swap paces the busy loop.
void EnableSwapInterval() {
    using SwapInterval = BOOL(WINAPI*)(int);
    auto swapInterval = reinterpret_cast<SwapInterval>(FindGLFunction("wglSwapIntervalEXT"));
    if (swapInterval) swapInterval(1);
}

std::string GLDriverName() {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    return std::string(renderer ? renderer : "unknown renderer") + ", OpenGL " +
           (version ? version : "unknown");
}

void DestroyPartial(Window& w) {
    DestroyWglListContext(w.lists);
    DeleteGLContext(w.context);
    if (w.hwnd && w.dc) ReleaseDC(w.hwnd, w.dc);
    if (w.hwnd) DestroyWindow(w.hwnd);
    w.context = nullptr;
    w.dc = nullptr;
    w.hwnd = nullptr;
}

void PostButton(Window& w, int virtualKey, bool down) {
    POINT p = {};
    GetCursorPos(&p);
    ScreenToClient(w.hwnd, &p);
    const LPARAM at = MAKELPARAM(WORD(int16_t(p.x)), WORD(int16_t(p.y)));
    UINT message = 0;
    WPARAM held = 0;
    switch (virtualKey) {
        case kVkLeftButton: message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP; held = MK_LBUTTON; break;
        case kVkRightButton: message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP; held = MK_RBUTTON; break;
        case kVkMiddleButton: message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP; held = MK_MBUTTON; break;
        default: return;
    }
    PostMessageW(w.hwnd, message, down ? held : 0, at);
}

}  // namespace

Window* CreateMainWindow(const char* title, std::string* error) {
    if (windowOpen) {
        SetError(error, "a window is already open");
        return nullptr;
    }
    EnablePerMonitorDpiAwareness();
    if (!RegisterWindowClass()) {
        SetError(error, "cannot register the window class");
        return nullptr;
    }
    auto window = std::make_unique<Window>();
    const SIZE outer = OuterSizeForClient();
    const std::wstring wideTitle = WidenUtf8(title ? title : "");
    window->hwnd = CreateWindowExW(0, kClassName, wideTitle.c_str(), kStyle, 0, 0, outer.cx, outer.cy,
                                   nullptr, nullptr, GetModuleHandleW(nullptr), window.get());
    if (!window->hwnd) {
        SetError(error, "cannot create the window (error " + std::to_string(GetLastError()) + ")");
        return nullptr;
    }
    FitClientArea(window->hwnd);
    window->dc = GetDC(window->hwnd);
    if (!window->dc || !SetEditorPixelFormat(window->dc, error)) {
        DestroyPartial(*window);
        return nullptr;
    }
    window->context = CreateCurrentGLContext(window->dc, error);
    if (!window->context) {
        DestroyPartial(*window);
        return nullptr;
    }
    GLEntryPoints check;
    std::string missing;
    if (!LoadGLEntryPoints(&check, &missing)) {
        SetError(error, "the GL driver (" + GLDriverName() + ") lacks " + missing +
                        ": OpenGL 2.0 is needed");
        DestroyPartial(*window);
        return nullptr;
    }
    EnableSwapInterval();
    window->lists = CreateWglListContext(window->context);
    DragAcceptFiles(window->hwnd, TRUE);
    ShowWindow(window->hwnd, SW_SHOW);
    UpdateWindow(window->hwnd);
    SetForegroundWindow(window->hwnd);
    SetDrawingViewport(window.get(), float(kDrawingWidth), float(kDrawingHeight));
    windowOpen = true;
    return window.release();
}

void DestroyMainWindow(Window* window) {
    if (!window) return;
    SetWindowLongPtrW(window->hwnd, GWLP_USERDATA, 0);
    DestroyPartial(*window);
    delete window;
    windowOpen = false;
}

bool MakeWindowListContextCurrent(Window* window) {
    return window && window->lists.context && wglMakeCurrent(window->lists.dc, window->lists.context);
}

void ReleaseWindowListContext(Window* window) {
    if (window && window->lists.context) wglMakeCurrent(nullptr, nullptr);
}

bool PollWindowEvent(Window* window, WindowEvent* event) {
    if (!window) return false;
    for (int taken = 0; window->input.events.empty() && taken < kMaxMessagesPerPoll; ++taken) {
        MSG msg;
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) break;
        if (msg.message == WM_QUIT) {
            QueueEvent(window->input, {WindowEventKind::Close, 0});
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return TakeEvent(window->input, event);
}

WindowInputState* InputStateOf(Window* window) { return window ? &window->input : nullptr; }

void WaitForWindowInput(Window* window, double timeoutSeconds) {
    if (!window || !window->input.events.empty() || timeoutSeconds <= 0.0) return;
    if (window->input.serial.load() != window->input.serialLooked.load()) return;
    const double ms = timeoutSeconds * 1000.0;
    const DWORD wait = ms >= 3600000.0 ? DWORD(3600000) : DWORD(ms);
    MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

void SwapWindowBuffers(Window* window) {
    if (window) SwapBuffers(window->dc);
}

bool IsKeyDown(Window* window, int virtualKey) {
    return window && QueryKey(window->input, virtualKey);
}

WindowPoint GetCursorScreenPos(Window* window) {
    if (!window) return {};
    POINT p = {};
    GetCursorPos(&p);
    return {int32_t(p.x), int32_t(p.y)};
}

WindowRect GetClientScreenRect(Window* window) {
    if (!window) return {};
    RECT r = {};
    GetClientRect(window->hwnd, &r);
    POINT origin = {0, 0};
    ClientToScreen(window->hwnd, &origin);
    return {int32_t(r.left + origin.x), int32_t(r.top + origin.y), int32_t(r.right + origin.x),
            int32_t(r.bottom + origin.y)};
}

// Window pixels are physical pixels (the process is DPI aware).
void GetFramebufferScale(Window*, float* scaleX, float* scaleY) {
    if (scaleX) *scaleX = 1.0f;
    if (scaleY) *scaleY = 1.0f;
}

void SetDrawingViewport(Window*, float width, float height) {
    glViewport(0, 0, GLsizei(std::lround(width)), GLsizei(std::lround(height)));
}

// User handles fit in 32 bits on 64-bit Windows, so the window handle travels as a number.
unsigned long GetNativeWindowId(Window* window) {
    return window ? static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window->hwnd)) : 0;
}

// ---- Scripted input: real messages posted to the window, taken by the next poll. ----

void SetHeadlessCursor(Window* window, int screenX, int screenY) {
    if (window) SetCursorPos(screenX, screenY);
}

void SetHeadlessCursorInClient(Window* window, int clientX, int clientY) {
    if (!window) return;
    POINT p = {clientX, clientY};
    ClientToScreen(window->hwnd, &p);
    SetCursorPos(p.x, p.y);
}

void SetHeadlessKey(Window* window, int virtualKey, bool down) {
    if (!window || virtualKey <= 0 || virtualKey >= WindowInputState::kCodes) return;
    if (virtualKey == kVkLeftButton || virtualKey == kVkRightButton || virtualKey == kVkMiddleButton) {
        PostButton(*window, virtualKey, down);
        return;
    }
    // Repeat count 1; a release also carries the previous-state and transition bits.
    const LPARAM bits = down ? 1 : LPARAM(1 | (1u << 30) | (1u << 31));
    PostMessageW(window->hwnd, down ? WM_KEYDOWN : WM_KEYUP, WPARAM(virtualKey), bits);
}

void PostHeadlessChar(Window* window, uint32_t codePoint) {
    if (!window || codePoint > 0x10FFFF) return;
    if (codePoint < 0x10000) {
        PostMessageW(window->hwnd, WM_CHAR, WPARAM(codePoint), 1);
        return;
    }
    const uint32_t v = codePoint - 0x10000;
    PostMessageW(window->hwnd, WM_CHAR, WPARAM(0xD800 + (v >> 10)), 1);
    PostMessageW(window->hwnd, WM_CHAR, WPARAM(0xDC00 + (v & 0x3FF)), 1);
}

// The same handle the Explorer hands over: a DROPFILES header and the wide paths, each
// ended by a zero and the list by one more. The window procedure releases it.
void PostHeadlessDrop(Window* window, const std::vector<std::string>& paths) {
    if (!window || paths.empty()) return;
    std::wstring list;
    for (const std::string& p : paths) {
        list += WidenUtf8(p);
        list += L'\0';
    }
    list += L'\0';
    const size_t bytes = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    if (!memory) return;
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    if (!header) {
        GlobalFree(memory);
        return;
    }
    header->pFiles = sizeof(DROPFILES);
    GetCursorPos(&header->pt);
    ScreenToClient(window->hwnd, &header->pt);
    header->fNC = FALSE;
    header->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    if (!PostMessageW(window->hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0)) GlobalFree(memory);
}

void PostHeadlessWheel(Window* window, int delta) {
    if (!window) return;
    POINT p = {};
    GetCursorPos(&p);
    const LPARAM at = MAKELPARAM(WORD(int16_t(p.x)), WORD(int16_t(p.y)));
    // A wheel message carries a signed 16-bit amount: larger turns take several.
    do {
        const int part = delta > 32767 ? 32767 : (delta < -32767 ? -32767 : delta);
        PostMessageW(window->hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(int16_t(part))), at);
        delta -= part;
    } while (delta != 0);
}

void PostHeadlessClose(Window* window) {
    if (window) PostMessageW(window->hwnd, WM_CLOSE, 0, 0);
}

// The shown frame, read from the back buffer: the pixel format asks for a copying swap,
// which leaves the frame there after the swap (as Wine's and the software drivers' swaps do);
// the front buffer belongs to the screen and may hold anything on top of the window.
bool ReadHeadlessClientImage(Window* window, ClientImage* image) {
    if (!window || !image) return false;
    image->width = kClientWidth;
    image->height = kClientHeight;
    image->rgba.assign(size_t(kClientWidth) * kClientHeight * 4, 0);
    GLint packAlignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glFinish();
    while (glGetError() != GL_NO_ERROR) {
    }
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, kClientWidth, kClientHeight, GL_RGBA, GL_UNSIGNED_BYTE, image->rgba.data());
    glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);
    const size_t rowBytes = size_t(kClientWidth) * 4;
    std::vector<uint8_t> row(rowBytes);
    for (int top = 0, bottom = kClientHeight - 1; top < bottom; ++top, --bottom) {
        uint8_t* a = &image->rgba[size_t(top) * rowBytes];
        uint8_t* b = &image->rgba[size_t(bottom) * rowBytes];
        std::memcpy(row.data(), a, rowBytes);
        std::memcpy(a, b, rowBytes);
        std::memcpy(b, row.data(), rowBytes);
    }
    return glGetError() == GL_NO_ERROR;
}

}  // namespace morva
