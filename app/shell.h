// The editor shell's shared state: the globals every part of the shell uses (the drawing
// space lives in app/screen.h), the camera, menu and panel state, and the state the
// entry function keeps for the whole run. The shell is the only writer of all of it.
// Nothing here draws or reads input; the shell's modules do that with this state.
#pragma once

#include "app/quick_logic.h"
#include "app/banner.h"
#include "app/idle.h"
#include "app/screen.h"
#include "math/Cmath.h"
#include "platform/gl_entry_points.h"

namespace morva {
struct Window;
}
class Ctexture;
class Cinput;
class cshader;
class cloadobj;
class Ctext;
class project;
class cdialog;
class cdebug;
struct Shader;
struct cloadobj_conteiner;

// Camera distance along the view axis, [0, 2]; written only by the message handler.
extern float Zoom;
// The window whose buffers every frame is swapped to (the device context's equivalent).
extern morva::Window* hDC;
// The texture bound behind the loading text; nothing assigns it, so the screen is plain.
extern int texture_loading_screen;
// Path chosen by the last save command (owned, may be null).
extern char* gFileName;
// A close request taken while the start-up loads were running; honoured once they return.
extern bool gQuitRequested;

// The eight long-lived services, created in this order at start-up.
extern Ctexture* mgrText;
extern Cinput* mgrInput;
extern cshader* mgrShader;
extern cloadobj* mgrObj;
extern Ctext* mgrTXT;
extern project* mgrProject;
extern cdialog* mgrDialog;
extern cdebug* mgrDebug;

// Camera limits.
constexpr float kCamXMin = -1.3f, kCamXMax = 1.3f;
constexpr float kCamYMin = -3.0f, kCamYMax = -0.3f;
constexpr float kCamZMin = -1.8f, kCamZMax = 1.8f;
constexpr float kCamPitchMin = 0.0f, kCamPitchMax = 120.0f;
constexpr float kZoomMin = 0.0f, kZoomMax = 2.0f;

struct CameraState {
    float camPitch = 0.0f;   // degrees about x
    float camYaw = -90.0f;   // degrees about y, never limited
    float camX = -1.0f;      // scene translation
    float camY = -1.0f;
    float camZ = -2.0f;
    bool rotating = false;   // middle-button drag
    int rotAnchor[2] = {0, 0};
    bool panning = false;    // right-button drag
    int panAnchor[2] = {0, 0};
};

struct MenuState {
    bool menuOpen = false;
    int openMenu = -1;  // 0 File, 1 Options, 2 Execute, 3 Edit
    int editMode = 0;   // 0 Move, 1 Rotate, 2 Size
    ValueField field;   // a panel value being typed
};

// What the entry function keeps for the run besides the globals.
struct ShellState {
    morva::Window* window = nullptr;
    cloadobj_conteiner* skybox = nullptr;
    cloadobj_conteiner* machine = nullptr;
    Shader* modelProgram = nullptr;
    GLEntryPoints gl;                     // the shell's GL 1.3/2.0 functions
    CameraState camera;
    MenuState menu;
    cMath::vector4* viewSteps = nullptr;  // null until the first frame has ended
    cMath::Matrix4x4 R, V, P;             // rotation, view, projection of this frame
    bool uiHit = false;                   // the overlay used this frame's click
    KeyRepeat nudge;                      // the arrow key held to step the selected object
    Banner banner;                        // Error and Warning lines shown over the view
    IdleState idle;                       // when the loop draws and when it rests
    long frames = 0;                      // frames drawn so far
};
