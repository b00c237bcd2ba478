// Shader programs: which log file each build failure writes, what a failed build leaves in the
// record, and the uniform setters.
#include "render/cshader.h"

#include "tests/render/temp_working_dir.h"
#include "tests/support/gl_test.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <unistd.h>

#include <cstdlib>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace {

const char kGoodVertex[] =
    "#version 110\n"
    "uniform float ligth[3];\n"
    "void main() { gl_Position = ftransform() + vec4(ligth[0] + ligth[1] + ligth[2]); }\n";
const char kGoodFragment[] =
    "#version 110\n"
    "uniform float material[19];\n"
    "uniform int units[7];\n"
    "uniform sampler2D TextureDiffuse;\n"
    "void main() {\n"
    "  gl_FragColor = texture2D(TextureDiffuse, vec2(0.5)) * material[18] + float(units[6]);\n"
    "}\n";

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

// Runs every test in a fresh temporary working directory, where the logs are written.
class CshaderTest : public morva_test::GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        ASSERT_TRUE(work_dir_.Enter());
        shaders_ = std::make_unique<cshader>();
    }
    void TearDown() override {
        glUseProgram(0);
        work_dir_.Leave();
    }

    // Builds a program from two source texts written to files in the working directory.
    std::unique_ptr<Shader> Build(const std::string& vertex, const std::string& fragment) {
        WriteText("a.vert", vertex);
        WriteText("a.frag", fragment);
        return std::unique_ptr<Shader>(shaders_->LoadShader("a.vert", "a.frag"));
    }

    GLint CurrentProgram() const {
        GLint current = -1;
        glGetIntegerv(GL_CURRENT_PROGRAM, &current);
        return current;
    }

    morva_test::TempWorkingDir work_dir_;
    std::unique_ptr<cshader> shaders_;
};

// ---- Build failures and their logs ----

TEST_F(CshaderTest, LogsGoToTheFolderTheEnvironmentNames) {
    // The installed editor's launcher points the logs at the user's cache folder.
    std::filesystem::create_directory("logs");
    const std::string folder = work_dir_.dir + "/logs";
#ifdef _WIN32
    ASSERT_EQ(_putenv_s("MORVA_LOG_DIR", folder.c_str()), 0);
    std::unique_ptr<Shader> s = Build("void main() { gl_Position = missing_value; }\n", kGoodFragment);
    _putenv_s("MORVA_LOG_DIR", "");
#else
    ASSERT_EQ(::setenv("MORVA_LOG_DIR", folder.c_str(), 1), 0);
    std::unique_ptr<Shader> s = Build("void main() { gl_Position = missing_value; }\n", kGoodFragment);
    ::unsetenv("MORVA_LOG_DIR");
#endif
    EXPECT_NE(ReadText("logs/debugv.txt").find("missing_value"), std::string::npos);
    EXPECT_FALSE(Exists("debugv.txt"));
}

TEST_F(CshaderTest, VertexFailureWritesOnlyTheVertexLogAndLeavesNoProgram) {
    WriteText("debugf.txt", "earlier fragment log");
    WriteText("debuglink.txt", "earlier link log");
    std::unique_ptr<Shader> s = Build("void main() { gl_Position = missing_value; }\n", kGoodFragment);
    ASSERT_NE(s, nullptr);
    EXPECT_NE(s->vertex_shader, 0u);
    EXPECT_EQ(s->fragment_shader, 0u);
    EXPECT_EQ(s->program, 0u);
    const std::string log = ReadText("debugv.txt");
    EXPECT_NE(log.find("missing_value"), std::string::npos) << log;
    EXPECT_EQ(log.find('\0'), std::string::npos);
    EXPECT_EQ(ReadText("debugf.txt"), "earlier fragment log");
    EXPECT_EQ(ReadText("debuglink.txt"), "earlier link log");

    // Using such a record falls back to fixed-function drawing.
    glUseProgram(0);
    shaders_->UseShader(s.get());
    EXPECT_EQ(CurrentProgram(), 0);
    float values[3] = {1, 2, 3};
    shaders_->SetUniformf(s.get(), "ligth", values, 3);
    shaders_->SetUniformi(s.get(), "TextureDiffuse", 3u);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(CshaderTest, FragmentFailureWritesTheFragmentLogAndStillTriesToLink) {
    std::unique_ptr<Shader> s = Build(kGoodVertex, "void main() { gl_FragColor = broken_colour; }\n");
    EXPECT_NE(s->vertex_shader, 0u);
    EXPECT_NE(s->fragment_shader, 0u);
    EXPECT_NE(s->program, 0u);
    EXPECT_NE(ReadText("debugf.txt").find("broken_colour"), std::string::npos);
    EXPECT_FALSE(Exists("debugv.txt"));
    // Linking with a shader that did not compile fails and is logged too.
    GLint linked = GL_TRUE;
    glGetProgramiv(s->program, GL_LINK_STATUS, &linked);
    EXPECT_EQ(linked, GL_FALSE);
    EXPECT_TRUE(Exists("debuglink.txt"));
    EXPECT_FALSE(ReadText("debuglink.txt").empty());
}

TEST_F(CshaderTest, LinkFailureWritesOnlyTheLinkLog) {
    // Both stages compile, but the fragment stage reads a varying the vertex stage never declares.
    std::unique_ptr<Shader> s =
        Build(kGoodVertex, "varying vec4 tint_from_nowhere;\nvoid main() { gl_FragColor = tint_from_nowhere; }\n");
    EXPECT_NE(s->program, 0u);
    EXPECT_FALSE(Exists("debugv.txt"));
    EXPECT_FALSE(Exists("debugf.txt"));
    EXPECT_NE(ReadText("debuglink.txt").find("tint_from_nowhere"), std::string::npos) << ReadText("debuglink.txt");
}

TEST_F(CshaderTest, SecondFailureReplacesTheEarlierLog) {
    Build("void main() { gl_Position = first_mistake; }\n", kGoodFragment);
    ASSERT_NE(ReadText("debugv.txt").find("first_mistake"), std::string::npos);
    Build("void main() { gl_Position = second_mistake; }\n", kGoodFragment);
    const std::string log = ReadText("debugv.txt");
    EXPECT_NE(log.find("second_mistake"), std::string::npos);
    EXPECT_EQ(log.find("first_mistake"), std::string::npos);
}

TEST_F(CshaderTest, SuccessfulBuildWritesNoLogAndKeepsEarlierOnes) {
    WriteText("debugv.txt", "log of an earlier run");
    std::unique_ptr<Shader> s = Build(kGoodVertex, kGoodFragment);
    EXPECT_NE(s->program, 0u);
    GLint linked = GL_FALSE;
    glGetProgramiv(s->program, GL_LINK_STATUS, &linked);
    EXPECT_EQ(linked, GL_TRUE);
    EXPECT_EQ(ReadText("debugv.txt"), "log of an earlier run");
    EXPECT_FALSE(Exists("debugf.txt"));
    EXPECT_FALSE(Exists("debuglink.txt"));
    // Both shader objects stay attached to the program.
    GLint attached = 0;
    glGetProgramiv(s->program, GL_ATTACHED_SHADERS, &attached);
    EXPECT_EQ(attached, 2);
}

TEST_F(CshaderTest, MissingSourceFilesCountAsEmptySourceThatFailsToCompile) {
    std::filesystem::create_directory("folder.vert");
    for (const char* vertex : {"no-such.vert", "folder.vert"}) {
        std::filesystem::remove("debugv.txt");
        std::unique_ptr<Shader> s(shaders_->LoadShader(vertex, "no-such.frag"));
        ASSERT_NE(s, nullptr);
        EXPECT_NE(s->vertex_shader, 0u);
        EXPECT_EQ(s->program, 0u);
        EXPECT_TRUE(Exists("debugv.txt")) << vertex;
        EXPECT_FALSE(Exists("debugf.txt"));
    }
}

TEST_F(CshaderTest, OverlongLogIsCutAndEndsWithTheNote) {
    // A few hundred errors, each naming a long identifier, give a log well over 64 KiB.
    const std::string long_name(200, 'q');
    std::string source = "void main() {\n";
    for (int i = 0; i < 500; ++i) source += "  " + long_name + std::to_string(i) + " = 1.0;\n";
    source += "}\n";
    Build(source, kGoodFragment);
    const std::string log = ReadText("debugv.txt");
    const std::string note = "Shader Log contained more information!";
    ASSERT_GT(log.size(), note.size());
    EXPECT_EQ(log.compare(log.size() - note.size(), note.size(), note), 0);
    EXPECT_LE(log.size(), 64u * 1024 + note.size());
    EXPECT_EQ(log.find('\0'), std::string::npos);
}

TEST_F(CshaderTest, ShortLogHasNoNote) {
    Build("void main() { gl_Position = one_mistake; }\n", kGoodFragment);
    EXPECT_EQ(ReadText("debugv.txt").find("Shader Log contained"), std::string::npos);
}

// ---- Switching and uniforms ----

TEST_F(CshaderTest, UseAndDisableSwitchTheCurrentProgram) {
    std::unique_ptr<Shader> s = Build(kGoodVertex, kGoodFragment);
    shaders_->UseShader(s.get());
    EXPECT_EQ(CurrentProgram(), GLint(s->program));
    shaders_->DisableShader();
    EXPECT_EQ(CurrentProgram(), 0);
}

TEST_F(CshaderTest, LigthWithCountThreeFillsThreeArrayElements) {
    std::unique_ptr<Shader> s = Build(kGoodVertex, kGoodFragment);
    shaders_->UseShader(s.get());
    float light[3] = {0.0f, 1000.0f, -2.5f};
    char name[] = "ligth";
    shaders_->SetUniformf(s.get(), name, light, 3);  // the char* form
    for (int i = 0; i < 3; ++i) {
        const std::string element = "ligth[" + std::to_string(i) + "]";
        const GLint location = glGetUniformLocation(s->program, element.c_str());
        ASSERT_GE(location, 0) << element;
        float got = -1.0f;
        glGetUniformfv(s->program, location, &got);
        EXPECT_EQ(got, light[i]) << element;
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(CshaderTest, IntegerSettersLoadSamplerUnitAndArray) {
    std::unique_ptr<Shader> s = Build(kGoodVertex, kGoodFragment);
    shaders_->UseShader(s.get());
    shaders_->SetUniformi(s.get(), "TextureDiffuse", 3u);
    int units[7] = {0, -1, 0, 12, 0, 0, 7};
    shaders_->SetUniformi(s.get(), "units", units, 7);
    GLint sampler = -1;
    glGetUniformiv(s->program, glGetUniformLocation(s->program, "TextureDiffuse"), &sampler);
    EXPECT_EQ(sampler, 3);
    for (int i = 0; i < 7; ++i) {
        const std::string element = "units[" + std::to_string(i) + "]";
        GLint got = -100;
        glGetUniformiv(s->program, glGetUniformLocation(s->program, element.c_str()), &got);
        EXPECT_EQ(got, units[i]) << element;
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(CshaderTest, UnknownUniformNameOrNullRecordIsHarmless) {
    std::unique_ptr<Shader> s = Build(kGoodVertex, kGoodFragment);
    shaders_->UseShader(s.get());
    float light[3] = {4, 5, 6};
    shaders_->SetUniformf(s.get(), "ligth", light, 3);
    float other[3] = {7, 8, 9};
    int ints[2] = {1, 2};
    shaders_->SetUniformf(s.get(), "no_such_uniform", other, 3);
    shaders_->SetUniformi(s.get(), "no_such_sampler", 2u);
    shaders_->SetUniformi(s.get(), "no_such_array", ints, 2);
    shaders_->SetUniformf(nullptr, "ligth", other, 3);
    shaders_->SetUniformf(s.get(), "ligth", nullptr, 3);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    float got = 0;
    glGetUniformfv(s->program, glGetUniformLocation(s->program, "ligth[1]"), &got);
    EXPECT_EQ(got, 5.0f);
    shaders_->UseShader(nullptr);
    EXPECT_EQ(CurrentProgram(), 0);
}

}  // namespace
