#include "project/history.h"

#include <cstring>
#include <utility>

namespace {

bool SameVector(const cMath::vector4& a, const cMath::vector4& b) {
    // Bit for bit, so a record holding NaN still equals itself.
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool SameRecord(const project::pObject& a, const project::pObject& b) {
    return a.type == b.type && a.model == b.model && a.texture == b.texture && a.name == b.name &&
           SameVector(a.position, b.position) && SameVector(a.size, b.size) && SameVector(a.rotate, b.rotate);
}


ProjectSnapshot Snapshot(const ProjectHistory& h, const project& proj) {
    ProjectSnapshot s;
    s.objects = proj.objects;
    s.selected = proj.selected;
    s.state = h.state;
    s.path = h.path;
    return s;
}

// Puts a kept list in place of the project's and keeps the project's in the step instead.
void SwapWithProject(ProjectHistory& h, project& proj, HistoryStep& step) {
    ProjectSnapshot now;
    now.objects = std::move(proj.objects);
    now.selected = proj.selected;
    now.state = h.state;
    now.path = h.path;

    proj.objects = std::move(step.other.objects);
    proj.selected = IsValidObjectIndex(step.other.selected, proj.objects.size()) ? step.other.selected : -1;
    proj.hovered = -1;
    h.state = step.other.state;
    if (step.changes_path) h.path = step.other.path;

    step.other = std::move(now);
    step.after_state = h.state;
    // A run of clicks never continues across an undo or redo.
    step.merge_key.clear();
}

bool JoinsNewestStep(const ProjectHistory& h, const char* merge_key, uint64_t now_ms) {
    if (merge_key == nullptr || *merge_key == 0 || h.undo.empty() || !h.redo.empty()) return false;
    const HistoryStep& top = h.undo.back();
    return top.merge_key == merge_key && top.after_state == h.state && now_ms >= top.last_change_ms &&
           now_ms - top.last_change_ms <= kStepMergeMs;
}

}  // namespace

bool SameObjects(const std::vector<project::pObject>& a, const std::vector<project::pObject>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (!SameRecord(a[i], b[i])) return false;
    }
    return true;
}

void BeginStep(ProjectHistory& h, project& proj, const char* label, const char* merge_key, uint64_t now_ms) {
    if (h.open++ > 0) return;
    h.pending = HistoryStep();
    h.pending.label = label != nullptr ? label : "";
    h.pending.merge_key = merge_key != nullptr ? merge_key : "";
    h.pending.other = Snapshot(h, proj);
    h.pending_now_ms = now_ms;
}

bool CommitStep(ProjectHistory& h, project& proj) {
    if (h.open <= 0) return false;
    if (--h.open > 0) return false;
    HistoryStep step = std::move(h.pending);
    h.pending = HistoryStep();
    const bool pathChanged = step.other.path != h.path;
    if (!pathChanged && SameObjects(step.other.objects, proj.objects)) return false;

    const bool joins = !pathChanged && JoinsNewestStep(h, step.merge_key.c_str(), h.pending_now_ms);
    h.state = h.next_state++;
    if (joins) {
        // The newest step already keeps the list from before the run.
        h.undo.back().after_state = h.state;
        h.undo.back().last_change_ms = h.pending_now_ms;
        return true;
    }

    h.redo.clear();
    step.changes_path = pathChanged;
    step.after_state = h.state;
    step.last_change_ms = h.pending_now_ms;
    h.undo.push_back(std::move(step));
    while (h.undo.size() > h.depth && !h.undo.empty()) h.undo.pop_front();
    return true;
}

bool CanUndo(const ProjectHistory& h) { return h.open == 0 && !h.undo.empty(); }

bool CanRedo(const ProjectHistory& h) { return h.open == 0 && !h.redo.empty(); }

bool Undo(ProjectHistory& h, project& proj, std::string* label) {
    if (!CanUndo(h)) return false;
    HistoryStep step = std::move(h.undo.back());
    h.undo.pop_back();
    SwapWithProject(h, proj, step);
    if (label != nullptr) *label = step.label;
    h.redo.push_back(std::move(step));
    return true;
}

bool Redo(ProjectHistory& h, project& proj, std::string* label) {
    if (!CanRedo(h)) return false;
    HistoryStep step = std::move(h.redo.back());
    h.redo.pop_back();
    SwapWithProject(h, proj, step);
    if (label != nullptr) *label = step.label;
    h.undo.push_back(std::move(step));
    return true;
}

void ClearHistory(ProjectHistory& h) {
    h.undo.clear();
    h.redo.clear();
    h.pending = HistoryStep();
    h.open = 0;
}

void StartNewHistory(ProjectHistory& h, const std::string& path) {
    ClearHistory(h);
    h.state = h.next_state++;
    h.saved_state = h.state;
    h.path = path;
}

void MarkSaved(ProjectHistory& h, const std::string& path) {
    h.saved_state = h.state;
    h.path = path;
}

void MarkModified(ProjectHistory& h) { h.saved_state = 0; }

bool IsModified(const ProjectHistory& h, const project& proj) {
    if (proj.objects.empty() && h.path.empty()) return false;
    return h.state != h.saved_state;
}

std::string ProjectFileLabel(const ProjectHistory& h) {
    if (h.path.empty()) return "untitled";
    const size_t slash = h.path.find_last_of("/\\");
    return slash == std::string::npos ? h.path : h.path.substr(slash + 1);
}
