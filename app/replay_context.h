// What every command of the scripted runner shares: the run it drives, the failure
// message of the command being executed, argument parsing and frame stepping. Commands
// live in families (one file each: input, state checks, pictures, ...); a family is a
// table of verbs with their argument counts and handlers, listed once in replay.cpp.
// It never changes how the editor works: it only sets input and reads state.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "app/key_names.h"
#include "app/replay.h"
#include "render/cdebug.h"

// Number parsing shared by the families: the whole text must be the number.
bool ParseReplayNumber(const std::string& s, double* out);
bool ParseReplayInt(const std::string& s, long* out);
std::string FormatReplayNumber(double v);  // %g
const char* ReplayKindName(Debug_type kind);  // "info", "error", "warning"

// The state of one command's execution. Helpers return false after Fail() so a handler
// can `return Integer(...) && ...`.
struct ReplayContext {
    ReplayRun& run;
    std::string error;

    explicit ReplayContext(ReplayRun& r) : run(r) {}

    bool Fail(const std::string& message);
    bool Number(const std::string& s, double* v);
    bool Integer(const std::string& s, long* v);
    bool Key(const std::string& name, int* code);
    // "Ctrl+Shift+Z": modifiers and one key.
    bool Chord(const std::string& text, KeyChord* chord);
    // A script path relative to the script's folder.
    std::string Resolve(const std::string& path) const;
    bool ClientImage(morva::ClientImage* image);
    // Runs the editor until n frames were drawn (or it ended).
    bool Frames(long n);
    // Fails when a file dialog or a question was shown with no answer queued.
    bool NoUnansweredDialog();
    // Four whole numbers from a[first] on: a rectangle inside the client area.
    bool Region(const std::vector<std::string>& a, size_t first, int* x, int* y, int* w, int* h);
};

using ReplayHandler = bool (*)(ReplayContext&, const ReplayCommand&);

struct ReplayVerb {
    const char* verb;
    size_t min_args;
    size_t max_args;
    ReplayHandler run;
};

struct ReplayFamily {
    const ReplayVerb* verbs;
    size_t count;
};

// The families; each is defined in its own file.
extern const ReplayFamily kReplayInputCommands;    // replay_input.cpp
extern const ReplayFamily kReplayStateChecks;      // replay_state.cpp
extern const ReplayFamily kReplayPictureCommands;  // replay_picture.cpp
extern const ReplayFamily kReplayQuickCommands;    // replay_quick.cpp
extern const ReplayFamily kReplayFileCommands;     // replay_files.cpp
extern const ReplayFamily kReplayFeedbackChecks;   // replay_feedback.cpp
extern const ReplayFamily kReplayProjectCommands;  // replay_project.cpp

// How far the script's clock moves with each frame drawn (about 60 frames a second).
constexpr long kReplayFrameMs = 16;
