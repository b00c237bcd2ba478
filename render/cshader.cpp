#include "render/cshader.h"

#include "platform/files.h"
#include "platform/gl_entry_points.h"

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// Logs longer than this are cut and end with a note saying so.
constexpr GLint kMaxLogBytes = 64 * 1024;
const char kLogCutNote[] = "Shader Log contained more information!";

// Sources longer than this are not read.
constexpr uint64_t kMaxSourceBytes = 16 * 1024 * 1024;

// The whole file as text; empty when it cannot be opened or read (a directory, a pipe).
std::string ReadSource(const char* path) {
    std::string text;
    if (!files::ReadWholeFile(path, kMaxSourceBytes, text)) text.clear();
    return text;
}

// Replaces `file` with the info log; a file that cannot be opened loses the log silently.
void WriteLog(const char* file, GLint log_length, const std::vector<char>& log, GLsizei written) {
    const GLsizei capacity = static_cast<GLsizei>(log.size());
    const GLsizei text_length = std::max(0, std::min(written, capacity - 1));
    std::string text(log.data(), static_cast<size_t>(text_length));
    if (log_length > capacity) text += kLogCutNote;
    // An installed editor runs in a folder the user may not write to: its launcher names a
    // folder of the user's own for the logs.
    const char* folder = std::getenv("MORVA_LOG_DIR");
    const std::string path = folder != nullptr && *folder != '\0' ? files::JoinPath(folder, file) : std::string(file);
    files::WriteWholeFile(path.c_str(), text.data(), text.size());
}

// Fetches the info log of a shader or program object (through the matching pair of GL
// queries) and writes it to `file`.
void WriteInfoLog(GLuint object, PFNGLGETSHADERIVPROC get_parameter, PFNGLGETSHADERINFOLOGPROC get_log,
                  const char* file) {
    GLint length = 0;
    get_parameter(object, GL_INFO_LOG_LENGTH, &length);
    std::vector<char> log(static_cast<size_t>(std::clamp(length, GLint(1), kMaxLogBytes)), '\0');
    GLsizei written = 0;
    get_log(object, static_cast<GLsizei>(log.size()), &written, log.data());
    WriteLog(file, length, log, written);
}

void WriteShaderLog(const GLEntryPoints& gl, GLuint shader, const char* file) {
    WriteInfoLog(shader, gl.GetShaderiv, gl.GetShaderInfoLog, file);
}

void WriteProgramLog(const GLEntryPoints& gl, GLuint program, const char* file) {
    WriteInfoLog(program, gl.GetProgramiv, gl.GetProgramInfoLog, file);
}

// Creates and compiles one shader object; returns whether it compiled.
bool CompileShader(const GLEntryPoints& gl, GLenum type, const std::string& source, GLuint& shader) {
    shader = gl.CreateShader(type);
    const GLchar* text = source.c_str();
    gl.ShaderSource(shader, 1, &text, nullptr);
    gl.CompileShader(shader);
    GLint compiled = GL_FALSE;
    gl.GetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    return compiled == GL_TRUE;
}

// Location of `name` in the program, or -1 when there is nothing to load into.
GLint UniformLocation(const GLEntryPoints& gl, const Shader* s, const char* name) {
    if (!s || !name || s->program == 0) return -1;
    return gl.GetUniformLocation(s->program, name);
}

}  // namespace

cshader::cshader() { gl_ready = LoadGLEntryPoints(&gl); }

cshader::~cshader() = default;

Shader* cshader::LoadShader(char* vertex_path, char* fragment_path) {
    return LoadShader(static_cast<const char*>(vertex_path), static_cast<const char*>(fragment_path));
}

Shader* cshader::LoadShader(const char* vertex_path, const char* fragment_path) {
    Shader* s = new Shader();
    // A manager built before its context was current finds the functions now; without them
    // everything is drawn fixed-function (program 0).
    if (!gl_ready) gl_ready = LoadGLEntryPoints(&gl);
    if (!gl_ready) return s;
    const std::string vertex_source = ReadSource(vertex_path);
    const std::string fragment_source = ReadSource(fragment_path);

    if (!CompileShader(gl, GL_VERTEX_SHADER, vertex_source, s->vertex_shader)) {
        WriteShaderLog(gl, s->vertex_shader, "debugv.txt");
        return s;
    }
    if (!CompileShader(gl, GL_FRAGMENT_SHADER, fragment_source, s->fragment_shader)) {
        WriteShaderLog(gl, s->fragment_shader, "debugf.txt");
    }

    s->program = gl.CreateProgram();
    gl.AttachShader(s->program, s->fragment_shader);
    gl.AttachShader(s->program, s->vertex_shader);
    gl.LinkProgram(s->program);
    GLint linked = GL_FALSE;
    gl.GetProgramiv(s->program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) WriteProgramLog(gl, s->program, "debuglink.txt");
    gl.ValidateProgram(s->program);
    return s;
}

void cshader::UseShader(Shader* s) {
    if (gl_ready) gl.UseProgram(s ? s->program : 0);
}

void cshader::DisableShader() {
    if (gl_ready) gl.UseProgram(0);
}

void cshader::SetUniformf(Shader* s, const char* name, const float* values, unsigned int count) {
    const GLint location = UniformLocation(gl, s, name);
    if (location < 0 || !values) return;
    gl.Uniform1fv(location, static_cast<GLsizei>(count), values);
}

void cshader::SetUniformi(Shader* s, const char* name, unsigned int value) {
    const GLint location = UniformLocation(gl, s, name);
    if (location < 0) return;
    gl.Uniform1i(location, static_cast<GLint>(value));
}

void cshader::SetUniformi(Shader* s, const char* name, const int* values, unsigned int count) {
    const GLint location = UniformLocation(gl, s, name);
    if (location < 0 || !values) return;
    gl.Uniform1iv(location, static_cast<GLsizei>(count), values);
}
