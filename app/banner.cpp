#include "app/banner.h"

#include <algorithm>
#include <chrono>

#include "render/ctext.h"

namespace {

constexpr float kCellW = 20.0f;
constexpr float kCellH = 16.0f;
constexpr float kRight = 996.0f;    // where the banner's text ends, in interface pixels
constexpr float kTop = 24.0f;       // below the menu bar
constexpr float kLineStep = 22.0f;
constexpr float kMaxWidth = 640.0f;  // never wider than the view right of the menus

struct Colour {
    float r, g, b;
};

// The background in the kind's colour of the log's prefixes, and a text colour to read on it.
void ColoursOf(Debug_type kind, Colour* back, Colour* ink) {
    if (kind == Debug_Warning) {
        *back = {0.9f, 0.9f, 0.0f};
        *ink = {0.0f, 0.0f, 0.0f};
    } else if (kind == Debug_Error) {
        *back = {0.9f, 0.0f, 0.0f};
        *ink = {1.0f, 1.0f, 1.0f};
    } else {
        *back = {0.0f, 0.9f, 0.0f};
        *ink = {0.0f, 0.0f, 0.0f};
    }
}

const char* PrefixOf(Debug_type kind) {
    return kind == Debug_Warning ? "Warning: " : kind == Debug_Error ? "Error: " : "Info: ";
}

}  // namespace

void UpdateBanner(Banner& banner, const cdebug& log, bool click, double now) {
    if (click || now >= banner.shownUntil) banner.lines.clear();
    // A log that shrank (never in the editor) starts the count again.
    if (banner.logLinesSeen > log.lines.size()) banner.logLinesSeen = 0;
    for (size_t i = banner.logLinesSeen; i < log.lines.size(); ++i) {
        const cdebug::chunk& line = *log.lines[i];
        if (line.kind != Debug_Error && line.kind != Debug_Warning) continue;
        banner.lines.push_back({line.text, line.kind});
        banner.shownUntil = now + kBannerSeconds;
    }
    banner.logLinesSeen = log.lines.size();
    if (banner.lines.size() > kBannerMaxLines) {
        banner.lines.erase(banner.lines.begin(), banner.lines.end() - kBannerMaxLines);
    }
}

double BannerSecondsLeft(const Banner& banner, double now) {
    if (banner.lines.empty()) return -1.0;
    return banner.shownUntil - now;
}

void DrawBanner(const Banner& banner, Ctext& text) {
    float y = kTop;
    for (const BannerLine& line : banner.lines) {
        const std::string shown = std::string(PrefixOf(line.kind)) + line.text;
        // Long lines (file paths) are drawn narrower, down to 3/5 of a cell, then cut.
        const int full = Ctext::TextWidth(kCellW, shown.c_str());
        float cell = kCellW;
        if (float(full) > kMaxWidth) cell = std::max(kCellW * 0.6f, kCellW * kMaxWidth / float(full));
        std::string fitted = shown;
        while (fitted.size() > 4 && float(Ctext::TextWidth(cell, fitted.c_str())) > kMaxWidth) {
            fitted = "..." + fitted.substr(4);
        }
        const float width = float(Ctext::TextWidth(cell, fitted.c_str()));
        const float x = kRight - width;
        Colour back, ink;
        ColoursOf(line.kind, &back, &ink);
        text.SetBackColor(back.r, back.g, back.b, 0.9f);
        text.DrawBox(x - 10.0f, y - 3.0f, width + 28.0f, kLineStep + 2.0f);
        text.SetBackColor(1.0f, 1.0f, 1.0f, 1.0f);
        text.SetDrawBackground(false);
        text.DrawTextGL(x, y, cell, kCellH, fitted.c_str(), ink.r, ink.g, ink.b, 0.0f);
        text.SetDrawBackground(true);
        y += kLineStep;
    }
}

double ShellClockSeconds() {
    using Clock = std::chrono::steady_clock;
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}
