#include "platform/gl_entry_points.h"

#include <cstdint>

namespace {

template <typename F>
bool Fill(F* entry, const char* name, F exported, std::string* missing, bool* all) {
#ifdef _WIN32
    (void)exported;
    *entry = reinterpret_cast<F>(FindGLFunction(name));
#else
    *entry = exported;
#endif
    if (*entry == nullptr && *all) {
        *all = false;
        if (missing) *missing = name;
    }
    return *entry != nullptr;
}

}  // namespace

void* FindGLFunction(const char* name) {
#ifdef _WIN32
    if (!name || !wglGetCurrentContext()) return nullptr;
    PROC p = wglGetProcAddress(name);
    // Some drivers answer "not found" with small numbers or -1 instead of null.
    const intptr_t value = reinterpret_cast<intptr_t>(p);
    if (value == 0 || value == 1 || value == 2 || value == 3 || value == -1) return nullptr;
    return reinterpret_cast<void*>(p);
#else
    (void)name;
    return nullptr;
#endif
}

#ifdef _WIN32
// The system library exports none of these; each comes from the driver by name.
#define MORVA_GL_EXPORT(name) nullptr
#else
#define MORVA_GL_EXPORT(name) &::name
#endif

#define MORVA_FILL(field, name) \
    Fill(&table->field, #name, decltype(table->field)(MORVA_GL_EXPORT(name)), missing, &all)

bool LoadGLEntryPoints(GLEntryPoints* table, std::string* missing) {
    if (!table) return false;
    bool all = true;
    MORVA_FILL(ActiveTexture, glActiveTexture);
    MORVA_FILL(CreateShader, glCreateShader);
    MORVA_FILL(ShaderSource, glShaderSource);
    MORVA_FILL(CompileShader, glCompileShader);
    MORVA_FILL(GetShaderiv, glGetShaderiv);
    MORVA_FILL(GetShaderInfoLog, glGetShaderInfoLog);
    MORVA_FILL(CreateProgram, glCreateProgram);
    MORVA_FILL(AttachShader, glAttachShader);
    MORVA_FILL(LinkProgram, glLinkProgram);
    MORVA_FILL(GetProgramiv, glGetProgramiv);
    MORVA_FILL(GetProgramInfoLog, glGetProgramInfoLog);
    MORVA_FILL(ValidateProgram, glValidateProgram);
    MORVA_FILL(UseProgram, glUseProgram);
    MORVA_FILL(GetUniformLocation, glGetUniformLocation);
    MORVA_FILL(Uniform1i, glUniform1i);
    MORVA_FILL(Uniform1iv, glUniform1iv);
    MORVA_FILL(Uniform1fv, glUniform1fv);
    return all;
}
