#include "platform/offscreen_gl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <dlfcn.h>
#include <link.h>

#include <cstring>

namespace morva {
namespace {

bool HasExtension(const char* list, const char* name) {
    if (!list) return false;
    const size_t n = std::strlen(name);
    for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += n) {
        const bool starts = (p == list || p[-1] == ' ');
        const bool ends = (p[n] == ' ' || p[n] == '\0');
        if (starts && ends) return true;
    }
    return false;
}

EGLDisplay OpenSurfacelessDisplay(std::string& error) {
    const char* clientExt = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!HasExtension(clientExt, "EGL_MESA_platform_surfaceless")) {
        error = "EGL_MESA_platform_surfaceless is not available";
        return EGL_NO_DISPLAY;
    }
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) {
        error = "eglGetPlatformDisplayEXT is missing";
        return EGL_NO_DISPLAY;
    }
    EGLDisplay dpy = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (dpy == EGL_NO_DISPLAY) error = "no surfaceless EGL display";
    return dpy;
}

// The GL driver loads modules at run time and unloads them at exit before leak checking
// runs; keeping them mapped lets leak reports inside the driver name their module.
int PinModule(struct dl_phdr_info* info, size_t, void*) {
    const char* name = info->dlpi_name;
    if (!name || !*name) return 0;
    static const char* const kDriverParts[] = {"dri", "mesa", "EGL", "GLX", "glapi", "LLVM", "GL.so"};
    for (const char* part : kDriverParts) {
        if (std::strstr(name, part)) {
            dlopen(name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            break;
        }
    }
    return 0;
}

}  // namespace

void PinGLDriverModules() { dl_iterate_phdr(PinModule, nullptr); }

bool CreateOffscreenGL(OffscreenGL& gl, int width, int height) {
    gl = OffscreenGL{};
    EGLDisplay dpy = OpenSurfacelessDisplay(gl.error);
    if (dpy == EGL_NO_DISPLAY) return false;
    EGLint major = 0, minor = 0;
    if (!eglInitialize(dpy, &major, &minor)) {
        gl.error = "eglInitialize failed";
        return false;
    }
    gl.display = dpy;
    if (!eglBindAPI(EGL_OPENGL_API)) {
        gl.error = "desktop OpenGL is not available through EGL";
        DestroyOffscreenGL(gl);
        return false;
    }
    const EGLint configAttribs[] = {
        EGL_SURFACE_TYPE, EGL_PBUFFER_BIT,
        EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
        EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8,
        EGL_DEPTH_SIZE, 24, EGL_STENCIL_SIZE, 8,
        EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (!eglChooseConfig(dpy, configAttribs, &config, 1, &count) || count < 1) {
        gl.error = "no RGBA8/depth24/stencil8 pbuffer configuration";
        DestroyOffscreenGL(gl);
        return false;
    }
    const EGLint surfaceAttribs[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    EGLSurface surface = eglCreatePbufferSurface(dpy, config, surfaceAttribs);
    if (surface == EGL_NO_SURFACE) {
        gl.error = "eglCreatePbufferSurface failed";
        DestroyOffscreenGL(gl);
        return false;
    }
    gl.surface = surface;
    const EGLint contextAttribs[] = {
        EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
        EGL_NONE};
    EGLContext context = eglCreateContext(dpy, config, EGL_NO_CONTEXT, contextAttribs);
    if (context == EGL_NO_CONTEXT) {
        gl.error = "eglCreateContext failed";
        DestroyOffscreenGL(gl);
        return false;
    }
    gl.context = context;
    // Made current without a surface on the thread that uses it.
    if (HasExtension(eglQueryString(dpy, EGL_EXTENSIONS), "EGL_KHR_surfaceless_context")) {
        EGLContext list_context = eglCreateContext(dpy, config, context, contextAttribs);
        gl.list_context = list_context == EGL_NO_CONTEXT ? nullptr : list_context;
    }
    if (!eglMakeCurrent(dpy, surface, surface, context)) {
        gl.error = "eglMakeCurrent failed";
        DestroyOffscreenGL(gl);
        return false;
    }
    PinGLDriverModules();
    gl.width = width;
    gl.height = height;
    glViewport(0, 0, width, height);
    return true;
}

void DestroyOffscreenGL(OffscreenGL& gl) {
    if (gl.display) {
        EGLDisplay dpy = gl.display;
        eglMakeCurrent(dpy, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (gl.list_context) eglDestroyContext(dpy, gl.list_context);
        if (gl.context) eglDestroyContext(dpy, gl.context);
        if (gl.surface) eglDestroySurface(dpy, gl.surface);
        eglTerminate(dpy);
        eglReleaseThread();
    }
    gl.display = gl.context = gl.surface = gl.list_context = nullptr;
    gl.width = gl.height = 0;
}

bool MakeListContextCurrent(const OffscreenGL& gl) {
    if (!gl.display || !gl.list_context) return false;
    return eglMakeCurrent(gl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, gl.list_context) == EGL_TRUE;
}

void ReleaseListContext(const OffscreenGL& gl) {
    if (!gl.display) return;
    eglMakeCurrent(gl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglReleaseThread();
}

void FinishOffscreenGL(const OffscreenGL&) { glFinish(); }

}  // namespace morva
