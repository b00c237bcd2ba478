#include "app/replay.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include "app/editor.h"
#include "platform/cdialog.h"
#include "platform/cinput.h"
#include "project/project.h"
#include "render/cdebug.h"

namespace {

struct VerbSpec {
    const char* verb;
    size_t min_args;
    size_t max_args;
};

const VerbSpec kVerbs[] = {
    {"move", 2, 2},          {"down", 1, 1},           {"up", 1, 1},
    {"click", 1, 1},         {"keydown", 1, 1},        {"keyup", 1, 1},
    {"key", 1, 1},           {"wheel", 1, 1},          {"frames", 1, 1},
    {"dialog", 1, 1},        {"shot", 1, 1},           {"close", 0, 0},
    {"expect-log", 2, 2},    {"expect-log-count", 1, 1}, {"expect-objects", 1, 1},
    {"expect-selected", 1, 1}, {"expect-hovered", 1, 1}, {"expect-position", 4, 4},
    {"expect-size", 4, 4},   {"expect-rotate", 4, 4},  {"expect-camera", 2, 3},
    {"expect-menu", 1, 1},   {"expect-mode", 1, 1},    {"expect-dialog", 1, 1},
    {"expect-pixel", 5, 6},  {"expect-mean", 7, 8},    {"expect-change", 5, 6},
    {"expect-varied", 5, 5}, {"print", 0, 0},
};

const VerbSpec* FindVerb(const std::string& verb) {
    for (const VerbSpec& v : kVerbs) {
        if (verb == v.verb) return &v;
    }
    return nullptr;
}

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return std::string();
    size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

bool ParseNumber(const std::string& s, double* out) {
    if (s.empty()) return false;
    errno = 0;
    char* end = nullptr;
    double v = std::strtod(s.c_str(), &end);
    if (errno != 0 || !end || *end != 0 || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

bool ParseInt(const std::string& s, long* out) {
    if (s.empty()) return false;
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 10);
    if (errno != 0 || !end || *end != 0) return false;
    *out = v;
    return true;
}

std::string Fmt(double v) {
    char b[64];
    std::snprintf(b, sizeof b, "%g", v);
    return b;
}

const char* KindName(Debug_type kind) {
    switch (kind) {
        case Debug_Info: return "info";
        case Debug_Error: return "error";
        case Debug_Warning: return "warning";
    }
    return "?";
}

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
                    KindName(mgrDebug->lines.back()->kind), mgrDebug->lines.back()->text.c_str());
    }
}

// Executes one command; a failure fills `error` and returns false.
class Runner {
public:
    Runner(ReplayRun& run) : run_(run) {}

    bool Execute(const ReplayCommand& c, std::string* error);
    bool FinalChecks(std::string* error);

private:
    bool Fail(const std::string& message) {
        error_ = message;
        return false;
    }
    bool Frames(long n);
    bool Number(const std::string& s, double* v) {
        if (ParseNumber(s, v)) return true;
        return Fail("'" + s + "' is not a number");
    }
    bool Integer(const std::string& s, long* v) {
        if (ParseInt(s, v)) return true;
        return Fail("'" + s + "' is not a whole number");
    }
    bool Key(const std::string& name, int* code) {
        *code = ReplayKeyCode(name);
        if (*code >= 0) return true;
        return Fail("unknown key or button '" + name + "'");
    }
    std::string Resolve(const std::string& path) const {
        if (path.empty() || path[0] == '/' || run_.base_dir.empty()) return path;
        return run_.base_dir + "/" + path;
    }
    bool ClientImage(morva::ClientImage* image) {
        if (morva::ReadHeadlessClientImage(run_.window, image)) return true;
        return Fail("the client image cannot be read");
    }
    // One handler per command; each returns false after Fail().
    bool Move(const ReplayCommand& c);
    bool Press(const ReplayCommand& c);
    bool Tap(const ReplayCommand& c);
    bool Wheel(const ReplayCommand& c);
    bool DrawFrames(const ReplayCommand& c);
    bool Dialog(const ReplayCommand& c);
    bool Shot(const ReplayCommand& c);
    bool Close(const ReplayCommand& c);
    bool Print(const ReplayCommand& c);
    bool ExpectLog(const ReplayCommand& c);
    bool ExpectLogCount(const ReplayCommand& c);
    bool ExpectObjects(const ReplayCommand& c);
    bool ExpectIndex(const ReplayCommand& c);
    bool ExpectPosition(const ReplayCommand& c);
    bool ExpectSize(const ReplayCommand& c);
    bool ExpectRotate(const ReplayCommand& c);
    bool ExpectMenu(const ReplayCommand& c);
    bool ExpectMode(const ReplayCommand& c);
    bool ExpectDialog(const ReplayCommand& c);
    bool ExpectVector(const ReplayCommand& c, int which);
    bool ExpectCamera(const ReplayCommand& c);
    bool ExpectPixel(const ReplayCommand& c);
    bool ExpectMean(const ReplayCommand& c);
    bool ExpectChange(const ReplayCommand& c);
    bool ExpectVaried(const ReplayCommand& c);
    bool Region(const std::vector<std::string>& a, size_t first, int* x, int* y, int* w, int* h);

    ReplayRun& run_;
    std::string error_;
};

bool Runner::Frames(long n) {
    long drawn = 0;
    while (drawn < n) {
        if (run_.ended) return Fail("the editor has already ended");
        bool drew = false;
        if (!EditorIteration(*run_.shell, &drew)) {
            run_.ended = true;
            return true;
        }
        if (drew) ++drawn;
        if (mgrDialog->last_failure == Dialog_NoAnswer) {
            mgrDialog->last_failure = Dialog_None;
            return Fail("a file dialog (\"" + mgrDialog->last_title +
                        "\") opened with no answer queued: add a 'dialog' line before it");
        }
    }
    return true;
}

bool Runner::Region(const std::vector<std::string>& a, size_t first, int* x, int* y, int* w,
                    int* h) {
    long v[4];
    for (int i = 0; i < 4; ++i) {
        if (!Integer(a[first + i], &v[i])) return false;
    }
    if (v[0] < 0 || v[1] < 0 || v[2] <= 0 || v[3] <= 0 || v[0] + v[2] > morva::kClientWidth ||
        v[1] + v[3] > morva::kClientHeight) {
        return Fail("region outside the 1016 x 736 client area");
    }
    *x = int(v[0]);
    *y = int(v[1]);
    *w = int(v[2]);
    *h = int(v[3]);
    return true;
}

void MeanColour(const morva::ClientImage& img, int x, int y, int w, int h, double out[3]) {
    double sum[3] = {0, 0, 0};
    for (int j = y; j < y + h; ++j) {
        for (int i = x; i < x + w; ++i) {
            const uint8_t* p = &img.rgba[(size_t(j) * img.width + i) * 4];
            for (int k = 0; k < 3; ++k) sum[k] += p[k];
        }
    }
    for (int k = 0; k < 3; ++k) out[k] = sum[k] / (double(w) * h);
}

bool Runner::ExpectVector(const ReplayCommand& c, int which) {
    long index = 0;
    double want[3];
    if (!Integer(c.args[0], &index)) return false;
    for (int i = 0; i < 3; ++i) {
        if (!Number(c.args[1 + i], &want[i])) return false;
    }
    const long count = long(mgrProject->objects.size());
    if (index < 0 || index >= count) {
        return Fail(c.verb + ": no object " + std::to_string(index) + " (the project has " +
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
            return Fail(c.verb + " " + std::to_string(index) + ": expected (" + Fmt(want[0]) + ", " +
                        Fmt(want[1]) + ", " + Fmt(want[2]) + "), found (" + Fmt(got[0]) + ", " +
                        Fmt(got[1]) + ", " + Fmt(got[2]) + ")");
        }
    }
    return true;
}

bool Runner::ExpectCamera(const ReplayCommand& c) {
    double want = 0, tolerance = 1e-3;
    if (!Number(c.args[1], &want)) return false;
    if (c.args.size() > 2 && !Number(c.args[2], &tolerance)) return false;
    const CameraState& cam = run_.shell->camera;
    const std::string& n = c.args[0];
    double got = 0;
    if (n == "pitch") got = cam.camPitch;
    else if (n == "yaw") got = cam.camYaw;
    else if (n == "x") got = cam.camX;
    else if (n == "y") got = cam.camY;
    else if (n == "z") got = cam.camZ;
    else if (n == "zoom") got = Zoom;
    else return Fail("expect-camera: unknown value '" + n + "' (pitch yaw x y z zoom)");
    if (std::fabs(got - want) > tolerance) {
        return Fail("expect-camera " + n + ": expected " + Fmt(want) + ", found " + Fmt(got));
    }
    return true;
}

bool Runner::ExpectPixel(const ReplayCommand& c) {
    long x = 0, y = 0;
    double rgb[3], tol = 8;
    if (!Integer(c.args[0], &x) || !Integer(c.args[1], &y)) return false;
    for (int i = 0; i < 3; ++i) {
        if (!Number(c.args[2 + i], &rgb[i])) return false;
    }
    if (c.args.size() > 5 && !Number(c.args[5], &tol)) return false;
    if (x < 0 || y < 0 || x >= morva::kClientWidth || y >= morva::kClientHeight) {
        return Fail("expect-pixel: point outside the client area");
    }
    morva::ClientImage img;
    if (!ClientImage(&img)) return false;
    const uint8_t* p = &img.rgba[(size_t(y) * img.width + x) * 4];
    for (int i = 0; i < 3; ++i) {
        if (std::fabs(p[i] - rgb[i]) > tol) {
            return Fail("expect-pixel " + std::to_string(x) + " " + std::to_string(y) + ": expected (" +
                        Fmt(rgb[0]) + ", " + Fmt(rgb[1]) + ", " + Fmt(rgb[2]) + "), found (" +
                        std::to_string(p[0]) + ", " + std::to_string(p[1]) + ", " +
                        std::to_string(p[2]) + ")");
        }
    }
    return true;
}

bool Runner::ExpectMean(const ReplayCommand& c) {
    int x, y, w, h;
    double rgb[3], tol = 12;
    if (!Region(c.args, 0, &x, &y, &w, &h)) return false;
    for (int i = 0; i < 3; ++i) {
        if (!Number(c.args[4 + i], &rgb[i])) return false;
    }
    if (c.args.size() > 7 && !Number(c.args[7], &tol)) return false;
    morva::ClientImage img;
    if (!ClientImage(&img)) return false;
    double mean[3];
    MeanColour(img, x, y, w, h, mean);
    for (int i = 0; i < 3; ++i) {
        if (std::fabs(mean[i] - rgb[i]) > tol) {
            return Fail("expect-mean: expected about (" + Fmt(rgb[0]) + ", " + Fmt(rgb[1]) + ", " +
                        Fmt(rgb[2]) + "), found (" + Fmt(mean[0]) + ", " + Fmt(mean[1]) + ", " +
                        Fmt(mean[2]) + ")");
        }
    }
    return true;
}

bool Runner::ExpectChange(const ReplayCommand& c) {
    auto it = run_.shots.find(Resolve(c.args[0]));
    if (it == run_.shots.end()) return Fail("expect-change: no earlier shot '" + c.args[0] + "'");
    int x, y, w, h;
    double min_diff = 4;
    if (!Region(c.args, 1, &x, &y, &w, &h)) return false;
    if (c.args.size() > 5 && !Number(c.args[5], &min_diff)) return false;
    morva::ClientImage now;
    if (!ClientImage(&now)) return false;
    const morva::ClientImage& before = it->second;
    double sum = 0;
    for (int j = y; j < y + h; ++j) {
        for (int i = x; i < x + w; ++i) {
            const size_t o = (size_t(j) * now.width + i) * 4;
            for (int k = 0; k < 3; ++k) sum += std::fabs(double(now.rgba[o + k]) - before.rgba[o + k]);
        }
    }
    const double diff = sum / (3.0 * w * h);
    if (diff < min_diff) {
        return Fail("expect-change: the region changed by " + Fmt(diff) + " on average, expected at least " +
                    Fmt(min_diff));
    }
    return true;
}

bool Runner::ExpectVaried(const ReplayCommand& c) {
    int x, y, w, h;
    double min_spread = 0;
    if (!Region(c.args, 0, &x, &y, &w, &h) || !Number(c.args[4], &min_spread)) return false;
    morva::ClientImage img;
    if (!ClientImage(&img)) return false;
    double sum = 0, sum2 = 0;
    for (int j = y; j < y + h; ++j) {
        for (int i = x; i < x + w; ++i) {
            const uint8_t* p = &img.rgba[(size_t(j) * img.width + i) * 4];
            const double grey = 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
            sum += grey;
            sum2 += grey * grey;
        }
    }
    const double n = double(w) * h;
    const double mean = sum / n;
    const double spread = std::sqrt(std::max(0.0, sum2 / n - mean * mean));
    if (spread < min_spread) {
        return Fail("expect-varied: the region's grey levels spread by " + Fmt(spread) +
                    ", expected at least " + Fmt(min_spread) + " (is anything drawn there?)");
    }
    return true;
}

bool Runner::Move(const ReplayCommand& c) {
    long x = 0, y = 0;
    if (!Integer(c.args[0], &x) || !Integer(c.args[1], &y)) return false;
    morva::SetHeadlessCursorInClient(run_.window, int(x), int(y));
    return true;
}

bool Runner::Press(const ReplayCommand& c) {
    int code = 0;
    if (!Key(c.args[0], &code)) return false;
    morva::SetHeadlessKey(run_.window, code, c.verb == "down" || c.verb == "keydown");
    return true;
}

bool Runner::Tap(const ReplayCommand& c) {
    int code = 0;
    if (!Key(c.args[0], &code)) return false;
    morva::SetHeadlessKey(run_.window, code, true);
    const bool ok = Frames(1);
    morva::SetHeadlessKey(run_.window, code, false);
    return ok && Frames(1);
}

bool Runner::Wheel(const ReplayCommand& c) {
    long delta = 0;
    if (!Integer(c.args[0], &delta)) return false;
    morva::PostHeadlessWheel(run_.window, int(delta));
    return true;
}

bool Runner::DrawFrames(const ReplayCommand& c) {
    long n = 0;
    if (!Integer(c.args[0], &n)) return false;
    if (n < 0) return Fail("frames: a negative count");
    return Frames(n);
}

bool Runner::Dialog(const ReplayCommand& c) {
    cdialog_answer answer;
    answer.confirmed = c.args[0] != "cancel";
    if (answer.confirmed) answer.path = Resolve(c.args[0]);
    mgrDialog->scripted_answers.push_back(answer);
    return true;
}

bool Runner::Shot(const ReplayCommand& c) {
    morva::ClientImage img;
    if (!ClientImage(&img)) return false;
    const std::string path = Resolve(c.args[0]);
    if (!WriteClientPng(path, img)) return Fail("shot: cannot write " + path);
    run_.shots[path] = img;
    return true;
}

bool Runner::Close(const ReplayCommand&) {
    if (run_.ended) return true;
    morva::PostHeadlessClose(run_.window);
    for (int i = 0; i < 1000 && !run_.ended; ++i) {
        if (!EditorIteration(*run_.shell)) run_.ended = true;
    }
    return run_.ended || Fail("close: the editor did not end");
}

bool Runner::Print(const ReplayCommand& c) {
    PrintState(*run_.shell, c.line);
    return true;
}

bool Runner::ExpectLog(const ReplayCommand& c) {
    if (mgrDebug->lines.empty()) return Fail("expect-log: the log is empty");
    const cdebug::chunk& last = *mgrDebug->lines.back();
    const std::string kind = KindName(last.kind);
    if (kind == c.args[0] && last.text == c.args[1]) return true;
    return Fail("expect-log: expected " + c.args[0] + " \"" + c.args[1] + "\", newest line is " + kind +
                " \"" + last.text + "\"");
}

bool Runner::ExpectLogCount(const ReplayCommand& c) {
    long n = 0;
    if (!Integer(c.args[0], &n)) return false;
    if (long(mgrDebug->lines.size()) == n) return true;
    return Fail("expect-log-count: expected " + std::to_string(n) + " lines, found " +
                std::to_string(mgrDebug->lines.size()) + " (newest: \"" +
                (mgrDebug->lines.empty() ? std::string() : mgrDebug->lines.back()->text) + "\")");
}

bool Runner::ExpectObjects(const ReplayCommand& c) {
    long n = 0;
    if (!Integer(c.args[0], &n)) return false;
    if (long(mgrProject->objects.size()) == n) return true;
    return Fail("expect-objects: expected " + std::to_string(n) + ", found " +
                std::to_string(mgrProject->objects.size()));
}

bool Runner::ExpectIndex(const ReplayCommand& c) {
    long n = 0;
    if (!Integer(c.args[0], &n)) return false;
    const int got = c.verb == "expect-selected" ? mgrProject->selected : mgrProject->hovered;
    if (got == n) return true;
    return Fail(c.verb + ": expected " + std::to_string(n) + ", found " + std::to_string(got));
}

bool Runner::ExpectPosition(const ReplayCommand& c) { return ExpectVector(c, 0); }
bool Runner::ExpectSize(const ReplayCommand& c) { return ExpectVector(c, 1); }
bool Runner::ExpectRotate(const ReplayCommand& c) { return ExpectVector(c, 2); }

bool Runner::ExpectMenu(const ReplayCommand& c) {
    const MenuState& m = run_.shell->menu;
    std::string got = "none";
    if (m.menuOpen && m.openMenu >= 0 && m.openMenu < 4) got = kMenuNames[m.openMenu];
    return got == c.args[0] || Fail("expect-menu: expected " + c.args[0] + ", found " + got);
}

bool Runner::ExpectMode(const ReplayCommand& c) {
    const int mode = run_.shell->menu.editMode;
    const std::string got = mode >= 0 && mode < 3 ? kModeNames[mode] : std::to_string(mode);
    return got == c.args[0] || Fail("expect-mode: expected " + c.args[0] + ", found " + got);
}

bool Runner::ExpectDialog(const ReplayCommand& c) {
    if (mgrDialog->last_title == c.args[0]) return true;
    return Fail("expect-dialog: expected \"" + c.args[0] + "\", last dialog was \"" +
                mgrDialog->last_title + "\"");
}

bool Runner::Execute(const ReplayCommand& c, std::string* error) {
    using Handler = bool (Runner::*)(const ReplayCommand&);
    static const struct {
        const char* verb;
        Handler handler;
    } kHandlers[] = {
        {"move", &Runner::Move},
        {"down", &Runner::Press},
        {"up", &Runner::Press},
        {"keydown", &Runner::Press},
        {"keyup", &Runner::Press},
        {"click", &Runner::Tap},
        {"key", &Runner::Tap},
        {"wheel", &Runner::Wheel},
        {"frames", &Runner::DrawFrames},
        {"dialog", &Runner::Dialog},
        {"shot", &Runner::Shot},
        {"close", &Runner::Close},
        {"print", &Runner::Print},
        {"expect-log", &Runner::ExpectLog},
        {"expect-log-count", &Runner::ExpectLogCount},
        {"expect-objects", &Runner::ExpectObjects},
        {"expect-selected", &Runner::ExpectIndex},
        {"expect-hovered", &Runner::ExpectIndex},
        {"expect-position", &Runner::ExpectPosition},
        {"expect-size", &Runner::ExpectSize},
        {"expect-rotate", &Runner::ExpectRotate},
        {"expect-camera", &Runner::ExpectCamera},
        {"expect-menu", &Runner::ExpectMenu},
        {"expect-mode", &Runner::ExpectMode},
        {"expect-dialog", &Runner::ExpectDialog},
        {"expect-pixel", &Runner::ExpectPixel},
        {"expect-mean", &Runner::ExpectMean},
        {"expect-varied", &Runner::ExpectVaried},
        {"expect-change", &Runner::ExpectChange},
    };
    error_.clear();
    bool ok = false;
    if (run_.ended && c.verb != "close") {
        ok = Fail("the editor has already ended");
    } else {
        Handler handler = nullptr;
        for (const auto& h : kHandlers) {
            if (c.verb == h.verb) handler = h.handler;
        }
        ok = handler ? (this->*handler)(c) : Fail("unknown command '" + c.verb + "'");
    }
    if (!ok) *error = "line " + std::to_string(c.line) + ": " + error_;
    return ok;
}

bool Runner::FinalChecks(std::string* error) {
    if (mgrDialog && !mgrDialog->scripted_answers.empty()) {
        *error = "end of script: " + std::to_string(mgrDialog->scripted_answers.size()) +
                 " dialog answer(s) were never used";
        return false;
    }
    return true;
}

}  // namespace

bool SplitScriptLine(const std::string& line, std::vector<std::string>* words, std::string* error) {
    words->clear();
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        if (i >= line.size()) break;
        std::string word;
        if (line[i] == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char ch = line[i++];
                if (ch == '\\' && i < line.size()) {
                    word += line[i++];
                } else if (ch == '"') {
                    closed = true;
                    break;
                } else {
                    word += ch;
                }
            }
            if (!closed) {
                *error = "unterminated quote";
                return false;
            }
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
                word += line[i++];
            }
        }
        words->push_back(word);
    }
    return true;
}

bool ExpandScriptVariables(const std::string& line, std::string* out, std::string* error) {
    out->clear();
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == '$' && i + 1 < line.size() && line[i + 1] == '{') {
            size_t close = line.find('}', i + 2);
            if (close == std::string::npos) {
                *error = "unterminated ${";
                return false;
            }
            std::string name = line.substr(i + 2, close - i - 2);
            const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
            if (!value) {
                *error = "the variable ${" + name + "} is not set";
                return false;
            }
            *out += value;
            i = close + 1;
        } else {
            *out += line[i++];
        }
    }
    return true;
}

bool ParseReplayScript(const std::string& text, std::vector<ReplayCommand>* out,
                       std::string* error) {
    out->clear();
    std::istringstream in(text);
    std::string raw;
    int number = 0;
    while (std::getline(in, raw)) {
        ++number;
        std::string line = Trim(raw);
        if (line.empty() || line[0] == '#') continue;
        std::string expanded, why;
        std::vector<std::string> words;
        if (!ExpandScriptVariables(line, &expanded, &why) || !SplitScriptLine(expanded, &words, &why)) {
            *error = std::to_string(number) + ": " + why;
            return false;
        }
        ReplayCommand c;
        c.line = number;
        c.verb = words[0];
        c.args.assign(words.begin() + 1, words.end());
        const VerbSpec* rule = FindVerb(c.verb);
        if (!rule) {
            *error = std::to_string(number) + ": unknown command '" + c.verb + "'";
            return false;
        }
        if (c.args.size() < rule->min_args || c.args.size() > rule->max_args) {
            *error = std::to_string(number) + ": " + c.verb + " takes " + std::to_string(rule->min_args) +
                     (rule->max_args != rule->min_args ? " to " + std::to_string(rule->max_args) : "") +
                     " argument(s), found " + std::to_string(c.args.size());
            return false;
        }
        out->push_back(c);
    }
    return true;
}

int ReplayKeyCode(const std::string& name) {
    if (name == "left") return morva::kVkLeftButton;
    if (name == "right") return morva::kVkRightButton;
    if (name == "middle") return morva::kVkMiddleButton;
    if (name == "Delete" || name == "delete") return morva::kVkDelete;
    if (name.size() == 1) {
        const char ch = char(std::toupper(static_cast<unsigned char>(name[0])));
        if (ch >= 'A' && ch <= 'Z') return ch;
    }
    long code = 0;
    if (ParseInt(name, &code) && code > 0 && code < 256) return int(code);
    return -1;
}

bool RunReplayCommands(ReplayRun& run, const std::vector<ReplayCommand>& commands,
                       std::string* error) {
    Runner runner(run);
    for (const ReplayCommand& c : commands) {
        if (!runner.Execute(c, error)) return false;
    }
    return runner.FinalChecks(error);
}

bool WriteClientPng(const std::string& path, const morva::ClientImage& image) {
    if (image.width <= 0 || image.height <= 0) return false;
    if (image.rgba.size() != size_t(image.width) * image.height * 4) return false;
    // The editor's clear alpha is 0; the picture is what the user sees, so it is opaque.
    std::vector<uint8_t> opaque(image.rgba);
    for (size_t i = 3; i < opaque.size(); i += 4) opaque[i] = 255;
    return stbi_write_png(path.c_str(), image.width, image.height, 4, opaque.data(), image.width * 4) != 0;
}
