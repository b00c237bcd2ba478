// Child process of the memory-cap tests. It builds the editor's services on an offscreen
// context, imports a small model as the user's current project, then limits its address
// space and runs one command on a (large) file:
//   reliability_loader ROOM_MB import|open FILE GOOD_MODEL
// ROOM_MB is the room left above what the process holds before the command (0: no limit).
// It prints "result OK|FAIL", "memory FILE" when the command failed for want of memory,
// "objects N" and "unchanged yes|no" (the current project's records as they were), and
// exits 0. An abort or a crash ends it with a signal, which the test reports.
#include "model/cloadobj.h"
#include "platform/offscreen_gl.h"
#include "project/project.h"
#include "render/cshader.h"
#include "render/ctexture.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The address space the process holds now, in bytes.
unsigned long long AddressSpaceBytes() {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    unsigned long long kib = 0;
    char line[256];
    while (f != nullptr && std::fgets(line, sizeof line, f) != nullptr) {
        if (std::strncmp(line, "VmSize:", 7) == 0) kib = std::strtoull(line + 7, nullptr, 10);
    }
    if (f != nullptr) std::fclose(f);
    return kib * 1024;
}

bool SameRecord(const project::pObject& a, const project::pObject& b) {
    return a.type == b.type && a.model == b.model && a.texture == b.texture && a.name == b.name &&
           std::memcmp(&a.position, &b.position, sizeof a.position) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: reliability_loader ROOM_MB import|open FILE GOOD_MODEL\n");
        return 2;
    }
    const unsigned long long room = std::strtoull(argv[1], nullptr, 10) << 20;
    const std::string command = argv[2];
    std::string file = argv[3];
    std::string good = argv[4];
    morva::OffscreenGL gl;
    if (!morva::CreateOffscreenGL(gl, 64, 64)) return 3;
    if (chdir(MORVA_ASSETS_DIR) != 0) return 3;
    Ctexture textures;
    cshader shaders;
    cloadobj loader(&textures, &shaders);
    project p(&loader);
    if (!p.ImportOBJ(&good[0])) return 3;
    cMath::vector4 moved(0.1f, 0.0f, 0.2f, 0.0f);
    p.PositionOBJ(0, &moved);
    const std::vector<project::pObject> before = p.objects;

    if (room != 0) {
        const rlim_t cap = rlim_t(AddressSpaceBytes() + room);
        struct rlimit limit {cap, cap};
        if (setrlimit(RLIMIT_AS, &limit) != 0) return 3;
    }
    const bool ok = command == "open" ? p.OpenData(&file[0]) : p.ImportOBJ(&file[0]);
    bool unchanged = p.objects.size() == before.size();
    for (size_t i = 0; unchanged && i < before.size(); ++i) unchanged = SameRecord(p.objects[i], before[i]);
    std::printf("result %s\n", ok ? "OK" : "FAIL");
    if (!p.not_enough_memory_for.empty()) std::printf("memory %s\n", p.not_enough_memory_for.c_str());
    std::printf("objects %zu\nunchanged %s\n", p.objects.size(), unchanged ? "yes" : "no");
    std::fflush(stdout);
    // The process ends here: the services' teardown is not what is tested.
    _exit(0);
}
