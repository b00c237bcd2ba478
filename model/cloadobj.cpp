// Model loader: construction with the model program, the load sequence with its progress
// reports, MTL files and their maps, number readers, picking and release.
#include "model/cloadobj.h"

#include "model/file_bytes.h"
#include "model/load_progress.h"
#include "model/mtl_text.h"
#include "model/obj_text.h"
#include "model/stl_text.h"
#include "model/text_numbers.h"
#include "platform/cpu_load.h"
#include "platform/file_identity.h"
#include "platform/files.h"
#include "platform/system_memory.h"
#include "render/cshader.h"
#include "render/ctexture.h"

#include <GL/gl.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <exception>
#include <new>
#include <system_error>
#include <thread>
#include <unordered_map>

namespace {

// Sampler uniforms of the model program and their texture units, in unit order.
const char* const kSamplerNames[8] = {
    "TextureAlpha",    "TextureAmbient",   "TextureBump",     "TextureDiffuse",
    "TextureEmissive", "TextureShininess", "TextureSpecular", "TextureSky",
};

// Triangles inserted into the tree between two due checks.
constexpr uint32_t kTreeCheckInterval = 1024;

uint32_t TickCount() {
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

double NowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// Throttles progress calls: one is due when 50 ms have passed since the deadline, which then
// moves on by exactly 50 ms (so after a stall several checks in a row are due).
struct ProgressClock {
    LoadProgressFunction progress;
    uint32_t deadline;

    void Report(int phase, int steps, float value, float total) {
        if (ProgressDue(deadline, TickCount()) && progress) progress(phase, steps, value, total);
    }
};

void ReportReadingProgress(void* context, uint32_t lines_read) {
    static_cast<ProgressClock*>(context)->Report(0, 5, float(lines_read), 0.0f);
}

// Arrays larger than this keep the room the reader reserved beyond what it read.
constexpr size_t kKeepReserveFromBytes = size_t(8) << 20;

// Hands an array to the model, sized exactly to what was read. A small array also gives
// back its spare room; a large one keeps it, because the reader's reserve beyond the last
// element was never written and so holds address space but no memory, while copying tens
// of megabytes into an exact block would cost more than the rest of the hand-over.
template <typename T>
void MoveExact(std::vector<T>& from, std::vector<T>& to) {
    to = std::move(from);
    if (to.size() * sizeof(T) < kKeepReserveFromBytes) to.shrink_to_fit();
}

void ComputeBoundingBox(cloadobj_conteiner& m) {
    m.bbox[0] = cMath::vector4();
    m.bbox[1] = cMath::vector4();
    if (m.positions.empty()) return;
    m.bbox[0] = m.positions[0];
    m.bbox[1] = m.positions[0];
    for (size_t i = 1; i < m.positions.size(); ++i) {
        const cMath::vector4& p = m.positions[i];
        if (p.x < m.bbox[0].x) m.bbox[0].x = p.x;
        if (p.x > m.bbox[1].x) m.bbox[1].x = p.x;
        if (p.y < m.bbox[0].y) m.bbox[0].y = p.y;
        if (p.y > m.bbox[1].y) m.bbox[1].y = p.y;
        if (p.z < m.bbox[0].z) m.bbox[0].z = p.z;
        if (p.z > m.bbox[1].z) m.bbox[1].z = p.z;
    }
    m.bbox[0].w = 0.0f;
    m.bbox[1].w = 0.0f;
}

void BuildTree(cloadobj_conteiner& m, ProgressClock& clock) {
    m.tree.GiveBBox(m.bbox);
    m.tree.GiveTriangles(m.triangles.data());
    const cMath::vector4* positions = m.positions.data();
    for (uint32_t i = 0; i < m.triangle_count; ++i) {
        m.tree.Push(&m.triangles[i], positions);
        if ((i + 1) % kTreeCheckInterval == 0) clock.Report(2, 5, float(i), float(m.triangle_count));
    }
    m.tree.Optimize();
}

// The bounding box and the tree on it, with the time each took.
void BuildBoxAndTree(cloadobj_conteiner& m, ProgressClock& clock, double& box_ms, double& tree_ms) {
    double t = NowMs();
    ComputeBoundingBox(m);
    box_ms = NowMs() - t;
    t = NowMs();
    BuildTree(m, clock);
    tree_ms = NowMs() - t;
}

// Splits a line into blank-separated words.
std::vector<std::string> BlankSeparatedWords(const std::string& text) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsBlank(text[i])) ++i;
        size_t start = i;
        while (i < text.size() && !IsBlank(text[i])) ++i;
        if (i > start) words.push_back(text.substr(start, i - start));
    }
    return words;
}

// A "mtllib" statement names one file, or, when no file of that whole name exists, several
// files separated by blanks.
void ReadMaterialLibraries(cloadobj& loader, cloadobj_conteiner& m, const std::string& text) {
    if (!FindBeside(files::FolderOf(m.name), text).empty()) {
        loader.LoatMtl(&m, text.c_str());
        return;
    }
    for (const std::string& word : BlankSeparatedWords(text)) loader.LoatMtl(&m, word.c_str());
}

// The index of the first material of each name, kept up to date as libraries are read, so
// that a file with many switches and many materials is not matched name by name.
struct MaterialIndex {
    std::unordered_map<std::string, uint32_t> first;
    size_t indexed = 0;  // materials entered so far

    void Update(const cloadobj_conteiner& m) {
        for (; indexed < m.materials.size(); ++indexed) first.emplace(m.materials[indexed].name, uint32_t(indexed));
    }
};

// A "usemtl" statement: a switch to the first material of that name, if there is one.
void UseMaterial(cloadobj_conteiner& m, const MaterialIndex& index, const ObjDirective& d) {
    const auto found = index.first.find(d.text);
    if (found != index.first.end()) m.material_switches.push_back(material_switch{d.triangle, found->second});
}

void ApplyDirectives(cloadobj& loader, cloadobj_conteiner& m, const std::vector<ObjDirective>& directives) {
    MaterialIndex index;
    for (const ObjDirective& d : directives) {
        if (d.kind == ObjDirective::kMaterialLibrary) {
            ReadMaterialLibraries(loader, m, d.text);
            index.Update(m);
        } else {
            UseMaterial(m, index, d);
        }
    }
}

bool EndsWithStl(const char* path) {
    const size_t n = std::strlen(path);
    if (n < 4 || path[n - 4] != '.') return false;
    const char* ext = path + n - 3;
    return (ext[0] | 0x20) == 's' && (ext[1] | 0x20) == 't' && (ext[2] | 0x20) == 'l';
}

// Reads an STL file whole and parses it; false when it cannot be read or is broken.
bool ReadStlFile(const char* path, ObjText& text) {
    FileBytes bytes;
    if (!ReadFileBytes(path, bytes)) return false;
    try {
        return ParseStl(bytes.begin(), bytes.end(), text);
    } catch (const std::bad_alloc&) {
        text = ObjText{};
        return false;
    }
}

// Reads and parses the file, STL or OBJ as its content says; false when it cannot be read
// or held in memory. A file named *.stl whose content is not STL is a broken STL file, never
// read as OBJ text.
bool ReadModelText(const char* path, ObjText& text, ProgressClock& clock) {
    if (path == nullptr) return false;
    std::string head;
    uint64_t size = 0;
    if (ReadFileHead(path, 512, head, size)) {
        if (DetectStl(head.data(), head.size(), size) != StlKind::kNotStl) return ReadStlFile(path, text);
        if (EndsWithStl(path)) return false;
    }
    return ReadObjFile(path, text, ObjLineHook{ReportReadingProgress, &clock});
}

void CopyIntoModel(ObjText& text, cloadobj_conteiner& m, ProgressClock& clock) {
    clock.Report(1, 5, 0.0f, 4.0f);
    MoveExact(text.positions, m.positions);
    clock.Report(1, 5, 1.0f, 4.0f);
    m.normals_in_file = text.normals_in_file;
    m.texcoords_in_file = text.texcoords_in_file;
    MoveExact(text.normals, m.normals);
    clock.Report(1, 5, 2.0f, 4.0f);
    MoveExact(text.texcoords, m.texcoords);
    clock.Report(1, 4, 3.0f, 4.0f);
    m.triangle_count = uint32_t(text.triangles.size());
    MoveExact(text.triangles, m.triangles);
    clock.Report(1, 5, 4.0f, 4.0f);
    MoveExact(text.line_points, m.line_points);
}

float ReadNumber(char* line, unsigned int* cursor) {
    if (line == nullptr || cursor == nullptr) return 0.0f;
    const size_t length = std::strlen(line);
    if (*cursor > length) *cursor = unsigned(length);
    const char* p = line + *cursor;
    float value = ScanFloat(p, line + length);
    *cursor = unsigned(p - line);
    return value;
}


// Leaves a display list that an allocation failure interrupted.
void EndListBeingRecorded() {
    GLint open_list = 0;
    glGetIntegerv(GL_LIST_INDEX, &open_list);
    if (open_list != 0) glEndList();
}

// Bytes the driver will need for the model's display lists, from above, with `downward`
// triangles casting a shadow: every corner of every triangle (texture coordinate, normal,
// position) once, in the run lists the three lists share, and the complete prism of every
// downward triangle for the shadow; a quarter more for the driver's own bookkeeping.
uint64_t ListBytesEstimate(const cloadobj_conteiner& m, uint64_t downward) {
    constexpr uint64_t kCornerBytes = 8 * sizeof(float);
    constexpr uint64_t kPrismBytes = 8 * 3 * 3 * sizeof(float);
    // The three lists share run lists (by run or by material) unless over 1024 materials are used.
    const uint64_t copies = m.materials.size() > 1024 ? 3 : 1;
    const uint64_t bytes = uint64_t(m.triangle_count) * 3 * kCornerBytes * copies + downward * kPrismBytes;
    return bytes + bytes / 4;
}

uint64_t CountDownwardTriangles(const cloadobj_conteiner& m) {
    uint64_t downward = 0;
    for (const tiangle_face& t : m.triangles) {
        const float y = m.normals[t.nrm0].y + m.normals[t.nrm1].y + m.normals[t.nrm2].y;
        downward += !(y > 0.0f);
    }
    return downward;
}

// Whether the display lists are expected to fit in the memory available. Counting the
// downward triangles walks every triangle and its normals, so it is done only when the
// bound with every triangle downward does not fit.
bool ListsFitInMemory(const cloadobj_conteiner& m) {
    const uint64_t available = AvailableMemoryBytes();
    return ListBytesEstimate(m, m.triangle_count) <= available ||
           ListBytesEstimate(m, CountDownwardTriangles(m)) <= available;
}

// Throws std::bad_alloc when the driver reported running out of memory while recording.
void CheckDriverMemory() {
    bool out_of_memory = false;
    for (int i = 0; i < 32; ++i) {
        const GLenum error = glGetError();
        if (error == GL_NO_ERROR) break;
        out_of_memory = out_of_memory || error == GL_OUT_OF_MEMORY;
    }
    if (out_of_memory) throw std::bad_alloc();
}

// Models from this many triangles work out their tree and shadow strips on a second thread
// when a core is idle; below, starting the thread costs about as much as it saves.
constexpr uint32_t kSecondThreadFromTriangles = 1024;

// The part of a load that only reads the model's arrays (the box and the tree on it, the
// shadow list's strips, and with a shared list context the shadow list itself), done on a
// second thread while the loading thread records the shaded, glow and plain lists. The
// thread ends before the object does, also when the loading thread leaves with an exception.
struct GeometryWork {
    ShadowStrips strips;
    double box_ms = 0;
    double tree_ms = 0;
    const SharedListContext* lists = nullptr;  // null: the loading thread records the shadow list
    ListRecording mode = ListRecording::kImmediate;
    size_t vertices = 0;          // sent into the shadow list on this thread
    bool shadow_recorded = false;
    std::exception_ptr failure;  // what the thread threw (running out of memory)
    std::thread thread;

    GeometryWork() = default;
    GeometryWork(const GeometryWork&) = delete;
    GeometryWork& operator=(const GeometryWork&) = delete;
    ~GeometryWork() { Wait(); }
    void Wait() {
        if (thread.joinable()) thread.join();
    }
};

// Records the shadow list on the shared list context, current on this thread meanwhile.
void RecordShadowOnListContext(cloadobj_conteiner& m, GeometryWork& work) {
    const SharedListContext& lists = *work.lists;
    if (!lists.make_current(lists.owner)) return;
    try {
        RecordShadowList(work.mode, work.vertices, m, work.strips);
        // Complete before the loading thread calls the list from its own context.
        glFinish();
        CheckDriverMemory();
        work.shadow_recorded = true;
    } catch (...) {
        EndListBeingRecorded();
        lists.release(lists.owner);
        throw;
    }
    lists.release(lists.owner);
}

// Starts the box, the tree and the shadow strips (and list, see GeometryWork) on a second
// thread when the model is large enough and a core would otherwise stand idle; false when
// the loading thread is to do them.
bool StartGeometryWork(cloadobj_conteiner& m, GeometryWork& work, bool only_when_core_idle) {
    if (m.triangle_count < kSecondThreadFromTriangles || std::thread::hardware_concurrency() < 2 ||
        (only_when_core_idle && cpu::IdleCoresNow() < 1)) {
        return false;
    }
    try {
        work.thread = std::thread([&m, &work] {
            try {
                // No progress reports from here: they draw, and drawing is the GL thread's.
                ProgressClock silent{nullptr, TickCount()};
                work.strips = FindShadowStrips(m);
                if (work.lists) RecordShadowOnListContext(m, work);
                BuildBoxAndTree(m, silent, work.box_ms, work.tree_ms);
            } catch (...) {
                work.failure = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        return false;  // no thread to be had: the loading thread does the work
    }
    return true;
}

// The load sequence into an empty registered-to-be model; throws std::bad_alloc when memory
// runs out (or would run out in the driver), leaving the caller to free what was taken.
void ReadAndRecord(cloadobj& loader, cloadobj_conteiner& m, const char* path, LoadProgressFunction progress,
                   double start) {
    LoadPhaseTimes& times = loader.last_load;
    const std::string identity = FileIdentity(m.name);
    ProgressClock clock{progress, TickCount()};
    m.tree.GiveBBox(m.bbox);

    ObjText text;
    errno = 0;
    m.readable = ReadModelText(path, text, clock);
    if (!m.readable) {
        if (errno == ENOMEM) throw std::bad_alloc();
        return;
    }
    ApplyDirectives(loader, m, text.directives);
    double t = NowMs();
    times.read_parse = t - start;
    CopyIntoModel(text, m, clock);
    times.copy = NowMs() - t;
    text = ObjText{};
    GeometryWork work;
    if (loader.list_context.make_current && loader.list_context.release) work.lists = &loader.list_context;
    work.mode = loader.list_recording;
    times.geometry_on_second_thread = StartGeometryWork(m, work, loader.second_thread_only_when_core_idle);
    if (!times.geometry_on_second_thread) BuildBoxAndTree(m, clock, times.box, times.tree);
    if (!ListsFitInMemory(m)) throw std::bad_alloc();
    CheckDriverMemory();
    t = NowMs();
    CompileShadedList(loader, m);
    times.list_shaded = NowMs() - t;
    t = NowMs();
    CompileGlowList(loader, m);
    times.list_glow = NowMs() - t;
    t = NowMs();
    CompilePlainList(loader, m);
    times.list_plain = NowMs() - t;
    t = NowMs();
    if (times.geometry_on_second_thread) {
        work.Wait();
        times.geometry_wait = NowMs() - t;
        if (work.failure) std::rethrow_exception(work.failure);
        times.box = work.box_ms;
        times.tree = work.tree_ms;
        times.list_vertices += work.vertices;
        times.shadow_on_second_thread = work.shadow_recorded;
    } else {
        work.strips = FindShadowStrips(m);
    }
    if (!work.shadow_recorded) RecordShadowList(loader.list_recording, times.list_vertices, m, work.strips);
    work.strips = ShadowStrips{};
    times.list_shadow = NowMs() - t;
    CheckDriverMemory();
    m.file_identity = identity;
    // The reading's and the list compilation's scratch memory, freed by now, goes back
    // to the system instead of staying resident until the next load reuses it.
    ReturnFreedMemory();
}

}  // namespace

cloadobj::cloadobj(Ctexture* texture_manager, cshader* shader_manager)
    : shaders(shader_manager), textures(texture_manager) {
    if (textures) textures_life = textures->life;
    LoadGLEntryPoints(&gl);
    if (!shaders) return;
    shader_record.reset(shaders->LoadShader("test.vert", "test.frag"));
    shader = shader_record.get();
    shaders->UseShader(shader);
    for (unsigned unit = 0; unit < 8; ++unit) shaders->SetUniformi(shader, kSamplerNames[unit], unit);
    shaders->DisableShader();
}

cloadobj::~cloadobj() {
    for (auto& m : models) DeleteModelLists(*m);
    models.clear();
}

cloadobj_conteiner* cloadobj::LoadObj(const char* path, LoadProgressFunction progress) {
    const double start = NowMs();
    last_load = LoadPhaseTimes{};
    const std::string name = path ? path : "";
    std::unique_ptr<cloadobj_conteiner> owned;
    bool failed_for_memory = false;
    try {
        models.reserve(models.size() + 1);
        owned = std::make_unique<cloadobj_conteiner>();
        owned->name = name;
        ReadAndRecord(*this, *owned, path, progress, start);
    } catch (const std::bad_alloc&) {
        failed_for_memory = true;
    }
    if (failed_for_memory) {
        // Everything the load took goes back before the empty result is made.
        EndListBeingRecorded();
        if (owned) {
            DeleteModelLists(*owned);
            ReleaseTextureUses(*owned);
        }
        owned.reset();
        ReturnFreedMemory();
        owned = std::make_unique<cloadobj_conteiner>();
        owned->name = name;
        owned->tree.GiveBBox(owned->bbox);
        owned->out_of_memory = true;
    }
    last_load.total = NowMs() - start;
    models.push_back(std::move(owned));
    return models.back().get();
}

cloadobj_conteiner* cloadobj::LoadObjShared(const char* path, LoadProgressFunction progress) {
    const std::string identity = FileIdentity(path ? path : "");
    if (!identity.empty()) {
        for (auto& m : models) {
            if (m->file_identity != identity) continue;
            ++m->use_count;
            last_load = LoadPhaseTimes{};
            return m.get();
        }
    }
    return LoadObj(path, progress);
}

void cloadobj::LoatMtl(cloadobj_conteiner* model, const char* file_name) {
    if (model == nullptr || file_name == nullptr) return;
    const std::string path = FindBeside(files::FolderOf(model->name), file_name);
    if (path.empty() || !model->material_files.insert(CanonicalPath(path)).second) return;
    FileBytes bytes;
    if (!ReadFileBytes(path.c_str(), bytes)) return;
    MtlText text;
    ParseMtlText(bytes.begin(), bytes.end(), text);
    const std::string folder = files::FolderOf(path);
    for (const MtlMapStatement& map : text.maps) {
        std::string image = FindBeside(folder, map.path);
        // One texture however the maps spell the image's path.
        image = image.empty() ? map.path : CanonicalPath(image);
        int name = textures ? textures->Load(image.c_str()) : -1;
        if (name >= 0) model->texture_uses.push_back(name);
        MaterialTexture(text.materials[map.material], map.unit) = name;
    }
    for (material& mat : text.materials) model->materials.push_back(std::move(mat));
}

float cloadobj::ReadFloat(char* line, unsigned int* cursor) { return ReadNumber(line, cursor) / 50.0f; }

float cloadobj::ReadFloatS(char* line, unsigned int* cursor) { return ReadNumber(line, cursor); }

unsigned int cloadobj::ReadInt(char* line, unsigned int* cursor) {
    if (line == nullptr || cursor == nullptr) return 0;
    const size_t length = std::strlen(line);
    if (*cursor > length) *cursor = unsigned(length);
    const char* p = line + *cursor;
    unsigned int value = ScanIndexMinusOne(p, line + length);
    *cursor = unsigned(p - line);
    return value;
}

float cloadobj::IntersectLine(cloadobj_conteiner* model, float* origin, float* direction, bool flag) {
    if (model == nullptr || origin == nullptr || direction == nullptr) return flag ? -1.0f : 0.0f;
    return model->tree.TestIntersection(model->positions.data(), origin, direction, flag);
}

// A model whose file could not be read has no lists (name 0): drawing it draws nothing.
static void CallList(uint32_t list) {
    if (list != 0) glCallList(list);
}

void cloadobj::Render(cloadobj_conteiner* model) { CallList(model->list_shaded); }

void cloadobj::Render_no_Shader(cloadobj_conteiner* model) { CallList(model->list_plain); }

void cloadobj::RenderShadow(cloadobj_conteiner* model) { CallList(model->list_shadow); }

void cloadobj::RenderGlow(cloadobj_conteiner* model) { CallList(model->list_glow); }

void cloadobj::MakeObjectTextureModeClamp(cloadobj_conteiner* model) {
    if (model == nullptr) return;
    for (const material& m : model->materials) {
        if (m.tex_diffuse == 0) continue;
        glBindTexture(GL_TEXTURE_2D, GLuint(m.tex_diffuse));
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GLfloat(GL_CLAMP));
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GLfloat(GL_CLAMP));
    }
}

void cloadobj::FreeObject(cloadobj_conteiner* model) {
    if (model == nullptr) return;
    bool released = false;
    for (size_t i = 0; i < models.size();) {
        if (models[i].get() == model) {
            DeleteModelLists(*models[i]);
            ReleaseTextureUses(*models[i]);
            models.erase(models.begin() + long(i));
            released = true;
        } else {
            ++i;
        }
    }
    if (released) ReturnFreedMemory();
}

void cloadobj::Retain(cloadobj_conteiner* model) {
    for (auto& m : models) {
        if (m.get() == model && model != nullptr) {
            ++m->use_count;
            return;
        }
    }
}

void cloadobj::Release(cloadobj_conteiner* model) {
    for (auto& m : models) {
        if (m.get() != model || model == nullptr) continue;
        if (--m->use_count <= 0) FreeObject(model);
        return;
    }
}

// The texture manager may be gone already (it is torn down before the loader).
void cloadobj::ReleaseTextureUses(cloadobj_conteiner& model) {
    if (textures != nullptr && !textures_life.expired()) {
        for (int name : model.texture_uses) textures->Free(name);
    }
    model.texture_uses.clear();
}
