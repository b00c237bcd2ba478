// Scripted runner checks on the editor's state: the message log, the object list and the
// placement of objects, the camera, the open menu, the panel mode and the last dialog.
#include <cmath>
#include <string>

#include "app/editor.h"
#include "app/replay_context.h"
#include "platform/cdialog.h"
#include "project/project.h"

namespace {

const char* const kMenuNames[4] = {"File", "Options", "Execute", "Edit"};
const char* const kModeNames[3] = {"Move", "Rotate", "Size"};

std::string Fmt(double v) { return FormatReplayNumber(v); }

// which: 0 position, 1 size, 2 rotation.
bool ExpectVector(ReplayContext& x, const ReplayCommand& c, int which) {
    long index = 0;
    double want[3];
    if (!x.Integer(c.args[0], &index)) return false;
    for (int i = 0; i < 3; ++i) {
        if (!x.Number(c.args[1 + i], &want[i])) return false;
    }
    const long count = long(mgrProject->objects.size());
    if (index < 0 || index >= count) {
        return x.Fail(c.verb + ": no object " + std::to_string(index) + " (the project has " +
                      std::to_string(count) + ")");
    }
    cMath::vector4 v = which == 0   ? mgrProject->GetPositionOBJ(int(index))
                       : which == 1 ? mgrProject->GetSizeOBJ(int(index))
                                    : mgrProject->GetRotateOBJ(int(index));
    // Lengths are compared in millimetres as the panel shows them, angles in degrees.
    const double scale = which == 2 ? 1.0 : 1.0 / 0.02;
    const double tolerance = which == 2 ? 1e-3 : 1e-2;
    const double got[3] = {v.x * scale, v.y * scale, v.z * scale};
    for (int i = 0; i < 3; ++i) {
        if (std::fabs(got[i] - want[i]) > tolerance) {
            return x.Fail(c.verb + " " + std::to_string(index) + ": expected (" + Fmt(want[0]) + ", " +
                          Fmt(want[1]) + ", " + Fmt(want[2]) + "), found (" + Fmt(got[0]) + ", " +
                          Fmt(got[1]) + ", " + Fmt(got[2]) + ")");
        }
    }
    return true;
}

bool ExpectPosition(ReplayContext& x, const ReplayCommand& c) { return ExpectVector(x, c, 0); }
bool ExpectSize(ReplayContext& x, const ReplayCommand& c) { return ExpectVector(x, c, 1); }
bool ExpectRotate(ReplayContext& x, const ReplayCommand& c) { return ExpectVector(x, c, 2); }

bool ExpectCamera(ReplayContext& x, const ReplayCommand& c) {
    double want = 0, tolerance = 1e-3;
    if (!x.Number(c.args[1], &want)) return false;
    if (c.args.size() > 2 && !x.Number(c.args[2], &tolerance)) return false;
    const CameraState& cam = x.run.shell->camera;
    const std::string& n = c.args[0];
    double got = 0;
    if (n == "pitch") got = cam.camPitch;
    else if (n == "yaw") got = cam.camYaw;
    else if (n == "x") got = cam.camX;
    else if (n == "y") got = cam.camY;
    else if (n == "z") got = cam.camZ;
    else if (n == "zoom") got = Zoom;
    else return x.Fail("expect-camera: unknown value '" + n + "' (pitch yaw x y z zoom)");
    if (std::fabs(got - want) > tolerance) {
        return x.Fail("expect-camera " + n + ": expected " + Fmt(want) + ", found " + Fmt(got));
    }
    return true;
}

bool ExpectLog(ReplayContext& x, const ReplayCommand& c) {
    if (mgrDebug->lines.empty()) return x.Fail("expect-log: the log is empty");
    const cdebug::chunk& last = *mgrDebug->lines.back();
    const std::string kind = ReplayKindName(last.kind);
    if (kind == c.args[0] && last.text == c.args[1]) return true;
    return x.Fail("expect-log: expected " + c.args[0] + " \"" + c.args[1] + "\", newest line is " + kind +
                  " \"" + last.text + "\"");
}

bool ExpectLogCount(ReplayContext& x, const ReplayCommand& c) {
    long n = 0;
    if (!x.Integer(c.args[0], &n)) return false;
    if (long(mgrDebug->lines.size()) == n) return true;
    return x.Fail("expect-log-count: expected " + std::to_string(n) + " lines, found " +
                  std::to_string(mgrDebug->lines.size()) + " (newest: \"" +
                  (mgrDebug->lines.empty() ? std::string() : mgrDebug->lines.back()->text) + "\")");
}

bool ExpectObjects(ReplayContext& x, const ReplayCommand& c) {
    long n = 0;
    if (!x.Integer(c.args[0], &n)) return false;
    if (long(mgrProject->objects.size()) == n) return true;
    return x.Fail("expect-objects: expected " + std::to_string(n) + ", found " +
                  std::to_string(mgrProject->objects.size()));
}

bool ExpectIndex(ReplayContext& x, const ReplayCommand& c) {
    long n = 0;
    if (!x.Integer(c.args[0], &n)) return false;
    const int got = c.verb == "expect-selected" ? mgrProject->selected : mgrProject->hovered;
    if (got == n) return true;
    return x.Fail(c.verb + ": expected " + std::to_string(n) + ", found " + std::to_string(got));
}

bool ExpectMenu(ReplayContext& x, const ReplayCommand& c) {
    const MenuState& m = x.run.shell->menu;
    std::string got = "none";
    if (m.menuOpen && m.openMenu >= 0 && m.openMenu < 4) got = kMenuNames[m.openMenu];
    return got == c.args[0] || x.Fail("expect-menu: expected " + c.args[0] + ", found " + got);
}

bool ExpectMode(ReplayContext& x, const ReplayCommand& c) {
    const int mode = x.run.shell->menu.editMode;
    const std::string got = mode >= 0 && mode < 3 ? kModeNames[mode] : std::to_string(mode);
    return got == c.args[0] || x.Fail("expect-mode: expected " + c.args[0] + ", found " + got);
}

bool ExpectDialog(ReplayContext& x, const ReplayCommand& c) {
    if (mgrDialog->last_title == c.args[0]) return true;
    return x.Fail("expect-dialog: expected \"" + c.args[0] + "\", last dialog was \"" +
                  mgrDialog->last_title + "\"");
}

const ReplayVerb kVerbs[] = {
    {"expect-log", 2, 2, ExpectLog},          {"expect-log-count", 1, 1, ExpectLogCount},
    {"expect-objects", 1, 1, ExpectObjects},  {"expect-selected", 1, 1, ExpectIndex},
    {"expect-hovered", 1, 1, ExpectIndex},    {"expect-position", 4, 4, ExpectPosition},
    {"expect-size", 4, 4, ExpectSize},        {"expect-rotate", 4, 4, ExpectRotate},
    {"expect-camera", 2, 3, ExpectCamera},    {"expect-menu", 1, 1, ExpectMenu},
    {"expect-mode", 1, 1, ExpectMode},        {"expect-dialog", 1, 1, ExpectDialog},
};

}  // namespace

const ReplayFamily kReplayStateChecks = {kVerbs, sizeof kVerbs / sizeof kVerbs[0]};
