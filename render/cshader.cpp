#include "render/cshader.h"

#include "platform/files.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
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
    files::WriteWholeFile(file, text.data(), text.size());
}

// Fetches the info log of a shader or program object (through the matching pair of GL
// queries) and writes it to `file`.
void WriteInfoLog(GLuint object, void (*get_parameter)(GLuint, GLenum, GLint*),
                  void (*get_log)(GLuint, GLsizei, GLsizei*, GLchar*), const char* file) {
    GLint length = 0;
    get_parameter(object, GL_INFO_LOG_LENGTH, &length);
    std::vector<char> log(static_cast<size_t>(std::clamp(length, GLint(1), kMaxLogBytes)), '\0');
    GLsizei written = 0;
    get_log(object, static_cast<GLsizei>(log.size()), &written, log.data());
    WriteLog(file, length, log, written);
}

void WriteShaderLog(GLuint shader, const char* file) {
    WriteInfoLog(shader, glGetShaderiv, glGetShaderInfoLog, file);
}

void WriteProgramLog(GLuint program, const char* file) {
    WriteInfoLog(program, glGetProgramiv, glGetProgramInfoLog, file);
}

// Creates and compiles one shader object; returns whether it compiled.
bool CompileShader(GLenum type, const std::string& source, GLuint& shader) {
    shader = glCreateShader(type);
    const GLchar* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    return compiled == GL_TRUE;
}

// Location of `name` in the program, or -1 when there is nothing to load into.
GLint UniformLocation(const Shader* s, const char* name) {
    if (!s || !name || s->program == 0) return -1;
    return glGetUniformLocation(s->program, name);
}

}  // namespace

cshader::cshader() = default;

cshader::~cshader() = default;

Shader* cshader::LoadShader(char* vertex_path, char* fragment_path) {
    return LoadShader(static_cast<const char*>(vertex_path), static_cast<const char*>(fragment_path));
}

Shader* cshader::LoadShader(const char* vertex_path, const char* fragment_path) {
    Shader* s = new Shader();
    const std::string vertex_source = ReadSource(vertex_path);
    const std::string fragment_source = ReadSource(fragment_path);

    if (!CompileShader(GL_VERTEX_SHADER, vertex_source, s->vertex_shader)) {
        WriteShaderLog(s->vertex_shader, "debugv.txt");
        return s;
    }
    if (!CompileShader(GL_FRAGMENT_SHADER, fragment_source, s->fragment_shader)) {
        WriteShaderLog(s->fragment_shader, "debugf.txt");
    }

    s->program = glCreateProgram();
    glAttachShader(s->program, s->fragment_shader);
    glAttachShader(s->program, s->vertex_shader);
    glLinkProgram(s->program);
    GLint linked = GL_FALSE;
    glGetProgramiv(s->program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) WriteProgramLog(s->program, "debuglink.txt");
    glValidateProgram(s->program);
    return s;
}

void cshader::UseShader(Shader* s) { glUseProgram(s ? s->program : 0); }

void cshader::DisableShader() { glUseProgram(0); }

void cshader::SetUniformf(Shader* s, const char* name, const float* values, unsigned int count) {
    const GLint location = UniformLocation(s, name);
    if (location < 0 || !values) return;
    glUniform1fv(location, static_cast<GLsizei>(count), values);
}

void cshader::SetUniformi(Shader* s, const char* name, unsigned int value) {
    const GLint location = UniformLocation(s, name);
    if (location < 0) return;
    glUniform1i(location, static_cast<GLint>(value));
}

void cshader::SetUniformi(Shader* s, const char* name, const int* values, unsigned int count) {
    const GLint location = UniformLocation(s, name);
    if (location < 0 || !values) return;
    glUniform1iv(location, static_cast<GLsizei>(count), values);
}
