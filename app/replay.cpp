// The scripted runner's core: script parsing, the list of command families, dispatch
// and the helpers every command shares. The commands themselves live in their family's
// file (replay_input.cpp, replay_state.cpp, replay_picture.cpp, ...).
#include "app/replay.h"

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
#include "app/key_names.h"
#include "app/progress.h"
#include "app/replay_context.h"
#include "app/undo.h"
#include "platform/cdialog.h"
#include "platform/cinput.h"

namespace {

// Every family of commands; a new family adds one line here.
const ReplayFamily* const kFamilies[] = {
    &kReplayInputCommands,
    &kReplayStateChecks,
    &kReplayPictureCommands,
    &kReplayQuickCommands,
    &kReplayFileCommands,
    &kReplayFeedbackChecks,
    &kReplayProjectCommands,
};

const ReplayVerb* FindVerb(const std::string& verb) {
    for (const ReplayFamily* family : kFamilies) {
        for (size_t i = 0; i < family->count; ++i) {
            if (verb == family->verbs[i].verb) return &family->verbs[i];
        }
    }
    return nullptr;
}

// Cuts a comment off a command line: a '#' outside quotes that starts a word.
std::string StripComment(const std::string& line) {
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char ch = line[i];
        if (quoted && ch == '\\') {
            ++i;
        } else if (ch == '"') {
            quoted = !quoted;
        } else if (!quoted && ch == '#' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t')) {
            return line.substr(0, i);
        }
    }
    return line;
}

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return std::string();
    size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

}  // namespace

bool ExecuteReplayCommand(ReplayRun& run, const ReplayCommand& c, std::string* error) {
    ReplayContext context(run);
    const ReplayVerb* verb = FindVerb(c.verb);
    bool ok = false;
    if (run.ended && c.verb != "close" && c.verb != "expect-ended") {
        ok = context.Fail("the editor has already ended");
    } else {
        ok = verb ? verb->run(context, c) : context.Fail("unknown command '" + c.verb + "'");
    }
    if (!ok) *error = "line " + std::to_string(c.line) + ": " + context.error;
    return ok;
}

namespace {

bool FinalChecks(std::string* error) {
    if (mgrDialog && !mgrDialog->scripted_answers.empty()) {
        *error = "end of script: " + std::to_string(mgrDialog->scripted_answers.size()) +
                 " dialog answer(s) were never used";
        return false;
    }
    if (mgrDialog && !mgrDialog->scripted_replies.empty()) {
        *error = "end of script: " + std::to_string(mgrDialog->scripted_replies.size()) +
                 " question answer(s) were never used";
        return false;
    }
    return true;
}

}  // namespace

bool ParseReplayNumber(const std::string& s, double* out) {
    if (s.empty()) return false;
    errno = 0;
    char* end = nullptr;
    double v = std::strtod(s.c_str(), &end);
    if (errno != 0 || !end || *end != 0 || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

bool ParseReplayInt(const std::string& s, long* out) {
    if (s.empty()) return false;
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 10);
    if (errno != 0 || !end || *end != 0) return false;
    *out = v;
    return true;
}

std::string FormatReplayNumber(double v) {
    char b[64];
    std::snprintf(b, sizeof b, "%g", v);
    return b;
}

const char* ReplayKindName(Debug_type kind) {
    switch (kind) {
        case Debug_Info: return "info";
        case Debug_Error: return "error";
        case Debug_Warning: return "warning";
    }
    return "?";
}

bool ReplayContext::Fail(const std::string& message) {
    error = message;
    return false;
}

bool ReplayContext::Number(const std::string& s, double* v) {
    if (ParseReplayNumber(s, v)) return true;
    return Fail("'" + s + "' is not a number");
}

bool ReplayContext::Integer(const std::string& s, long* v) {
    if (ParseReplayInt(s, v)) return true;
    return Fail("'" + s + "' is not a whole number");
}

bool ReplayContext::Key(const std::string& name, int* code) {
    *code = ReplayKeyCode(name);
    if (*code >= 0) return true;
    return Fail("unknown key or button '" + name + "'");
}

bool ReplayContext::Chord(const std::string& text, KeyChord* chord) {
    if (ParseKeyChord(text, chord)) return true;
    return Fail("unknown key or button '" + text + "' (modifiers Ctrl, Shift, Alt joined by '+' to one key)");
}

std::string ReplayContext::Resolve(const std::string& path) const {
    if (path.empty() || path[0] == '/' || run.base_dir.empty()) return path;
    return run.base_dir + "/" + path;
}

bool ReplayContext::ClientImage(morva::ClientImage* image) {
    if (morva::ReadHeadlessClientImage(run.window, image)) return true;
    return Fail("the client image cannot be read");
}

bool ReplayContext::Frames(long n) {
    long drawn = 0;
    while (drawn < n) {
        if (run.ended) return Fail("the editor has already ended");
        bool drew = false;
        if (!EditorIteration(*run.shell, &drew)) {
            run.ended = true;
            return true;
        }
        if (drew) {
            ++drawn;
            AdvanceScriptClock(kReplayFrameMs);
        }
        if (!NoUnansweredDialog()) return false;
    }
    return true;
}

bool ReplayContext::NoUnansweredDialog() {
    if (mgrDialog->last_failure != Dialog_NoAnswer) return true;
    mgrDialog->last_failure = Dialog_None;
    return Fail("a dialog (\"" + mgrDialog->last_title +
                "\") opened with no answer queued: add a 'dialog' line (file) or an 'answer' line (question) before it");
}

bool ReplayContext::Region(const std::vector<std::string>& a, size_t first, int* x, int* y, int* w,
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
        std::string line = Trim(StripComment(raw));
        if (line.empty()) continue;
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
        const ReplayVerb* rule = FindVerb(c.verb);
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

int ReplayKeyCode(const std::string& name) { return KeyCodeFromName(name); }

bool RunReplayCommands(ReplayRun& run, const std::vector<ReplayCommand>& commands,
                       std::string* error) {
    LastLoadProgress().capture = true;  // for progress-shot
    for (const ReplayCommand& c : commands) {
        if (!ExecuteReplayCommand(run, c, error)) return false;
    }
    return FinalChecks(error);
}

bool WriteClientPng(const std::string& path, const morva::ClientImage& image) {
    if (image.width <= 0 || image.height <= 0) return false;
    if (image.rgba.size() != size_t(image.width) * image.height * 4) return false;
    // The editor's clear alpha is 0; the picture is what the user sees, so it is opaque.
    std::vector<uint8_t> opaque(image.rgba);
    for (size_t i = 3; i < opaque.size(); i += 4) opaque[i] = 255;
    return stbi_write_png(path.c_str(), image.width, image.height, 4, opaque.data(), image.width * 4) != 0;
}
