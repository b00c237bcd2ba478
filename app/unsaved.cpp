#include "app/unsaved.h"

#include <cstdio>

#include "app/menus.h"
#include "app/shell.h"
#include "app/undo.h"
#include "platform/cdialog.h"
#include "render/cdebug.h"

namespace {

const char* kQuestionTitle = "Unsaved changes";

cdialog_reply AskToSave() {
    const std::string text = "The project \"" + ProjectFileName() + "\" has changes that are not saved.\nSave them first?";
    return mgrDialog->AskQuestion(kQuestionTitle, text.c_str(), "Save", true);
}

bool QuestionUnavailable() { return mgrDialog->last_failure == Dialog_Unavailable; }

enum class Answer { GoOn, Stop, NoQuestion };

// Save / Discard / Cancel when there are changes; a failed save stops like Cancel.
Answer AskAboutChanges() {
    if (!ProjectModified()) return Answer::GoOn;
    switch (AskToSave()) {
        case Reply_Save:
            return SaveCurrentProject() ? Answer::GoOn : Answer::Stop;
        case Reply_Discard:
            return Answer::GoOn;
        case Reply_Cancel:
            break;
    }
    return QuestionUnavailable() ? Answer::NoQuestion : Answer::Stop;
}

}  // namespace

bool AskBeforeLosingChanges() {
    const Answer answer = AskAboutChanges();
    if (answer == Answer::NoQuestion) mgrDebug->AddLine("File dialog unavailable: install zenity", Debug_Error);
    return answer == Answer::GoOn;
}

bool AskBeforeClosing() {
    const Answer answer = AskAboutChanges();
    if (answer != Answer::NoQuestion) return answer == Answer::GoOn;
    std::fprintf(stderr, "morva: closing without saving the changes (no question could be shown: install zenity)\n");
    return true;
}

bool AskReplaceFile(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string text = "A file named \"" + name + "\" already exists.\nReplace it?";
    return mgrDialog->AskQuestion("Replace file", text.c_str(), "Replace", false) == Reply_Save;
}

std::string WithProjectExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.find_last_of('.');
    // A dot that starts the name (".plate") makes a hidden file, not an extension.
    if (dot != std::string::npos && dot > nameStart && dot + 1 < path.size()) return path;
    if (nameStart >= path.size()) return path;  // no file name at all: nothing to extend
    if (dot != std::string::npos && dot + 1 == path.size() && dot > nameStart) return path + "PRJ";
    return path + ".PRJ";
}
