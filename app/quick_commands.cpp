#include "app/quick_commands.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "app/menus.h"
#include "app/shell.h"
#include "app/undo.h"
#include "platform/files.h"
#include "project/arrange.h"
#include "project/project.h"
#include "render/cdebug.h"

namespace {

// The project file's magic (followed by a zero byte in the file).
const char kProjectMagic[] = "skmskm";

void OpenDroppedProject(char* path) { OpenProjectFile(path); }

const DropHandler kProjectHandler{".prj", OpenDroppedProject};

// Rows for further file kinds go here.
const DropHandler kDropHandlers[] = {
    {".obj", ImportModelFile},
    {".stl", ImportModelFile},
    {".jpg", ImportImageFile},
    {".bmp", ImportImageFile},
    {".png", ImportImageFile},
    {".tga", ImportImageFile},
    {".psd", ImportImageFile},
    {".hdr", ImportImageFile},
    {".prj", OpenDroppedProject},
};

// Looks at a regular file only: a dropped FIFO or device is never opened in a way that waits.
bool StartsWithProjectMagic(const std::string& path) {
    files::ReadableFile file;
    if (files::OpenForReading(path.c_str(), file) != files::OpenStatus::kOpened) return false;
    char head[sizeof kProjectMagic - 1] = {};
    size_t got = 0;
    if (!files::ReadAt(file, 0, head, sizeof head, got) || got != sizeof head) return false;
    return std::memcmp(head, kProjectMagic, sizeof head) == 0;
}

bool EndsWithNoCase(const std::string& s, const char* ending) {
    const size_t n = std::strlen(ending);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != ending[i]) return false;
    }
    return true;
}

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

const DropHandler* DropHandlerFor(const std::string& path) {
    if (StartsWithProjectMagic(path)) return &kProjectHandler;
    for (const DropHandler& h : kDropHandlers) {
        if (EndsWithNoCase(path, h.ending)) return &h;
    }
    return nullptr;
}

void HandleDroppedFiles(const std::vector<std::string>& paths) {
    for (const std::string& p : paths) {
        const DropHandler* h = DropHandlerFor(p);
        if (!h) {
            mgrDebug->AddLine(("Not a model, image or project: " + FileNameOf(p)).c_str(), Debug_Warning);
            continue;
        }
        std::vector<char> path(p.begin(), p.end());
        path.push_back('\0');
        h->open(path.data());
    }
}

void CommandArrange() {
    std::vector<int> left_out;
    BeginProjectStep("Arrange");
    ArrangeObjects(*mgrProject, &left_out);
    CommitProjectStep();
    if (left_out.empty()) {
        mgrDebug->AddLine("Arrange OK", Debug_Info);
        return;
    }
    std::string names;
    for (int i : left_out) {
        if (!names.empty()) names += ", ";
        names += ObjectFileName(mgrProject->objects[size_t(i)]);
    }
    mgrDebug->AddLine(("Arrange: no room on the work area for " + names).c_str(), Debug_Warning);
}

void CommandScaleToFit() {
    const int s = mgrProject->GetSelected();
    BeginProjectStep("Scale to fit");
    const bool scaled = ScaleObjectToFit(*mgrProject, s);
    CommitProjectStep();
    if (!scaled) {
        mgrDebug->AddLine("Scale to fit: select an object first", Debug_Warning);
        return;
    }
    mgrDebug->AddLine("Scale to fit OK", Debug_Info);
}

void WarnIfTinyModel() {
    if (mgrProject->objects.empty()) return;
    cMath::vector4 mm;
    if (!IsTinyModel(mgrProject->objects.back(), &mm)) return;
    char text[200];
    std::snprintf(text, sizeof text, "Model smaller than 1 mm: %.3g x %.3g x %.3g mm (Edit > Scale to fit enlarges it)",
                  mm.x, mm.y, mm.z);
    mgrDebug->AddLine(text, Debug_Warning);
}
