// Scripted runner commands that act as the user: cursor, buttons, keys, wheel, frames,
// file-dialog answers, closing the window, and printing the state for script writers.
#include <cstdio>
#include <string>
#include <vector>

#include "app/editor.h"
#include "app/replay_context.h"
#include "platform/cdialog.h"
#include "platform/cinput.h"
#include "project/project.h"

namespace {

const char* const kMenuNames[4] = {"File", "Options", "Execute", "Edit"};
const char* const kModeNames[3] = {"Move", "Rotate", "Size"};

// Writes the state the assertions look at, to help write them.
void PrintState(const ShellState& s, int line) {
    const CameraState& c = s.camera;
    std::printf("line %d: camera pitch %g yaw %g x %g y %g z %g zoom %g\n", line, c.camPitch, c.camYaw,
                c.camX, c.camY, c.camZ, Zoom);
    std::printf("line %d: menu %s mode %s, objects %zu, selected %d, hovered %d\n", line,
                s.menu.menuOpen && s.menu.openMenu >= 0 && s.menu.openMenu < 4 ? kMenuNames[s.menu.openMenu]
                                                                                : "none",
                s.menu.editMode >= 0 && s.menu.editMode < 3 ? kModeNames[s.menu.editMode] : "?",
                mgrProject->objects.size(), mgrProject->selected, mgrProject->hovered);
    for (size_t i = 0; i < mgrProject->objects.size(); ++i) {
        const project::pObject& o = mgrProject->objects[i];
        std::printf("line %d: object %zu type %d position %g %g %g mm size %g %g %g mm rotate %g %g %g deg\n",
                    line, i, o.type, o.position.x / 0.02f, o.position.y / 0.02f, o.position.z / 0.02f,
                    o.size.x / 0.02f, o.size.y / 0.02f, o.size.z / 0.02f, o.rotate.x, o.rotate.y, o.rotate.z);
    }
    if (!mgrDebug->lines.empty()) {
        std::printf("line %d: log %zu lines, newest %s \"%s\"\n", line, mgrDebug->lines.size(),
                    ReplayKindName(mgrDebug->lines.back()->kind), mgrDebug->lines.back()->text.c_str());
    }
}

bool Move(ReplayContext& x, const ReplayCommand& c) {
    long px = 0, py = 0;
    if (!x.Integer(c.args[0], &px) || !x.Integer(c.args[1], &py)) return false;
    morva::SetHeadlessCursorInClient(x.run.window, int(px), int(py));
    return true;
}

// Presses the chord's modifiers, then its key; releases in the opposite order.
void SetChord(morva::Window* window, const KeyChord& chord, bool down) {
    const std::vector<int> modifiers = ModifierKeyCodes(chord.modifiers);
    if (down) {
        for (int code : modifiers) morva::SetHeadlessKey(window, code, true);
        morva::SetHeadlessKey(window, chord.key, true);
    } else {
        morva::SetHeadlessKey(window, chord.key, false);
        for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) morva::SetHeadlessKey(window, *it, false);
    }
}

bool Press(ReplayContext& x, const ReplayCommand& c) {
    KeyChord chord;
    if (!x.Chord(c.args[0], &chord)) return false;
    SetChord(x.run.window, chord, c.verb == "down" || c.verb == "keydown");
    return true;
}

bool Tap(ReplayContext& x, const ReplayCommand& c) {
    KeyChord chord;
    if (!x.Chord(c.args[0], &chord)) return false;
    SetChord(x.run.window, chord, true);
    const bool ok = x.Frames(1);
    SetChord(x.run.window, chord, false);
    return ok && x.Frames(1);
}

// `clicks N B`: N quick clicks made before the next frame, then N frames (one click each).
bool QuickClicks(ReplayContext& x, const ReplayCommand& c) {
    long n = 0;
    KeyChord chord;
    if (!x.Integer(c.args[0], &n) || !x.Chord(c.args[1], &chord)) return false;
    if (n < 1 || n > 10000) return x.Fail("clicks: the count runs from 1 to 10000");
    for (long i = 0; i < n; ++i) {
        SetChord(x.run.window, chord, true);
        SetChord(x.run.window, chord, false);
    }
    return x.Frames(n);
}

bool Wheel(ReplayContext& x, const ReplayCommand& c) {
    long delta = 0;
    if (!x.Integer(c.args[0], &delta)) return false;
    morva::PostHeadlessWheel(x.run.window, int(delta));
    return true;
}

bool DrawFrames(ReplayContext& x, const ReplayCommand& c) {
    long n = 0;
    if (!x.Integer(c.args[0], &n)) return false;
    if (n < 0) return x.Fail("frames: a negative count");
    return x.Frames(n);
}

bool Dialog(ReplayContext& x, const ReplayCommand& c) {
    cdialog_answer answer;
    answer.confirmed = c.args[0] != "cancel";
    if (answer.confirmed) answer.path = x.Resolve(c.args[0]);
    mgrDialog->scripted_answers.push_back(answer);
    return true;
}

// The editor ends, or, when the close was refused (a question answered Cancel), goes on
// drawing: the command returns after the first frame drawn after the request.
bool Close(ReplayContext& x, const ReplayCommand&) {
    if (x.run.ended) return true;
    morva::PostHeadlessClose(x.run.window);
    for (int i = 0; i < 1000 && !x.run.ended; ++i) {
        bool drew = false;
        if (!EditorIteration(*x.run.shell, &drew)) x.run.ended = true;
        if (!x.NoUnansweredDialog()) return false;
        if (drew) return true;
    }
    return x.run.ended || x.Fail("close: the editor did not end");
}

bool Print(ReplayContext& x, const ReplayCommand& c) {
    PrintState(*x.run.shell, c.line);
    return true;
}

const ReplayVerb kVerbs[] = {
    {"move", 2, 2, Move},         {"down", 1, 1, Press},   {"up", 1, 1, Press},
    {"keydown", 1, 1, Press},     {"keyup", 1, 1, Press},  {"click", 1, 1, Tap},
    {"key", 1, 1, Tap},           {"clicks", 2, 2, QuickClicks}, {"wheel", 1, 1, Wheel},  {"frames", 1, 1, DrawFrames},
    {"dialog", 1, 1, Dialog},     {"close", 0, 0, Close},  {"print", 0, 0, Print},
};

}  // namespace

const ReplayFamily kReplayInputCommands = {kVerbs, sizeof kVerbs / sizeof kVerbs[0]};
