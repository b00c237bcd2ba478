// The banner over the 3D view: every Error and Warning line added to the message log is also
// shown at the top right of the view in its kind's colour, so a failed command is seen even
// when the log shows another tab. A banner stays 4 seconds after its newest line or until the
// next left click; several lines arriving together stack (the newest three).
// It reads the log and never changes it; the log's tabs stay as they are.
#pragma once

#include <string>
#include <vector>

#include "render/cdebug.h"

class Ctext;

constexpr double kBannerSeconds = 4.0;
constexpr size_t kBannerMaxLines = 3;

struct BannerLine {
    std::string text;
    Debug_type kind = Debug_Error;
};

struct Banner {
    std::vector<BannerLine> lines;  // shown now, oldest first
    double shownUntil = 0.0;        // seconds on the caller's clock
    size_t logLinesSeen = 0;        // log lines already looked at
};

// One frame's step, after the frame's commands ran: a click ends the banner shown before it;
// then the Error and Warning lines added to `log` since the last step join the banner and
// keep it `kBannerSeconds` from `now`; past its time the banner ends.
void UpdateBanner(Banner& banner, const cdebug& log, bool click, double now);

// Seconds until the banner ends by itself; negative when none is shown.
double BannerSecondsLeft(const Banner& banner, double now);

// Draws the banner's lines at the top right of the view (overlay GL state, text background
// switched off afterwards as the menus expect it on: restored to on).
void DrawBanner(const Banner& banner, Ctext& text);

// The seconds of the editor's steady clock.
double ShellClockSeconds();
