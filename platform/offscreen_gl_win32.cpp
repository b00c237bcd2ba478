// Offscreen GL context on Windows: a window that is never shown, with a WGL context on it.
// Drawing goes to its back buffer, which stays private because the window has no place
// on the screen; the GL tests and the tools read it back.
#include "platform/offscreen_gl.h"

#include <windows.h>
#include <GL/gl.h>

#include "platform/wgl_context.h"

namespace morva {
namespace {

const wchar_t kClassName[] = L"MorvaOffscreenGL";

bool RegisterHiddenClass() {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

// The handles: `display` is the device context, `context` the GL context and `surface`
// the hidden window.
bool CreateOffscreenGL(OffscreenGL& gl, int width, int height) {
    gl = OffscreenGL{};
    if (!RegisterHiddenClass()) {
        gl.error = "cannot register the offscreen window class";
        return false;
    }
    HWND window = CreateWindowExW(0, kClassName, L"", WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                                  0, 0, width, height, nullptr, nullptr, GetModuleHandleW(nullptr),
                                  nullptr);
    if (!window) {
        gl.error = "cannot create the hidden window";
        return false;
    }
    gl.surface = window;
    HDC dc = GetDC(window);
    gl.display = dc;
    if (!dc || !SetEditorPixelFormat(dc, &gl.error)) {
        if (gl.error.empty()) gl.error = "no device context for the hidden window";
        DestroyOffscreenGL(gl);
        return false;
    }
    HGLRC context = CreateCurrentGLContext(dc, &gl.error);
    if (!context) {
        DestroyOffscreenGL(gl);
        return false;
    }
    gl.context = context;
    gl.width = width;
    gl.height = height;
    glDrawBuffer(GL_BACK);
    glReadBuffer(GL_BACK);
    glViewport(0, 0, width, height);
    return true;
}

void DestroyOffscreenGL(OffscreenGL& gl) {
    DeleteGLContext(static_cast<HGLRC>(gl.context));
    HWND window = static_cast<HWND>(gl.surface);
    if (window && gl.display) ReleaseDC(window, static_cast<HDC>(gl.display));
    if (window) DestroyWindow(window);
    gl.display = gl.context = gl.surface = nullptr;
    gl.width = gl.height = 0;
}

// The offscreen context on Windows (tests and tools) has no list context: every list is
// recorded on the thread that draws.
bool MakeListContextCurrent(const OffscreenGL&) { return false; }

void ReleaseListContext(const OffscreenGL&) {}

void FinishOffscreenGL(const OffscreenGL&) { glFinish(); }

// The driver's modules stay loaded for the life of the process on Windows.
void PinGLDriverModules() {}

}  // namespace morva
