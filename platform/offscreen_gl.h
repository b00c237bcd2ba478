// Offscreen OpenGL context: on Linux Mesa's surfaceless EGL platform (one EGL display,
// context and pbuffer), on Windows a window that is never shown with a WGL context on it
// (offscreen_gl_win32.cpp). Made current on the calling thread.
// Needs no window system; it never reads input or shows anything.
#pragma once

#include <string>

namespace morva {

struct OffscreenGL {
    void* display = nullptr;   // EGLDisplay (Windows: the device context)
    void* context = nullptr;   // EGLContext (Windows: the GL context)
    void* surface = nullptr;   // EGLSurface (Windows: the hidden window)
    // A second context sharing display lists with `context`, for recording lists on a
    // second thread (see MakeListContextCurrent); null when the system offers none.
    void* list_context = nullptr;
    int width = 0;
    int height = 0;
    std::string error;         // why creation failed, empty on success
};

// Creates an RGBA8 pbuffer of width x height with 24 depth and 8 stencil bits and a
// compatibility-profile desktop GL context, and makes it current. Returns false and
// fills `error` when the system or the driver cannot provide it.
bool CreateOffscreenGL(OffscreenGL& gl, int width, int height);

// Releases the context and surface; safe on a context that failed to be created.
void DestroyOffscreenGL(OffscreenGL& gl);

// Makes the list context current on the calling thread, which must not be the thread the
// main context is current on; false when there is none or it cannot be made current.
// ReleaseListContext leaves the calling thread without a context again.
bool MakeListContextCurrent(const OffscreenGL& gl);
void ReleaseListContext(const OffscreenGL& gl);

// Finishes all drawing (the pbuffer has no front buffer to swap to).
void FinishOffscreenGL(const OffscreenGL& gl);

// Keeps the GL driver's run-time loaded modules mapped until the process ends, so that
// leak reports from inside the driver can be attributed (and suppressed) by module.
void PinGLDriverModules();

}  // namespace morva
