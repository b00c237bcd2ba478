#include "render/cdebug.h"

#include "platform/cinput.h"
#include "render/ctext.h"

namespace {

constexpr float kCellWidth = 20.0f;
constexpr float kCellHeight = 16.0f;
constexpr float kBackgroundLength = 6.0f;
constexpr int kTabCount = 3;
constexpr int kShownLines = 9;

struct Tab {
    const char* label;
    float x;
    Debug_type kind;
};

constexpr Tab kTabs[kTabCount] = {
    {"Info", 20.0f, Debug_Info},
    {"Error", 100.0f, Debug_Error},
    {"Warning", 180.0f, Debug_Warning},
};
constexpr float kTabY = 500.0f;
constexpr float kTabBottom = 516.0f;

struct Prefix {
    const char* text;
    float r, g, b;
};

Prefix PrefixOf(Debug_type kind) {
    switch (kind) {
        case Debug_Warning: return {"Warning: ", 0.9f, 0.9f, 0.0f};
        case Debug_Error: return {"Error: ", 0.9f, 0.0f, 0.0f};
        case Debug_Info: break;
    }
    return {"Info: ", 0.0f, 0.9f, 0.0f};
}

bool MouseOverTab(const float* mouse, float x, float advance) {
    if (!mouse) return false;
    return x <= mouse[0] && mouse[0] <= x + advance && kTabY <= mouse[1] && mouse[1] <= kTabBottom;
}

}  // namespace

cdebug::cdebug(Ctext* text, Cinput* inputState) : txt(text), input(inputState), selected_tab(0) {}

cdebug::~cdebug() = default;

void cdebug::AddLine(const char* text, Debug_type kind) {
    lines.push_back(std::make_unique<chunk>(chunk{text ? text : "", kind}));
}

void cdebug::Render(float* mouse) {
    if (!txt) return;
    float advances[kTabCount];
    for (int i = 0; i < kTabCount; ++i) {
        advances[i] = static_cast<float>(txt->DrawTextGL(kTabs[i].x, kTabY, kCellWidth, kCellHeight,
                                                         kTabs[i].label, 0.5f, 0.5f, 0.5f,
                                                         kBackgroundLength));
    }

    txt->SetBackColor(0.2f, 0.2f, 0.2f, 0.5f);
    txt->DrawBox(0.0f, 516.0f, 600.0f, 212.0f);
    txt->SetBackColor(1.0f, 1.0f, 1.0f, 1.0f);

    // A tab under the cursor or already selected is drawn black; a click there selects it,
    // so a click outside the tabs only re-selects the selected one.
    const bool clicked = input && input->GetMouseLeft();
    for (int i = 0; i < kTabCount; ++i) {
        if (!MouseOverTab(mouse, kTabs[i].x, advances[i]) && selected_tab != i) continue;
        txt->DrawTextGL(kTabs[i].x, kTabY, kCellWidth, kCellHeight, kTabs[i].label, 0.0f, 0.0f,
                        0.0f, kBackgroundLength);
        if (clicked) selected_tab = i;
    }

    txt->SetDrawBackground(false);
    const Debug_type shownKind =
        (selected_tab >= 0 && selected_tab < kTabCount) ? kTabs[selected_tab].kind : Debug_Info;
    int shown = 0;
    for (auto it = lines.rbegin(); it != lines.rend() && shown < kShownLines; ++it) {
        const chunk& line = **it;
        if (line.kind != shownKind) continue;
        const float y = 690.0f - 20.0f * static_cast<float>(shown);
        const Prefix prefix = PrefixOf(line.kind);
        const int prefixAdvance = txt->DrawTextGL(10.0f, y, kCellWidth, kCellHeight, prefix.text,
                                                  prefix.r, prefix.g, prefix.b, kBackgroundLength);
        txt->DrawTextGL(10.0f + static_cast<float>(prefixAdvance), y, kCellWidth, kCellHeight,
                        line.text.c_str(), 0.0f, 0.0f, 0.0f, kBackgroundLength);
        ++shown;
    }
    txt->SetDrawBackground(true);
}
