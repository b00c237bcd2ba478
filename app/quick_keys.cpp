#include "app/quick_keys.h"

#include <string>

#include "app/menus.h"
#include "app/panel_values.h"
#include "app/quick_commands.h"
#include "app/undo.h"
#include "app/views.h"
#include "platform/cinput.h"
#include "platform/window.h"
#include "project/arrange.h"
#include "project/project.h"
#include "render/ctext.h"

namespace {

constexpr float kCellW = 20.0f;
constexpr float kCellH = 16.0f;
constexpr int kTenSteps = 10;

// A key with its modifiers and what it runs.
struct Shortcut {
    int key;
    int modifiers;  // exactly these of Ctrl, Shift, Alt
    void (*command)();
};

const Shortcut kShortcuts[] = {
    {'N', morva::kModCtrl, CommandNewProject},
    {'O', morva::kModCtrl, CommandOpenProject},
    {'S', morva::kModCtrl, CommandSaveProjectQuick},
    {'S', morva::kModCtrl | morva::kModShift, CommandSaveProject},
    {'I', morva::kModCtrl, CommandImportOBJ},
    {'I', morva::kModCtrl | morva::kModShift, CommandImportImage},
    {'L', morva::kModCtrl, CommandArrange},
    {'Z', morva::kModCtrl, CommandUndo},
    {'Y', morva::kModCtrl, CommandRedo},
    {'Z', morva::kModCtrl | morva::kModShift, CommandRedo},
};

const int kShortcutKeys[] = {'N', 'O', 'S', 'I', 'L', 'Z', 'Y'};
const int kNudgeKeys[] = {morva::kVkLeft, morva::kVkRight, morva::kVkUp,
                          morva::kVkDown, morva::kVkPageUp, morva::kVkPageDown};

int PanelModeOf(const MenuState& menu) { return (menu.editMode >= 0 && menu.editMode < 3) ? menu.editMode : 0; }

float& Component(cMath::vector4& v, int row) { return row == 0 ? v.x : row == 1 ? v.y : v.z; }

// Steps the selected object's row in the panel's mode by `steps` (signed) panel steps.
void Nudge(const MenuState& menu, int row, int steps) {
    const int s = mgrProject->GetSelected();
    if (s < 0 || steps == 0) return;
    const int mode = PanelModeOf(menu);
    cMath::vector4 v = PanelValue(mode, s);
    // Step by step, so that a value on the step grid stays on it.
    for (int k = 0; k < (steps < 0 ? -steps : steps); ++k) {
        Component(v, row) = StepPanelValue(Component(v, row), mode == 1 ? 1.0f : 0.02f, steps < 0 ? -1 : 1);
    }
    // Nudges of one row of one object less than a second apart (a held key) are one step.
    static const char* const kTitles[3] = {"Move", "Rotate", "Size"};
    const std::string label = std::string(kTitles[mode]) + " " + "XYZ"[row];
    const std::string key = "nudge " + std::to_string(mode) + " " + std::to_string(row) + " " + std::to_string(s);
    BeginProjectStep(label.c_str(), key.c_str());
    StorePanelValue(mode, s, &v);
    CommitProjectStep();
}

void NudgeKeys(ShellState& s, uint64_t now) {
    for (int key : kNudgeKeys) {
        int modifiers = 0;
        while (mgrInput->TakeKeyPress(key, &modifiers)) {
            if (modifiers & (morva::kModCtrl | morva::kModAlt)) continue;
            int row = 0, sign = 0;
            NudgeRowOfKey(key, &row, &sign);
            const int factor = (modifiers & morva::kModShift) ? kTenSteps : 1;
            Nudge(s.menu, row, sign * factor);
            StartKeyRepeat(s.nudge, key, factor, now);
        }
    }
    const int held = s.nudge.key;
    const int repeats = DueRepeats(s.nudge, held != 0 && morva::IsKeyHeld(mgrInput->wnd, held), now);
    int row = 0, sign = 0;
    if (repeats > 0 && NudgeRowOfKey(held, &row, &sign)) Nudge(s.menu, row, sign * s.nudge.factor * repeats);
}

void ShortcutKeys() {
    for (int key : kShortcutKeys) {
        int modifiers = 0;
        while (mgrInput->TakeKeyPress(key, &modifiers)) {
            for (const Shortcut& sc : kShortcuts) {
                if (sc.key == key && sc.modifiers == modifiers) sc.command();
            }
        }
    }
}

void FrameSelected(ShellState& s) {
    const int i = mgrProject->GetSelected();
    cMath::vector4 lo, hi;
    if (!IsValidObjectIndex(i, mgrProject->objects.size()) || !ObjectWorldBox(mgrProject->objects[size_t(i)], &lo, &hi)) {
        return;
    }
    FrameView(s.camera, &Zoom, lo, hi);
}

void ViewKeys(ShellState& s) {
    int modifiers = 0;
    while (mgrInput->TakeKeyPress(morva::kVkHome, &modifiers)) {
        if (modifiers == 0) HomeView(s.camera, &Zoom);
    }
    while (mgrInput->TakeKeyPress('T', &modifiers)) {
        if (modifiers == 0) TopView(s.camera, &Zoom);
    }
    while (mgrInput->TakeKeyPress('F', &modifiers)) {
        if (modifiers == 0) FrameSelected(s);
    }
}

void CloseField(ValueField& f) {
    f.active = false;
    f.text.clear();
}

void ApplyField(MenuState& menu) {
    ValueField& f = menu.field;
    float value = 0.0f;
    if (ParseTypedValue(f.text, f.mode, &value)) {
        cMath::vector4 v = PanelValue(f.mode, f.object);
        Component(v, f.row) = value;
        BeginProjectStep("Typed value");
        StorePanelValue(f.mode, f.object, &v);
        CommitProjectStep();
    }
    CloseField(f);
}

// The field's keys: characters, Backspace, Enter, Escape. The field closes by itself when
// its object is no longer selected or the panel changed mode.
void FieldKeys(MenuState& menu) {
    ValueField& f = menu.field;
    if (f.active && (mgrProject->GetSelected() != f.object || PanelModeOf(menu) != f.mode)) CloseField(f);
    if (!f.active) return;
    uint32_t c = 0;
    while (mgrInput->TakeTypedChar(&c)) {
        const char ch = ValueFieldChar(c);
        if (ch && f.text.size() < kValueFieldLength) f.text.push_back(ch);
    }
    while (mgrInput->TakeKeyPress(morva::kVkBackspace)) {
        if (!f.text.empty()) f.text.pop_back();
    }
    if (mgrInput->TakeKeyPress(morva::kVkEscape)) {
        CloseField(f);
        return;
    }
    if (mgrInput->TakeKeyPress(morva::kVkEnter)) ApplyField(menu);
}

}  // namespace

void ApplyQuickKeys(ShellState& s) {
    // The editor's clock: steady time, or the script's clock in a scripted run.
    const uint64_t now = EditorClockMs();
    FieldKeys(s.menu);
    ShortcutKeys();
    ViewKeys(s);
    NudgeKeys(s, now);
}

void DrawPanelValue(MenuState& menu, int row, float y, const char* label, const float* m, bool click) {
    ValueField& f = menu.field;
    const int s = mgrProject->GetSelected();
    const bool editing = f.active && f.row == row && f.object == s && f.mode == PanelModeOf(menu);
    int width = 0;
    if (editing) {
        // The row's axis letter, the text typed so far with a caret and the unit, in yellow.
        const std::string shown = std::string(label, 3) + f.text + "_" + (f.mode == 1 ? "deg" : "mm");
        width = mgrTXT->DrawTextGL(0, y, kCellW, kCellH, shown.c_str(), 1.0f, 1.0f, 0.4f, 6.0f);
    } else {
        // Long values are drawn narrower rather than into the buttons.
        const float cell = PanelTextCellWidth(Ctext::TextWidth(kCellW, label), kCellW, 160.0f);
        width = mgrTXT->DrawTextGL(0, y, cell, kCellH, label, 1.0f, 0.8f, 0.8f, 6.0f);
    }
    if (!click) return;
    const bool on_label = InInterfaceRect(m, 0, float(width > 150 ? 150 : width), y, y + kCellH);
    if (on_label && !editing) {
        f.active = true;
        f.object = s;
        f.mode = PanelModeOf(menu);
        f.row = row;
        f.text.clear();
        // Characters typed before the field opened are not its.
        uint32_t c = 0;
        while (mgrInput->TakeTypedChar(&c)) {
        }
    } else if (editing && !on_label) {
        CloseField(f);
    }
}
