// The scripted runner: reads a line-oriented script and drives the real editor on the
// headless window layer with it: cursor moves in client pixels, buttons, keys, the wheel,
// frames, answers for the file dialogs, screenshots of the client area and assertions on
// the editor's state that fail with a clear message. The script language is described in
// the README ("Scripted runs").
// It never changes how the editor works: it only sets input and reads state.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "app/shell.h"
#include "platform/window.h"

// One parsed script line.
struct ReplayCommand {
    int line = 0;
    std::string verb;
    std::vector<std::string> args;
};

// Splits a line into words; double quotes group words ("Open 3D object OK"), a backslash
// inside quotes escapes the next character. False with `error` set on an open quote.
bool SplitScriptLine(const std::string& line, std::vector<std::string>* words, std::string* error);

// Replaces ${NAME} with the environment variable NAME. False when one is not set.
bool ExpandScriptVariables(const std::string& line, std::string* out, std::string* error);

// Parses a whole script: comments (#) and blank lines are skipped, every verb and its
// argument count is checked. False with "LINE: message" in `error` on the first bad line.
bool ParseReplayScript(const std::string& text, std::vector<ReplayCommand>* out,
                       std::string* error);

// The virtual-key code of a button or key name (left, middle, right, letters, digits,
// Escape, Delete, ... as app/key_names.h lists them, or a code from 10 to 255); -1 when unknown.
int ReplayKeyCode(const std::string& name);

struct ReplayRun {
    ShellState* shell = nullptr;
    morva::Window* window = nullptr;
    std::string base_dir;  // relative file paths of the script resolve against it
    std::map<std::string, morva::ClientImage> shots;  // images taken by `shot`, by path
    bool ended = false;    // the editor's loop has ended (close)
};

// Runs the commands on a started editor. Returns true when every command and assertion
// passed; otherwise `error` holds "line N: message" of the first failure.
bool RunReplayCommands(ReplayRun& run, const std::vector<ReplayCommand>& commands,
                       std::string* error);

// Runs one command; false with "line N: message" in `error` when it failed.
bool ExecuteReplayCommand(ReplayRun& run, const ReplayCommand& command, std::string* error);

// Writes an RGBA client image as a PNG. False when the file cannot be written.
bool WriteClientPng(const std::string& path, const morva::ClientImage& image);
