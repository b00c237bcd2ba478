// The open and save file dialogs and the questions asked before work could be lost, the
// editor's only native user interface.
// On Linux the chooser is zenity (kdialog when zenity is missing), run as a child process
// made transient for the editor's window and waited for; on Windows it is the common open
// and save dialog owned by the editor's window. Either way the main loop draws nothing
// while a dialog is open, and paths come back as UTF-8. This module only collects a path: it never opens, checks or
// creates the chosen file, and it writes nothing to the message log.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/window.h"

// Room for the longest path the platform allows plus the terminating zero.
constexpr unsigned int kDialogPathBufferSize = 4096 + 1;

// One filter entry: a description ("Project Files (*.PRJ)") and its patterns ("*.PRJ").
struct cdialog_filter {
    std::string description;
    std::vector<std::string> patterns;
};

// An answer given in advance by a scripted run instead of a person.
struct cdialog_answer {
    bool confirmed = false;  // false: the dialog is cancelled
    std::string path;
};

// Why the last call returned false.
enum cdialog_failure {
    Dialog_None = 0,           // the last call confirmed a file
    Dialog_Cancelled = 1,      // the user cancelled or closed the chooser
    Dialog_Unavailable = 2,    // no chooser could be shown (no zenity or kdialog; dialog error)
    Dialog_NoAnswer = 3,       // scripted mode and no answer was queued
    Dialog_PathTooLong = 4,    // the chosen path does not fit the buffer
};

// The answer to a question: its first button (Save, Replace), Discard, or Cancel.
enum cdialog_reply {
    Reply_Save = 0,
    Reply_Discard = 1,
    Reply_Cancel = 2,
};

class cdialog {
public:
    morva::Window* owner;  // the window every dialog is made transient for (may be null)

    // The chooser program to run (a path or a name on PATH); empty means: zenity, else
    // kdialog, found on PATH.
    std::string chooser;
    // Answers queued by a scripted run; while `scripted` is set no chooser is started.
    bool scripted = false;
    std::deque<cdialog_answer> scripted_answers;
    std::deque<cdialog_reply> scripted_replies;  // answers to questions

    // What the last call did, for the shell's error line and for scripted checks.
    cdialog_failure last_failure = Dialog_None;
    std::string last_title;

    explicit cdialog(morva::Window* owner);
    ~cdialog();

    // Both calls store a fresh buffer of kDialogPathBufferSize bytes holding the empty
    // string through `path` before anything else; the caller owns it whatever the outcome
    // and releases it with delete[]. They return true when the user confirmed a file,
    // whose full path is then in *path. The open dialog lists existing files only; the
    // save dialog also accepts a new name and asks before replacing an existing file.
    bool ShowOpenDialog(char* filter, char** path);
    bool ShowSaveDialog(char* filter, char** path);

    // Asks `text` in a small window titled `title`, transient for the editor's and waited
    // for: buttons `ok_label` (Reply_Save), "Discard" when `with_discard`, and "Cancel".
    // Closing it answers Cancel. A question that cannot be shown (no zenity or kdialog, or no
    // scripted answer) also answers Cancel, with last_failure saying why.
    cdialog_reply AskQuestion(const char* title, const char* text, const char* ok_label,
                              bool with_discard);
};

// The command line for a question by zenity or kdialog (argv[0] is `program`).
std::vector<std::string> ZenityQuestionArguments(const std::string& program, const std::string& title,
                                                 const std::string& text, const std::string& ok_label,
                                                 bool with_discard, unsigned long parent);
std::vector<std::string> KdialogQuestionArguments(const std::string& program, const std::string& title,
                                                  const std::string& text, const std::string& ok_label,
                                                  bool with_discard, unsigned long parent);
// The answer a question program gave by its exit code and output.
cdialog_reply QuestionReply(bool kdialog, bool with_discard, int exit_code, const std::string& output);

// The pairs of a double-zero-terminated filter list ("desc\0*.a;*.b\0...\0\0").
std::vector<cdialog_filter> ParseDialogFilter(const char* filter);
// A pattern in both letter cases, the original first: "*.PRJ" -> {"*.PRJ", "*.prj"}.
std::vector<std::string> PatternCaseVariants(const std::string& pattern);
// The command line for zenity or kdialog (argv[0] is `program`).
std::vector<std::string> ZenityArguments(const std::string& program, bool save,
                                         const std::string& title,
                                         const std::vector<cdialog_filter>& filters,
                                         const std::string& start_dir, unsigned long parent);
std::vector<std::string> KdialogArguments(const std::string& program, bool save,
                                          const std::string& title,
                                          const std::vector<cdialog_filter>& filters,
                                          const std::string& start_dir, unsigned long parent);
