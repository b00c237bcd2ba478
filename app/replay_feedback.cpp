// Scripted runner checks of what the editor tells and shows the user: the N-th newest log
// line, the banner over the view, the text of a value-panel row, the placement the picking
// pass derives (move and scale), the progress bar of the last load, and a screen region left
// as an earlier shot had it.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/panel_values.h"
#include "app/progress.h"
#include "app/replay_context.h"
#include "project/project.h"
#include "render/cdebug.h"

namespace {

std::string Fmt(double v) { return FormatReplayNumber(v); }

bool ExpectLogLine(ReplayContext& x, const ReplayCommand& c) {
    long n = 0;
    if (!x.Integer(c.args[0], &n)) return false;
    const auto& lines = mgrDebug->lines;
    if (n < 1 || size_t(n) > lines.size()) {
        return x.Fail("expect-log-line: no line " + std::to_string(n) + " (the log holds " +
                      std::to_string(lines.size()) + "; 1 is the newest)");
    }
    const cdebug::chunk& line = *lines[lines.size() - size_t(n)];
    const std::string kind = ReplayKindName(line.kind);
    if (kind == c.args[1] && line.text == c.args[2]) return true;
    return x.Fail("expect-log-line " + std::to_string(n) + ": expected " + c.args[1] + " \"" + c.args[2] +
                  "\", found " + kind + " \"" + line.text + "\"");
}

// `expect-banner none`, or the kind and text of the newest banner line.
bool ExpectBanner(ReplayContext& x, const ReplayCommand& c) {
    const Banner& banner = x.run.shell->banner;
    if (c.args[0] == "none") {
        if (banner.lines.empty()) return true;
        return x.Fail("expect-banner: expected none, shown \"" + banner.lines.back().text + "\"");
    }
    if (c.args.size() < 2) return x.Fail("expect-banner: KIND TEXT, or none");
    if (banner.lines.empty()) return x.Fail("expect-banner: no banner is shown");
    const BannerLine& line = banner.lines.back();
    const std::string kind = ReplayKindName(line.kind);
    if (kind == c.args[0] && line.text == c.args[1]) return true;
    return x.Fail("expect-banner: expected " + c.args[0] + " \"" + c.args[1] + "\", shown " + kind + " \"" +
                  line.text + "\"");
}

// ROW is X, Y or Z (or 0, 1, 2): the row's text as the next frame draws it.
bool ExpectPanelRow(ReplayContext& x, const ReplayCommand& c) {
    const std::string& row = c.args[0];
    int axis = -1;
    if (row == "X" || row == "x" || row == "0") axis = 0;
    if (row == "Y" || row == "y" || row == "1") axis = 1;
    if (row == "Z" || row == "z" || row == "2") axis = 2;
    if (axis < 0) return x.Fail("expect-panel-row: the row is X, Y or Z, not '" + row + "'");
    const int mode = x.run.shell->menu.editMode;
    const int s = mgrProject->GetSelected();
    std::string got;
    if (s == -1) {
        got = PanelRowText(mode, axis, nullptr);
    } else {
        const cMath::vector4 v = mode == 1   ? mgrProject->GetRotateOBJ(s)
                                 : mode == 2 ? mgrProject->GetSizeOBJ(s)
                                             : mgrProject->GetPositionOBJ(s);
        const float component = axis == 0 ? v.x : axis == 1 ? v.y : v.z;
        got = PanelRowText(mode, axis, &component);
    }
    if (got == c.args[1]) return true;
    return x.Fail("expect-panel-row " + row + ": expected \"" + c.args[1] + "\", shown \"" + got + "\"");
}

// Object I's derived move or scale in scene units, each within 1e-4 of its size (at least 1e-6).
bool ExpectPlacement(ReplayContext& x, const ReplayCommand& c) {
    long index = 0;
    double want[3];
    if (!x.Integer(c.args[0], &index)) return false;
    for (int i = 0; i < 3; ++i) {
        if (!x.Number(c.args[1 + i], &want[i])) return false;
    }
    if (index < 0 || size_t(index) >= mgrProject->objects.size()) {
        return x.Fail(c.verb + ": no object " + std::to_string(index));
    }
    const cMath::vector4 v = c.verb == "expect-move" ? mgrProject->GetMoveOBJ(int(index))
                                                     : mgrProject->GetScaleOBJ(int(index));
    const double got[3] = {v.x, v.y, v.z};
    for (int i = 0; i < 3; ++i) {
        if (std::fabs(got[i] - want[i]) > std::max(1e-6, 1e-4 * std::fabs(want[i]))) {
            return x.Fail(c.verb + " " + std::to_string(index) + ": expected (" + Fmt(want[0]) + ", " +
                          Fmt(want[1]) + ", " + Fmt(want[2]) + "), found (" + Fmt(got[0]) + ", " + Fmt(got[1]) +
                          ", " + Fmt(got[2]) + ")");
        }
    }
    return true;
}

// The region holds the same pixels as in the earlier shot (each channel within 2).
bool ExpectUnchanged(ReplayContext& x, const ReplayCommand& c) {
    auto it = x.run.shots.find(x.Resolve(c.args[0]));
    if (it == x.run.shots.end()) return x.Fail("expect-unchanged: no earlier shot '" + c.args[0] + "'");
    int rx, ry, rw, rh;
    if (!x.Region(c.args, 1, &rx, &ry, &rw, &rh)) return false;
    morva::ClientImage now;
    if (!x.ClientImage(&now)) return false;
    const morva::ClientImage& before = it->second;
    for (int j = ry; j < ry + rh; ++j) {
        for (int i = rx; i < rx + rw; ++i) {
            const size_t o = (size_t(j) * size_t(now.width) + size_t(i)) * 4;
            for (int k = 0; k < 3; ++k) {
                if (std::abs(int(now.rgba[o + k]) - int(before.rgba[o + k])) > 2) {
                    return x.Fail("expect-unchanged: pixel (" + std::to_string(i) + ", " + std::to_string(j) +
                                  ") changed since the shot");
                }
            }
        }
    }
    return true;
}

// `repeat N COMMAND ARGS...`: the command N times in a row (N from 1 to 10000).
bool Repeat(ReplayContext& x, const ReplayCommand& c) {
    long n = 0;
    if (!x.Integer(c.args[0], &n)) return false;
    if (n < 1 || n > 10000) return x.Fail("repeat: the count runs from 1 to 10000");
    if (c.args[1] == "repeat") return x.Fail("repeat: cannot repeat a repeat");
    std::string line;
    for (size_t i = 1; i < c.args.size(); ++i) {
        std::string word = c.args[i];
        std::string quoted = "\"";
        for (char ch : word) {
            if (ch == '"' || ch == '\\') quoted += '\\';
            quoted += ch;
        }
        line += quoted + "\" ";
    }
    std::vector<ReplayCommand> one;
    std::string error;
    if (!ParseReplayScript(line, &one, &error) || one.size() != 1) return x.Fail("repeat: " + error);
    one[0].line = c.line;
    for (long i = 0; i < n; ++i) {
        for (const ReplayCommand& inner : one) {
            if (!ExecuteReplayCommand(x.run, inner, &error)) return x.Fail("repeat, round " + std::to_string(i + 1) + ": " + error);
        }
    }
    return true;
}

// The last load showed its progress bar with this label ("Importing cube.obj").
bool ExpectProgress(ReplayContext& x, const ReplayCommand& c) {
    const LoadProgressRecord& bar = LastLoadProgress();
    if (bar.barsShown > 0 && bar.label == c.args[0]) return true;
    return x.Fail("expect-progress: expected a bar \"" + c.args[0] + "\", the last load showed " +
                  std::to_string(bar.barsShown) + " bar(s) \"" + bar.label + "\"");
}

// Writes the picture of the last progress bar drawn (scripts keep it).
bool ProgressShot(ReplayContext& x, const ReplayCommand& c) {
    const LoadProgressRecord& bar = LastLoadProgress();
    if (bar.picture.empty()) return x.Fail("progress-shot: no progress bar was drawn");
    morva::ClientImage image;
    image.width = bar.width;
    image.height = bar.height;
    image.rgba.assign(bar.picture.begin(), bar.picture.end());
    const std::string path = x.Resolve(c.args[0]);
    if (!WriteClientPng(path, image)) return x.Fail("progress-shot: cannot write " + path);
    x.run.shots[path] = image;
    return true;
}

const ReplayVerb kVerbs[] = {
    {"progress-shot", 1, 1, ProgressShot},
    {"expect-progress", 1, 1, ExpectProgress},
    {"repeat", 2, 64, Repeat},
    {"expect-log-line", 3, 3, ExpectLogLine}, {"expect-banner", 1, 2, ExpectBanner},
    {"expect-panel-row", 2, 2, ExpectPanelRow}, {"expect-move", 4, 4, ExpectPlacement},
    {"expect-scale", 4, 4, ExpectPlacement},   {"expect-unchanged", 5, 5, ExpectUnchanged},
};

}  // namespace

const ReplayFamily kReplayFeedbackChecks = {kVerbs, sizeof kVerbs / sizeof kVerbs[0]};
