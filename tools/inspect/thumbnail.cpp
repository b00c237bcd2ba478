// Thumbnail rendering: the editor started on the headless layer, the file opened or imported,
// one frame drawn without the interface, the bed's part of it scaled down.
#include "tools/inspect/thumbnail.h"

#include "app/editor.h"
#include "app/frame.h"
#include "app/shell.h"
#include "model/cloadobj.h"
#include "platform/cdialog.h"
#include "platform/files.h"
#include "platform/window.h"
#include "project/project.h"

#include <stb/stb_image_write.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

namespace {

bool StartsWithProjectMagic(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[7] = {};
    return in.read(head, sizeof head) && std::memcmp(head, "skmskm", 7) == 0;
}

// Loads the file into the empty project: a project file by its magic, anything else as a
// model import (OBJ or STL, told apart by the loader).
bool LoadInput(const std::string& path) {
    std::vector<char> writable(path.begin(), path.end());
    writable.push_back('\0');
    if (StartsWithProjectMagic(path)) {
        return mgrProject->OpenData(writable.data());
    }
    return mgrProject->ImportOBJ(writable.data());
}

// Looking down at the work area from above its near edge, tilted so that the machine's
// frame shows around it.
void ViewFromAbove(CameraState& cam) {
    cam.camPitch = 60.0f;
    cam.camYaw = -90.0f;
    cam.camX = 0.0f;
    cam.camY = -0.3f;
    cam.camZ = 0.0f;
    Zoom = 2.7f;
}

// The square of the client image around its centre, `side` pixels wide, box-filtered
// down to `size` x `size`.
std::vector<uint8_t> ScaledSquare(const morva::ClientImage& image, int size) {
    const int side = std::min(image.width, image.height);
    const int x0 = (image.width - side) / 2, y0 = (image.height - side) / 2;
    std::vector<uint8_t> out(size_t(size) * size * 4);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int sx0 = x0 + x * side / size, sx1 = std::max(sx0 + 1, x0 + (x + 1) * side / size);
            const int sy0 = y0 + y * side / size, sy1 = std::max(sy0 + 1, y0 + (y + 1) * side / size);
            unsigned sum[3] = {0, 0, 0}, count = 0;
            for (int sy = sy0; sy < sy1; ++sy) {
                for (int sx = sx0; sx < sx1; ++sx) {
                    const uint8_t* p = &image.rgba[(size_t(sy) * image.width + sx) * 4];
                    for (int c = 0; c < 3; ++c) sum[c] += p[c];
                    ++count;
                }
            }
            uint8_t* o = &out[(size_t(y) * size + x) * 4];
            for (int c = 0; c < 3; ++c) o[c] = uint8_t(sum[c] / count);
            o[3] = 255;
        }
    }
    return out;
}

// One frame as the editor draws it, without the interface overlay.
void DrawSceneOnly(ShellState& s) {
    FetchFrameInput();
    SetUpFramePass(s);
    DrawSkyBoxPass(s);
    DrawScenePass(s);
    DrawShadowPass(s);
    PickingPass(s);
    morva::SwapWindowBuffers(hDC);
}

std::string Absolute(const std::string& path) {
    return files::IsAbsolutePath(path) ? path : files::JoinPath(files::CurrentFolder(), path);
}

}  // namespace

int WriteThumbnail(const std::string& assets, const std::string& input, const std::string& output, int size) {
    if (size < 1 || size > 4096) return 1;
    const std::string in = Absolute(input), out = Absolute(output);
    const std::string here = files::CurrentFolder();
    if (!files::ChangeFolder(assets)) {
        std::fprintf(stderr, "morva-inspect: cannot enter the assets folder %s\n", assets.c_str());
        return 2;
    }
    std::string error;
    morva::Window* window = morva::CreateMainWindow("Morva", &error);
    if (!window) {
        std::fprintf(stderr, "morva-inspect: no headless context: %s\n", error.c_str());
        files::ChangeFolder(here);
        return 2;
    }
    int status = 1;
    ShellState shell;
    if (StartEditor(shell, window)) {
        mgrDialog->scripted = true;
        if (LoadInput(in)) {
            ViewFromAbove(shell.camera);
            // The first frame places the objects (picking pass); the second is the picture.
            DrawSceneOnly(shell);
            DrawSceneOnly(shell);
            morva::ClientImage image;
            if (morva::ReadHeadlessClientImage(window, &image) && !image.rgba.empty()) {
                const std::vector<uint8_t> picture = ScaledSquare(image, size);
                files::ChangeFolder(here);
                if (stbi_write_png(out.c_str(), size, size, 4, picture.data(), size * 4)) status = 0;
            }
        } else {
            std::fprintf(stderr, "morva-inspect: cannot read %s\n", in.c_str());
        }
    }
    StopEditor(shell);
    hDC = nullptr;
    morva::DestroyMainWindow(window);
    files::ChangeFolder(here);
    return status;
}
