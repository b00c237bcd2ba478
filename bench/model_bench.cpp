// Model loading benchmark. Generates a large OBJ once (a torus of about 1.3 million
// triangles with v/vt/vn corners, 130+ MB), then reports:
//   - parse throughput of the OBJ text reader (file to arrays, no GL) and of tinyobjloader
//     on the same file, with their ratio;
//   - the phases of a full load on the offscreen context, for display lists recorded with
//     vertex arrays and with one call per vertex, and the time to draw each list;
//   - picking time through the quadtree against testing every triangle.
// Parse figures are CPU time of the parsing thread (best of the runs); wall times are
// printed beside them.
// Usage: morva-bench [--file PATH] [--regenerate] [--runs N] [--parse-only]
//   --parse-only: the two parsers only, no GL.
#include "model/cloadobj.h"
#include "model/file_bytes.h"
#include "model/obj_text.h"
#include "platform/offscreen_gl.h"
#include "render/cshader.h"
#include "render/ctexture.h"

#include <tiny_obj_loader.h>

#include <GL/gl.h>
#include <unistd.h>

#include <time.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kRingSteps = 1000;   // around the torus
constexpr int kTubeSteps = 650;    // around the tube
constexpr double kPi = 3.14159265358979323846;

double NowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// CPU time of the calling thread: the machine is shared, so parse figures use the time the
// parser actually ran rather than the time it waited for a core.
double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

struct Timing {
    double wall_ms = 1e30;
    double cpu_ms = 1e30;
};

void Print(const char* name, double value) { std::printf("%s: %.3f\n", name, value); }
void PrintCount(const char* name, size_t value) { std::printf("%s: %zu\n", name, value); }

// Writes the torus: one position, texture coordinate and normal per grid point, two
// triangles per grid cell, corners written v/vt/vn.
bool GenerateModel(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::vector<char> buffer(1 << 20);
    std::setvbuf(f, buffer.data(), _IOFBF, buffer.size());
    std::fprintf(f, "# Morva benchmark torus\no torus\n");
    const double R = 60.0, r = 22.0;
    for (int i = 0; i < kRingSteps; ++i) {
        for (int j = 0; j < kTubeSteps; ++j) {
            double u = 2 * kPi * i / kRingSteps, v = 2 * kPi * j / kTubeSteps;
            double x = (R + r * std::cos(v)) * std::cos(u), y = (R + r * std::cos(v)) * std::sin(u);
            double z = r * std::sin(v) + 0.3 * std::sin(7 * u);
            std::fprintf(f, "v %.6f %.6f %.6f\n", x, y, z);
        }
    }
    for (int i = 0; i < kRingSteps; ++i) {
        for (int j = 0; j < kTubeSteps; ++j) {
            std::fprintf(f, "vt %.6f %.6f\n", double(i) / kRingSteps, double(j) / kTubeSteps);
        }
    }
    for (int i = 0; i < kRingSteps; ++i) {
        for (int j = 0; j < kTubeSteps; ++j) {
            double u = 2 * kPi * i / kRingSteps, v = 2 * kPi * j / kTubeSteps;
            std::fprintf(f, "vn %.6f %.6f %.6f\n", std::cos(v) * std::cos(u), std::cos(v) * std::sin(u), std::sin(v));
        }
    }
    std::fprintf(f, "s 1\n");
    auto index = [](int i, int j) { return (i % kRingSteps) * kTubeSteps + (j % kTubeSteps) + 1; };
    for (int i = 0; i < kRingSteps; ++i) {
        for (int j = 0; j < kTubeSteps; ++j) {
            int a = index(i, j), b = index(i + 1, j), c = index(i + 1, j + 1), d = index(i, j + 1);
            std::fprintf(f, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b, b, b, c, c, c);
            std::fprintf(f, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, c, c, c, d, d, d);
        }
    }
    bool ok = std::ferror(f) == 0;
    ok = std::fclose(f) == 0 && ok;
    return ok;
}

long FileSize(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return -1;
    std::fseek(f, 0, SEEK_END);
    long size = std::ftell(f);
    std::fclose(f);
    return size;
}

// Best times of `runs` reads and parses of the file by the model's OBJ text reader (file to
// arrays, results released outside the timing).
bool TimeOwnParse(const std::string& path, int runs, size_t& triangles, Timing& best) {
    for (int r = 0; r < runs; ++r) {
        ObjText text;
        const double w0 = NowMs(), c0 = ThreadCpuMs();
        if (!ReadObjFile(path.c_str(), text)) return false;
        best.wall_ms = std::min(best.wall_ms, NowMs() - w0);
        best.cpu_ms = std::min(best.cpu_ms, ThreadCpuMs() - c0);
        triangles = text.triangles.size();
    }
    return true;
}

bool TimeTinyObjParse(const std::string& path, int runs, size_t& triangles, Timing& best) {
    for (int r = 0; r < runs; ++r) {
        tinyobj::attrib_t attrib;
        std::vector<tinyobj::shape_t> shapes;
        std::vector<tinyobj::material_t> materials;
        std::string warn, err;
        const double w0 = NowMs(), c0 = ThreadCpuMs();
        if (!tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, path.c_str(), nullptr, true)) return false;
        best.wall_ms = std::min(best.wall_ms, NowMs() - w0);
        best.cpu_ms = std::min(best.cpu_ms, ThreadCpuMs() - c0);
        triangles = 0;
        for (const tinyobj::shape_t& s : shapes) triangles += s.mesh.num_face_vertices.size();
    }
    return true;
}

void NoProgress(int, int, float, float) {}

// Best time of drawing one display list, finished.
double TimeDraw(uint32_t list, int runs) {
    double best = 1e30;
    for (int r = 0; r < runs; ++r) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        glFinish();
        const double t0 = NowMs();
        glCallList(list);
        glFinish();
        best = std::min(best, NowMs() - t0);
    }
    return best;
}

// Draw timings use a quarter-size viewport: they compare how lists feed vertices, and the
// shadow prisms of a large model would otherwise measure little but the software rasteriser.
void SetUpView() {
    glViewport(0, 0, 256, 192);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-3, 3, -2.25, 2.25, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(30, 1, 0, 0);
    glEnable(GL_DEPTH_TEST);
}

void ReportLoad(cloadobj& loader, const std::string& path, const char* prefix, int runs) {
    cloadobj_conteiner* m = loader.LoadObj(path.c_str(), NoProgress);
    const LoadPhaseTimes& t = loader.last_load;
    const std::string p(prefix);
    Print((p + "load_read_parse_ms").c_str(), t.read_parse);
    Print((p + "load_copy_ms").c_str(), t.copy);
    Print((p + "load_box_ms").c_str(), t.box);
    Print((p + "load_tree_ms").c_str(), t.tree);
    Print((p + "list_shaded_compile_ms").c_str(), t.list_shaded);
    Print((p + "list_glow_compile_ms").c_str(), t.list_glow);
    Print((p + "list_plain_compile_ms").c_str(), t.list_plain);
    Print((p + "list_shadow_compile_ms").c_str(), t.list_shadow);
    Print((p + "load_total_ms").c_str(), t.total);
    SetUpView();
    Print((p + "list_shaded_draw_ms").c_str(), TimeDraw(m->list_shaded, runs));
    Print((p + "list_glow_draw_ms").c_str(), TimeDraw(m->list_glow, runs));
    Print((p + "list_plain_draw_ms").c_str(), TimeDraw(m->list_plain, runs));
    Print((p + "list_shadow_draw_ms").c_str(), TimeDraw(m->list_shadow, runs));
    loader.FreeObject(m);
}

// Picking rays from above into the model: tree query against every triangle in turn.
void ReportPicking(cloadobj& loader, const std::string& path) {
    cloadobj_conteiner* m = loader.LoadObj(path.c_str(), NoProgress);
    PrintCount("tree_nodes", CountTreeNodes(m->tree));
    PrintCount("tree_depth", TreeDepth(m->tree));
    PrintCount("tree_root_triangles", m->tree.faces.size());
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const int rays = 200;
    std::vector<std::array<float, 6>> list;
    for (int i = 0; i < rays; ++i) {
        float o[3] = {m->bbox[0].x + unit(rng) * (m->bbox[1].x - m->bbox[0].x), m->bbox[1].y + 1.0f,
                      m->bbox[0].z + unit(rng) * (m->bbox[1].z - m->bbox[0].z)};
        list.push_back({o[0], o[1], o[2], 0.02f * (unit(rng) - 0.5f), -1.0f, 0.02f * (unit(rng) - 0.5f)});
    }
    double t0 = NowMs();
    std::vector<float> tree_results;
    for (auto& r : list) tree_results.push_back(loader.IntersectLine(m, &r[0], &r[3], false));
    const double tree_ms = NowMs() - t0;
    t0 = NowMs();
    size_t same = 0;
    for (size_t k = 0; k < list.size(); ++k) {
        float best = 0.0f;
        for (const tiangle_face& t : m->triangles) {
            float hit = intersect_triangle(&list[k][0], &list[k][3], &m->positions[t.pos0].x,
                                           &m->positions[t.pos1].x, &m->positions[t.pos2].x);
            if (hit != -1.0f && hit > 0.0f && (best == 0.0f || hit < best)) best = hit;
        }
        same += best == tree_results[k];
    }
    const double brute_ms = NowMs() - t0;
    Print("pick_tree_us", tree_ms * 1000.0 / rays);
    Print("pick_bruteforce_us", brute_ms * 1000.0 / rays);
    PrintCount("pick_results_equal", same);
    PrintCount("pick_rays", list.size());
    loader.FreeObject(m);
}

}  // namespace

int main(int argc, char** argv) {
    std::string path = std::string(P_tmpdir) + "/morva-bench-torus.obj";
    bool regenerate = false;
    bool parse_only = false;
    int runs = 3;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--file") && i + 1 < argc) path = argv[++i];
        else if (!std::strcmp(argv[i], "--regenerate")) regenerate = true;
        else if (!std::strcmp(argv[i], "--parse-only")) parse_only = true;
        else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    }
    if (regenerate || FileSize(path) <= 0) {
        const double t0 = NowMs();
        if (!GenerateModel(path)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        Print("generate_ms", NowMs() - t0);
    }
    const double mb = double(FileSize(path)) / 1e6;
    Print("model_file_MB", mb);

    size_t own_triangles = 0, tiny_triangles = 0;
    Timing own, tiny;
    if (!TimeOwnParse(path, runs, own_triangles, own)) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }
    PrintCount("triangles", own_triangles);
    Print("parse_ms", own.cpu_ms);
    Print("parse_MBps", mb / (own.cpu_ms / 1000.0));
    Print("parse_wall_ms", own.wall_ms);
    if (!TimeTinyObjParse(path, std::min(runs, 2), tiny_triangles, tiny)) {
        std::fprintf(stderr, "tinyobjloader cannot read %s\n", path.c_str());
        return 1;
    }
    PrintCount("tinyobjloader_triangles", tiny_triangles);
    Print("tinyobjloader_parse_ms", tiny.cpu_ms);
    Print("tinyobjloader_parse_MBps", mb / (tiny.cpu_ms / 1000.0));
    Print("tinyobjloader_parse_wall_ms", tiny.wall_ms);
    Print("parse_ratio_to_tinyobjloader", tiny.cpu_ms / own.cpu_ms);
    Print("parse_wall_ratio_to_tinyobjloader", tiny.wall_ms / own.wall_ms);
    std::fflush(stdout);
    if (parse_only) return 0;

    morva::OffscreenGL gl;
    if (!morva::CreateOffscreenGL(gl, 1024, 768)) {
        std::fprintf(stderr, "no offscreen GL context: %s\n", gl.error.c_str());
        return 1;
    }
    {
        char cwd[4096];
        const bool have_cwd = getcwd(cwd, sizeof cwd) != nullptr;
        // The model program's sources are read from the working directory.
        if (chdir(MORVA_ASSETS_DIR) != 0) std::fprintf(stderr, "cannot enter %s\n", MORVA_ASSETS_DIR);
        Ctexture textures;
        cshader shaders;
        cloadobj loader(&textures, &shaders);
        if (have_cwd && chdir(cwd) != 0) std::fprintf(stderr, "cannot return to %s\n", cwd);

        // The loader's own choice first (unprefixed figures), then the other recording.
        const ListRecording chosen = loader.list_recording;
        const ListRecording other = chosen == ListRecording::kImmediate ? ListRecording::kVertexArrays
                                                                         : ListRecording::kImmediate;
        ReportLoad(loader, path, "", runs);
        loader.list_recording = other;
        ReportLoad(loader, path, other == ListRecording::kImmediate ? "immediate_" : "arrays_", runs);
        loader.list_recording = chosen;
        std::printf("lists_recorded_with: %s\n", chosen == ListRecording::kImmediate ? "immediate" : "arrays");
        ReportPicking(loader, path);
    }
    morva::DestroyOffscreenGL(gl);
    return 0;
}
