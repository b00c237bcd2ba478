// WGL set-up shared by the Windows window layer and the hidden-window offscreen context:
// the pixel format (RGBA, double buffer, 24 depth and 8 stencil bits, checked against what
// the driver granted) and a context made current. Windows only.
#pragma once

#include <windows.h>

#include <string>

namespace morva {

// Chooses and sets the pixel format on the window's device context. Fails, and says what
// was granted, when the closest format lacks the stencil or depth bits the shadows need.
bool SetEditorPixelFormat(HDC dc, std::string* error);

// Creates a GL context on `dc` (whose pixel format is set) and makes it current; null and
// `error` filled on failure.
HGLRC CreateCurrentGLContext(HDC dc, std::string* error);

// Releases the current context and deletes `context`; safe on null.
void DeleteGLContext(HGLRC context);

// A context for another thread, sharing display lists with `shared`, on a window of its own
// that is never shown (the editor window's device context stays the drawing thread's). All
// null when the system or the driver offers none. Made on the thread that owns `shared`.
struct WglListContext {
    HWND window = nullptr;
    HDC dc = nullptr;
    HGLRC context = nullptr;
};
WglListContext CreateWglListContext(HGLRC shared);
void DestroyWglListContext(WglListContext& list);

}  // namespace morva
