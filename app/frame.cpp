#include "app/frame.h"

#include <GL/gl.h>

#include <algorithm>

#include "app/camera.h"
#include "app/menus.h"
#include "app/quick_keys.h"
#include "model/cloadobj.h"
#include "platform/cinput.h"
#include "platform/window.h"
#include "project/project.h"
#include "render/cdebug.h"
#include "render/ctext.h"
#include "render/cshader.h"

namespace {

const float kLight[3] = {0.0f, 1000.0f, 0.0f};

void DrawDarkeningQuad() {
    glBegin(GL_QUADS);
    glVertex3f(-1.0f, -1.0f, 1.0f);
    glVertex3f(1.0f, -1.0f, 1.0f);
    glVertex3f(1.0f, 1.0f, 1.0f);
    glVertex3f(-1.0f, 1.0f, 1.0f);
    glEnd();
}

// Nothing is drawn below the lowest point of the machine and the objects.
float ShadowFloor(const ShellState& s) {
    float floor_y = LowestDrawnY(*mgrProject);
    if (s.machine && s.machine->triangle_count > 0) floor_y = std::min(floor_y, s.machine->bbox[0].y);
    return floor_y;
}

// Each volume only where it can change the stencil: above the floor, and only at the
// pixels whose drawn point lies in its box.
void DrawShadowVolumes(const ShellState& s, float floor_y, const ShadowBounds& bounds) {
    glLoadMatrixf(s.V.m);
    RenderModelShadow(*mgrObj, s.machine, floor_y, &bounds);
    RenderProjectShadows(*mgrProject, floor_y, &bounds);
}

}  // namespace

void FetchFrameInput() {
    mgrInput->Update();
    mgrInput->GetPos();
    mgrInput->GetWindow();
}

void SetUpFramePass(ShellState& s) {
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);

    s.P = ProjectionMatrix(resX / resY);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(s.P.m);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    morva::SetDrawingViewport(hDC, resX, resY);

    glClearColor(0.7f, 0.7f, 1.0f, 0.0f);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glEnable(GL_STENCIL_TEST);
    glClearDepth(1.0);
    glClearStencil(0);
    glStencilMask(0xFF);
    glClear(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glClear(GL_COLOR_BUFFER_BIT);

    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glDisable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);

    s.R = RotationMatrix(s.camera);
    s.V = ViewMatrix(s.camera, Zoom, s.R);
}

void DrawSkyBoxPass(const ShellState& s) {
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_CULL_FACE);
    glDepthMask(GL_TRUE);
    glDisable(GL_STENCIL_TEST);
    glFrontFace(GL_CW);
    glEnable(GL_TEXTURE_2D);

    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(s.R.m);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glDepthMask(GL_FALSE);
    if (s.skybox) mgrObj->Render_no_Shader(s.skybox);
    glDepthMask(GL_TRUE);
}

void DrawScenePass(const ShellState& s) {
    cMath::Matrix4x4 eye = MultiplyMatrix(TranslationMatrix(0.0f, 0.0f, -Zoom), s.R);
    glLoadMatrixf(eye.m);
    mgrShader->UseShader(s.modelProgram);
    mgrShader->SetUniformf(s.modelProgram, "ligth", kLight, 3);
    glMultMatrixf(TranslationMatrix(s.camera.camX, s.camera.camY, s.camera.camZ).m);
    if (s.machine) mgrObj->Render(s.machine);
    mgrProject->Render();
    // A machine model that failed to load has no list to switch the program off again.
    mgrShader->DisableShader();
}

void DrawShadowPass(const ShellState& s) {
    glLoadIdentity();
    glEnable(GL_CULL_FACE);
    glEnable(GL_POLYGON_OFFSET_FILL);
    glDepthFunc(GL_LESS);
    glDepthMask(GL_FALSE);
    glDepthRange(0.0, 100.0);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glFrontFace(GL_CW);
    glPolygonOffset(1.0f, 1.0f);
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_ALWAYS, 1, 0xFF);
    glStencilOp(GL_KEEP, GL_INCR, GL_KEEP);
    glDisable(GL_TEXTURE_2D);
    const float floor_y = s.machine ? ShadowFloor(s) : 0.0f;
    ShadowBounds bounds;
    if (s.machine) {
        glLoadMatrixf(s.V.m);
        bounds = BoundShadowsByDepth(*mgrProject, s.machine, floor_y);
        DrawShadowVolumes(s, floor_y, bounds);
    }

    glFrontFace(GL_CCW);
    glStencilOp(GL_KEEP, GL_DECR, GL_KEEP);
    if (s.machine) DrawShadowVolumes(s, floor_y, bounds);

    glDisable(GL_POLYGON_OFFSET_FILL);
    glFrontFace(GL_CCW);
    glDepthMask(GL_TRUE);
    glStencilFunc(GL_NOTEQUAL, 0, 0xFF);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthFunc(GL_ALWAYS);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.0f, 0.0f, 0.0f, 0.3f);

    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    DrawDarkeningQuad();
}

void SetOverlayState(const ShellState& s) {
    glMatrixMode(GL_MODELVIEW);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_BLEND);
    glDepthMask(GL_FALSE);
    glEnable(GL_TEXTURE_2D);
    if (s.gl.ActiveTexture) s.gl.ActiveTexture(GL_TEXTURE0);

    glDepthFunc(GL_ALWAYS);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1.0f, 1.0f, 1.0f, 0.6f);

    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();

    glFrontFace(GL_CW);
    glDisable(GL_LIGHTING);
}

void PickingPass(ShellState& s) {
    glMatrixMode(GL_MODELVIEW);
    const bool click = mgrInput->GetMouseLeft() && !s.uiHit;
    mgrProject->SelectOBJ(&s.V, &s.P, mgrInput->GetMouseGLfinal(), click);
    s.viewSteps = mgrProject->GetVecors(&s.V, &s.P);
}

void DrawFrame(ShellState& s) {
    NoteFrameInput(s);
    FetchFrameInput();
    ApplyCameraInput(s.camera, *mgrInput, s.viewSteps, mgrProject);
    ApplyQuickKeys(s);
    SetUpFramePass(s);
    DrawSkyBoxPass(s);
    DrawScenePass(s);
    DrawShadowPass(s);
    SetOverlayState(s);
    s.uiHit = DrawOverlay(s.menu);
    UpdateBanner(s.banner, *mgrDebug, mgrInput->GetMouseLeft(), ShellClockSeconds());
    DrawBanner(s.banner, *mgrTXT);
    PickingPass(s);
    NoteFramePicking(s, mgrProject->hovered, mgrProject->selected);
    morva::SwapWindowBuffers(hDC);
    ++s.frames;
}
