#include "app/editor.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>
#include <string>

#include "app/camera.h"
#include "app/frame.h"
#include "app/menus.h"
#include "app/quick_commands.h"
#include "app/undo.h"
#include "app/unsaved.h"
#include "model/cloadobj.h"
#include "platform/cdialog.h"
#include "platform/cinput.h"
#include "platform/window.h"
#include "project/project.h"
#include "render/cdebug.h"
#include "render/cshader.h"
#include "render/ctext.h"
#include "render/ctexture.h"

float Zoom = 2.0f;
morva::Window* hDC = nullptr;
int texture_loading_screen = 0;
char* gFileName = nullptr;
bool gQuitRequested = false;

Ctexture* mgrText = nullptr;
Cinput* mgrInput = nullptr;
cshader* mgrShader = nullptr;
cloadobj* mgrObj = nullptr;
Ctext* mgrTXT = nullptr;
project* mgrProject = nullptr;
cdialog* mgrDialog = nullptr;
cdebug* mgrDebug = nullptr;

namespace {

constexpr GLenum kMaxAnisotropy = 0x84FF;
constexpr GLenum kTextureAnisotropy = 0x84FE;

void CreateServices(morva::Window* window) {
    mgrText = new Ctexture();
    mgrInput = new Cinput(window);
    mgrShader = new cshader();
    mgrObj = new cloadobj(mgrText, mgrShader);
    mgrObj->list_context = SharedListContext{
        window, [](void* w) { return morva::MakeWindowListContextCurrent(static_cast<morva::Window*>(w)); },
        [](void* w) { morva::ReleaseWindowListContext(static_cast<morva::Window*>(w)); }};
    glEnable(GL_TEXTURE_2D);
    const int font = mgrText->Load("maps/font.bmp");
    const int back = mgrText->Load("maps/back.jpg");
    mgrTXT = new Ctext(font, back);
    mgrProject = new project(mgrObj);
    mgrDialog = new cdialog(window);
    mgrDebug = new cdebug(mgrTXT, mgrInput);
}

void DrainGLErrors() {
    for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

// The sharpest filtering the driver offers for the sky texture (it is seen at grazing angles).
void SetSkyAnisotropy() {
    const int sky = mgrText->Load("img/sky.jpg");
    if (sky >= 0) glBindTexture(GL_TEXTURE_2D, GLuint(sky));
    DrainGLErrors();
    GLfloat maxAniso = 1.0f;
    glGetFloatv(kMaxAnisotropy, &maxAniso);
    // A driver without the extension refuses the query; the texture then keeps its filter.
    if (glGetError() == GL_NO_ERROR && maxAniso >= 1.0f) {
        glTexParameterf(GL_TEXTURE_2D, kTextureAnisotropy, maxAniso);
    }
    DrainGLErrors();
}

cloadobj_conteiner* LoadStartupModel(const char* path) {
    cloadobj_conteiner* model = mgrObj->LoadObj(path, DrawLoading);
    // The editor still runs without it; say why the view is empty on the console only.
    if (!model->readable) {
        std::fprintf(stderr, "morva: cannot read %s (start the editor from the assets folder)\n", path);
    }
    return model;
}

}  // namespace

void DrawLoading(int a, int b, float c, float d) {
    morva::WindowEvent event;
    if (morva::PollWindowEvent(hDC, &event)) {
        if (WndProc(event)) gQuitRequested = true;
    }
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glClearColor(0.7f, 0.7f, 1.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glBindTexture(GL_TEXTURE_2D, GLuint(texture_loading_screen));
    DrawOpenGLBox(0, 0, 1024, 768);
    char text[160];
    std::snprintf(text, sizeof text, "Loading... %i,%i,%f,%f", a, b, c, d);
    mgrTXT->DrawTextGL(resX / 2, resY / 2, 16, 16, text, 0.0f, 0.0f, 1.0f, 0.0f);
    morva::SwapWindowBuffers(hDC);
}

bool WndProc(const morva::WindowEvent& event) {
    switch (event.kind) {
        case morva::WindowEventKind::Close:
            return true;
        case morva::WindowEventKind::Wheel:
            Zoom = ZoomAfterWheel(Zoom, event.wheelDelta);
            return false;
        case morva::WindowEventKind::Drop:
            HandleDroppedFiles(event.paths);
            return false;
    }
    return false;
}

bool StartEditor(ShellState& s, morva::Window* window) {
    s = ShellState();
    s.window = window;
    hDC = window;
    Zoom = 2.0f;
    gQuitRequested = false;
    CreateServices(window);
    LoadGLEntryPoints(&s.gl);

    s.skybox = LoadStartupModel("skybox.obj");
    mgrObj->MakeObjectTextureModeClamp(s.skybox);
    s.modelProgram = mgrObj->shader;
    SetSkyAnisotropy();
    if (gQuitRequested) return false;

    s.machine = LoadStartupModel("Morva.obj");
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    if (gQuitRequested) return false;

    InitCamera(s.camera);
    InitMenus(s.menu);
    ResetProjectHistory("");
    s.viewSteps = nullptr;
    mgrDebug->AddLine("Inicjalized Morva v0.0.1", Debug_Info);
    return true;
}

bool EditorIteration(ShellState& s, bool* drewFrame) {
    if (drewFrame) *drewFrame = false;
    morva::WindowEvent event;
    // A close request with changes not saved asks first; Cancel keeps the editor running.
    if (morva::PollWindowEvent(hDC, &event)) return !(WndProc(event) && AskBeforeClosing());
    const double now = ShellClockSeconds();
    if (!FrameWanted(s, now)) {
        morva::WaitForWindowInput(hDC, IdleWaitSeconds(s, now));
        return true;
    }
    DrawFrame(s);
    if (drewFrame) *drewFrame = true;
    // A close asked for while a command loaded a file is taken right after it, asking first
    // as any close does when there are changes not saved.
    if (!gQuitRequested) return true;
    gQuitRequested = false;
    return !AskBeforeClosing();
}

void StopEditor(ShellState& s) {
    // The steps give back their texture uses while the texture manager still exists.
    ClearProjectHistory();
    if (mgrText) mgrText->Free();
    delete mgrText;
    mgrText = nullptr;
    delete mgrInput;
    mgrInput = nullptr;
    delete mgrTXT;
    mgrTXT = nullptr;
    delete mgrProject;
    mgrProject = nullptr;
    delete mgrDialog;
    mgrDialog = nullptr;
    delete mgrDebug;
    mgrDebug = nullptr;
    delete mgrObj;
    mgrObj = nullptr;
    delete mgrShader;
    mgrShader = nullptr;
    delete[] gFileName;
    gFileName = nullptr;
    s.skybox = nullptr;
    s.machine = nullptr;
    s.modelProgram = nullptr;
    s.viewSteps = nullptr;
}

int RunEditor() {
    std::string error;
    morva::Window* window = morva::CreateMainWindow("Morva", &error);
    if (!window) {
        std::fprintf(stderr, "morva: cannot open the window: %s\n", error.c_str());
        return 1;
    }
    ShellState s;
    if (StartEditor(s, window)) {
        s.idle.waitWhenIdle = true;
        while (EditorIteration(s)) {
        }
    }
    StopEditor(s);
    hDC = nullptr;
    morva::DestroyMainWindow(window);
    return 0;
}
