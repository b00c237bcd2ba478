// File dialogs: the filter translation, the chooser command lines, and the real child
// process path through fake choosers written as small shell scripts.
#include "platform/cdialog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "tests/support/gl_test.h"

namespace {

char kProjectFilter[] = "Project Files (*.PRJ)\0*.PRJ\0";
char kImageFilter[] =
    "Image Files (*.jpg,*.bmp,*.png,*.tga,*.psd,*.hdr)\0*.jpg;*.bmp;*.png;*.tga;*.psd;*.hdr\0";

// Writes an executable shell script and returns its path.
std::string WriteChooser(const std::string& dir, const std::string& name, const std::string& body) {
    const std::string path = dir + "/" + name;
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    chmod(path.c_str(), 0755);
    return path;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Contains(const std::vector<std::string>& v, const std::string& s) {
    for (const std::string& x : v) {
        if (x == s) return true;
    }
    return false;
}

TEST(DialogFilter, ReadsEveryPairOfTheDoubleZeroList) {
    auto filters = ParseDialogFilter(kImageFilter);
    ASSERT_EQ(filters.size(), 1u);
    EXPECT_EQ(filters[0].description, "Image Files (*.jpg,*.bmp,*.png,*.tga,*.psd,*.hdr)");
    EXPECT_EQ(filters[0].patterns,
              (std::vector<std::string>{"*.jpg", "*.bmp", "*.png", "*.tga", "*.psd", "*.hdr"}));

    char two[] = "A\0*.a\0B\0*.b;*.c\0";
    filters = ParseDialogFilter(two);
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[1].description, "B");
    EXPECT_EQ(filters[1].patterns.size(), 2u);
    EXPECT_TRUE(ParseDialogFilter(nullptr).empty());
}

TEST(DialogFilter, OffersPatternsInBothLetterCases) {
    EXPECT_EQ(PatternCaseVariants("*.PRJ"), (std::vector<std::string>{"*.PRJ", "*.prj"}));
    EXPECT_EQ(PatternCaseVariants("*.jpg"), (std::vector<std::string>{"*.jpg", "*.JPG"}));
    EXPECT_EQ(PatternCaseVariants("*"), (std::vector<std::string>{"*"}));
}

TEST(DialogCommandLine, ZenitySaveConfirmsOverwriteAndStartsAtHome) {
    auto args = ZenityArguments("zenity", true, "Select File to save",
                                ParseDialogFilter(kProjectFilter), "/home/u", 0x2a00007);
    EXPECT_TRUE(Contains(args, "--save"));
    EXPECT_TRUE(Contains(args, "--confirm-overwrite"));
    EXPECT_TRUE(Contains(args, "--title=Select File to save"));
    EXPECT_TRUE(Contains(args, "--filename=/home/u/"));
    EXPECT_TRUE(Contains(args, "--file-filter=Project Files (*.PRJ) | *.PRJ *.prj"));
    EXPECT_TRUE(Contains(args, "--attach=" + std::to_string(0x2a00007)));

    auto open = ZenityArguments("zenity", false, "Select File to load", ParseDialogFilter(kProjectFilter),
                                "/home/u/", 0);
    EXPECT_FALSE(Contains(open, "--save"));
    EXPECT_TRUE(Contains(open, "--filename=/home/u/"));
    for (const std::string& a : open) EXPECT_EQ(a.find("--attach"), std::string::npos);
}

TEST(DialogCommandLine, KdialogGetsItsOwnFilterSyntax) {
    auto args = KdialogArguments("kdialog", false, "Select File to load",
                                 ParseDialogFilter(kProjectFilter), "/home/u", 7);
    EXPECT_TRUE(Contains(args, "--getopenfilename"));
    EXPECT_TRUE(Contains(args, "*.PRJ *.prj|Project Files (*.PRJ)"));
    EXPECT_TRUE(Contains(args, "7"));
}

class DialogProcess : public ::testing::Test {
protected:
    void SetUp() override { dir = morva_test::MakeTempDir(); }
    std::string dir;
    cdialog dialog{nullptr};
};

TEST_F(DialogProcess, ConfirmedChoiceFillsAFreshBufferTheCallerOwns) {
    const std::string log = dir + "/args.txt";
    dialog.chooser = WriteChooser(dir, "zenity", "printf '%s\\n' \"$@\" > " + log + "\necho /tmp/plate.PRJ");
    char* first = nullptr;
    ASSERT_TRUE(dialog.ShowOpenDialog(kProjectFilter, &first));
    std::unique_ptr<char[]> own_first(first);
    EXPECT_STREQ(first, "/tmp/plate.PRJ");
    EXPECT_EQ(dialog.last_failure, Dialog_None);
    const std::string args = ReadAll(log);
    EXPECT_NE(args.find("--title=Select File to load"), std::string::npos);
    EXPECT_NE(args.find("--file-filter=Project Files (*.PRJ) | *.PRJ *.prj"), std::string::npos);

    char* second = nullptr;
    ASSERT_TRUE(dialog.ShowSaveDialog(kProjectFilter, &second));
    std::unique_ptr<char[]> own_second(second);
    EXPECT_NE(first, second);
    EXPECT_STREQ(first, "/tmp/plate.PRJ");
    EXPECT_NE(ReadAll(log).find("--confirm-overwrite"), std::string::npos);
}

TEST_F(DialogProcess, CancelGivesFalseAndAnEmptyBuffer) {
    dialog.chooser = WriteChooser(dir, "zenity", "exit 1");
    char* path = nullptr;
    EXPECT_FALSE(dialog.ShowOpenDialog(kProjectFilter, &path));
    std::unique_ptr<char[]> own(path);
    ASSERT_NE(path, nullptr);
    EXPECT_STREQ(path, "");
    EXPECT_EQ(dialog.last_failure, Dialog_Cancelled);
}

TEST_F(DialogProcess, KeepsPathsLongerThanTheOldLimit) {
    const std::string long_path = "/tmp/" + std::string(400, 'a') + ".obj";
    dialog.chooser = WriteChooser(dir, "zenity", "echo " + long_path);
    char* path = nullptr;
    ASSERT_TRUE(dialog.ShowOpenDialog(kProjectFilter, &path));
    std::unique_ptr<char[]> own(path);
    EXPECT_EQ(std::string(path), long_path);
}

TEST_F(DialogProcess, RefusesAPathThatDoesNotFitTheBuffer) {
    dialog.chooser = WriteChooser(dir, "zenity", "printf '/%05000d\\n' 0");
    char* path = nullptr;
    EXPECT_FALSE(dialog.ShowOpenDialog(kProjectFilter, &path));
    std::unique_ptr<char[]> own(path);
    EXPECT_STREQ(path, "");
    EXPECT_EQ(dialog.last_failure, Dialog_PathTooLong);
}

TEST_F(DialogProcess, UsesKdialogSyntaxForKdialog) {
    const std::string log = dir + "/args.txt";
    dialog.chooser = WriteChooser(dir, "kdialog", "printf '%s\\n' \"$@\" > " + log + "\necho /tmp/x.obj");
    char* path = nullptr;
    ASSERT_TRUE(dialog.ShowSaveDialog(kProjectFilter, &path));
    std::unique_ptr<char[]> own(path);
    EXPECT_NE(ReadAll(log).find("--getsavefilename"), std::string::npos);
}

TEST_F(DialogProcess, ReportsAMissingChooser) {
    dialog.chooser = dir + "/no-such-chooser";
    char* path = nullptr;
    EXPECT_FALSE(dialog.ShowOpenDialog(kProjectFilter, &path));
    std::unique_ptr<char[]> own(path);
    EXPECT_EQ(dialog.last_failure, Dialog_Unavailable);

    // Nothing on PATH either.
    dialog.chooser.clear();
    const char* old = std::getenv("PATH");
    const std::string saved = old ? old : "";
    setenv("PATH", dir.c_str(), 1);
    char* again = nullptr;
    EXPECT_FALSE(dialog.ShowOpenDialog(kProjectFilter, &again));
    setenv("PATH", saved.c_str(), 1);
    std::unique_ptr<char[]> own_again(again);
    EXPECT_EQ(dialog.last_failure, Dialog_Unavailable);
}

// The question before work is lost, through fake zenity and kdialog programs: how each
// button (and closing the question) is read back.
TEST_F(DialogProcess, ReadsEachAnswerToAQuestion) {
    struct Row {
        const char* program;
        const char* body;
        bool with_discard;
        cdialog_reply expected;
    };
    const Row rows[] = {
        {"zenity", "exit 0", true, Reply_Save},
        {"zenity", "echo Discard; exit 1", true, Reply_Discard},
        {"zenity", "exit 1", true, Reply_Cancel},
        {"zenity", "exit 5", true, Reply_Cancel},        // closed by a time-out
        {"zenity", "kill -9 $$", true, Reply_Cancel},    // killed
        {"zenity", "echo Discard; exit 1", false, Reply_Cancel},  // no such button here
        {"zenity", "exit 0", false, Reply_Save},
        {"kdialog", "exit 0", true, Reply_Save},
        {"kdialog", "exit 1", true, Reply_Discard},
        {"kdialog", "exit 2", true, Reply_Cancel},
        {"kdialog", "exit 1", false, Reply_Cancel},
    };
    for (const Row& row : rows) {
        dialog.chooser = WriteChooser(dir, row.program, row.body);
        EXPECT_EQ(dialog.AskQuestion("Unsaved changes", "Save?", "Save", row.with_discard), row.expected)
            << row.program << ": " << row.body << (row.with_discard ? " (three buttons)" : " (two buttons)");
        EXPECT_EQ(dialog.last_failure, row.expected == Reply_Cancel ? Dialog_Cancelled : Dialog_None);
    }
    dialog.chooser = dir + "/no-such-program";
    EXPECT_EQ(dialog.AskQuestion("Unsaved changes", "Save?", "Save", true), Reply_Cancel);
    EXPECT_EQ(dialog.last_failure, Dialog_Unavailable);
}

TEST(DialogCommandLine, QuestionsNameTheirButtonsAndEscapeTheText) {
    const auto zenity = ZenityQuestionArguments("zenity", "Unsaved changes", "Save \"a<b>&c\"?", "Save", true, 42);
    EXPECT_TRUE(Contains(zenity, "--question"));
    EXPECT_TRUE(Contains(zenity, "--text=Save \"a&lt;b&gt;&amp;c\"?")) << "zenity reads markup";
    EXPECT_TRUE(Contains(zenity, "--ok-label=Save"));
    EXPECT_TRUE(Contains(zenity, "--cancel-label=Cancel"));
    EXPECT_TRUE(Contains(zenity, "--extra-button=Discard"));
    EXPECT_TRUE(Contains(zenity, "--attach=42"));
    EXPECT_FALSE(Contains(ZenityQuestionArguments("zenity", "t", "x", "Replace", false, 0), "--extra-button=Discard"));

    const auto kdialog = KdialogQuestionArguments("kdialog", "Unsaved changes", "a<b>", "Save", true, 0);
    EXPECT_TRUE(Contains(kdialog, "--yesnocancel"));
    EXPECT_TRUE(Contains(kdialog, "a<b>"));
    EXPECT_TRUE(Contains(kdialog, "Discard"));
    EXPECT_TRUE(Contains(KdialogQuestionArguments("kdialog", "t", "x", "Replace", false, 0), "--yesno"));
}

TEST(DialogScripted, TakesQueuedAnswersInOrderAndNeverStartsAChooser) {
    cdialog dialog(nullptr);
    dialog.scripted = true;
    dialog.chooser = "/bin/false";
    dialog.scripted_answers.push_back({true, "/data/a.obj"});
    dialog.scripted_answers.push_back({false, ""});
    char* a = nullptr;
    char* b = nullptr;
    char* c = nullptr;
    EXPECT_TRUE(dialog.ShowOpenDialog(kProjectFilter, &a));
    EXPECT_STREQ(a, "/data/a.obj");
    EXPECT_FALSE(dialog.ShowSaveDialog(kProjectFilter, &b));
    EXPECT_EQ(dialog.last_failure, Dialog_Cancelled);
    EXPECT_EQ(dialog.last_title, "Select File to save");
    EXPECT_FALSE(dialog.ShowOpenDialog(kProjectFilter, &c));
    EXPECT_EQ(dialog.last_failure, Dialog_NoAnswer);
    delete[] a;
    delete[] b;
    delete[] c;

    dialog.scripted_replies = {Reply_Discard, Reply_Discard, Reply_Save};
    EXPECT_EQ(dialog.AskQuestion("Unsaved changes", "?", "Save", true), Reply_Discard);
    EXPECT_EQ(dialog.AskQuestion("Replace file", "?", "Replace", false), Reply_Cancel)
        << "a two-button question has no Discard";
    EXPECT_EQ(dialog.last_title, "Replace file");
    EXPECT_EQ(dialog.AskQuestion("Unsaved changes", "?", "Save", true), Reply_Save);
    EXPECT_EQ(dialog.AskQuestion("Unsaved changes", "?", "Save", true), Reply_Cancel);
    EXPECT_EQ(dialog.last_failure, Dialog_NoAnswer);
}

}  // namespace
