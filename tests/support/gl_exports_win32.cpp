// Windows test programs only: the GL 1.3 to 3.0 functions that tests call directly (the
// editor itself calls them through its entry-point tables). The system's GL library
// stops at 1.1, so each one here looks its driver function up by name on first use.
#include "platform/gl_entry_points.h"

#include <cstdio>
#include <cstdlib>

namespace {

template <typename F>
F Lookup(F* cached, const char* name) {
    if (!*cached) *cached = reinterpret_cast<F>(FindGLFunction(name));
    if (!*cached) {
        std::fprintf(stderr, "the GL driver lacks %s\n", name);
        std::abort();
    }
    return *cached;
}

}  // namespace

#define MORVA_FORWARD(ret, name, type, params, args)  \
    extern "C" ret APIENTRY name params {             \
        static type cached = nullptr;                 \
        return Lookup(&cached, #name) args;           \
    }

MORVA_FORWARD(void, glActiveTexture, PFNGLACTIVETEXTUREPROC, (GLenum unit), (unit))
MORVA_FORWARD(void, glUseProgram, PFNGLUSEPROGRAMPROC, (GLuint program), (program))
MORVA_FORWARD(void, glGetProgramiv, PFNGLGETPROGRAMIVPROC, (GLuint program, GLenum name, GLint* value),
              (program, name, value))
MORVA_FORWARD(GLint, glGetUniformLocation, PFNGLGETUNIFORMLOCATIONPROC,
              (GLuint program, const GLchar* name), (program, name))
MORVA_FORWARD(void, glGetUniformfv, PFNGLGETUNIFORMFVPROC, (GLuint program, GLint location, GLfloat* value),
              (program, location, value))
MORVA_FORWARD(void, glGetUniformiv, PFNGLGETUNIFORMIVPROC, (GLuint program, GLint location, GLint* value),
              (program, location, value))
MORVA_FORWARD(void, glGenerateMipmap, PFNGLGENERATEMIPMAPPROC, (GLenum target), (target))
MORVA_FORWARD(void, glGenQueries, PFNGLGENQUERIESPROC, (GLsizei n, GLuint* ids), (n, ids))
MORVA_FORWARD(void, glDeleteQueries, PFNGLDELETEQUERIESPROC, (GLsizei n, const GLuint* ids), (n, ids))
MORVA_FORWARD(void, glBeginQuery, PFNGLBEGINQUERYPROC, (GLenum target, GLuint id), (target, id))
MORVA_FORWARD(void, glEndQuery, PFNGLENDQUERYPROC, (GLenum target), (target))
MORVA_FORWARD(void, glGetQueryObjectuiv, PFNGLGETQUERYOBJECTUIVPROC, (GLuint id, GLenum name, GLuint* value),
              (id, name, value))
