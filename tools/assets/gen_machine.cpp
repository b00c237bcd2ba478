// morva-gen-machine: the machine model shown under the work area (Morva.obj, Morva.mtl
// and its textures in machine/). A small desktop engraving machine with a moving gantry:
// a black steel frame with aluminium slot profiles, two linear rails along the depth,
// an orange gantry parked at the front end, the X carriage, the Z axis with its motor,
// and a spindle whose cutter stays above the work area. The spoilboard's top is the work
// area itself (x -65..65 mm, y -90..90 mm, height 0), textured with a millimetre grid
// (a line every 10 mm from the anchor corner at x -65, y 90, stronger every 50 mm);
// nothing of the machine enters the space above it up to the work height of 40 mm.
// Usage: morva-gen-machine ASSETS_DIR
#include "tools/assets/image.h"
#include "tools/assets/mesh.h"
#include "tools/assets/noise.h"
#include "tools/assets/shapes.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

using namespace morva_assets;

namespace {

// Work area in the file's axes (millimetres).
constexpr double kAreaX = 65.0, kAreaY = 90.0;
constexpr int kGridTexture = 1024;
// Top of the workbench under the feet.
constexpr double kDeskTop = -68.0;
// Where the head is parked along the gantry: on the side nearest the editor's start view,
// where it stays out of the picture and leaves the beam and the plate in sight.
constexpr double kHeadX = 60.0;

// Materials, in the order they are created.
struct Palette {
    int frame, alu, rail, accent, grid, board, steel, black, rubber, red, yellow, logo, copper, desk;
};

Material Make(const char* name, Vec3 kd, double ks, double ns, const char* map = "") {
    Material m;
    m.name = name;
    m.kd = kd;
    m.ka = kd * 0.45;
    m.ks = {ks, ks, ks};
    m.ns = ns;
    m.map_kd = map;
    return m;
}

Palette AddMaterials(Mesh& mesh) {
    Palette p;
    p.frame = mesh.AddMaterial(Make("frame_black", {0.13, 0.135, 0.145}, 0.35, 40));
    p.alu = mesh.AddMaterial(Make("aluminium", {0.72, 0.74, 0.77}, 0.55, 48));
    p.rail = mesh.AddMaterial(Make("rail_steel", {0.56, 0.58, 0.61}, 0.8, 96));
    p.accent = mesh.AddMaterial(Make("gantry_orange", {0.93, 0.42, 0.09}, 0.45, 40));
    p.grid = mesh.AddMaterial(Make("bed_grid", {1, 1, 1}, 0.1, 8, "machine/bed_grid.png"));
    p.board = mesh.AddMaterial(Make("spoilboard_edge", {0.80, 0.78, 0.72}, 0.05, 8));
    p.steel = mesh.AddMaterial(Make("spindle_steel", {0.80, 0.81, 0.83}, 0.9, 110));
    p.black = mesh.AddMaterial(Make("motor_black", {0.06, 0.06, 0.07}, 0.3, 30));
    p.rubber = mesh.AddMaterial(Make("rubber", {0.04, 0.04, 0.04}, 0.05, 4));
    p.red = mesh.AddMaterial(Make("stop_red", {0.80, 0.06, 0.05}, 0.6, 64));
    p.yellow = mesh.AddMaterial(Make("stop_yellow", {0.95, 0.78, 0.10}, 0.3, 32));
    p.logo = mesh.AddMaterial(Make("logo_plate", {1, 1, 1}, 0.3, 32, "machine/logo.png"));
    p.copper = mesh.AddMaterial(Make("collet_brass", {0.78, 0.62, 0.30}, 0.8, 80));
    p.desk = mesh.AddMaterial(Make("desk_oak", {1, 1, 1}, 0.15, 16, "machine/desk.png"));
    return p;
}

const Vec3 kX{1, 0, 0}, kY{0, 1, 0}, kZ{0, 0, 1};

// Slot profile along an axis between two points of its centre line.
void Profile2D(Mesh& mesh, double w, double h, Vec3 from, Vec3 axis, double length, Vec3 p_dir, Vec3 q_dir) {
    AddExtrusion(mesh, SlotProfile(w, h), from, p_dir, q_dir, axis, length);
}

// A NEMA 17 stepper: black body between two aluminium end caps, shaft along `axis`.
void AddStepper(Mesh& mesh, const Palette& pal, Vec3 flange_centre, Vec3 axis, Vec3 side) {
    const Vec3 up = Normalized(Cross(axis, side));
    const double half = 21.15;
    Profile body;
    body.outline = ChamferedRect(2 * half, 2 * half, 4.5);
    body.cap = body.outline;
    const Vec3 back = axis * -1.0;
    mesh.Use(pal.alu);
    AddExtrusion(mesh, body, flange_centre, side, up, back, 6);
    mesh.Use(pal.black);
    Profile core = body;
    core.outline = ChamferedRect(2 * half - 1.5, 2 * half - 1.5, 4.5);
    core.cap = core.outline;
    AddExtrusion(mesh, core, flange_centre + back * 6, side, up, back, 28);
    mesh.Use(pal.alu);
    AddExtrusion(mesh, body, flange_centre + back * 34, side, up, back, 6);
    AddCylinder(mesh, flange_centre, axis, 11, 2, 24);
    mesh.Use(pal.rail);
    AddCylinder(mesh, flange_centre + axis * 2, axis, 2.5, 14, 12);
    // Connector block.
    mesh.Use(pal.black);
    const Vec3 c = flange_centre + back * 20 + up * (half + 3);
    AddBox(mesh, c - side * 8 - axis * 6 - up * 3, c + side * 8 + axis * 6 + up * 3, 0.5);
}

// A linear rail carriage between two corners, with dark end seals at both ends along the
// unit axis `along`.
void AddCarriage(Mesh& mesh, const Palette& pal, Vec3 lo, Vec3 hi, Vec3 along) {
    const double seal = 2.0;
    const double length = Dot(along, hi - lo);
    mesh.Use(pal.rail);
    AddBox(mesh, lo + along * seal, hi - along * seal, 0.8);
    mesh.Use(pal.black);
    AddBox(mesh, lo, hi - along * (length - seal), 0.5);
    AddBox(mesh, lo + along * (length - seal), hi, 0.5);
}

void AddFrame(Mesh& mesh, const Palette& pal) {
    const double y_front = -218, y_back = 118;
    // End plates.
    mesh.Use(pal.frame);
    AddBox(mesh, {-130, y_front - 8, -62}, {130, y_front, -8}, 1.5);
    AddBox(mesh, {-130, y_back, -62}, {130, y_back + 8, -8}, 1.5);
    // Side profiles (20 x 40) carrying the rails.
    mesh.Use(pal.alu);
    for (int s = -1; s <= 1; s += 2)
        Profile2D(mesh, 20, 40, {s * 115.0, y_front, -40}, kY, y_back - y_front, kX, kZ);
    // Cross profiles under the bed.
    for (double y : {-75.0, 0.0, 75.0}) Profile2D(mesh, 20, 20, {-105, y, -25}, kX, 210, kY, kZ);
    // Rails on the side profiles.
    mesh.Use(pal.rail);
    for (int s = -1; s <= 1; s += 2) {
        Profile rail;
        rail.outline = {{-6, 0}, {6, 0}, {6, 4}, {5, 5}, {6, 6}, {6, 7.5}, {5.5, 8}, {-5.5, 8}, {-6, 7.5}, {-6, 6}, {-5, 5}, {-6, 4}};
        rail.cap = ChamferedRect(12, 8, 0.5);
        for (auto& c : rail.cap) c.v += 4;
        AddExtrusion(mesh, rail, {s * 115.0, y_front, -20}, kX, kZ, kY, y_back - y_front);
    }
    // Feet.
    mesh.Use(pal.rubber);
    for (int sx = -1; sx <= 1; sx += 2)
        for (double y : {y_front - 4, y_back + 4}) AddCylinder(mesh, {sx * 118.0, y, -68}, kZ, 9, 6, 20, false, true);
    // Bed plate with clamping slots at both sides, and the spoilboard that is the work area.
    mesh.Use(pal.alu);
    Profile bed;
    bed.outline = {{-88, -12}, {88, -12}, {88, -1}, {87, 0}, {79, 0}, {79, -6}, {73, -6}, {73, 0},
                   {-73, 0}, {-73, -6}, {-79, -6}, {-79, 0}, {-87, 0}, {-88, -1}};
    bed.cap = {{-88, -12}, {88, -12}, {88, -1}, {87, 0}, {-87, 0}, {-88, -1}};
    AddExtrusion(mesh, bed, {0, -110, -3}, kX, kZ, kY, 220);
    // Spoilboard edges, then its top: the grid covers the work area exactly.
    // (Only its four sides: the top is the grid quad, and a second face in the same plane
    // would fight it for depth.)
    mesh.Use(pal.board);
    const double zb = -3;
    const Vec3 a{-kAreaX, -kAreaY, zb}, b{kAreaX, -kAreaY, zb}, c{kAreaX, kAreaY, zb}, d{-kAreaX, kAreaY, zb};
    const Vec3 up{0, 0, -zb};
    const Vec3 sides[4][3] = {{a, b, {0, -1, 0}}, {b, c, {1, 0, 0}}, {c, d, {0, 1, 0}}, {d, a, {-1, 0, 0}}};
    for (const auto& side : sides)
        mesh.AddQuad(side[0], side[1], side[1] + up, side[0] + up, side[2], {0, 0}, {1, 0}, {1, 0.02}, {0, 0.02});
    // Clamps on the bed margins.
    for (int sx = -1; sx <= 1; sx += 2)
        for (int sy = -1; sy <= 1; sy += 2) {
            const Vec3 c{sx * 76.0, sy * 100.0, 0};
            mesh.Use(pal.black);
            AddBox(mesh, c + Vec3{-5, -9, 0}, c + Vec3{5, 9, 5}, 1.0);
            mesh.Use(pal.rail);
            AddCylinder(mesh, c + Vec3{0, 0, 5}, kZ, 3.2, 3, 16);
        }
}

void AddSpoilboardTop(Mesh& mesh, const Palette& pal) {
    mesh.Use(pal.grid);
    const Vec3 n = kZ;
    // Nudged a hair above the board's own top face so the two never fight for depth.
    const double z = 0.0;
    mesh.AddQuad({-kAreaX, -kAreaY, z}, {kAreaX, -kAreaY, z}, {kAreaX, kAreaY, z}, {-kAreaX, kAreaY, z}, n, {0, 0},
                 {1, 0}, {1, 1}, {0, 1});
}

void AddGantry(Mesh& mesh, const Palette& pal) {
    const double beam_y0 = -200, beam_y1 = -180;  // beam depth
    // Carriages on the Y rails and the orange side plates.
    for (int s = -1; s <= 1; s += 2) {
        AddCarriage(mesh, pal, {s * 115.0 - 8.5, -212, -17}, {s * 115.0 + 8.5, -168, -3}, kY);
        mesh.Use(pal.accent);
        Profile plate;
        plate.outline = {{-215, -3}, {-165, -3}, {-165, 118}, {-175, 140}, {-205, 140}, {-215, 118}};
        plate.cap = plate.outline;
        // Profile in (y, z), swept along x through the plate's 10 mm.
        AddExtrusion(mesh, plate, {s * 115.0 - 5, 0, 0}, kY, kZ, kX, 10);
    }
    // Beam: a 20 x 60 profile between the plates, rails on its front face.
    mesh.Use(pal.alu);
    Profile2D(mesh, 20, 60, {-110, (beam_y0 + beam_y1) / 2, 100}, kX, 220, kY, kZ);
    mesh.Use(pal.rail);
    for (double z : {78.0, 122.0}) AddBox(mesh, {-108, beam_y1, z - 5}, {108, beam_y1 + 6, z + 5}, 0.6);
    // X motor at the far end, coupling into the beam.
    AddStepper(mesh, pal, {-122, (beam_y0 + beam_y1) / 2, 100}, kX, kY);
    // Logo plate between the rails. The editor's reader exchanges two axes, which mirrors
    // the model, so the plate is mapped mirrored here to read correctly on screen.
    mesh.Use(pal.logo);
    mesh.AddQuad({-104, beam_y1 + 0.6, 86}, {-40, beam_y1 + 0.6, 86}, {-40, beam_y1 + 0.6, 114}, {-104, beam_y1 + 0.6, 114},
                 kY, {0, 0}, {1, 0}, {1, 1}, {0, 1});
    // X carriage blocks and plate, at the head's parking place.
    const Vec3 hx{kHeadX, 0, 0};
    for (double z : {78.0, 122.0})
        AddCarriage(mesh, pal, hx + Vec3{-34, beam_y1 + 6, z - 8}, hx + Vec3{34, beam_y1 + 14, z + 8}, kX);
    mesh.Use(pal.accent);
    AddBox(mesh, hx + Vec3{-40, -166, 64}, hx + Vec3{40, -158, 138}, 1.5);
    // Z axis: black plate with rails, a top bracket and the Z motor standing on it.
    mesh.Use(pal.frame);
    AddBox(mesh, hx + Vec3{-30, -158, 56}, hx + Vec3{30, -150, 166}, 1.2);
    mesh.Use(pal.rail);
    for (int s = -1; s <= 1; s += 2)
        AddBox(mesh, hx + Vec3{s * 20.0 - 4, -150, 60}, hx + Vec3{s * 20.0 + 4, -146, 160}, 0.5);
    mesh.Use(pal.frame);
    AddBox(mesh, hx + Vec3{-26, -160, 166}, hx + Vec3{26, -121, 172}, 1.0);
    AddStepper(mesh, pal, hx + Vec3{0, -134, 172}, kZ * -1.0, kX);
    mesh.Use(pal.rail);
    AddCylinder(mesh, hx + Vec3{0, -134, 150}, kZ, 4, 16, 16);  // lead screw coupling
}

void AddSpindle(Mesh& mesh, const Palette& pal) {
    const Vec3 axis_base{kHeadX, -113, 0};
    // Clamp: a ring around the spindle on a block fixed to the Z plate.
    mesh.Use(pal.alu);
    for (double z : {88.0, 128.0}) {
        AddBox(mesh, axis_base + Vec3{-18, -33, z}, axis_base + Vec3{18, -13, z + 20}, 1.0);
        AddCylinder(mesh, axis_base + kZ * z, kZ, 26, 20, 40);
    }
    // Body, top cap with cooling fins, collet nut, cutter.
    mesh.Use(pal.steel);
    AddCylinder(mesh, axis_base + kZ * 62, kZ, 21, 96, 40, true, false);
    mesh.Use(pal.black);
    AddCylinder(mesh, axis_base + kZ * 158, kZ, 21.5, 12, 40, false, true);
    for (int i = 0; i < 3; ++i) AddCylinder(mesh, axis_base + kZ * (161 + 3 * i), kZ, 22.5, 1.2, 40, true, true);
    mesh.Use(pal.copper);
    AddCone(mesh, axis_base + kZ * 52, kZ, 8, 10, 10, 6, true, true);
    mesh.Use(pal.steel);
    AddCylinder(mesh, axis_base + kZ * 47, kZ, 1.6, 5, 12, false, false);
    AddCone(mesh, axis_base + kZ * 44, kZ, 0.05, 1.6, 3, 12, false, false);
    // Power lead.
    mesh.Use(pal.black);
    AddCylinder(mesh, axis_base + Vec3{0, -12, 170}, Normalized({0, -0.3, 1}), 3, 20, 12);
}

void AddControlBox(Mesh& mesh, const Palette& pal) {
    mesh.Use(pal.frame);
    AddBox(mesh, {-124, 128, -62}, {-32, 176, -6}, 2.0);
    // Vent slots on the top.
    mesh.Use(pal.black);
    for (int i = 0; i < 6; ++i) {
        const double x = -114 + i * 8;
        AddBox(mesh, {x, 140, -6.2}, {x + 4, 166, -5.6}, 0);
    }
    // Emergency stop on the box, within reach at its corner.
    mesh.Use(pal.yellow);
    AddBox(mesh, {-62, 136, -6}, {-36, 162, 8}, 2.0);
    mesh.Use(pal.red);
    AddCylinder(mesh, {-49, 149, 8}, kZ, 5, 5, 20, false, true);
    AddCone(mesh, {-49, 149, 13}, kZ, 10, 9, 5, true, true);
    // Y motor in the middle of the back plate, driving the gantry's lead screw.
    AddStepper(mesh, pal, {0, 126, -35}, kY * -1.0, kX);
}

// The workbench the machine stands on: an oak top under the feet.
void AddDesk(Mesh& mesh, const Palette& pal) {
    mesh.Use(pal.desk);
    AddBox(mesh, {-320, -340, -96}, {320, 280, kDeskTop}, 3.0, 640.0);
}

// Tilts the normals of vertical faces a little upwards: lighting is unchanged to the eye,
// but those faces no longer count as facing down, so they add no empty shadow volumes.
// Faces pointing down below the bed top are never seen from the camera's range (it stays
// above the bed), and with the light straight above their shadows would mostly lie hidden
// under the parts themselves: they are left out, which saves shadow volumes every frame.
void Finish(Mesh& mesh) {
    std::vector<Triangle> kept;
    for (Triangle t : mesh.triangles) {
        Vec3 sum;
        bool below = true;
        for (const Corner& c : t.corners) {
            sum = sum + Normalized(c.normal);
            below = below && c.position.z < -1.0;
        }
        if (below && Normalized(sum).z < -0.3) continue;
        for (Corner& c : t.corners) {
            Vec3 n = Normalized(c.normal);
            if (std::fabs(n.z) < 0.02) n.z = 0.03;
            c.normal = Normalized(n);
        }
        kept.push_back(t);
    }
    mesh.triangles.swap(kept);
}

// The spoilboard texture: u runs along x from -65, v along y from -90 (image top at +90).
Image PaintGrid() {
    Image img(kGridTexture, kGridTexture, Rgb{});
    const Vec3 board{0.93, 0.935, 0.93}, fine{0.56, 0.62, 0.71}, strong{0.30, 0.38, 0.52};
    const double px_x = 2 * kAreaX / kGridTexture, px_y = 2 * kAreaY / kGridTexture;
    // Coverage of a line of `width` mm centred on the nearest multiple of `step` from the
    // anchor corner, for the pixel [a, a + px).
    auto coverage = [](double a, double px, double step, double width) {
        const double k = std::round((a + px / 2) / step) * step;
        const double lo = std::max(a, k - width / 2), hi = std::min(a + px, k + width / 2);
        return std::clamp((hi - lo) / px, 0.0, 1.0);
    };
    for (int j = 0; j < kGridTexture; ++j) {
        const double from_anchor_y = j * px_y;  // millimetres from y = +90 towards -90
        for (int i = 0; i < kGridTexture; ++i) {
            const double from_anchor_x = i * px_x;  // millimetres from x = -65
            const double f = std::max(coverage(from_anchor_x, px_x, 10, 0.45), coverage(from_anchor_y, px_y, 10, 0.45));
            double s = std::max(coverage(from_anchor_x, px_x, 50, 0.8), coverage(from_anchor_y, px_y, 50, 0.8));
            // The border of the work area is drawn fully inside the texture.
            if (i * px_x < 1.0 || (i + 1) * px_x > 2 * kAreaX - 1.0 || j * px_y < 1.0 || (j + 1) * px_y > 2 * kAreaY - 1.0)
                s = 1.0;
            Vec3 c = board + (fine - board) * f;
            c = c + (strong - c) * s;
            img.at(i, j) = FromFloat(c.x, c.y, c.z);
        }
    }
    AvoidKeys(img);
    return img;
}

// Oak for the workbench: long grain along x with slow rings and fine pores.
Image PaintDesk() {
    const int size = 512;
    Image img(size, size, Rgb{});
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double u = double(x) / size, v = double(y) / size;
            // Periodic in u and v so the top repeats without a visible join.
            const double cu = std::cos(2 * M_PI * u), su = std::sin(2 * M_PI * u);
            const double warp = Fbm(cu * 0.8, su * 0.8, v * 4.0, 3);
            const double ring = 0.5 + 0.5 * std::sin(2 * M_PI * (v * 28.0 + warp * 1.6));
            const double pores = Fbm(cu * 6, su * 6, v * 220.0, 3);
            double t = 0.40 * std::pow(ring, 4.0) + 0.30 * pores;
            const double r = 0.80 - 0.16 * t, g = 0.65 - 0.15 * t, b = 0.47 - 0.13 * t;
            img.at(x, y) = FromFloat(r, g, b);
        }
    AvoidKeys(img);
    return img;
}

// The maker's plate: white letters on dark grey with an orange bar.
Image PaintLogo(const std::string& font_path) {
    const int w = 512, h = 224;
    Image img(w, h, Rgb{34, 36, 40});
    for (int y = h - 28; y < h - 16; ++y)
        for (int x = 24; x < w - 24; ++x) img.at(x, y) = Rgb{237, 107, 23};
    FT_Library lib;
    FT_Face face;
    if (FT_Init_FreeType(&lib) != 0) return img;
    if (FT_New_Face(lib, font_path.c_str(), 0, &face) == 0) {
        FT_Set_Pixel_Sizes(face, 0, 150);
        const char* text = "MORVA";
        // Measure, then draw centred.
        int width = 0;
        for (const char* p = text; *p; ++p)
            if (FT_Load_Char(face, FT_ULong(*p), FT_LOAD_DEFAULT) == 0) width += int(face->glyph->advance.x >> 6);
        int pen = (w - width) / 2;
        const int baseline = 160;
        for (const char* p = text; *p; ++p) {
            if (FT_Load_Char(face, FT_ULong(*p), FT_LOAD_RENDER) != 0) continue;
            const FT_Bitmap& bm = face->glyph->bitmap;
            for (unsigned r = 0; r < bm.rows; ++r)
                for (unsigned c = 0; c < bm.width; ++c) {
                    const int x = pen + face->glyph->bitmap_left + int(c), y = baseline - face->glyph->bitmap_top + int(r);
                    if (x < 0 || y < 0 || x >= w || y >= h) continue;
                    const double a = bm.buffer[r * unsigned(std::abs(bm.pitch)) + c] / 255.0;
                    Rgb& d = img.at(x, y);
                    d = {uint8_t(d.r + (245 - d.r) * a), uint8_t(d.g + (245 - d.g) * a), uint8_t(d.b + (245 - d.b) * a)};
                }
            pen += int(face->glyph->advance.x >> 6);
        }
        FT_Done_Face(face);
    }
    FT_Done_FreeType(lib);
    AvoidKeys(img);
    return img;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s ASSETS_DIR [BOLD_FONT.ttf]\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const std::string font = argc > 2 ? argv[2] : "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
    Mesh mesh;
    const Palette pal = AddMaterials(mesh);
    AddFrame(mesh, pal);
    AddSpoilboardTop(mesh, pal);
    AddGantry(mesh, pal);
    AddSpindle(mesh, pal);
    AddControlBox(mesh, pal);
    AddDesk(mesh, pal);
    Finish(mesh);

    const std::string header = "# Morva desktop engraver. Millimetres, third axis up; the work area is the\n"
                               "# spoilboard top: x -65..65, y -90..90 at height 0.\n";
    if (!WritePng(dir + "/machine/bed_grid.png", PaintGrid()) || !WritePng(dir + "/machine/logo.png", PaintLogo(font)) ||
        !WritePng(dir + "/machine/desk.png", PaintDesk()) ||
        !WriteMtl(dir + "/Morva.mtl", mesh, header) || !WriteObj(dir + "/Morva.obj", mesh, "Morva.mtl", header)) {
        std::fprintf(stderr, "cannot write the machine into %s\n", dir.c_str());
        return 1;
    }
    std::printf("machine: %zu triangles, %zu materials -> %s\n", mesh.triangles.size(), mesh.materials.size(),
                dir.c_str());
    return 0;
}
