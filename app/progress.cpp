#include "app/progress.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/editor.h"
#include "app/shell.h"
#include "platform/window.h"
#include "project/project.h"
#include "render/ctext.h"

namespace {

// Reading takes about half of an import, copying a little, the tree a sixth; the display
// lists after it report nothing.
constexpr float kReadShare = 50.0f, kCopyShare = 5.0f, kTreeShare = 15.0f;
// The reader reports lines; a model file holds about this many bytes a line.
constexpr double kBytesPerLine = 36.0;

struct Progress {
    bool active = false;
    std::string label;
    unsigned long long bytes = 0;
    GLuint picture = 0;  // the frame as it was when the load began
    int pixelsW = 0, pixelsH = 0;
};

Progress progress;
LoadProgressRecord record;

// The picture of the client area (bottom-left of the drawing space) in framebuffer pixels.
void ClientPixels(int* w, int* h) {
    float sx = 1.0f, sy = 1.0f;
    morva::GetFramebufferScale(hDC, &sx, &sy);
    *w = int(std::lround(morva::kClientWidth * sx));
    *h = int(std::lround(morva::kClientHeight * sy));
}

// Drawing-space pixels (y up) to normalised coordinates of the 1024 x 768 viewport.
float Nx(float x) { return 2.0f * x / 1024.0f - 1.0f; }
float Ny(float y) { return 2.0f * y / 768.0f - 1.0f; }

void Quad(float x0, float y0, float x1, float y1) {
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(Nx(x0), Ny(y0));
    glTexCoord2f(1, 0);
    glVertex2f(Nx(x1), Ny(y0));
    glTexCoord2f(1, 1);
    glVertex2f(Nx(x1), Ny(y1));
    glTexCoord2f(0, 1);
    glVertex2f(Nx(x0), Ny(y1));
    glEnd();
}

void KeepPicture() {
    ClientPixels(&progress.pixelsW, &progress.pixelsH);
    if (progress.picture == 0) glGenTextures(1, &progress.picture);
    glBindTexture(GL_TEXTURE_2D, progress.picture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 0, 0, progress.pixelsW, progress.pixelsH, 0);
}

// The state every drawing here starts from; the caller's is saved and put back by the pair.
void SaveState() {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    morva::SetDrawingViewport(hDC, 1024.0f, 768.0f);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDepthMask(GL_FALSE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

void RestoreState() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}

void DrawPicture() {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, progress.picture);
    glColor4f(1, 1, 1, 1);
    Quad(0, 0, float(morva::kClientWidth), float(morva::kClientHeight));
}

void DrawBar(int percent) {
    DrawPicture();
    // The panel, centred on the view: interface pixels, y down from the top line.
    const float x = 258.0f, y = 320.0f, w = 500.0f, h = 80.0f;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    mgrTXT->SetBackColor(0.15f, 0.15f, 0.2f, 0.9f);
    mgrTXT->DrawBox(x, y, w, h);
    mgrTXT->SetBackColor(1.0f, 1.0f, 1.0f, 1.0f);
    const bool background = mgrTXT->draw_background;
    mgrTXT->SetDrawBackground(false);
    char text[64];
    std::snprintf(text, sizeof text, "%d%%", percent);
    std::string label = progress.label;
    while (label.size() > 4 && Ctext::TextWidth(16.0f, label.c_str()) > 380) label = "..." + label.substr(4);
    mgrTXT->DrawTextGL(x + 16, y + 12, 16, 16, label.c_str(), 1, 1, 1, 0);
    mgrTXT->DrawTextGL(x + w - 70, y + 12, 16, 16, text, 1, 1, 1, 0);
    mgrTXT->SetDrawBackground(background);
    // The bar: a track and its filled part (drawing space, y up).
    glDisable(GL_TEXTURE_2D);
    const float left = x + 16, right = x + w - 28, top = 736.0f - (y + 40), bottom = top - 16;
    glColor4f(0.35f, 0.35f, 0.4f, 1);
    Quad(left, bottom, right, top);
    glColor4f(0.2f, 0.55f, 1.0f, 1);
    Quad(left, bottom, left + (right - left) * float(percent) / 100.0f, top);
    glColor4f(1, 1, 1, 1);
}

void Capture() {
    if (!record.capture) return;
    int w = 0, h = 0;
    ClientPixels(&w, &h);
    record.width = w;
    record.height = h;
    record.picture.assign(size_t(w) * size_t(h) * 4, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, record.picture.data());
    // Rows from the top, as the scripts' pictures are.
    std::vector<unsigned char> row(size_t(w) * 4);
    for (int a = 0, b = h - 1; a < b; ++a, --b) {
        std::copy_n(&record.picture[size_t(a) * w * 4], row.size(), row.data());
        std::copy_n(&record.picture[size_t(b) * w * 4], row.size(), &record.picture[size_t(a) * w * 4]);
        std::copy_n(row.data(), row.size(), &record.picture[size_t(b) * w * 4]);
    }
}

void Show(int percent) {
    morva::WindowEvent event;
    while (morva::PollWindowEvent(hDC, &event)) {
        if (WndProc(event)) gQuitRequested = true;
    }
    SaveState();
    DrawBar(percent);
    RestoreState();
    Capture();
    morva::SwapWindowBuffers(hDC);
    ++record.barsShown;
    record.highestPercent = std::max(record.highestPercent, percent);
}

}  // namespace

int LoadProgressPercent(int phase, float value, float total, unsigned long long bytes) {
    float share = 0.0f;
    if (phase == 0) {
        const double read = bytes > 0 ? std::min(1.0, double(value) * kBytesPerLine / double(bytes)) : 0.0;
        share = kReadShare * float(read);
    } else {
        const float part = total > 0.0f ? std::clamp(value / total, 0.0f, 1.0f) : 0.0f;
        share = phase == 1 ? kReadShare + kCopyShare * part : kReadShare + kCopyShare + kTreeShare * part;
    }
    return std::clamp(int(share), 0, 99);
}

void BeginLoadProgress(const std::string& label, unsigned long long bytes) {
    progress.active = true;
    progress.label = label;
    progress.bytes = bytes;
    const bool capture = record.capture;
    record = LoadProgressRecord();
    record.capture = capture;
    record.label = label;
    KeepPicture();
    SetProjectLoadProgress(ShowLoadProgress);
    Show(0);
}

void BeginFileLoadProgress(const char* what, const char* path) {
    std::error_code error;
    const std::filesystem::path file(path ? path : "");
    const auto bytes = std::filesystem::file_size(file, error);
    BeginLoadProgress(std::string(what) + " " + file.filename().string(), error ? 0 : (unsigned long long)bytes);
}

void ShowLoadProgress(int phase, int, float value, float total) {
    if (!progress.active) return;
    Show(LoadProgressPercent(phase, value, total, progress.bytes));
}

void EndLoadProgress() {
    if (!progress.active) return;
    SetProjectLoadProgress(nullptr);
    progress.active = false;
    // The frame goes on drawing its overlay over the picture it had.
    SaveState();
    DrawPicture();
    RestoreState();
}

LoadProgressRecord& LastLoadProgress() { return record; }
