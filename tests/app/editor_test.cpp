// The editor's start-up, message handling and teardown on the headless window layer, run
// from the real assets folder (or a copy of it).
#include "app/editor.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/idle.h"
#include "app/menus.h"
#include "app/progress.h"
#include "app/undo.h"
#include "app/unsaved.h"
#include "app/replay.h"
#include "model/cloadobj.h"
#include "platform/cdialog.h"
#include "platform/window.h"
#include "project/project.h"
#include "render/cdebug.h"
#include "tests/support/gl_test.h"

namespace fs = std::filesystem;

namespace {

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        old_dir = fs::current_path();
        std::string error;
        window = morva::CreateMainWindow("Morva", &error);
        ASSERT_NE(window, nullptr) << error;
    }
    void TearDown() override {
        if (started) StopEditor(shell);
        hDC = nullptr;
        morva::DestroyMainWindow(window);
        fs::current_path(old_dir);
    }
    bool Start(const fs::path& assets) {
        fs::current_path(assets);
        started = true;
        return StartEditor(shell, window);
    }
    const cdebug::chunk& NewestLine() { return *mgrDebug->lines.back(); }

    fs::path old_dir;
    morva::Window* window = nullptr;
    ShellState shell;
    bool started = false;
};

// A flat grid of n x n vertices in the narrow OBJ dialect: big enough to take a while.
void WriteGridObj(const fs::path& path, int n) {
    std::ofstream out(path);
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) out << "v " << x * 0.2 << ' ' << y * 0.2 << " 0\n";
    }
    out << "vt 0 0\nvn 0 0 1\n";
    for (int y = 0; y + 1 < n; ++y) {
        for (int x = 0; x + 1 < n; ++x) {
            const int a = y * n + x + 1;
            out << "f " << a << "/1/1 " << a + 1 << "/1/1 " << a + n + 1 << "/1/1 " << a + n << "/1/1\n";
        }
    }
}

TEST_F(EditorTest, StartsWithServicesModelsAndTheFirstLogLine) {
    ASSERT_TRUE(Start(morva_test::AssetsDir()));
    EXPECT_NE(mgrText, nullptr);
    EXPECT_NE(mgrInput, nullptr);
    EXPECT_NE(mgrShader, nullptr);
    EXPECT_NE(mgrObj, nullptr);
    EXPECT_NE(mgrTXT, nullptr);
    EXPECT_NE(mgrProject, nullptr);
    EXPECT_NE(mgrDialog, nullptr);
    ASSERT_NE(mgrDebug, nullptr);
    ASSERT_EQ(mgrDebug->lines.size(), 1u);
    EXPECT_EQ(NewestLine().text, "Inicjalized Morva v0.0.1");
    EXPECT_EQ(NewestLine().kind, Debug_Info);
    ASSERT_NE(shell.skybox, nullptr);
    ASSERT_NE(shell.machine, nullptr);
    EXPECT_TRUE(shell.skybox->readable);
    EXPECT_TRUE(shell.machine->readable);
    EXPECT_GT(shell.machine->triangle_count, 0u);
    EXPECT_EQ(shell.modelProgram, mgrObj->shader);
    EXPECT_FLOAT_EQ(Zoom, 2.0f);
    EXPECT_EQ(shell.viewSteps, nullptr);

    // The first frame ends with the view steps the next frame's camera input uses, and no
    // pass of it leaves a GL error behind.
    while (glGetError() != GL_NO_ERROR) {
    }
    bool drew = false;
    EXPECT_TRUE(EditorIteration(shell, &drew));
    EXPECT_TRUE(drew);
    EXPECT_NE(shell.viewSteps, nullptr);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    StopEditor(shell);
    started = false;
    EXPECT_EQ(mgrText, nullptr);
    EXPECT_EQ(mgrDebug, nullptr);
    EXPECT_EQ(gFileName, nullptr);
}

TEST_F(EditorTest, MissingStartupFilesStillGiveAWorkingEditor) {
    const fs::path empty = morva_test::MakeTempDir();
    ASSERT_TRUE(Start(empty));
    EXPECT_FALSE(shell.machine->readable);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(EditorIteration(shell));
    EXPECT_EQ(NewestLine().text, "Inicjalized Morva v0.0.1");
}

TEST_F(EditorTest, WheelMessagesZoomWithoutDrawingAFrame) {
    ASSERT_TRUE(Start(morva_test::AssetsDir()));
    morva::PostHeadlessWheel(window, 120);
    bool drew = true;
    EXPECT_TRUE(EditorIteration(shell, &drew));
    EXPECT_FALSE(drew);
    EXPECT_NEAR(Zoom, 1.88f, 1e-6f);
    morva::PostHeadlessWheel(window, 0);
    EXPECT_TRUE(EditorIteration(shell));
    EXPECT_NEAR(Zoom, 1.88f, 1e-6f);
}

TEST_F(EditorTest, CloseEndsTheLoopWithoutAnotherFrame) {
    ASSERT_TRUE(Start(morva_test::AssetsDir()));
    EXPECT_TRUE(EditorIteration(shell));
    const long frames = shell.frames;
    morva::PostHeadlessClose(window);
    EXPECT_FALSE(EditorIteration(shell));
    EXPECT_EQ(shell.frames, frames);
}

TEST_F(EditorTest, CloseDuringTheStartupLoadsIsHonouredAfterTheLoad) {
    // A copy of the assets whose machine model takes long enough for loading screens.
    const fs::path assets = fs::path(morva_test::MakeTempDir()) / "assets";
    fs::copy(morva_test::AssetsDir(), assets, fs::copy_options::recursive);
    WriteGridObj(assets / "Morva.obj", 600);
    morva::PostHeadlessClose(window);
    EXPECT_FALSE(Start(assets));
    EXPECT_TRUE(gQuitRequested);
    morva::WindowEvent event;
    EXPECT_FALSE(morva::PollWindowEvent(window, &event));  // the loading screen took it
}

TEST_F(EditorTest, TheLoadingScreenRemembersACloseRequest) {
    ASSERT_TRUE(Start(morva_test::AssetsDir()));
    EXPECT_FALSE(gQuitRequested);
    morva::PostHeadlessWheel(window, 120);
    DrawLoading(0, 5, 10.0f, 0.0f);  // takes the wheel message
    EXPECT_NEAR(Zoom, 1.88f, 1e-6f);
    EXPECT_FALSE(gQuitRequested);
    morva::PostHeadlessClose(window);
    DrawLoading(0, 5, 20.0f, 0.0f);  // takes the close request and keeps it
    EXPECT_TRUE(gQuitRequested);
    morva::WindowEvent event;
    EXPECT_FALSE(morva::PollWindowEvent(window, &event));

    // The screen itself: plain white with blue text starting at the centre.
    morva::ClientImage img;
    ASSERT_TRUE(morva::ReadHeadlessClientImage(window, &img));
    WriteClientPng(morva_test::OutputDir() + "/loading-screen.png", img);
    auto pixel = [&](int x, int y) { return &img.rgba[(size_t(y) * img.width + x) * 4]; };
    EXPECT_GE(pixel(5, 5)[0], 240);
    EXPECT_GE(pixel(1000, 700)[1], 240);
    int blue = 0, left_of_centre = 0;
    for (int y = 384; y < 400; ++y) {
        for (int x = 400; x < 900; ++x) {
            const uint8_t* p = pixel(x, y);
            const bool is_blue = p[2] > 150 && p[0] < 120 && p[1] < 120;
            blue += is_blue;
            left_of_centre += is_blue && x < 510;
        }
    }
    EXPECT_GT(blue, 100);
    EXPECT_EQ(left_of_centre, 0);
}

// Passes of the loop until `n` passes in a row drew nothing; returns the frames drawn.
int FramesUntilRest(ShellState& s, int n, int limit = 50) {
    int drawn = 0, resting = 0;
    for (int i = 0; i < limit && resting < n; ++i) {
        bool drew = false;
        EXPECT_TRUE(EditorIteration(s, &drew));
        drawn += drew;
        resting = drew ? 0 : resting + 1;
    }
    return drawn;
}

TEST_F(EditorTest, AnIdleEditorWaitsInsteadOfDrawingAndAnyInputBringsFrames) {
    ASSERT_TRUE(Start(morva_test::AssetsDir()));
    shell.idle.waitWhenIdle = true;
    EXPECT_GE(FramesUntilRest(shell, 3), kSettleFrames) << "start-up frames, then rest";
    EXPECT_EQ(FramesUntilRest(shell, 3), 0) << "nothing happened: nothing drawn";
    // A cursor move: one frame for it and the settling ones after it, then rest again.
    morva::SetHeadlessCursorInClient(window, 300, 300);
    const int afterMove = FramesUntilRest(shell, 3);
    EXPECT_GE(afterMove, 1 + kSettleFrames);
    EXPECT_LE(afterMove, 2 + 2 * kSettleFrames);
    // A held button (a drag) keeps the frames coming until it is released.
    morva::SetHeadlessKey(window, morva::kVkMiddleButton, true);
    int held = 0;
    for (int i = 0; i < 10; ++i) {
        bool drew = false;
        EditorIteration(shell, &drew);
        held += drew;
    }
    EXPECT_EQ(held, 10);
    morva::SetHeadlessKey(window, morva::kVkMiddleButton, false);
    EXPECT_GE(FramesUntilRest(shell, 3), 1);
    // A wheel message: taken, then frames showing the new zoom.
    morva::PostHeadlessWheel(window, 120);
    EXPECT_GE(FramesUntilRest(shell, 3), 1);
    // Scripts and tests draw on every pass.
    shell.idle.waitWhenIdle = false;
    bool drew = false;
    EditorIteration(shell, &drew);
    EXPECT_TRUE(drew);
}

TEST_F(EditorTest, ImportShowsTheProgressBarAndACloseDuringItEndsTheEditorRightAfter) {
    ASSERT_TRUE(Start(morva_test::AssetsDir()));
    const fs::path model = fs::path(morva_test::MakeTempDir()) / "grid.obj";
    WriteGridObj(model, 500);
    EditorIteration(shell);
    cdialog_answer answer;
    answer.confirmed = true;
    answer.path = model.string();
    mgrDialog->scripted = true;
    mgrDialog->scripted_answers.push_back(answer);
    morva::PostHeadlessClose(window);  // waiting while the import runs
    CommandImportOBJ();
    EXPECT_EQ(NewestLine().text, "Open 3D object OK");
    EXPECT_TRUE(gQuitRequested) << "the bar takes the window's messages";
    const LoadProgressRecord& bar = LastLoadProgress();
    EXPECT_EQ(bar.label, "Importing grid.obj");
    EXPECT_GE(bar.barsShown, 1);
    // The import is a change not saved: the close asks first; Discard ends the loop.
    mgrDialog->scripted_replies.push_back(Reply_Discard);
    bool drew = false;
    EXPECT_FALSE(EditorIteration(shell, &drew)) << "the loop ends right after the command";
    EXPECT_TRUE(mgrDialog->scripted_replies.empty()) << "the question was asked";
}

TEST(LoadProgress, PercentRisesThroughThePhases) {
    const unsigned long long bytes = 36000;
    EXPECT_EQ(LoadProgressPercent(0, 0, 0, bytes), 0);
    EXPECT_EQ(LoadProgressPercent(0, 500, 0, bytes), 25);
    EXPECT_EQ(LoadProgressPercent(0, 5000, 0, bytes), 50) << "an estimate past the end stops at the phase's end";
    EXPECT_EQ(LoadProgressPercent(1, 2, 4, bytes), 52);
    EXPECT_EQ(LoadProgressPercent(2, 1, 2, bytes), 62);
    EXPECT_EQ(LoadProgressPercent(2, 2, 2, bytes), 70);
    EXPECT_EQ(LoadProgressPercent(0, 100, 0, 0), 0) << "unknown size";
}

TEST_F(EditorTest, MissingChooserIsReportedAndACancelLogsNothing) {
    ASSERT_TRUE(Start(morva_test::AssetsDir()));
    mgrDialog->chooser = "/nonexistent/zenity";
    CommandImportOBJ();
    EXPECT_EQ(NewestLine().text, "File dialog unavailable: install zenity");
    EXPECT_EQ(NewestLine().kind, Debug_Error);

    const std::string dir = morva_test::MakeTempDir();
    const std::string chooser = dir + "/zenity";
    std::ofstream(chooser) << "#!/bin/sh\nexit 1\n";
    chmod(chooser.c_str(), 0755);
    mgrDialog->chooser = chooser;
    const size_t lines = mgrDebug->lines.size();
    CommandOpenProject();
    CommandSaveProject();
    CommandImportImage();
    EXPECT_EQ(mgrDebug->lines.size(), lines);
    ASSERT_NE(gFileName, nullptr);  // a cancelled save leaves an empty path
    EXPECT_STREQ(gFileName, "");
}

TEST_F(EditorTest, SaveAsksEveryTimeAndKeepsTheChosenPath) {
    ASSERT_TRUE(Start(morva_test::AssetsDir()));
    const std::string dir = morva_test::MakeTempDir();
    mgrDialog->scripted = true;
    mgrDialog->scripted_answers.push_back({true, dir + "/a.prj"});
    mgrDialog->scripted_answers.push_back({true, dir + "/b.prj"});
    CommandSaveProject();
    EXPECT_EQ(NewestLine().text, "Save Project OK");
    CommandSaveProject();
    EXPECT_EQ(NewestLine().text, "Save Project OK");
    EXPECT_TRUE(mgrDialog->scripted_answers.empty());
    EXPECT_STREQ(gFileName, (dir + "/b.prj").c_str());
    EXPECT_TRUE(fs::exists(dir + "/a.prj"));
    EXPECT_TRUE(fs::exists(dir + "/b.prj"));

    // Ctrl+S: once named, the project is saved to its file without a dialog.
    EXPECT_EQ(ProjectFileName(), "b.prj");
    fs::remove(dir + "/b.prj");
    CommandSaveProjectQuick();
    EXPECT_EQ(NewestLine().text, "Save Project OK");
    EXPECT_EQ(mgrDialog->last_failure, Dialog_None) << "no dialog was shown";
    EXPECT_TRUE(fs::exists(dir + "/b.prj"));
}

TEST(ProjectExtension, IsAddedOnlyToANameWithoutOne) {
    const std::pair<const char*, const char*> rows[] = {
        {"/home/u/plate", "/home/u/plate.PRJ"},
        {"/home/u/plate.prj", "/home/u/plate.prj"},
        {"/home/u/plate.PRJ", "/home/u/plate.PRJ"},
        {"/home/u/plate.v2", "/home/u/plate.v2"},
        {"/home/u/plate.", "/home/u/plate.PRJ"},
        {"/home/u.d/plate", "/home/u.d/plate.PRJ"},  // a dot in a folder name is no extension
        {"/home/u/.plate", "/home/u/.plate.PRJ"},    // nor the dot of a hidden name
        {"plate", "plate.PRJ"},
        {"/home/u/", "/home/u/"},                    // no name at all
    };
    for (const auto& row : rows) EXPECT_EQ(WithProjectExtension(row.first), row.second) << row.first;
}

// The scripted runner on a started editor: assertions that hold pass, the first one that
// does not stops the run with its line and what was found.
class ReplayRunTest : public EditorTest {
protected:
    bool Run(const std::string& script, std::string* error) {
        std::vector<ReplayCommand> commands;
        if (!ParseReplayScript(script, &commands, error)) return false;
        ReplayRun run;
        run.shell = &shell;
        run.window = window;
        run.base_dir = morva_test::MakeTempDir();
        mgrDialog->scripted = true;
        return RunReplayCommands(run, commands, error);
    }
};

TEST_F(ReplayRunTest, PassingAssertionsPassAndTheFirstFailureStops) {
    ASSERT_TRUE(Start(morva_test::AssetsDir()));
    std::string error;
    EXPECT_TRUE(Run("frames 2\nexpect-objects 0\nexpect-log info \"Inicjalized Morva v0.0.1\"\n"
                    "expect-camera yaw -90\nexpect-menu none\n",
                    &error))
        << error;
    EXPECT_FALSE(Run("frames 1\nexpect-objects 5\nexpect-objects 0\n", &error));
    EXPECT_EQ(error, "line 2: expect-objects: expected 5, found 0");
    EXPECT_FALSE(Run("expect-log error \"Open Project FAIL\"\n", &error));
    EXPECT_NE(error.find("newest line is info \"Inicjalized Morva v0.0.1\""), std::string::npos);
    EXPECT_FALSE(Run("expect-camera pitch 10\n", &error));
    EXPECT_NE(error.find("expected 10, found 0"), std::string::npos);
    EXPECT_FALSE(Run("expect-position 0 0 0 0\n", &error));
    EXPECT_NE(error.find("no object 0"), std::string::npos);
}

TEST_F(ReplayRunTest, ADialogWithoutAnAnswerOrAnUnusedAnswerFails) {
    ASSERT_TRUE(Start(morva_test::AssetsDir()));
    std::string error;
    // Open the File menu and choose "Import *.OBJ" with no answer queued.
    EXPECT_FALSE(Run("frames 1\nmove 14 8\nclick left\nmove 20 88\nclick left\n", &error));
    EXPECT_NE(error.find("line 5"), std::string::npos) << error;
    EXPECT_NE(error.find("no answer queued"), std::string::npos) << error;
    EXPECT_FALSE(Run("dialog cancel\nframes 1\n", &error));
    EXPECT_NE(error.find("never used"), std::string::npos) << error;
}

TEST_F(ReplayRunTest, CloseEndsTheEditorAndLaterCommandsFail) {
    ASSERT_TRUE(Start(morva_test::AssetsDir()));
    std::string error;
    EXPECT_TRUE(Run("frames 1\nclose\nclose\n", &error)) << error;
    EXPECT_FALSE(Run("frames 1\nclose\nframes 1\n", &error));
    EXPECT_EQ(error, "line 3: the editor has already ended");
}

}  // namespace
