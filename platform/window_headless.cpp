// Headless window layer: an offscreen EGL buffer the size of the client area, a client
// rectangle at a fixed screen position, and input that tests and scripts set.
#include "platform/offscreen_gl.h"
#include "platform/window.h"
#include "platform/window_input.h"

#include <GL/gl.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>

namespace morva {

// Input may be posted from another thread (the benchmark's latency probe): the setters and
// the wait hold `lock`; the cursor is read under it too.
struct Window {
    OffscreenGL gl;
    WindowInputState input;
    WindowPoint cursor;
    std::mutex lock;
    std::condition_variable inputArrived;
};

namespace {

void Notify(Window* window) { window->inputArrived.notify_all(); }

}  // namespace

namespace {

bool windowOpen = false;

void SetError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

void FlipRows(ClientImage& image) {
    const size_t rowBytes = size_t(image.width) * 4;
    std::vector<uint8_t> row(rowBytes);
    for (int top = 0, bottom = image.height - 1; top < bottom; ++top, --bottom) {
        uint8_t* a = &image.rgba[size_t(top) * rowBytes];
        uint8_t* b = &image.rgba[size_t(bottom) * rowBytes];
        std::memcpy(row.data(), a, rowBytes);
        std::memcpy(a, b, rowBytes);
        std::memcpy(b, row.data(), rowBytes);
    }
}

}  // namespace

Window* CreateMainWindow(const char* /*title*/, std::string* error) {
    if (windowOpen) {
        SetError(error, "a window is already open");
        return nullptr;
    }
    auto window = std::make_unique<Window>();
    if (!CreateOffscreenGL(window->gl, kClientWidth, kClientHeight)) {
        SetError(error, window->gl.error);
        return nullptr;
    }
    glViewport(0, 0, kDrawingWidth, kDrawingHeight);
    window->cursor = {kHeadlessClientLeft, kHeadlessClientTop};
    windowOpen = true;
    return window.release();
}

void DestroyMainWindow(Window* window) {
    if (!window) return;
    DestroyOffscreenGL(window->gl);
    delete window;
    windowOpen = false;
}

bool MakeWindowListContextCurrent(Window* window) { return window && MakeListContextCurrent(window->gl); }

void ReleaseWindowListContext(Window* window) {
    if (window) ReleaseListContext(window->gl);
}

WindowInputState* InputStateOf(Window* window) { return window ? &window->input : nullptr; }

bool PollWindowEvent(Window* window, WindowEvent* event) {
    return window && TakeEvent(window->input, event);
}

void WaitForWindowInput(Window* window, double timeoutSeconds) {
    if (!window || timeoutSeconds <= 0.0) return;
    std::unique_lock<std::mutex> hold(window->lock);
    const uint64_t looked = window->input.serialLooked.load();
    window->inputArrived.wait_for(hold, std::chrono::duration<double>(timeoutSeconds),
                                  [&] { return window->input.serial.load() != looked; });
}

void SwapWindowBuffers(Window* window) {
    if (window) FinishOffscreenGL(window->gl);
}

bool IsKeyDown(Window* window, int virtualKey) {
    return window && QueryKey(window->input, virtualKey);
}

WindowPoint GetCursorScreenPos(Window* window) {
    if (!window) return {};
    std::lock_guard<std::mutex> hold(window->lock);
    return window->cursor;
}

WindowRect GetClientScreenRect(Window* window) {
    if (!window) return {};
    return {kHeadlessClientLeft, kHeadlessClientTop, kHeadlessClientLeft + kClientWidth,
            kHeadlessClientTop + kClientHeight};
}

void GetFramebufferScale(Window*, float* scaleX, float* scaleY) {
    if (scaleX) *scaleX = 1.0f;
    if (scaleY) *scaleY = 1.0f;
}

void SetDrawingViewport(Window*, float width, float height) {
    glViewport(0, 0, GLsizei(width), GLsizei(height));
}

unsigned long GetNativeWindowId(Window*) { return 0; }

void SetHeadlessCursor(Window* window, int screenX, int screenY) {
    if (!window) return;
    std::lock_guard<std::mutex> hold(window->lock);
    if (window->cursor.x == screenX && window->cursor.y == screenY) return;
    window->cursor = {screenX, screenY};
    NoteInput(window->input);
    Notify(window);
}

void SetHeadlessCursorInClient(Window* window, int clientX, int clientY) {
    SetHeadlessCursor(window, kHeadlessClientLeft + clientX, kHeadlessClientTop + clientY);
}

void SetHeadlessKey(Window* window, int virtualKey, bool down) {
    if (!window) return;
    std::lock_guard<std::mutex> hold(window->lock);
    RecordKey(window->input, virtualKey, down, window->cursor);
    Notify(window);
}

void PostHeadlessChar(Window* window, uint32_t codePoint) {
    if (!window) return;
    std::lock_guard<std::mutex> hold(window->lock);
    RecordTypedChar(window->input, codePoint);
    Notify(window);
}

void PostHeadlessWheel(Window* window, int delta) {
    if (!window) return;
    std::lock_guard<std::mutex> hold(window->lock);
    QueueEvent(window->input, {WindowEventKind::Wheel, delta});
    Notify(window);
}

void PostHeadlessClose(Window* window) {
    if (!window) return;
    std::lock_guard<std::mutex> hold(window->lock);
    QueueEvent(window->input, {WindowEventKind::Close, 0});
    Notify(window);
}

void PostHeadlessDrop(Window* window, const std::vector<std::string>& paths) {
    if (!window) return;
    WindowEvent event;
    event.kind = WindowEventKind::Drop;
    event.paths = paths;
    QueueEvent(window->input, event);
}

bool ReadHeadlessClientImage(Window* window, ClientImage* image) {
    if (!window || !image) return false;
    image->width = kClientWidth;
    image->height = kClientHeight;
    image->rgba.assign(size_t(kClientWidth) * kClientHeight * 4, 0);
    GLint packAlignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glFinish();
    while (glGetError() != GL_NO_ERROR) {
    }
    glReadPixels(0, 0, kClientWidth, kClientHeight, GL_RGBA, GL_UNSIGNED_BYTE, image->rgba.data());
    glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);
    FlipRows(*image);
    return glGetError() == GL_NO_ERROR;
}

}  // namespace morva
