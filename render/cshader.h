// Shader programs: builds GLSL programs from a vertex and a fragment source file,
// switches them on and off and sets their uniforms by name.
// Build failures are written to debugv.txt, debugf.txt or debuglink.txt in the working
// directory (in the folder MORVA_LOG_DIR names, when that environment variable is set);
// nothing is thrown and nothing goes to the on-screen log. Programs and shader
// objects are never deleted.
#pragma once

#include "platform/gl_entry_points.h"

// One built program. Created by LoadShader and owned by the caller for the rest of the run.
// After a vertex compile failure only `vertex_shader` is set and `program` is 0, so that
// UseShader falls back to fixed-function drawing.
struct Shader {
    unsigned int program = 0;
    unsigned int fragment_shader = 0;
    unsigned int vertex_shader = 0;
};

class cshader {
public:
    // The GL 2.0 entry points, found when the manager is built.
    GLEntryPoints gl;
    bool gl_ready = false;  // all of them found; otherwise programs stay 0

    // Needs the GL context to be current; fills the entry-point table.
    cshader();
    ~cshader();

    // Builds a program from two source files; never returns null. A missing source file
    // counts as empty source and fails to compile.
    Shader* LoadShader(char* vertex_path, char* fragment_path);
    Shader* LoadShader(const char* vertex_path, const char* fragment_path);

    // Makes the record's program current (0 means fixed-function drawing).
    void UseShader(Shader* s);
    // Makes program 0 current.
    void DisableShader();

    // The setters act on the current program: call UseShader first. A name the program
    // lacks is ignored. They take const pointers, so char* names and float* or int* values
    // convert implicitly (separate char* overloads would make calls with literal names ambiguous).
    // Loads `count` floats as a float array uniform (three floats fill three elements).
    void SetUniformf(Shader* s, const char* name, const float* values, unsigned int count);
    // Loads one integer (sampler units).
    void SetUniformi(Shader* s, const char* name, unsigned int value);
    // Loads `count` integers as an int array uniform.
    void SetUniformi(Shader* s, const char* name, const int* values, unsigned int count);
};
