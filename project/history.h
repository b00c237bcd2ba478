// Undo and redo of the changes to a project, and whether the project has changes not saved.
//
// A step keeps the project's object list (with the selection) as it was before one change.
// Every change of the list is wrapped, wherever it is made:
//
//     BeginStep(history, proj, "Delete");   // keeps a copy of the list as it is now
//     proj.DeleteOBJ(i);                    // any change of proj.objects
//     CommitStep(history, proj);            // a step when the list changed, nothing otherwise
//
// A change that fails (an import of a broken file) therefore makes no step. Begin/Commit
// pairs nest: only the outermost pair makes a step, so a command may call other commands.
// Runs of small changes (clicks on one panel row, a held arrow key) pass a merge key and the
// time: a change whose key is the newest step's key, begun at most kStepMergeMs after that
// step's last change, joins the step instead of making a new one.
//
// Undo and redo swap the kept list with the project's list. They never read a file: the
// records keep their loaded models and textures, and since every copy of a record shares
// its hold on them (project::pObject::hold), a model or texture stays loaded while any step
// keeps a record of it and is released when the last step forgets it.
// A change made without BeginStep cannot be undone: wrap every change.
//
// The modified state lives here too. Each state of the list has a number; saving or opening
// remembers the number of the state in the file, and the project is modified while the
// current number differs (MarkSaved / MarkModified set it from outside). An empty project
// that was never saved or opened is never modified: there is nothing to lose.
// It never draws, reads input, opens files or writes the message log.
#pragma once

#include "project/project.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

// Steps kept for undo; the oldest is dropped beyond this.
constexpr size_t kHistoryDepth = 200;
// Longest pause between two changes of one run of merged changes.
constexpr uint64_t kStepMergeMs = 1000;

// The project's list at one moment.
struct ProjectSnapshot {
    std::vector<project::pObject> objects;
    int selected = -1;
    uint64_t state = 0;  // the number of this state of the list
    std::string path;    // the project file while this list was current
};

struct HistoryStep {
    std::string label;       // what the change was: "Delete", "Import *.OBJ", "Move X"
    ProjectSnapshot other;   // on the undo stack the list before the change, on the redo stack after it
    bool changes_path = false;  // the change also changed the project file (New Project)
    std::string merge_key;   // empty: never joined by a later change
    uint64_t last_change_ms = 0;
    uint64_t after_state = 0;   // the state number the change led to
};

struct ProjectHistory {
    std::deque<HistoryStep> undo;  // oldest first
    std::deque<HistoryStep> redo;  // the step undone last at the back
    size_t depth = kHistoryDepth;
    uint64_t state = 1;        // number of the list as it is now
    uint64_t next_state = 2;
    uint64_t saved_state = 1;  // the state in the project file; 0: none
    std::string path;          // the project file; empty before the first save or open

    // The change being recorded between the outermost BeginStep and its CommitStep.
    int open = 0;                // nesting depth of BeginStep
    HistoryStep pending;
    uint64_t pending_now_ms = 0;
};

// Starts recording a change of `proj` (see above). `merge_key` may be null; `now_ms` is any
// millisecond clock, read only for merging.
void BeginStep(ProjectHistory& h, project& proj, const char* label, const char* merge_key = nullptr,
               uint64_t now_ms = 0);
// Ends the change begun last. True when the outermost pair recorded or extended a step. The
// project file named in `h.path` at commit time counts as changed by the step when it
// differs from the one at its begin.
bool CommitStep(ProjectHistory& h, project& proj);

bool CanUndo(const ProjectHistory& h);
bool CanRedo(const ProjectHistory& h);
// Swap the project's list with the newest kept one; false when there is none or a change
// is being recorded. The step's label is given through `label` when not null.
bool Undo(ProjectHistory& h, project& proj, std::string* label = nullptr);
bool Redo(ProjectHistory& h, project& proj, std::string* label = nullptr);

// Forgets every step (what only they kept is released): after opening a project, `path` is
// its file and the list as it is now is the saved state.
void StartNewHistory(ProjectHistory& h, const std::string& path);
// Forgets every step without touching the state numbers (teardown).
void ClearHistory(ProjectHistory& h);

// The list as it is now was written to `path`.
void MarkSaved(ProjectHistory& h, const std::string& path);
// The project differs from its file whatever the steps say (a path inside it was mended).
void MarkModified(ProjectHistory& h);
bool IsModified(const ProjectHistory& h, const project& proj);

// The file name part of the project's path, "untitled" when it has none.
std::string ProjectFileLabel(const ProjectHistory& h);

// True when two lists hold the same records (type, model, texture, name, position, size
// and rotation bit for bit); the derived move and scale and the shared hold are not compared.
bool SameObjects(const std::vector<project::pObject>& a, const std::vector<project::pObject>& b);
