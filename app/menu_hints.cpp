#include "app/menu_hints.h"

#include <algorithm>
#include <cstring>

#include "app/menus.h"
#include "render/ctext.h"

namespace {

struct Hint {
    const char* label;
    const char* keys;
};

// Rows may be added by any command that has a key.
const Hint kHints[] = {
    {"New Project", "Ctrl+N"},
    {"Open Project", "Ctrl+O"},
    {"Save Project", "Ctrl+S"},
    {"Save As...Project", "Ctrl+Shift+S"},
    {"Import *.OBJ", "Ctrl+I"},
    {"Import image", "Ctrl+Shift+I"},
    {"Arrange", "Ctrl+L"},
    {"Undo", "Ctrl+Z"},
    {"Redo", "Ctrl+Y"},
};

constexpr float kCellW = 20.0f;
constexpr float kCellH = 16.0f;
// The hints are written smaller than the labels so that they read as secondary.
constexpr float kHintCellW = 16.0f;
constexpr float kColumnWidth = 140.0f;
constexpr float kRightPadding = 10.0f;
constexpr float kGap = 2.0f;

// Width of an item's background: the rounded caps (one cell) and the middle part.
float BackgroundWidth(const MenuItem& item) { return kCellW * (1.0f + item.length / 2.0f); }

}  // namespace

const char* MenuShortcutHint(const char* label) {
    if (!label) return nullptr;
    for (const Hint& h : kHints) {
        if (std::strcmp(h.label, label) == 0) return h.keys;
    }
    return nullptr;
}

bool DrawMenuHints(int open, const float* m) {
    float column = 0.0f, top = 1e9f, bottom = -1e9f;
    bool any = false;
    for (const MenuItem& item : kMenuItems) {
        if (item.menu != open) continue;
        // Right of the widest label or background, whichever ends later.
        const float label_end = item.x + float(Ctext::TextWidth(kCellW, item.label));
        column = std::max(column, std::max(item.x + BackgroundWidth(item), label_end) + kGap);
        top = std::min(top, item.y);
        bottom = std::max(bottom, item.y + kCellH);
        if (MenuShortcutHint(item.label)) any = true;
    }
    if (!any) return false;
    // The column's background as one more strip per line, then the grey keys on it, all
    // ending at the same right edge.
    const float right = column + kColumnWidth;
    const float length = (kColumnWidth / kCellW - 1.0f) * 2.0f;
    for (const MenuItem& item : kMenuItems) {
        if (item.menu != open) continue;
        mgrTXT->DrawTextGL(column, item.y, kCellW, kCellH, "", 0.5f, 0.5f, 0.5f, length);
        const char* keys = MenuShortcutHint(item.label);
        if (!keys) continue;
        const float x = right - kRightPadding - float(Ctext::TextWidth(kHintCellW, keys));
        mgrTXT->SetDrawBackground(false);
        mgrTXT->DrawTextGL(x, item.y, kHintCellW, kCellH, keys, 0.5f, 0.5f, 0.5f, 0.0f);
        mgrTXT->SetDrawBackground(true);
    }
    return InInterfaceRect(m, column, column + kColumnWidth, top, bottom);
}
