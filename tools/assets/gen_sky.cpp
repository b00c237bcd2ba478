// morva-gen-sky: the sky box around the editor's camera: skybox.obj, skybox.mtl and
// img/sky.jpg. The model is a cube of 100 scene units half-size (its corners 173 units
// away, well inside the 0.01-1000 depth range of the view); the texture is one image
// holding the six faces in a 4 x 2 grid of cells. The editor clamps the sky texture, and
// each face samples only the inside of its cell, with a gutter painted from the same sky
// beyond the face edge, so neither the image border nor neighbouring cells bleed in:
// no seams show along the cube edges, at any of the mipmap levels the view uses.
// Usage: morva-gen-sky ASSETS_DIR
#include "tools/assets/image.h"
#include "tools/assets/mesh.h"
#include "tools/assets/noise.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

using namespace morva_assets;

namespace {

constexpr int kCell = 512;
constexpr int kGutter = 16;
constexpr int kWidth = 4 * kCell, kHeight = 2 * kCell;
constexpr double kHalf = 100.0;   // scene units
constexpr double kUnitMm = 50.0;  // millimetres per scene unit in the file

// One face of the cube in scene axes (y up): centre direction and the directions in
// which the cell's columns and rows grow.
struct Face {
    int cell_x, cell_y;
    Vec3 centre, right, down;
};

const Face kFaces[6] = {
    {0, 0, {1, 0, 0}, {0, 0, 1}, {0, -1, 0}},
    {1, 0, {0, 0, 1}, {-1, 0, 0}, {0, -1, 0}},
    {2, 0, {-1, 0, 0}, {0, 0, -1}, {0, -1, 0}},
    {3, 0, {0, 0, -1}, {1, 0, 0}, {0, -1, 0}},
    {0, 1, {0, 1, 0}, {0, 0, 1}, {-1, 0, 0}},
    {1, 1, {0, -1, 0}, {0, 0, 1}, {1, 0, 0}},
};

Vec3 Mix(Vec3 a, Vec3 b, double t) { return a + (b - a) * t; }

// Colour of the sky in a scene direction: a blue dome with soft clouds and a sun glow
// high up (the editor lights the scene from straight above), and hazy ground below the
// horizon.
Vec3 SkyColour(Vec3 d) {
    d = Normalized(d);
    const Vec3 haze{0.86, 0.90, 0.96};
    if (d.y >= 0) {
        const Vec3 zenith{0.24, 0.46, 0.84};
        Vec3 c = Mix(haze, zenith, std::pow(d.y, 0.5));
        // Clouds on a flat layer above the camera, thinning towards the horizon.
        const double k = 1.0 / (d.y + 0.08);
        const double px = d.x * k * 1.3, pz = d.z * k * 1.3;
        const double n = Fbm(px, pz, 0.5, 6);
        const double cover = SmoothStep(0.52, 0.78, n) * SmoothStep(0.02, 0.25, d.y);
        const double shade = Fbm(px + 3.7, pz - 1.3, 2.5, 4);
        const Vec3 cloud = Mix(Vec3{0.99, 0.99, 1.0}, Vec3{0.74, 0.78, 0.86}, SmoothStep(0.35, 0.75, shade));
        c = Mix(c, cloud, cover * 0.9);
        // Sun glow.
        const Vec3 sun = Normalized({-0.35, 0.85, -0.40});
        const double s = std::max(0.0, Dot(d, sun));
        c = c + Vec3{1.0, 0.95, 0.85} * (0.55 * std::pow(s, 400.0) + 0.18 * std::pow(s, 24.0));
        return c;
    }
    // Ground: haze at the horizon fading into a soft blue-grey floor.
    const double t = std::pow(-d.y, 0.45);
    const Vec3 floor{0.50, 0.54, 0.58};
    Vec3 c = Mix(haze * 0.97, floor, t);
    const double k = 1.0 / (-d.y + 0.05);
    const double n = Fbm(d.x * k * 2.0, d.z * k * 2.0, 7.0, 4);
    return c * (0.96 + 0.08 * n * SmoothStep(0.0, 0.3, -d.y));
}

// Texture coordinates of a face corner (a, b in [0, 1] across the face) inside its cell.
Vec2 FaceUv(const Face& f, double a, double b) {
    const double span = kCell - 2.0 * kGutter;
    const double px = f.cell_x * kCell + kGutter + a * span;
    const double py = f.cell_y * kCell + kGutter + b * span;
    return {px / kWidth, 1.0 - py / kHeight};  // v runs up from the image bottom
}

Vec3 FaceDirection(const Face& f, double a, double b) {
    return f.centre + f.right * (2 * a - 1) + f.down * (2 * b - 1);
}

Image PaintSky() {
    const Vec3 spare = SkyColour({1, 0, 0});
    Image img(kWidth, kHeight, FromFloat(spare.x, spare.y, spare.z));
    const double span = kCell - 2.0 * kGutter;
    for (const Face& f : kFaces) {
        for (int y = 0; y < kCell; ++y) {
            for (int x = 0; x < kCell; ++x) {
                // Gutter pixels continue the face beyond its edge.
                const double a = (x + 0.5 - kGutter) / span, b = (y + 0.5 - kGutter) / span;
                const Vec3 c = SkyColour(FaceDirection(f, a, b));
                img.at(f.cell_x * kCell + x, f.cell_y * kCell + y) = FromFloat(c.x, c.y, c.z);
            }
        }
    }
    AvoidKeys(img);
    return img;
}

// Scene axes (y up, units) to the file's axes (third axis up, millimetres).
Vec3 ToFile(Vec3 scene) { return Vec3{scene.x, scene.z, scene.y} * kUnitMm; }

Mesh BuildCube() {
    Mesh mesh;
    Material m;
    m.name = "sky";
    m.kd = {1, 1, 1};
    m.ka = {1, 1, 1};
    m.ks = {0, 0, 0};
    m.ns = 0;
    m.map_kd = "img/sky.jpg";
    mesh.Use(mesh.AddMaterial(m));
    for (const Face& f : kFaces) {
        Corner c[2][2];
        for (int a = 0; a < 2; ++a)
            for (int b = 0; b < 2; ++b) {
                const Vec3 dir = FaceDirection(f, a, b);
                c[a][b] = {ToFile(dir * kHalf), FaceUv(f, a, b), ToFile(f.centre * -1.0)};
            }
        const Vec3 inward = ToFile(f.centre * -1.0);  // seen from the camera inside
        mesh.AddTriangle(c[0][0], c[1][0], c[1][1], inward);
        mesh.AddTriangle(c[0][0], c[1][1], c[0][1], inward);
    }
    return mesh;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s ASSETS_DIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const std::string header = "# Morva sky box: a cube around the camera, six faces in one clamped texture.\n";
    const Mesh cube = BuildCube();
    if (!WriteJpg(dir + "/img/sky.jpg", PaintSky(), 92) || !WriteMtl(dir + "/skybox.mtl", cube, header) ||
        !WriteObj(dir + "/skybox.obj", cube, "skybox.mtl", header)) {
        std::fprintf(stderr, "cannot write the sky box into %s\n", dir.c_str());
        return 1;
    }
    std::printf("sky: %zu triangles, %dx%d texture -> %s\n", cube.triangles.size(), kWidth, kHeight, dir.c_str());
    return 0;
}
