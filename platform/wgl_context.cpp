#include "platform/wgl_context.h"

#include <string>

namespace morva {
namespace {

void SetError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

std::string Granted(const PIXELFORMATDESCRIPTOR& pfd) {
    return std::to_string(int(pfd.cColorBits)) + " colour, " + std::to_string(int(pfd.cDepthBits)) +
           " depth and " + std::to_string(int(pfd.cStencilBits)) + " stencil bits";
}

}  // namespace

bool SetEditorPixelFormat(HDC dc, std::string* error) {
    PIXELFORMATDESCRIPTOR wanted = {};
    wanted.nSize = sizeof wanted;
    wanted.nVersion = 1;
    // A copying swap (a hint only) keeps the shown frame in the back buffer for read-back.
    wanted.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER | PFD_SWAP_COPY;
    wanted.iPixelType = PFD_TYPE_RGBA;
    wanted.cColorBits = 32;
    wanted.cAlphaBits = 8;
    wanted.cDepthBits = 24;
    wanted.cStencilBits = 8;
    wanted.iLayerType = PFD_MAIN_PLANE;
    const int format = ChoosePixelFormat(dc, &wanted);
    if (format == 0) {
        SetError(error, "no pixel format with OpenGL support (ChoosePixelFormat failed)");
        return false;
    }
    // ChoosePixelFormat returns the closest match, which may lack what was asked for.
    PIXELFORMATDESCRIPTOR got = {};
    if (DescribePixelFormat(dc, format, sizeof got, &got) == 0) {
        SetError(error, "DescribePixelFormat failed");
        return false;
    }
    if (got.cStencilBits < 8 || got.cDepthBits < 24 || got.iPixelType != PFD_TYPE_RGBA ||
        !(got.dwFlags & PFD_SUPPORT_OPENGL) || !(got.dwFlags & PFD_DOUBLEBUFFER)) {
        SetError(error, "the GL driver offers no double-buffered RGBA format with 24 depth and 8 "
                        "stencil bits (closest: " + Granted(got) + ")");
        return false;
    }
    if (!SetPixelFormat(dc, format, &got)) {
        SetError(error, "SetPixelFormat failed");
        return false;
    }
    return true;
}

HGLRC CreateCurrentGLContext(HDC dc, std::string* error) {
    HGLRC context = wglCreateContext(dc);
    if (!context) {
        SetError(error, "wglCreateContext failed");
        return nullptr;
    }
    if (!wglMakeCurrent(dc, context)) {
        wglDeleteContext(context);
        SetError(error, "wglMakeCurrent failed");
        return nullptr;
    }
    return context;
}

void DeleteGLContext(HGLRC context) {
    if (!context) return;
    if (wglGetCurrentContext() == context) wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(context);
}

WglListContext CreateWglListContext(HGLRC shared) {
    WglListContext list;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"MorvaListContext";
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return list;
    list.window = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  wc.hInstance, nullptr);
    if (list.window) list.dc = GetDC(list.window);
    if (list.dc && SetEditorPixelFormat(list.dc, nullptr)) list.context = wglCreateContext(list.dc);
    // The new context holds no lists yet, as sharing requires.
    if (!list.context || !wglShareLists(shared, list.context)) DestroyWglListContext(list);
    return list;
}

void DestroyWglListContext(WglListContext& list) {
    DeleteGLContext(list.context);
    if (list.window && list.dc) ReleaseDC(list.window, list.dc);
    if (list.window) DestroyWindow(list.window);
    list = WglListContext{};
}

}  // namespace morva
