// The OpenGL 1.3 and 2.0 entry points the editor calls, as a table of function pointers.
// The shell, the model loader and the shader manager each fill one when they are built
// (with their context current) and call these functions through it. On Linux the GL
// library exports them and the table holds their addresses; on Windows the system library
// stops at GL 1.1 and the driver hands them out through wglGetProcAddress.
// This module only finds the functions; it never calls them.
#pragma once

#ifdef _WIN32
#include <windows.h>
#endif
#include <GL/gl.h>
#include <GL/glext.h>

#include <string>

struct GLEntryPoints {
    PFNGLACTIVETEXTUREPROC ActiveTexture = nullptr;
    PFNGLCREATESHADERPROC CreateShader = nullptr;
    PFNGLSHADERSOURCEPROC ShaderSource = nullptr;
    PFNGLCOMPILESHADERPROC CompileShader = nullptr;
    PFNGLGETSHADERIVPROC GetShaderiv = nullptr;
    PFNGLGETSHADERINFOLOGPROC GetShaderInfoLog = nullptr;
    PFNGLCREATEPROGRAMPROC CreateProgram = nullptr;
    PFNGLATTACHSHADERPROC AttachShader = nullptr;
    PFNGLLINKPROGRAMPROC LinkProgram = nullptr;
    PFNGLGETPROGRAMIVPROC GetProgramiv = nullptr;
    PFNGLGETPROGRAMINFOLOGPROC GetProgramInfoLog = nullptr;
    PFNGLVALIDATEPROGRAMPROC ValidateProgram = nullptr;
    PFNGLUSEPROGRAMPROC UseProgram = nullptr;
    PFNGLGETUNIFORMLOCATIONPROC GetUniformLocation = nullptr;
    PFNGLUNIFORM1IPROC Uniform1i = nullptr;
    PFNGLUNIFORM1IVPROC Uniform1iv = nullptr;
    PFNGLUNIFORM1FVPROC Uniform1fv = nullptr;
};

// Fills every entry for the context current on this thread. Returns false when the driver
// lacks one (an OpenGL 1.1-only driver, or no context current); `missing` then names the
// first absent function. The entries found are filled either way; absent ones stay null.
bool LoadGLEntryPoints(GLEntryPoints* table, std::string* missing = nullptr);

// The address of any GL extension or core function by name for the current context, or
// null (always null on Linux, where they are called directly). The Windows test programs
// use it for the few functions the editor itself never calls.
void* FindGLFunction(const char* name);
