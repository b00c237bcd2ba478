#include "app/undo.h"

#include <chrono>

#include "app/shell.h"
#include "project/project.h"
#include "render/cdebug.h"

ProjectHistory gHistory;

namespace {

bool gScriptClock = false;
uint64_t gScriptClockMs = 0;

void LogStep(const char* verb, const std::string& label) {
    const std::string text = label.empty() ? std::string(verb) : std::string(verb) + " " + label;
    mgrDebug->AddLine(text.c_str(), Debug_Info);
}

}  // namespace

uint64_t EditorClockMs() {
    if (gScriptClock) return gScriptClockMs;
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void UseScriptClock() { gScriptClock = true; }

void AdvanceScriptClock(uint64_t ms) { gScriptClockMs += ms; }

void BeginProjectStep(const char* label, const char* merge_key) {
    if (mgrProject) BeginStep(gHistory, *mgrProject, label, merge_key, EditorClockMs());
}

void CommitProjectStep() {
    if (mgrProject) CommitStep(gHistory, *mgrProject);
}

void CommandUndo() {
    std::string label;
    if (mgrProject && Undo(gHistory, *mgrProject, &label)) {
        LogStep("Undo", label);
    } else {
        mgrDebug->AddLine("Nothing to undo", Debug_Info);
    }
}

void CommandRedo() {
    std::string label;
    if (mgrProject && Redo(gHistory, *mgrProject, &label)) {
        LogStep("Redo", label);
    } else {
        mgrDebug->AddLine("Nothing to redo", Debug_Info);
    }
}

bool ProjectModified() { return mgrProject != nullptr && IsModified(gHistory, *mgrProject); }

void SetProjectModified(bool modified) {
    if (modified) {
        MarkModified(gHistory);
    } else {
        MarkSaved(gHistory, gHistory.path);
    }
}

std::string ProjectFileName() { return ProjectFileLabel(gHistory); }

const std::string& ProjectFilePath() { return gHistory.path; }

void ResetProjectHistory(const std::string& path) {
    StartNewHistory(gHistory, path);
}

void ClearProjectHistory() {
    ClearHistory(gHistory);
    gHistory = ProjectHistory();
}
