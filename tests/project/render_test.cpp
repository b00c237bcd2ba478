// Drawing the project's objects offscreen: relief layers, green and red rims, shadow
// volumes, and a whole scene written to a PNG for a person to look at.
#include "tests/project/scene_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace {

using project_test::SceneGLTest;

struct SceneRender : SceneGLTest {
    cMath::Matrix4x4 P = project_test::Projection();
    cMath::Matrix4x4 V;

    void LookDownAt(float x, float y, float z, float height) {
        V = project_test::View(project_test::CameraAbove(x, y, z, height));
        LoadCamera(V, P);
    }
    // Drawing-space pixel of a scene point.
    void PixelOf(float x, float y, float z, int* px, int* py) {
        float vx = 0, vy = 0;
        EXPECT_TRUE(project_test::ToViewport(V, P, x, y, z, &vx, &vy));
        *px = int((vx + 1) * 0.5f * morva_test::kGLWidth);
        *py = int((vy + 1) * 0.5f * morva_test::kGLHeight);
    }
    std::string Grey(int level) {
        return WriteImage("grey" + std::to_string(level) + ".png", 8, 8, [level](int, int, uint8_t* px) {
            px[0] = px[1] = px[2] = uint8_t(level);
            px[3] = 255;
        });
    }
    int StencilAt(const std::vector<uint8_t>& s, int x, int y) { return s[size_t(y) * morva_test::kGLWidth + x]; }
    static size_t NonZero(const std::vector<uint8_t>& s) {
        size_t n = 0;
        for (uint8_t v : s) n += v != 0;
        return n;
    }
};

bool IsRimGreen(const uint8_t* px) { return px[0] < 20 && px[1] > 110 && px[1] < 145 && px[2] < 20; }
bool IsRimRed(const uint8_t* px) { return px[0] > 110 && px[0] < 145 && px[1] < 20 && px[2] < 20; }

TEST_F(SceneRender, PickingTransformIsTheDrawingTransform) {
    // The matrix picking builds must be the one the GL stack builds for drawing.
    project::pObject o;
    o.type = 0;
    o.position = cMath::vector4(0.3f, -0.2f, 0.7f, 0);
    o.move = cMath::vector4(-0.8f, 0.0201f, 1.3f, 1);
    o.scale = cMath::vector4(0.5f, 0.2f, 0.7f, 0);
    o.rotate = cMath::vector4(30, -75, 200, 0);
    for (float halo : {1.0f, 1.05f}) {
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslatef(o.move.x + o.position.x, o.move.y + o.position.y, o.move.z - o.position.z);
        glScalef(o.scale.x * halo, o.scale.y * halo, o.scale.z * halo);
        glRotatef(o.rotate.x, 1, 0, 0);
        glRotatef(o.rotate.y, 0, 1, 0);
        glRotatef(o.rotate.z, 0, 0, 1);
        float gl_matrix[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, gl_matrix);
        const cMath::Matrix4x4 ours = ObjectTransform(o, halo);
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(ours.m[i], gl_matrix[i], 1e-6f) << "element " << i;
    }
}

TEST_F(SceneRender, DefaultImageDrawsFortyLayersWithRisingHeight) {
    // A layer shows where the image is at least as bright as the layer's "Height": white
    // shows on all layers k / n, mid grey on those up to about one half, black on the base.
    struct Case {
        int level;
        int layers;
    };
    for (const Case c : {Case{255, 40}, Case{128, 21}, Case{0, 1}}) {
        SCOPED_TRACE(c.level);
        p->Reset();
        ASSERT_TRUE(ImportPicture(Grey(c.level)));
        PlaceObject(&p->objects[0]);
        LookDownAt(-0.8f, 0, 1.3f, 2.0f);
        int x, y;
        PixelOf(-0.8f, 0.03f, 1.3f, &x, &y);
        const std::vector<uint8_t> s = CountFragments([&] { p->Render(); });
        EXPECT_EQ(StencilAt(s, x, y), c.layers);
    }
}

TEST_F(SceneRender, ReliefLayerCountFollowsTheHeight) {
    ASSERT_TRUE(ImportPicture(Grey(255)));
    p->objects[0].size.y = 0.1f;  // 5 mm: 200 layers
    PlaceObject(&p->objects[0]);
    LookDownAt(-0.8f, 0, 1.3f, 2.0f);
    int x, y;
    PixelOf(-0.8f, 0.1f, 1.3f, &x, &y);
    std::vector<uint8_t> s = CountFragments([&] { p->Render(); });
    EXPECT_EQ(StencilAt(s, x, y), 200);

    for (float h : {0.0f, -0.5f, NAN}) {
        p->objects[0].size.y = h;
        s = CountFragments([&] { p->Render(); });
        EXPECT_EQ(NonZero(s), 0u) << "height " << h;
    }
}

TEST_F(SceneRender, FlatImageStillShowsItsRimWhenHovered) {
    ASSERT_TRUE(ImportPicture(Grey(200)));
    p->objects[0].size.y = 0;
    PlaceObject(&p->objects[0]);
    p->hovered = 0;
    LookDownAt(-0.8f, 0, 1.3f, 2.0f);
    const std::vector<uint8_t> s = CountFragments([&] { p->Render(); });
    int x, y;
    PixelOf(-0.8f, 0.0201f, 1.3f, &x, &y);
    EXPECT_EQ(StencilAt(s, x, y), 1);
}

// Scans the row through an object's centre outward to the right and records where the
// rim colours are found.
struct RimScan {
    int first_red = -1, first_green = -1, last_red = -1, last_green = -1;
};

RimScan ScanRight(int cx, int cy) {
    const morva_test::Pixels row = morva_test::ReadPixels(cx, cy, morva_test::kGLWidth - cx, 1);
    RimScan r;
    for (int i = 0; i < row.width; ++i) {
        const uint8_t* px = row.at(i, 0);
        if (IsRimRed(px)) {
            if (r.first_red < 0) r.first_red = i;
            r.last_red = i;
        }
        if (IsRimGreen(px)) {
            if (r.first_green < 0) r.first_green = i;
            r.last_green = i;
        }
    }
    return r;
}

TEST_F(SceneRender, HoveredAndSelectedModelsGetGreenAndRedRims) {
    ASSERT_TRUE(Import(Data("cube.obj")));  // centre (-0.9, 0.42, 1.4), 0.8 a side
    PlaceObject(&p->objects[0]);
    LookDownAt(-0.9f, 0.42f, 1.4f, 1.2f);
    int cx, cy;
    PixelOf(-0.9f, 0.8201f, 1.4f, &cx, &cy);
    auto draw = [&] {
        glClearColor(0.7f, 0.7f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        SceneState();
        p->Render();
    };

    draw();
    RimScan none = ScanRight(cx, cy);
    EXPECT_EQ(none.first_green, -1);
    EXPECT_EQ(none.first_red, -1);

    p->hovered = 0;
    draw();
    RimScan green = ScanRight(cx, cy);
    EXPECT_GT(green.first_green, 0);
    EXPECT_EQ(green.first_red, -1);

    p->hovered = -1;
    p->selected = 0;
    draw();
    RimScan red = ScanRight(cx, cy);
    EXPECT_GT(red.first_red, 0);
    EXPECT_EQ(red.first_green, -1);

    // Both: the red rim (1.025) lies inside the green one (1.05), green drawn first.
    p->hovered = 0;
    draw();
    RimScan both = ScanRight(cx, cy);
    morva_test::SaveFramebuffer("project_rims.png");
    ASSERT_GT(both.first_red, 0);
    ASSERT_GT(both.first_green, 0);
    EXPECT_LT(both.last_red, both.first_green);
    EXPECT_GT(both.last_green - both.first_green, 2);
    EXPECT_GT(both.last_red - both.first_red, 2);
    // The rims end where the object's own edge began without them.
    EXPECT_EQ(both.first_red, red.first_red);
}

// Green pixels met walking left from (cx, cy), counted from cx - 1 as 0.
RimScan ScanLeft(int cx, int cy) {
    const morva_test::Pixels row = morva_test::ReadPixels(0, cy, cx, 1);
    RimScan r;
    for (int i = 0; i < cx; ++i) {
        if (!IsRimGreen(row.at(cx - 1 - i, 0))) continue;
        if (r.first_green < 0) r.first_green = i;
        r.last_green = i;
    }
    return r;
}

TEST_F(SceneRender, RimSurroundsAModelWhoseFileOriginIsFarFromItsMiddle) {
    // A 10-unit cube whose coordinates run from 40 to 50: its origin lies far outside it.
    const std::string path = temp_dir + "/off-origin-cube.obj";
    std::FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    for (int i = 0; i < 8; ++i) std::fprintf(f, "v %d %d %d\n", (i & 1) ? 50 : 40, (i & 2) ? 50 : 40, (i & 4) ? 50 : 40);
    std::fputs("f 1 3 4\nf 1 4 2\nf 5 6 8\nf 5 8 7\nf 1 2 6\nf 1 6 5\n"
               "f 3 7 8\nf 3 8 4\nf 1 5 7\nf 1 7 3\nf 2 4 8\nf 2 8 6\n", f);
    ASSERT_EQ(std::fclose(f), 0);
    ASSERT_TRUE(Import(path));
    cMath::vector4 size(0.8f, 0.8f, 0.8f, 0);
    p->SizeOBJ(0, &size);  // x -1.3 .. -0.5, y 0.0201 .. 0.8201, z 1.0 .. 1.8
    PlaceObject(&p->objects[0]);
    LookDownAt(-0.9f, 0.42f, 1.4f, 1.2f);
    int cx, cy;
    PixelOf(-0.9f, 0.8201f, 1.4f, &cx, &cy);
    p->hovered = 0;
    glClearColor(0.7f, 0.7f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SceneState();
    p->Render();
    morva_test::SaveFramebuffer("project_rim_off_origin.png");
    const RimScan right = ScanRight(cx, cy), left = ScanLeft(cx, cy);
    ASSERT_GT(right.first_green, 0);
    ASSERT_GT(left.first_green, 0) << "no rim on the side of the file origin";
    // The same rim on both sides: scaled about the middle of the model's box.
    EXPECT_NEAR(right.first_green, left.first_green, 2);
    EXPECT_NEAR(right.last_green - right.first_green, left.last_green - left.first_green, 2);
}

TEST_F(SceneRender, HoveredImageGetsAnUntexturedGreenRim) {
    ASSERT_TRUE(ImportPicture(Grey(255)));
    PlaceObject(&p->objects[0]);
    p->hovered = 0;
    LookDownAt(-0.8f, 0, 1.3f, 2.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SceneState();
    p->Render();
    int cx, cy;
    PixelOf(-0.8f, 0.0201f, 1.3f, &cx, &cy);
    const RimScan r = ScanRight(cx, cy);
    EXPECT_GT(r.first_green, 0);
    EXPECT_EQ(r.first_red, -1);
    // The image leaves the rendering state as documented: texturing on, no program.
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    GLint program = -1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    EXPECT_EQ(program, 0);
    GLboolean depth_writes = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depth_writes);
    EXPECT_EQ(depth_writes, GL_TRUE);
}

TEST_F(SceneRender, TiltedObjectsCastNoShadowVolume) {
    ASSERT_TRUE(Import(Data("cube.obj")));
    ASSERT_TRUE(ImportPicture(Grey(255)));
    p->objects[1].position = cMath::vector4(1.5f, 0, 0, 0);
    for (project::pObject& o : p->objects) PlaceObject(&o);
    LookDownAt(-0.3f, 0, 1.3f, 3.0f);
    V = project_test::View([] {
        project_test::Camera c = project_test::CameraAbove(-0.3f, 0, 1.3f, 3.0f);
        c.pitch = 50;  // from the side, so that the volumes below show
        return c;
    }());
    LoadCamera(V, P);

    struct Case {
        cMath::vector4 rotate;
        bool shadow;
    };
    const Case cases[] = {
        {cMath::vector4(0, 0, 0, 0), true},      {cMath::vector4(0, 45, 0, 0), true},
        {cMath::vector4(0.5f, 0, 0, 0), false},  {cMath::vector4(0, 0, -30, 0), false},
        {cMath::vector4(NAN, 0, 0, 0), false},   {cMath::vector4(0, 0, NAN, 0), false},
    };
    for (size_t which = 0; which < 2; ++which) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "object " << which << " rotate " << c.rotate.x << ","
                                            << c.rotate.y << "," << c.rotate.z);
            for (project::pObject& o : p->objects) o.rotate = cMath::vector4(0.5f, 0, 0, 0);  // no shadows
            p->objects[which].rotate = c.rotate;
            const size_t covered = NonZero(CountFragments([&] { p->RenderShadow(); }));
            EXPECT_EQ(covered > 0, c.shadow);
        }
    }
}

TEST_F(SceneRender, ImageWhoseFileIsMissingIsStillDrawnAndFound) {
    project::pObject lost;
    lost.type = 0;
    lost.texture = -1;  // as opened from a project whose image is gone
    lost.name = "/gone.png";
    lost.size = cMath::vector4(1, 0.02f, 1, 1);
    p->objects.push_back(lost);
    PlaceObject(&p->objects[0]);
    LookDownAt(-0.8f, 0, 1.3f, 2.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SceneState();
    p->Render();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    float cursor[2];
    ASSERT_TRUE(project_test::CursorOver(V, P, -0.8f, 0.0201f, 1.3f, cursor));
    EXPECT_EQ(p->SelectOBJ(&V, &P, cursor, true), 0);  // so that it can be selected and deleted
}

TEST_F(SceneRender, UnreadableModelsAndOtherTypesDrawNothing) {
    ASSERT_TRUE(Import(Data("cube.obj")));
    p->objects[0].model = loader->LoadObj(Data("missing.obj").c_str(), DrawLoading2);
    project::pObject other;
    other.type = 9;
    other.size = cMath::vector4(1, 1, 1, 0);
    other.scale = cMath::vector4(1, 1, 1, 0);
    p->objects.push_back(other);
    p->hovered = 0;
    p->selected = 1;
    LookDownAt(-0.9f, 0, 1.4f, 3.0f);
    EXPECT_EQ(NonZero(CountFragments([&] {
                  p->Render();
                  p->RenderShadow();
              })),
              0u);
}

// ---- the whole scene, for a person to look at ----

// A flat bed under the work area with a 10 mm grid, drawn like the machine would be.
void DrawBed() {
    glDisable(GL_TEXTURE_2D);
    glColor3f(0.55f, 0.57f, 0.6f);
    glBegin(GL_QUADS);
    glVertex3f(-1.6f, 0, -2.1f);
    glVertex3f(-1.6f, 0, 2.1f);
    glVertex3f(1.6f, 0, 2.1f);
    glVertex3f(1.6f, 0, -2.1f);
    glEnd();
    glColor3f(0.4f, 0.42f, 0.45f);
    glBegin(GL_LINES);
    for (float x = -1.3f; x <= 1.31f; x += 0.2f) {
        glVertex3f(x, 0.001f, -1.8f);
        glVertex3f(x, 0.001f, 1.8f);
    }
    for (float z = -1.8f; z <= 1.81f; z += 0.2f) {
        glVertex3f(-1.3f, 0.001f, z);
        glVertex3f(1.3f, 0.001f, z);
    }
    glEnd();
    glEnable(GL_TEXTURE_2D);
    glColor3f(1, 1, 1);
}

// The two stencil passes of the frame and the darkening quad.
void DrawShadows(project& scene, const cMath::Matrix4x4& view) {
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_CULL_FACE);
    glEnable(GL_POLYGON_OFFSET_FILL);
    glDepthFunc(GL_LESS);
    glDepthMask(GL_FALSE);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glPolygonOffset(1, 1);
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_ALWAYS, 1, 0xFF);
    glDisable(GL_TEXTURE_2D);
    glFrontFace(GL_CW);
    glStencilOp(GL_KEEP, GL_INCR, GL_KEEP);
    glLoadMatrixf(view.m);
    scene.RenderShadow();
    glFrontFace(GL_CCW);
    glStencilOp(GL_KEEP, GL_DECR, GL_KEEP);
    glLoadMatrixf(view.m);
    scene.RenderShadow();
    glDisable(GL_POLYGON_OFFSET_FILL);
    glDisable(GL_CULL_FACE);
    glDepthMask(GL_TRUE);
    glStencilFunc(GL_NOTEQUAL, 0, 0xFF);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthFunc(GL_ALWAYS);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0, 0, 0, 0.3f);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glBegin(GL_QUADS);
    glVertex3f(-1, -1, 1);
    glVertex3f(1, -1, 1);
    glVertex3f(1, 1, 1);
    glVertex3f(-1, 1, 1);
    glEnd();
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_BLEND);
    glDepthFunc(GL_LEQUAL);
}

TEST_F(SceneRender, WholeSceneWithRimsReliefAndShadows) {
    // A relief: a bright ring and a dome on a dark ground.
    const std::string relief = WriteImage("relief.png", 128, 128, [](int x, int y, uint8_t* px) {
        const float dx = (x - 63.5f) / 64.0f, dy = (y - 63.5f) / 64.0f;
        const float r = std::sqrt(dx * dx + dy * dy);
        float h = 0.15f;
        if (r < 0.45f) h = std::sqrt(1.0f - (r / 0.45f) * (r / 0.45f));
        if (r > 0.7f && r < 0.85f) h = 0.8f;
        px[0] = uint8_t(h * 255);
        px[1] = uint8_t(h * 200 + 40);
        px[2] = uint8_t(h * 120 + 30);
        px[3] = 255;
    });
    ASSERT_TRUE(Import(Data("cube.obj")));
    ASSERT_TRUE(Import(Data("cube.obj")));
    ASSERT_TRUE(Import(Data("cube.obj")));
    ASSERT_TRUE(ImportPicture(relief));
    cMath::vector4 size(0.5f, 0.3f, 0.5f, 0);
    for (int i = 0; i < 3; ++i) p->SizeOBJ(i, &size);
    p->objects[0].position = cMath::vector4(0.2f, 0, 0.3f, 0);            // hovered
    p->objects[1].position = cMath::vector4(1.0f, 0.25f, 0.4f, 0);        // selected, raised: shadow shows
    p->objects[1].rotate = cMath::vector4(0, 30, 0, 0);
    p->objects[2].position = cMath::vector4(1.8f, 0.2f, 1.5f, 0);         // tilted: no shadow
    p->objects[2].rotate = cMath::vector4(25, 0, 0, 0);
    p->objects[3].position = cMath::vector4(0.3f, 0, 1.8f, 0);            // relief
    cMath::vector4 image_size(1.4f, 0.12f, 1.4f, 1);
    p->SizeOBJ(3, &image_size);
    p->hovered = 0;
    p->selected = 1;
    for (project::pObject& o : p->objects) PlaceObject(&o);

    project_test::Camera c;
    c.pitch = 45;
    c.yaw = -60;
    c.x = 0.1f;
    c.y = -0.1f;
    c.z = -0.2f;
    c.zoom = 2.6f;
    V = project_test::View(c);
    LoadCamera(V, P);
    glClearColor(0.7f, 0.7f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    SceneState();
    DrawBed();
    p->Render();
    DrawShadows(*p, V);
    const std::string png = morva_test::SaveFramebuffer("project_scene.png");

    // Under the raised cube the bed is darkened; beside all objects it is not.
    int sx, sy, fx, fy;
    PixelOf(-1.3f + 1.0f + 0.25f, 0.0f, 1.8f - 0.4f - 0.25f, &sx, &sy);
    PixelOf(1.1f, 0.0f, -1.5f, &fx, &fy);
    const morva_test::Pixels shade = morva_test::ReadPixels(sx, sy, 1, 1);
    const morva_test::Pixels free_bed = morva_test::ReadPixels(fx, fy, 1, 1);
    EXPECT_LT(shade.at(0, 0)[1] + 20, free_bed.at(0, 0)[1]) << png;
}

// The stencil the two shadow passes leave over the depth buffer drawn so far.
template <typename Volumes>
std::vector<uint8_t> ShadowStencil(const cMath::Matrix4x4& view, Volumes volumes) {
    glClearStencil(0);
    glClear(GL_STENCIL_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_CULL_FACE);
    glEnable(GL_POLYGON_OFFSET_FILL);
    glDepthFunc(GL_LESS);
    glDepthMask(GL_FALSE);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glPolygonOffset(1, 1);
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_ALWAYS, 1, 0xFF);
    glDisable(GL_TEXTURE_2D);
    glFrontFace(GL_CW);
    glStencilOp(GL_KEEP, GL_INCR, GL_KEEP);
    glLoadMatrixf(view.m);
    volumes();
    glFrontFace(GL_CCW);
    glStencilOp(GL_KEEP, GL_DECR, GL_KEEP);
    glLoadMatrixf(view.m);
    volumes();
    glDisable(GL_POLYGON_OFFSET_FILL);
    glDisable(GL_CULL_FACE);
    glDisable(GL_STENCIL_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glDepthFunc(GL_LEQUAL);
    GLboolean scissor = GL_TRUE;
    glGetBooleanv(GL_SCISSOR_TEST, &scissor);
    EXPECT_EQ(scissor, GL_FALSE);  // the clipped drawing gives the scissor back
    return morva_test::ReadStencil(0, 0, morva_test::kGLWidth, morva_test::kGLHeight);
}

TEST_F(SceneRender, ClippedShadowVolumesLeaveTheStencilOfFullVolumes) {
    // Cubes in view, raised, turned, at the edge of the view, far beside it and behind the
    // camera; the bed at height 0 is the lowest surface.
    const float places[7][4] = {{0.2f, 0, 0.3f, 0},    {1.0f, 0.25f, 0.4f, 30}, {0.6f, 0, 1.2f, 0}, {2.6f, 0, 0.4f, 0},
                                {9.0f, 0, 0.5f, 0},    {0.5f, 0.4f, -9.0f, 0}, {-0.5f, 0, 2.2f, 45}};
    for (const auto& place : places) {
        ASSERT_TRUE(Import(Data("cube.obj")));
        project::pObject& o = p->objects.back();
        o.size = cMath::vector4(0.4f, 0.3f, 0.4f, 0);
        o.position = cMath::vector4(place[0], place[1], place[2], 0);
        o.rotate = cMath::vector4(0, place[3], 0, 0);
        PlaceObject(&o);
    }
    for (const float pitch : {8.0f, 25.0f, 60.0f}) {
        SCOPED_TRACE(testing::Message() << "pitch " << pitch);
        project_test::Camera c;
        c.pitch = pitch;
        c.yaw = -60;
        c.x = 0.1f;
        c.y = -0.1f;
        c.z = -0.2f;
        c.zoom = 2.6f;
        V = project_test::View(c);
        LoadCamera(V, P);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        SceneState();
        DrawBed();
        p->Render();
        const float floor_y = std::min(0.0f, LowestDrawnY(*p));
        auto full_volumes = [&] {
            for (const project::pObject& o : p->objects) {
                glPushMatrix();
                glMultMatrixf(ObjectTransform(o, 1.0f).m);
                loader->RenderShadow(o.model);
                glPopMatrix();
            }
        };
        LoadCamera(V, P);
        // Bounded by the depth alone, without knowing the floor.
        const float no_floor = -std::numeric_limits<float>::infinity();
        const ShadowBounds bounds = BoundShadowsByDepth(*p, nullptr, no_floor);
        ASSERT_TRUE(bounds.known);
        auto depth_bounded = [&] { RenderProjectShadows(*p, no_floor, &bounds); };
        const std::vector<uint8_t> full = ShadowStencil(V, full_volumes);
        const std::vector<uint8_t> clipped = ShadowStencil(V, [&] { RenderProjectShadows(*p, floor_y); });
        EXPECT_GT(NonZero(full), 500u);
        EXPECT_TRUE(full == clipped);
        EXPECT_TRUE(full == ShadowStencil(V, depth_bounded));
        // The volumes reach far below the bed: clipped to it they cover fewer pixels.
        LoadCamera(V, P);
        const size_t full_fragments = NonZero(CountFragments(full_volumes));
        LoadCamera(V, P);
        const size_t clipped_fragments = NonZero(CountFragments([&] { RenderProjectShadows(*p, floor_y); }));
        LoadCamera(V, P);
        const size_t bounded_fragments = NonZero(CountFragments(depth_bounded));
        EXPECT_LT(clipped_fragments, full_fragments);
        // The depth alone finds the bed: nothing is drawn below it.
        EXPECT_LE(bounded_fragments, clipped_fragments);
    }
}

}  // namespace
