// morva-inspect: checks a model before a job. Loads an OBJ or STL file the way the editor
// does (materials, maps, quadtree, display lists) on an offscreen GL context and prints one
// `key: value` line per figure. Writes nothing to disk.
// Usage: morva-inspect [--assets DIR] FILE.obj
//        morva-inspect [--assets DIR] --thumbnail IN OUT.png SIZE
//   (a picture of a project file, or of one OBJ or STL model, for file managers)
// Exit status: 0 when the file was read, 1 when it could not be read, 2 for a usage error or
// when no GL context can be made. The assets folder defaults to share/morva beside the
// installed program, else the source tree's.
#include "model/cloadobj.h"
#include "platform/files.h"
#include "platform/offscreen_gl.h"
#include "render/cshader.h"
#include "render/ctexture.h"
#include "tools/inspect/thumbnail.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

void NoProgress(int, int, float, float) {}

void PrintVector(const char* key, const cMath::vector4& v) {
    std::printf("%s: %.6g %.6g %.6g\n", key, double(v.x), double(v.y), double(v.z));
}

// The image file a texture name was loaded from; empty when the manager does not hold it.
std::string TexturePath(const Ctexture& textures, int name) {
    for (size_t i = 0; i < textures.texture_ids.size(); ++i) {
        if (name > 0 && textures.texture_ids[i] == unsigned(name) && textures.file_names[i]) {
            return textures.file_names[i].get();
        }
    }
    return std::string();
}

// Each material's name and the diffuse map it resolved to: the image's path, "missing" when
// the statement named an image that could not be found or decoded, "none" without one.
void PrintMaterials(const cloadobj_conteiner& m, const Ctexture& textures) {
    for (size_t i = 0; i < m.materials.size(); ++i) {
        const material& mat = m.materials[i];
        std::printf("material_%zu: %s\n", i, mat.name.c_str());
        std::string map = mat.tex_diffuse == 0 ? "none" : TexturePath(textures, mat.tex_diffuse);
        std::printf("material_%zu_diffuse_map: %s\n", i, map.empty() ? "missing" : map.c_str());
    }
}

void PrintModel(const cloadobj_conteiner& m, const LoadPhaseTimes& t) {
    std::printf("file: %s\n", m.name.c_str());
    std::printf("readable: %s\n", m.readable ? "yes" : "no");
    std::printf("triangles: %u\n", m.triangle_count);
    std::printf("positions: %zu\n", m.positions.size());
    // As read from the file; what the loader made for faces without them on lines of their own.
    std::printf("normals: %zu\n", m.normals_in_file);
    std::printf("normals_generated: %zu\n", m.normals.size() - m.normals_in_file);
    std::printf("texcoords: %zu\n", m.texcoords_in_file);
    std::printf("texcoords_generated: %zu\n", m.texcoords.size() - m.texcoords_in_file);
    std::printf("line_points: %zu\n", m.line_points.size());
    std::printf("materials: %zu\n", m.materials.size());
    std::printf("switches: %zu\n", m.material_switches.size());
    unsigned maps = 0, failed_maps = 0;
    for (const material& mat : m.materials) {
        for (unsigned u = 0; u < kMaterialMapCount; ++u) {
            const int name = MaterialTexture(mat, u);
            maps += name != 0;
            failed_maps += name == -1;
        }
    }
    std::printf("maps: %u\n", maps);
    std::printf("maps_failed: %u\n", failed_maps);
    PrintVector("bbox_min", m.bbox[0]);
    PrintVector("bbox_max", m.bbox[1]);
    // Size in millimetres (one scene unit is 50 mm).
    std::printf("size_mm: %.6g %.6g %.6g\n", double(m.bbox[1].x - m.bbox[0].x) * 50.0,
                double(m.bbox[1].y - m.bbox[0].y) * 50.0, double(m.bbox[1].z - m.bbox[0].z) * 50.0);
    std::printf("tree_nodes: %u\n", CountTreeNodes(m.tree));
    std::printf("tree_depth: %u\n", TreeDepth(m.tree));
    std::printf("tree_root_triangles: %zu\n", m.tree.faces.size());
    std::printf("read_parse_ms: %.3f\n", t.read_parse);
    std::printf("tree_ms: %.3f\n", t.tree);
    std::printf("lists_ms: %.3f\n", t.list_shaded + t.list_glow + t.list_plain + t.list_shadow);
    std::printf("load_ms: %.3f\n", t.total);
}

// The assets of an installed copy (PREFIX/share/morva beside PREFIX/bin), else those of the
// source tree the program was built from.
std::string DefaultAssets() {
#if defined(__linux__)
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        self[n] = '\0';
        std::string bin = files::FolderOf(self);  // PREFIX/bin/
        if (!bin.empty()) bin.pop_back();
        const std::string installed = files::FolderOf(bin) + "share/morva";
        if (files::IsRegularFile((installed + "/Morva.obj").c_str())) return installed;
    }
#endif
    return MORVA_ASSETS_DIR;
}

}  // namespace

int main(int argc, char** argv) {
    std::string assets = DefaultAssets();
    const char* file = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--assets") && i + 1 < argc) {
            assets = argv[++i];
        } else if (!std::strcmp(argv[i], "--thumbnail")) {
            if (i + 4 != argc) {
                std::fprintf(stderr, "usage: morva-inspect [--assets DIR] --thumbnail IN OUT.png SIZE\n");
                return 2;
            }
            const int size = std::atoi(argv[i + 3]);
            if (size < 1 || size > 4096) {
                std::fprintf(stderr, "morva-inspect: SIZE must be 1 to 4096\n");
                return 2;
            }
            return WriteThumbnail(assets, argv[i + 1], argv[i + 2], size);
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            file = nullptr;
            break;
        } else if (!file) {
            file = argv[i];
        }
    }
    if (!file) {
        std::fprintf(stderr, "usage: morva-inspect [--assets DIR] FILE.obj\n");
        return 2;
    }
    morva::OffscreenGL gl;
    if (!morva::CreateOffscreenGL(gl, 64, 64)) {
        std::fprintf(stderr, "morva-inspect: no offscreen GL context: %s\n", gl.error.c_str());
        return 2;
    }
    int status = 0;
    {
        Ctexture textures;
        std::unique_ptr<cshader> shaders;
        std::unique_ptr<cloadobj> loader;
        // The model program is built from the assets folder, as the editor builds it from its
        // working directory; without that folder the model is loaded without the program
        // (and no shader log is written anywhere).
        const std::string cwd = files::CurrentFolder();
        if (files::IsFolder(assets.c_str()) && !cwd.empty() && files::ChangeFolder(assets)) {
            shaders = std::make_unique<cshader>();
            loader = std::make_unique<cloadobj>(&textures, shaders.get());
            if (!files::ChangeFolder(cwd)) {
                std::fprintf(stderr, "morva-inspect: cannot return to %s\n", cwd.c_str());
                return 2;
            }
        } else {
            loader = std::make_unique<cloadobj>(&textures, nullptr);
        }
        cloadobj_conteiner* model = loader->LoadObj(file, NoProgress);
        PrintModel(*model, loader->last_load);
        PrintMaterials(*model, textures);
        status = model->readable ? 0 : 1;
    }
    morva::DestroyOffscreenGL(gl);
    return status;
}
