// The progress bar of a long load (a model or image import, a project open): over the
// picture of the frame being drawn when the command started, a panel with the file's name,
// the percentage and a bar, redrawn at each of the loader's progress calls (at most every
// 50 ms). Window messages keep being taken meanwhile; a close request is kept for the main
// loop, which ends right after the command.
// It draws only between BeginLoadProgress and EndLoadProgress and leaves the GL state and
// the frame's picture as it found them.
#pragma once

#include <string>
#include <vector>

// Keeps the frame drawn so far, shows the bar at 0 % with `label` ("Importing cube.obj")
// and routes the project's load progress here. `bytes` is the file's size (0: unknown).
void BeginLoadProgress(const std::string& label, unsigned long long bytes);

// BeginLoadProgress for a file: "`what` NAME" with the file's name and size.
void BeginFileLoadProgress(const char* what, const char* path);

// The loader's progress call (phase 0 reading, 1 copying, 2 tree; see the model loader):
// takes the pending window messages and draws the bar.
void ShowLoadProgress(int phase, int steps, float value, float total);

// Puts the kept picture back into the frame being drawn and stops showing progress.
void EndLoadProgress();

// The percentage the bar shows for a progress call of a file of `bytes` bytes.
int LoadProgressPercent(int phase, float value, float total, unsigned long long bytes);

// What the last load showed, for scripts: its label, the bars drawn, the highest percentage,
// and (when captured) the client picture of the last bar drawn, RGBA rows from the top.
struct LoadProgressRecord {
    std::string label;
    int barsShown = 0;
    int highestPercent = 0;
    bool capture = false;  // set by a script to keep the picture
    int width = 0, height = 0;
    std::vector<unsigned char> picture;
};
LoadProgressRecord& LastLoadProgress();
