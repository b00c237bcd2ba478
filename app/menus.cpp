#include "app/menus.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/unsaved.h"
#include "app/undo.h"

#include "app/menu_hints.h"
#include "app/quick_commands.h"
#include "app/quick_keys.h"
#include "app/panel_values.h"
#include "app/progress.h"
#include "platform/cdialog.h"
#include "platform/cinput.h"
#include "project/project.h"
#include "render/cdebug.h"
#include "render/ctext.h"

namespace {

constexpr float kCellW = 20.0f;
constexpr float kCellH = 16.0f;
constexpr float kLineH = 16.0f;
// Where the project's name ends, a few pixels inside the client area's right edge.
constexpr int kProjectNameRight = 1016 - 12;

struct Rgb {
    float r, g, b;
};
constexpr Rgb kGrey{0.5f, 0.5f, 0.5f};
constexpr Rgb kBlack{0.0f, 0.0f, 0.0f};
constexpr Rgb kWhite{1.0f, 1.0f, 1.0f};
constexpr Rgb kPink{1.0f, 0.8f, 0.8f};

const float kTitleLength[4] = {3.0f, 5.0f, 6.0f, 6.0f};
const float kRowY[3] = {220.0f, 240.0f, 260.0f};
const char* const kPanelTitles[3] = {"Move", "Rotate", "Size"};

// Double-zero-terminated filter lists (the literal adds the final zero).
char kProjectFilter[] = "Project Files (*.PRJ)\0*.PRJ\0";
char kObjectFilter[] = "3D object files (*.OBJ)\0*.OBJ\0";
char kStlFilter[] = "STL files (*.stl *.STL)\0*.stl;*.STL\0";
char kImageFilter[] =
    "Image Files (*.jpg,*.bmp,*.png,*.tga,*.psd,*.hdr)\0*.jpg;*.bmp;*.png;*.tga;*.psd;*.hdr\0";

int Text(float x, float y, const char* s, Rgb c, float length) {
    return mgrTXT->DrawTextGL(x, y, kCellW, kCellH, s, c.r, c.g, c.b, length);
}

void Log(const char* text, Debug_type kind) { mgrDebug->AddLine(text, kind); }

// A dialog that gave no file logs nothing, unless no chooser could be shown at all.
void ReportDialogFailure() {
    if (mgrDialog->last_failure == Dialog_Unavailable) {
        Log("File dialog unavailable: install zenity", Debug_Error);
    } else if (mgrDialog->last_failure == Dialog_PathTooLong) {
        Log("File path too long", Debug_Error);
    }
}

// A command that failed because its file did not fit in memory says so before its FAIL line.
void ReportMemoryShortage() {
    if (mgrProject->not_enough_memory_for.empty()) return;
    const std::string text = "Not enough memory for " + mgrProject->not_enough_memory_for;
    Log(text.c_str(), Debug_Warning);
}

void DrawPlaceholderRows(int mode) {
    static const char* const kMm[3] = {"X: 0.0mm", "Y: 0.0mm", "Z: 0.0mm"};
    static const char* const kDeg[3] = {"X: 0.0deg", "Y: 0.0deg", "Z: 0.0deg"};
    for (int axis = 0; axis < 3; ++axis) {
        Text(0, kRowY[axis], mode == 1 ? kDeg[axis] : kMm[axis], kPink, 6);
        Text(160, kRowY[axis], "+", kPink, 6);
        Text(180, kRowY[axis], "-", kPink, 6);
    }
}

// One row: the value, then "+" and "-" with their hover and click. Returns the new value.
float PanelRow(MenuState& menu, int axis, float value, const float* m, bool click) {
    const int mode = menu.editMode;
    const float y = kRowY[axis];
    const bool degrees = mode == 1;
    const float step = degrees ? 1.0f : 0.02f;
    const std::string label = PanelRowText(mode, axis, &value);
    DrawPanelValue(menu, axis, y, label.c_str(), m, click);

    Text(160, y, "+", kPink, 6);
    if (InInterfaceRect(m, 160, 180, y, y + kLineH)) {
        if (click) {
            value = StepPanelValue(value, step, +1);
        } else {
            Text(160, y, "+", kWhite, 6);
        }
    }
    Text(180, y, "-", kPink, 6);
    if (InInterfaceRect(m, 180, 200, y, y + kLineH)) {
        if (click) {
            value = StepPanelValue(value, step, -1);
        } else {
            Text(180, y, "-", kWhite, 6);
        }
    }
    return value;
}

// Bit for bit, so a value that is not a number does not count as changed every frame.
bool Differs(float a, float b) { return std::memcmp(&a, &b, sizeof a) != 0; }

int PanelMode(const MenuState& menu) { return (menu.editMode >= 0 && menu.editMode < 3) ? menu.editMode : 0; }

void DrawPanelRows(MenuState& menu, const float* m, bool click) {
    const int s = mgrProject->GetSelected();
    if (s == -1) {
        DrawPlaceholderRows(menu.editMode);
        return;
    }
    const cMath::vector4 before = PanelValue(menu.editMode, s);
    cMath::vector4 v = before;
    v.x = PanelRow(menu, 0, v.x, m, click);
    v.y = PanelRow(menu, 1, v.y, m, click);
    v.z = PanelRow(menu, 2, v.z, m, click);
    // Written back every frame, changed or not; a click that changed a row is an undo step,
    // and clicks on one row of one object less than a second apart are one step.
    const int row = Differs(v.x, before.x) ? 0 : Differs(v.y, before.y) ? 1 : Differs(v.z, before.z) ? 2 : -1;
    if (row < 0) {
        StorePanelValue(menu.editMode, s, &v);
        return;
    }
    char label[32];
    std::snprintf(label, sizeof label, "%s %c", kPanelTitles[PanelMode(menu)], "XYZ"[row]);
    char key[64];
    std::snprintf(key, sizeof key, "panel %d %d %d", menu.editMode, row, s);
    BeginProjectStep(label, key);
    StorePanelValue(menu.editMode, s, &v);
    CommitProjectStep();
}

void DrawMenuTitles(MenuState& menu, const int* widths, const float* m, bool click, bool& uiHit) {
    for (int i = 0; i < 4; ++i) {
        const float x = kMenuTitleX[i];
        if (!InInterfaceRect(m, x, x + float(widths[i]), 0, kLineH)) continue;
        Text(x, 0, kMenuTitles[i], kBlack, kTitleLength[i]);
        if (click) {
            uiHit = true;
            menu.menuOpen = !menu.menuOpen;
        }
        if (menu.menuOpen) menu.openMenu = i;
    }
}

void DrawMenuItems(MenuState& menu, const float* m, bool click, bool& uiHit) {
    const int open = menu.openMenu;
    for (const MenuItem& item : kMenuItems) {
        if (item.menu != open) continue;
        const int w = Text(item.x, item.y, item.label, kGrey, item.length);
        if (InInterfaceRect(m, item.x, item.x + float(w), item.y, item.y + kLineH)) {
            Text(item.x, item.y, item.label, kBlack, item.length);
            if (click) {
                uiHit = true;
                if (item.mode >= 0) menu.editMode = item.mode;
                if (item.command) item.command();
                if (item.closes) menu.menuOpen = false;
            }
        }
        if (item.mode >= 0 && menu.editMode == item.mode) {
            mgrTXT->SetDrawBackground(false);
            Text(198, item.y, "v", kBlack, 12);
            mgrTXT->SetDrawBackground(true);
        }
    }
}

// The open project's file name at the right end of the menu bar, with "*" in front while
// it has changes not saved.
void DrawProjectName() {
    const std::string name = (ProjectModified() ? "*" : "") + ProjectFileName();
    const float width = float(Ctext::TextWidth(kCellW, name.c_str()));
    const float length = width * 2.0f / kCellW - 2.0f;
    Text(float(kProjectNameRight) - width, 0, name.c_str(), kGrey, length > 0.0f ? length : 0.0f);
}

}  // namespace

cMath::vector4 PanelValue(int mode, int s) {
    if (mode == 1) return mgrProject->GetRotateOBJ(s);
    if (mode == 2) return mgrProject->GetSizeOBJ(s);
    return mgrProject->GetPositionOBJ(s);
}

void StorePanelValue(int mode, int s, cMath::vector4* v) {
    if (mode == 1) {
        mgrProject->RotateOBJ(s, v);
    } else if (mode == 2) {
        mgrProject->SizeOBJ(s, v);
    } else {
        mgrProject->PositionOBJ(s, v);
    }
}

const float kMenuTitleX[4] = {0.0f, 50.0f, 120.0f, 195.0f};
const char* const kMenuTitles[4] = {"File", "Options", "Execute", "Edit"};
const MenuItem kMenuItems[kMenuItemCount] = {
    {"New Project", 0, 16, 9.5f, 0, -1, true, CommandNewProject},
    {"Open Project", 0, 32, 9.5f, 0, -1, true, CommandOpenProject},
    {"Save Project", 0, 48, 9.5f, 0, -1, true, CommandSaveProject},
    {"Save As...Project", 0, 64, 13.0f, 0, -1, true, CommandSaveProject},
    {"Import *.OBJ", 0, 80, 9.5f, 0, -1, true, CommandImportOBJ},
    {"Import image", 0, 96, 9.5f, 0, -1, true, CommandImportImage},
    {"Import *.STL", 0, 112, 9.5f, 0, -1, true, CommandImportSTL},
    {"Settings", 50, 16, 6.0f, 1, -1, true, nullptr},
    {"Run", 120, 16, 6.0f, 2, -1, true, nullptr},
    {"Delete (Del)", 195, 16, 12.0f, 3, -1, true, CommandDelete},
    {" Move", 195, 32, 12.0f, 3, 0, false, nullptr},
    {" Rotate", 195, 48, 12.0f, 3, 1, false, nullptr},
    {" Size", 195, 64, 12.0f, 3, 2, false, nullptr},
    {"Arrange", 195, 80, 12.0f, 3, -1, true, CommandArrange},
    {"Scale to fit", 195, 96, 12.0f, 3, -1, true, CommandScaleToFit},
    {"Undo", 195, 112, 12.0f, 3, -1, true, CommandUndo},
    {"Redo", 195, 128, 12.0f, 3, -1, true, CommandRedo},
};

bool InInterfaceRect(const float* m, float x0, float x1, float y0, float y1) {
    return x0 <= m[0] && m[0] <= x1 && y0 <= m[1] && m[1] <= y1;
}

void InitMenus(MenuState& menu) { menu = MenuState(); }

bool DrawOverlay(MenuState& menu) {
    bool uiHit = false;
    // Escape closes an open menu (a press is taken whether a menu is open or not).
    if (mgrInput->TakeKeyPress(morva::kVkEscape)) menu.menuOpen = false;
    const bool click = mgrInput->GetMouseLeft();
    float m[2];
    const float* pos = mgrInput->GetMouseGLprereder(resX, resY);
    m[0] = pos[0];
    m[1] = pos[1];

    mgrTXT->SetDrawBackground(true);
    int widths[4];
    for (int i = 0; i < 4; ++i) widths[i] = Text(kMenuTitleX[i], 0, kMenuTitles[i], kGrey, kTitleLength[i]);

    Text(0, 200, kPanelTitles[PanelMode(menu)], kGrey, 6);
    mgrTXT->SetBackColor(0.0f, 0.0f, 0.8f, 0.5f);
    mgrTXT->DrawBox(0, 216, 200, 68);
    if (InInterfaceRect(m, 0, 200, 216, 284)) uiHit = true;
    mgrTXT->SetBackColor(1.0f, 1.0f, 1.0f, 1.0f);
    mgrTXT->SetDrawBackground(false);

    DrawPanelRows(menu, m, click);

    mgrTXT->SetDrawBackground(true);
    mgrDebug->Render(m);

    pos = mgrInput->GetMouseGLprereder(resX, resY);
    m[0] = pos[0];
    m[1] = pos[1];
    DrawMenuTitles(menu, widths, m, click, uiHit);
    DrawProjectName();
    if (menu.menuOpen) DrawMenuItems(menu, m, click, uiHit);
    // The shortcut column beside the open menu; a click on it is the interface's.
    if (menu.menuOpen && DrawMenuHints(menu.openMenu, m) && click) uiHit = true;
    return uiHit;
}

void CommandNewProject() {
    if (!AskBeforeLosingChanges()) return;
    BeginProjectStep("New Project");
    mgrProject->Reset();
    gHistory.path.clear();
    CommitProjectStep();
    Log("New Project", Debug_Info);
}

// Opens a project file chosen already (the question about unsaved changes was asked); a
// project that opens starts a new undo history, one that fails leaves everything as it was.
static void OpenChosenProject(char* path) {
    BeginFileLoadProgress("Opening", path);
    const bool opened = mgrProject->OpenData(path);
    EndLoadProgress();
    if (opened) {
        ResetProjectHistory(path);
        // Files of a moved project found under its folder: one line each (see moved_files.h).
        for (const MovedFile& found : mgrProject->moved_files_found) {
            Log(("Found " + found.relative + " in " + mgrProject->moved_files_folder).c_str(), Debug_Info);
        }
        // The file still names the old places: saving it again is a change worth asking about.
        if (!mgrProject->moved_files_found.empty()) SetProjectModified(true);
        // One warning for each file that could not be loaded, naming it.
        for (int i : mgrProject->GetMissingFiles()) {
            const std::string line = "Open Project: missing file " + mgrProject->objects[size_t(i)].name;
            Log(line.c_str(), Debug_Warning);
        }
        Log("Open Project OK", Debug_Info);
    } else {
        ReportMemoryShortage();
        Log("Open Project FAIL", Debug_Error);
    }
}

void CommandOpenProject() {
    if (!AskBeforeLosingChanges()) return;
    char* path = nullptr;
    if (mgrDialog->ShowOpenDialog(kProjectFilter, &path)) {
        OpenChosenProject(path);
    } else {
        ReportDialogFailure();
    }
    delete[] path;
}

void OpenProjectFile(char* path) {
    if (AskBeforeLosingChanges()) OpenChosenProject(path);
}

void CommandSaveProject() { SaveProjectAs(); }

void CommandSaveProjectQuick() { SaveCurrentProject(); }

bool SaveCurrentProject() {
    if (ProjectFilePath().empty()) return SaveProjectAs();
    return SaveProjectTo(ProjectFilePath());
}

bool SaveProjectAs() {
    delete[] gFileName;
    gFileName = nullptr;
    if (!mgrDialog->ShowSaveDialog(kProjectFilter, &gFileName)) {
        ReportDialogFailure();
        return false;
    }
    // A name typed without an extension gets the one the open dialog's filter shows; the
    // chooser only asked about replacing the name as typed.
    const std::string path = WithProjectExtension(gFileName);
    if (path != gFileName) {
        if (IsRegularFile(path.c_str()) && !AskReplaceFile(path)) return false;
        delete[] gFileName;
        gFileName = new char[path.size() + 1];
        std::memcpy(gFileName, path.c_str(), path.size() + 1);
    }
    return SaveProjectTo(path);
}

bool SaveProjectTo(const std::string& path) {
    std::string writable = path;
    if (mgrProject->SaveData(&writable[0])) {
        MarkSaved(gHistory, path);
        Log("Save Project OK", Debug_Info);
        return true;
    }
    Log("Save Project FAIL", Debug_Error);
    return false;
}

void CommandImportOBJ() {
    char* path = nullptr;
    if (mgrDialog->ShowOpenDialog(kObjectFilter, &path)) {
        ImportModelFile(path);
    } else {
        ReportDialogFailure();
    }
    delete[] path;
}

// An STL model is imported like an OBJ one: the loader tells them apart by content.
void CommandImportSTL() {
    char* path = nullptr;
    if (mgrDialog->ShowOpenDialog(kStlFilter, &path)) {
        ImportModelFile(path);
    } else {
        ReportDialogFailure();
    }
    delete[] path;
}

// The undo step's label names the kind of file the user chose.
static const char* ImportStepLabel(const char* path) {
    const size_t n = std::strlen(path);
    const bool stl = n >= 4 && path[n - 4] == '.' && std::tolower(static_cast<unsigned char>(path[n - 3])) == 's' &&
                     std::tolower(static_cast<unsigned char>(path[n - 2])) == 't' &&
                     std::tolower(static_cast<unsigned char>(path[n - 1])) == 'l';
    return stl ? "Import *.STL" : "Import *.OBJ";
}

void ImportModelFile(char* path) {
    BeginProjectStep(ImportStepLabel(path));
    BeginFileLoadProgress("Importing", path);
    const bool imported = mgrProject->ImportOBJ(path);
    EndLoadProgress();
    CommitProjectStep();
    if (imported) {
        Log("Open 3D object OK", Debug_Info);
        WarnIfTinyModel();
    } else {
        ReportMemoryShortage();
        Log("Open 3D object FAIL", Debug_Error);
    }
}

void CommandImportImage() {
    char* path = nullptr;
    if (mgrDialog->ShowOpenDialog(kImageFilter, &path)) {
        ImportImageFile(path);
    } else {
        ReportDialogFailure();
    }
    delete[] path;
}

void ImportImageFile(char* path) {
    BeginProjectStep("Import image");
    BeginFileLoadProgress("Importing", path);
    const bool imported = mgrProject->ImportImage(path);
    EndLoadProgress();
    CommitProjectStep();
    if (imported) {
        Log("Import Image OK", Debug_Info);
    } else {
        ReportMemoryShortage();
        Log("Import Image FAIL", Debug_Error);
    }
}

void CommandDelete() {
    BeginProjectStep("Delete");
    mgrProject->DeleteOBJ(mgrProject->GetSelected());
    CommitProjectStep();
}
