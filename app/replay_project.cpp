// Scripted runner commands about the open project as a document: answers to the questions
// asked before changes are lost (or a file replaced), the file name the menu bar shows,
// whether changes are not saved, and the script's clock that runs of undo steps are timed by.
#include <string>

#include "app/replay_context.h"
#include "app/undo.h"
#include "platform/cdialog.h"

namespace {

// The answer to the next question: save (also "replace"), discard or cancel.
bool Answer(ReplayContext& x, const ReplayCommand& c) {
    const std::string& a = c.args[0];
    if (a == "save") {
        mgrDialog->scripted_replies.push_back(Reply_Save);
    } else if (a == "discard") {
        mgrDialog->scripted_replies.push_back(Reply_Discard);
    } else if (a == "cancel") {
        mgrDialog->scripted_replies.push_back(Reply_Cancel);
    } else {
        return x.Fail("answer: expected save, discard or cancel, not '" + a + "'");
    }
    return true;
}

bool ExpectProject(ReplayContext& x, const ReplayCommand& c) {
    const std::string shown = ProjectFileName();
    if (shown == c.args[0]) return true;
    return x.Fail("expect-project: expected \"" + c.args[0] + "\", the menu bar shows \"" + shown + "\"");
}

bool ExpectModified(ReplayContext& x, const ReplayCommand& c) {
    const std::string& a = c.args[0];
    if (a != "yes" && a != "no") return x.Fail("expect-modified: expected yes or no, not '" + a + "'");
    const bool modified = ProjectModified();
    if (modified == (a == "yes")) return true;
    return x.Fail(std::string("expect-modified: expected ") + a + ", the project has " +
                  (modified ? "changes not saved" : "no changes"));
}

// The editor's loop has ended (after a close that nothing kept open).
bool ExpectEnded(ReplayContext& x, const ReplayCommand& c) {
    const std::string& a = c.args[0];
    if (a != "yes" && a != "no") return x.Fail("expect-ended: expected yes or no, not '" + a + "'");
    if (x.run.ended == (a == "yes")) return true;
    return x.Fail(std::string("expect-ended: expected ") + a + ", the editor " +
                  (x.run.ended ? "has ended" : "is still running"));
}

// Moves the script's clock on without drawing (each drawn frame moves it by kReplayFrameMs).
bool Wait(ReplayContext& x, const ReplayCommand& c) {
    long ms = 0;
    if (!x.Integer(c.args[0], &ms)) return false;
    if (ms < 0) return x.Fail("wait: a negative time");
    AdvanceScriptClock(uint64_t(ms));
    return true;
}

const ReplayVerb kVerbs[] = {
    {"answer", 1, 1, Answer},
    {"expect-project", 1, 1, ExpectProject},
    {"expect-modified", 1, 1, ExpectModified},
    {"expect-ended", 1, 1, ExpectEnded},
    {"wait", 1, 1, Wait},
};

}  // namespace

const ReplayFamily kReplayProjectCommands = {kVerbs, sizeof kVerbs / sizeof kVerbs[0]};
