// Benchmark of the picking pass that runs every frame: 100 objects with the cursor over
// empty space, and one model of about 1.3 million triangles, with the cursor over it and
// beside it. Prints `name: value` lines. Models are generated into a temporary folder.
#include "model/cloadobj.h"
#include "platform/offscreen_gl.h"
#include "project/project.h"
#include "render/cshader.h"
#include "render/ctexture.h"
#include "tests/project/view_helpers.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double MicrosecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

using project_test::Mul;

cMath::Matrix4x4 View(float pitch, float yaw, float x, float y, float z, float zoom) {
    project_test::Camera c;
    c.pitch = pitch;
    c.yaw = yaw;
    c.x = x;
    c.y = y;
    c.z = z;
    c.zoom = zoom;
    return project_test::View(c);
}

// A height field of cols x rows quads (two triangles each) with v/vt/vn on every corner.
bool WriteTerrain(const std::string& path, int cols, int rows) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (f == nullptr) return false;
    for (int j = 0; j <= rows; ++j)
        for (int i = 0; i <= cols; ++i) {
            const float x = (float(i) / cols - 0.5f) * 120.0f;
            const float y = (float(j) / rows - 0.5f) * 170.0f;
            const float h = 6.0f + 4.0f * std::sin(x * 0.2f) * std::cos(y * 0.15f);
            std::fprintf(f, "v %.4f %.4f %.4f\n", x, y, h);
        }
    std::fprintf(f, "vt 0 0\nvn 0 0 1\n");
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < cols; ++i) {
            const int a = j * (cols + 1) + i + 1, b = a + 1, c = a + cols + 2, d = a + cols + 1;
            std::fprintf(f, "f %d/1/1 %d/1/1 %d/1/1\nf %d/1/1 %d/1/1 %d/1/1\n", a, b, c, a, c, d);
        }
    return std::fclose(f) == 0;
}

// A closed sphere of about 2 * rings * segments triangles.
bool WriteSphere(const std::string& path, int rings, int segments) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (f == nullptr) return false;
    const float pi = 3.14159265f;
    for (int r = 0; r <= rings; ++r)
        for (int s = 0; s < segments; ++s) {
            const float th = pi * r / rings, ph = 2 * pi * s / segments;
            const float x = std::sin(th) * std::cos(ph), y = std::sin(th) * std::sin(ph), z = std::cos(th);
            std::fprintf(f, "v %.4f %.4f %.4f\nvn %.4f %.4f %.4f\n", 10 * x, 10 * y, 10 * z, x, y, z);
        }
    std::fprintf(f, "vt 0 0\n");
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segments; ++s) {
            const int a = r * segments + s + 1, b = r * segments + (s + 1) % segments + 1;
            const int c = b + segments, d = a + segments;
            std::fprintf(f, "f %d/1/%d %d/1/%d %d/1/%d\nf %d/1/%d %d/1/%d %d/1/%d\n", a, a, b, b, c, c, a, a, c, c, d,
                         d);
        }
    return std::fclose(f) == 0;
}

// Average time of one picking pass with the cursor at (cx, cy).
double TimePass(project& p, cMath::Matrix4x4& v, cMath::Matrix4x4& proj, float cx, float cy, int passes,
                int* found) {
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < passes; ++i) {
        float cursor[2] = {cx, cy};
        *found = p.SelectOBJ(&v, &proj, cursor, false);
    }
    return MicrosecondsSince(start) / passes;
}

// The work of the same pass without the bounding-box test: every model's ray goes
// through the model's own ray test.
double TimePassWithoutBoxTest(project& p, cMath::Matrix4x4& v, cMath::Matrix4x4& proj, float cx, float cy,
                              int passes) {
    const Clock::time_point start = Clock::now();
    float sink = 0;
    for (int n = 0; n < passes; ++n) {
        float cursor[2] = {cx * (1016.0f / 1024.0f) - 8.0f / 1024.0f, cy * (736.0f / 768.0f) - 32.0f / 768.0f};
        for (const project::pObject& o : p.objects) {
            if (!IsUsableModel(o)) continue;
            cMath::Matrix4x4 object = ObjectTransform(o, 1.0f);
            cMath::Matrix4x4 m = Mul(v, object);
            float near_point[3] = {0, 0, 0}, far_point[3] = {0, 0, 0};
            float a[16], inv[16];
            cMath::MultiplyMatrices4by4OpenGL_FLOAT(a, proj.m, m.m);
            if (cMath::glhInvertMatrixf2(a, inv)) {
                const float in0[4] = {cursor[0], cursor[1], 1.0f, 1.0f}, in1[4] = {cursor[0], cursor[1], 5.0f, 1.0f};
                float o0[4], o1[4];
                cMath::MultiplyMatrixByVector4by4OpenGL_FLOAT(o0, inv, in0);
                cMath::MultiplyMatrixByVector4by4OpenGL_FLOAT(o1, inv, in1);
                for (int c = 0; c < 3; ++c) {
                    near_point[c] = o0[c] / o0[3];
                    far_point[c] = o1[c] / o1[3];
                }
            }
            float d[3] = {far_point[0] - near_point[0], far_point[1] - near_point[1], far_point[2] - near_point[2]};
            sink += p.loader->IntersectLine(o.model, near_point, d, false);
        }
    }
    const double us = MicrosecondsSince(start) / passes;
    if (sink == 12345.0f) std::printf("#\n");
    return us;
}

}  // namespace

int main() {
    morva::OffscreenGL gl;
    if (!morva::CreateOffscreenGL(gl, 1024, 768)) {
        std::fprintf(stderr, "offscreen GL: %s\n", gl.error.c_str());
        return 1;
    }
    char tmpl[] = "/tmp/morva-pick-bench-XXXXXX";
    const char* dir = mkdtemp(tmpl);
    if (dir == nullptr) return 1;
    const std::string sphere = std::string(dir) + "/sphere.obj";
    const std::string terrain = std::string(dir) + "/terrain.obj";
    if (!WriteSphere(sphere, 24, 48) || !WriteTerrain(terrain, 800, 813)) return 1;

    if (chdir(MORVA_ASSETS_DIR) != 0) return 1;
    Ctexture textures;
    cshader shaders;
    cloadobj loader(&textures, &shaders);
    cMath::Matrix4x4 proj = project_test::Projection();

    {
        // 100 spheres of 10 mm in a 10 x 10 grid over the work area, seen from the start
        // view; the cursor in the sky above them.
        project p(&loader);
        for (int i = 0; i < 100; ++i) {
            if (!p.ImportOBJ(const_cast<char*>(sphere.c_str()))) return 1;
            cMath::vector4 size(0.2f, 0.2f, 0.2f, 0);
            cMath::vector4 pos(0.25f * (i % 10), 0, 0.34f * (i / 10), 0);
            p.SizeOBJ(i, &size);
            p.PositionOBJ(i, &pos);
        }
        cMath::Matrix4x4 v = View(20, -90, -1, -1, -2, 2);
        int found = 0;
        TimePass(p, v, proj, 0.0f, 0.95f, 50, &found);  // warm-up
        const double empty = TimePass(p, v, proj, 0.0f, 0.95f, 2000, &found);
        const double brute = TimePassWithoutBoxTest(p, v, proj, 0.0f, 0.95f, 200);
        std::printf("pick_100_objects_triangles_each: %u\n", p.objects[0].model->triangle_count);
        std::printf("pick_100_objects_empty_space_us: %.2f\n", empty);
        std::printf("pick_100_objects_empty_space_found: %d\n", found);
        std::printf("pick_100_objects_empty_space_without_box_test_us: %.2f\n", brute);
    }
    {
        project p(&loader);
        const Clock::time_point start = Clock::now();
        if (!p.ImportOBJ(const_cast<char*>(terrain.c_str()))) return 1;
        std::printf("big_model_triangles: %u\n", p.objects[0].model->triangle_count);
        std::printf("big_model_import_ms: %.0f\n", MicrosecondsSince(start) / 1000.0);
        cMath::Matrix4x4 v = View(35, -90, 0, -0.3f, 0, 2.2f);
        int found = 0;
        const double over = TimePass(p, v, proj, 0.0f, -0.2f, 200, &found);
        std::printf("pick_big_model_over_it_us: %.2f\n", over);
        std::printf("pick_big_model_over_it_found: %d\n", found);
        const double beside = TimePass(p, v, proj, 0.0f, 0.95f, 200, &found);
        std::printf("pick_big_model_empty_space_us: %.2f\n", beside);
        std::printf("pick_big_model_empty_space_found: %d\n", found);
        const double brute = TimePassWithoutBoxTest(p, v, proj, 0.0f, 0.95f, 20);
        std::printf("pick_big_model_empty_space_without_box_test_us: %.2f\n", brute);
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    morva::DestroyOffscreenGL(gl);
    return 0;
}
