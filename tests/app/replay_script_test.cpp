// The scripted runner's language: words and quotes, variables, verbs and argument counts,
// key names, and the PNG writer.
#include "app/replay.h"
#include "app/key_names.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "tests/support/gl_test.h"

namespace {

TEST(ReplayScript, QuotesGroupWordsAndCommentsAreSkipped) {
    std::vector<ReplayCommand> cmds;
    std::string error;
    ASSERT_TRUE(ParseReplayScript("# start\n\n  move 12 40\nexpect-log info \"Open 3D object OK\"\n"
                                  "dialog \"/tmp/with space/a.obj\"\n",
                                  &cmds, &error))
        << error;
    ASSERT_EQ(cmds.size(), 3u);
    EXPECT_EQ(cmds[0].line, 3);
    EXPECT_EQ(cmds[0].verb, "move");
    EXPECT_EQ(cmds[0].args, (std::vector<std::string>{"12", "40"}));
    EXPECT_EQ(cmds[1].args, (std::vector<std::string>{"info", "Open 3D object OK"}));
    EXPECT_EQ(cmds[2].args[0], "/tmp/with space/a.obj");
}

TEST(ReplayScript, HashAfterACommandStartsACommentUnlessQuoted) {
    std::vector<ReplayCommand> cmds;
    std::string error;
    ASSERT_TRUE(ParseReplayScript("click left                       # open the File menu\n"
                                  "expect-log info \"a # in quotes\" # and a comment\n"
                                  "key Ctrl+Z\t# undo\n",
                                  &cmds, &error))
        << error;
    ASSERT_EQ(cmds.size(), 3u);
    EXPECT_EQ(cmds[0].args, (std::vector<std::string>{"left"}));
    EXPECT_EQ(cmds[1].args, (std::vector<std::string>{"info", "a # in quotes"}));
    EXPECT_EQ(cmds[2].args, (std::vector<std::string>{"Ctrl+Z"}));
}

TEST(ReplayScript, RejectsUnknownVerbsAndWrongCountsWithTheLineNumber) {
    std::vector<ReplayCommand> cmds;
    std::string error;
    EXPECT_FALSE(ParseReplayScript("frames 2\njump 3\n", &cmds, &error));
    EXPECT_EQ(error.rfind("2:", 0), 0u) << error;
    EXPECT_NE(error.find("jump"), std::string::npos);
    EXPECT_FALSE(ParseReplayScript("move 1\n", &cmds, &error));
    EXPECT_EQ(error.rfind("1:", 0), 0u) << error;
    EXPECT_FALSE(ParseReplayScript("expect-log info \"unterminated\n", &cmds, &error));
    EXPECT_NE(error.find("quote"), std::string::npos);
    EXPECT_FALSE(ParseReplayScript("click left# no space before the mark: not a comment\n", &cmds, &error));
}

TEST(ReplayScript, ExpandsEnvironmentVariables) {
    setenv("MORVA_REPLAY_TEST_DIR", "/data/e2e", 1);
    std::string out, error;
    ASSERT_TRUE(ExpandScriptVariables("dialog ${MORVA_REPLAY_TEST_DIR}/cube.obj", &out, &error));
    EXPECT_EQ(out, "dialog /data/e2e/cube.obj");
    unsetenv("MORVA_REPLAY_TEST_UNSET");
    EXPECT_FALSE(ExpandScriptVariables("shot ${MORVA_REPLAY_TEST_UNSET}/a.png", &out, &error));
    EXPECT_NE(error.find("MORVA_REPLAY_TEST_UNSET"), std::string::npos);
}

TEST(ReplayScript, NamesKeysAndButtonsByTheirVirtualKeyCodes) {
    EXPECT_EQ(ReplayKeyCode("left"), 1);
    EXPECT_EQ(ReplayKeyCode("right"), 2);
    EXPECT_EQ(ReplayKeyCode("middle"), 4);
    EXPECT_EQ(ReplayKeyCode("w"), 0x57);
    EXPECT_EQ(ReplayKeyCode("D"), 0x44);
    EXPECT_EQ(ReplayKeyCode("Delete"), 0x2E);
    EXPECT_EQ(ReplayKeyCode("46"), 46);
    EXPECT_EQ(ReplayKeyCode("shift"), 0x10);
    EXPECT_EQ(ReplayKeyCode("Escape"), 0x1B);
    EXPECT_EQ(ReplayKeyCode("Hyper"), -1);
    EXPECT_EQ(ReplayKeyCode("999"), -1);
}

TEST(ReplayScript, KeyChordsJoinModifiersAndOneKeyWithPlus) {
    struct Row {
        const char* text;
        bool ok;
        int modifiers;
        int key;
    };
    const Row rows[] = {
        {"Escape", true, 0, 0x1B},
        {"esc", true, 0, 0x1B},
        {"Ctrl+Z", true, morva::kModCtrl, 'Z'},
        {"Ctrl+Shift+z", true, morva::kModCtrl | morva::kModShift, 'Z'},
        {"Shift+ArrowLeft", true, morva::kModShift, 0x25},
        {"Alt+ArrowDown", true, morva::kModAlt, 0x28},
        {"ArrowUp", true, 0, 0x26},
        {"ArrowRight", true, 0, 0x27},
        {"Shift+Left", true, morva::kModShift, 0x25},
        {"Right", true, 0, 0x27},
        {"Up", true, 0, 0x26},
        {"Down", true, 0, 0x28},
        {"left", true, 0, 0x01},
        {"right", true, 0, 0x02},
        {"Enter", true, 0, 0x0D},
        {"Home", true, 0, 0x24},
        {"End", true, 0, 0x23},
        {"PageUp", true, 0, 0x21},
        {"PageDown", true, 0, 0x22},
        {"Ctrl+S", true, morva::kModCtrl, 'S'},
        {"Ctrl+0", true, morva::kModCtrl, '0'},
        {"7", true, 0, '7'},
        {"F12", true, 0, 0x7B},
        {"Num5", true, 0, 0x65},
        {"Backspace", true, 0, 0x08},
        {"Tab", true, 0, 0x09},
        {"Space", true, 0, 0x20},
        {"Minus", true, 0, 0xBD},
        {"Ctrl", true, 0, 0x11},
        {"Ctrl+Shift", true, morva::kModCtrl, 0x10},
        {"Ctrl+", false, 0, -1},
        {"+Z", false, 0, -1},
        {"Z+Ctrl", false, 0, -1},
        {"Hyper+Z", false, 0, -1},
        {"F13", false, 0, -1},
        {"Num10", false, 0, -1},
        {"", false, 0, -1},
    };
    for (const Row& row : rows) {
        KeyChord chord;
        EXPECT_EQ(ParseKeyChord(row.text, &chord), row.ok) << row.text;
        if (!row.ok) continue;
        EXPECT_EQ(chord.modifiers, row.modifiers) << row.text;
        EXPECT_EQ(chord.key, row.key) << row.text;
    }
    EXPECT_EQ(ModifierKeyCodes(morva::kModAlt | morva::kModShift | morva::kModCtrl),
              (std::vector<int>{0x11, 0x10, 0x12}));
}

TEST(ReplayShot, WritesAnOpaquePngAndRefusesBadImages) {
    morva::ClientImage img;
    img.width = 4;
    img.height = 2;
    img.rgba.assign(4 * 2 * 4, 0);
    const std::string dir = morva_test::MakeTempDir();
    ASSERT_TRUE(WriteClientPng(dir + "/a.png", img));
    std::ifstream in(dir + "/a.png", std::ios::binary);
    char sig[8] = {};
    in.read(sig, 8);
    EXPECT_EQ(std::string(sig + 1, 3), "PNG");
    img.rgba.resize(3);
    EXPECT_FALSE(WriteClientPng(dir + "/b.png", img));
    EXPECT_FALSE(WriteClientPng(dir + "/no-such-dir/c.png", morva::ClientImage()));
}

}  // namespace
