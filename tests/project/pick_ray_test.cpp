// Picking what the user sees: the nearest surface under the cursor wins, whatever the list
// order; models of every size the import accepts can be clicked; and random cursor rays find
// the object and the hit that a double-precision test of every drawn triangle finds.
#include "project/pick_ray.h"
#include "tests/project/scene_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

using project_test::SceneGLTest;

// A cube with edges of `edge` file units centred on the origin, 12 triangles.
bool WriteCube(const std::string& path, double edge) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (f == nullptr) return false;
    const double h = edge / 2;
    for (int i = 0; i < 8; ++i) {
        std::fprintf(f, "v %.9g %.9g %.9g\n", (i & 1) ? h : -h, (i & 2) ? h : -h, (i & 4) ? h : -h);
    }
    static const int kFaces[12][3] = {{1, 3, 4}, {1, 4, 2}, {5, 6, 8}, {5, 8, 7}, {1, 2, 6}, {1, 6, 5},
                                      {3, 7, 8}, {3, 8, 4}, {1, 5, 7}, {1, 7, 3}, {2, 4, 8}, {2, 8, 6}};
    for (const auto& t : kFaces) std::fprintf(f, "f %d %d %d\n", t[0], t[1], t[2]);
    return std::fclose(f) == 0;
}

// A closed sphere of radius `r` file units: 2 * rings * segments triangles.
bool WriteSphere(const std::string& path, double r, int rings, int segments) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (f == nullptr) return false;
    const double pi = 3.14159265358979323846;
    for (int i = 0; i <= rings; ++i)
        for (int s = 0; s < segments; ++s) {
            const double th = pi * i / rings, ph = 2 * pi * s / segments;
            std::fprintf(f, "v %.9g %.9g %.9g\n", r * std::sin(th) * std::cos(ph), r * std::cos(th),
                         r * std::sin(th) * std::sin(ph));
        }
    for (int i = 0; i < rings; ++i)
        for (int s = 0; s < segments; ++s) {
            const int a = i * segments + s + 1, b = i * segments + (s + 1) % segments + 1;
            std::fprintf(f, "f %d %d %d\nf %d %d %d\n", a, b, b + segments, a, b + segments, a + segments);
        }
    return std::fclose(f) == 0;
}

// A bumpy open surface of n x n cells, `span` file units wide.
bool WriteTerrain(const std::string& path, double span, int n) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (f == nullptr) return false;
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i) {
            const double x = span * i / n, z = span * j / n;
            std::fprintf(f, "v %.9g %.9g %.9g\n", x, span * 0.15 * std::sin(i * 0.9) * std::cos(j * 0.7), z);
        }
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const int a = j * (n + 1) + i + 1, b = a + 1, c = a + n + 1, d = c + 1;
            std::fprintf(f, "f %d %d %d\nf %d %d %d\n", a, b, d, a, d, c);
        }
    return std::fclose(f) == 0;
}

struct PickWhatIsSeen : SceneGLTest {
    cMath::Matrix4x4 V;
    cMath::Matrix4x4 P = project_test::Projection();

    void Look(const project_test::Camera& camera) { V = project_test::View(camera); }

    // Object index under the scene point, committed as a click.
    int ClickAt(float x, float y, float z) {
        float cursor[2];
        EXPECT_TRUE(project_test::CursorOver(V, P, x, y, z, cursor)) << "point off screen";
        return p->SelectOBJ(&V, &P, cursor, true);
    }
    std::string Cube(double edge) {
        char name[64];
        std::snprintf(name, sizeof name, "/cube-%g.obj", edge);
        const std::string path = temp_dir + name;
        EXPECT_TRUE(WriteCube(path, edge));
        return path;
    }
    void Resize(int i, float x, float y, float z) {
        cMath::vector4 v(x, y, z, 0);
        p->SizeOBJ(i, &v);
    }
    void Place(int i, float x, float y, float z) {
        cMath::vector4 v(x, y, z, 0);
        p->PositionOBJ(i, &v);
    }
};

// A 10 mm cube inside a 60 x 40 x 60 mm box: the box's lid is what the user sees.
TEST_F(PickWhatIsSeen, ModelInsideAnotherLosesToTheSurfaceInFrontOfIt) {
    for (bool boxFirst : {true, false}) {
        p->Reset();
        const int box = boxFirst ? 0 : 1, cube = 1 - box;
        for (int i = 0; i < 2; ++i) ASSERT_TRUE(Import(Cube(10.0)));
        Resize(box, 1.2f, 0.8f, 1.2f);
        Resize(cube, 0.2f, 0.2f, 0.2f);
        Place(cube, 0.5f, 0.3f, 0.5f);  // centred in the box
        Look(project_test::CameraAbove(-0.7f, 0.0f, 1.2f, 3.0f));
        // Straight down on the middle, and from the side through a wall at the cube's height.
        EXPECT_EQ(ClickAt(-0.7f, 0.8202f, 1.2f), box) << "box first: " << boxFirst;
        project_test::Camera side = project_test::CameraAbove(-0.7f, 0.4f, 1.2f, 3.0f);
        side.pitch = 10;
        Look(side);
        EXPECT_EQ(ClickAt(-0.7f, 0.42f, 1.2f), box) << "box first: " << boxFirst;
        EXPECT_EQ(p->selected, box);
    }
}

// A 50 x 4 x 50 mm plate lying on an image: every click on the plate's top is the plate.
TEST_F(PickWhatIsSeen, PlateLyingOnAnImageIsPickedEverywhereOnItsTop) {
    for (bool imageFirst : {true, false}) {
        p->Reset();
        project::pObject image;
        image.type = 0;
        image.texture = 1;
        image.size = cMath::vector4(1.2f, 0.02f, 1.2f, 0);
        p->objects.push_back(image);
        ASSERT_TRUE(Import(Cube(3.0)));
        if (!imageFirst) std::swap(p->objects[0], p->objects[1]);
        const int plate = imageFirst ? 1 : 0;
        Resize(plate, 1.0f, 0.08f, 1.0f);  // x -1.3 .. -0.3, y 0.0201 .. 0.1001, z 0.8 .. 1.8
        project_test::Camera camera = project_test::CameraAbove(-0.8f, 0.0f, 1.3f, 2.0f);
        camera.pitch = 60;
        Look(camera);
        int misses = 0;
        for (int i = 1; i < 20; ++i) {
            for (int j = 1; j < 20; ++j) {
                if (ClickAt(-1.3f + 0.05f * i, 0.1002f, 0.8f + 0.05f * j) != plate) ++misses;
            }
        }
        EXPECT_EQ(misses, 0) << "image first: " << imageFirst;
    }
}

// Cubes of 1e-3 to 1e36 file units, each shown 40 mm wide, selected by a click on their middle.
TEST_F(PickWhatIsSeen, ModelsOfEveryScaleAreSelectedByAClickOnTheirMiddle) {
    Look(project_test::CameraAbove(-0.9f, 0.0f, 1.4f, 2.0f));
    for (double edge : {1e-3, 1e-2, 1.0, 1e3, 1e9, 1e15, 1e20, 1e30, 1e36}) {
        p->Reset();
        ASSERT_TRUE(Import(Cube(edge))) << edge;
        Resize(0, 0.8f, 0.8f, 0.8f);  // x -1.3 .. -0.5, y 0.0201 .. 0.8201, z 1.0 .. 1.8
        EXPECT_EQ(ClickAt(-0.9f, 0.8202f, 1.4f), 0) << "edge " << edge;
        EXPECT_EQ(p->selected, 0) << "edge " << edge;
        EXPECT_EQ(ClickAt(0.2f, 0.0f, 0.0f), -1) << "edge " << edge << ": the bed beside it";
    }
}

// ---- the double-precision reference: every triangle of every object, as drawn ----

struct ReferenceHit {
    int index = -1;
    double t = -1, second = -1;  // nearest hit, and the nearest hit of any other object
};

double ReferenceTriangle(const PickRay& r, const double* a, const double* b, const double* c) {
    double e1[3], e2[3], s[3];
    for (int k = 0; k < 3; ++k) {
        e1[k] = b[k] - a[k];
        e2[k] = c[k] - a[k];
        s[k] = r.origin[k] - a[k];
    }
    const double* d = r.direction;
    const double p[3] = {d[1] * e2[2] - d[2] * e2[1], d[2] * e2[0] - d[0] * e2[2], d[0] * e2[1] - d[1] * e2[0]};
    const double det = e1[0] * p[0] + e1[1] * p[1] + e1[2] * p[2];
    if (det == 0) return -1;
    const double u = (s[0] * p[0] + s[1] * p[1] + s[2] * p[2]) / det;
    const double q[3] = {s[1] * e1[2] - s[2] * e1[1], s[2] * e1[0] - s[0] * e1[2], s[0] * e1[1] - s[1] * e1[0]};
    const double v = (d[0] * q[0] + d[1] * q[1] + d[2] * q[2]) / det;
    if (u < 0 || v < 0 || u + v > 1) return -1;
    return (e2[0] * q[0] + e2[1] * q[1] + e2[2] * q[2]) / det;
}

ReferenceHit Reference(const std::vector<project::pObject>& objects, const PickRay& ray) {
    ReferenceHit best;
    for (size_t i = 0; i < objects.size(); ++i) {
        const project::pObject& o = objects[i];
        const cMath::Matrix4x4 m = ObjectTransform(o, 1.0f);  // the drawing transform
        auto scene = [&](const cMath::vector4& v, double* out) {
            for (int r = 0; r < 3; ++r) out[r] = double(m.m[r]) * v.x + double(m.m[4 + r]) * v.y + double(m.m[8 + r]) * v.z + m.m[12 + r];
        };
        double nearest = -1;
        for (const tiangle_face& f : o.model->triangles) {
            double a[3], b[3], c[3];
            scene(o.model->positions[f.pos0], a);
            scene(o.model->positions[f.pos1], b);
            scene(o.model->positions[f.pos2], c);
            const double t = ReferenceTriangle(ray, a, b, c);
            if (t >= 0 && t <= 1 && (nearest < 0 || t < nearest)) nearest = t;
        }
        if (nearest < 0) continue;
        if (best.index < 0 || nearest < best.t) {
            best.second = best.t;
            best.index = int(i);
            best.t = nearest;
        } else if (best.second < 0 || nearest < best.second) {
            best.second = nearest;
        }
    }
    return best;
}

TEST_F(PickWhatIsSeen, RandomCursorRaysFindWhatEveryTriangleTestedInDoublePrecisionFinds) {
    const std::string sphere = temp_dir + "/ref-sphere.obj", terrain = temp_dir + "/ref-terrain.obj";
    ASSERT_TRUE(WriteSphere(sphere, 7.0, 16, 32));
    ASSERT_TRUE(WriteTerrain(terrain, 3e30, 20));
    ASSERT_TRUE(Import(sphere));
    ASSERT_TRUE(Import(terrain));
    ASSERT_TRUE(Import(Cube(2e-3)));
    // Overlapping, turned and stretched: terrain under everything, the sphere half sunk in it,
    // the cube tilted and poking out of the sphere.
    Resize(0, 0.9f, 0.7f, 0.8f);
    Place(0, 0.4f, -0.1f, 0.6f);
    Resize(1, 2.2f, 0.4f, 2.6f);
    p->objects[1].rotate = cMath::vector4(0, 15, 0, 0);
    Resize(2, 0.5f, 0.5f, 0.5f);
    Place(2, 0.9f, 0.3f, 0.6f);
    p->objects[2].rotate = cMath::vector4(30, 40, 10, 0);
    project_test::Camera camera = project_test::CameraAbove(-0.3f, 0.2f, 0.8f, 2.4f);
    camera.pitch = 45;
    camera.yaw = 30;
    Look(camera);
    for (project::pObject& o : p->objects) PlaceObject(&o);

    // Cursors over the screen rectangle the three objects' boxes cover.
    float lo[2] = {1, 1}, hi[2] = {-1, -1};
    for (const project::pObject& o : p->objects) {
        const cMath::Matrix4x4 m = ObjectTransform(o, 1.0f);
        for (int c = 0; c < 8; ++c) {
            const cMath::vector4& b0 = o.model->bbox[0];
            const cMath::vector4& b1 = o.model->bbox[1];
            const float v[3] = {(c & 1) ? b1.x : b0.x, (c & 2) ? b1.y : b0.y, (c & 4) ? b1.z : b0.z};
            float w[3], vp[2] = {NAN, NAN};
            for (int r = 0; r < 3; ++r) w[r] = m.m[r] * v[0] + m.m[4 + r] * v[1] + m.m[8 + r] * v[2] + m.m[12 + r];
            project_test::ToViewport(V, P, w[0], w[1], w[2], &vp[0], &vp[1]);
            if (!std::isfinite(vp[0]) || !std::isfinite(vp[1])) continue;  // behind the eye
            for (int a = 0; a < 2; ++a) {
                lo[a] = std::max(-1.0f, std::min(lo[a], vp[a]));
                hi[a] = std::min(1.0f, std::max(hi[a], vp[a]));
            }
        }
    }
    ASSERT_LT(lo[0], hi[0]);
    ASSERT_LT(lo[1], hi[1]);
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> across(lo[0], hi[0]), down(lo[1], hi[1]);
    int hits = 0, mismatches = 0;
    for (int n = 0; n < 10000; ++n) {
        const float cursor[2] = {across(random), down(random)};
        PickRay ray;
        ASSERT_TRUE(CursorRay(V, P, cursor, &ray));
        const PickResult picked = PickNearest(p->objects, ray);
        const ReferenceHit want = Reference(p->objects, ray);
        if (want.index >= 0) ++hits;
        // Two objects whose hits lie within rounding of each other may be found either way.
        const bool tie = want.second >= 0 && want.second - want.t < 1e-6;
        const bool sameObject = picked.index == want.index || (tie && picked.index >= 0);
        const bool sameHit = want.index < 0 ? picked.index < 0 : std::fabs(picked.t - want.t) < 1e-6;
        if (!sameObject || !sameHit) {
            if (++mismatches <= 5) {
                ADD_FAILURE() << "cursor (" << cursor[0] << ", " << cursor[1] << "): picked " << picked.index
                              << " at t " << picked.t << ", every triangle gives " << want.index << " at t "
                              << want.t;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(hits, 3000) << "too few rays met anything to compare";
}

TEST_F(PickWhatIsSeen, CursorRayRunsFromTheNearPlaneToTheFarPlaneUnderTheCursor) {
    Look(project_test::TopCamera());
    const float cursor[2] = {0.25f, -0.5f};
    PickRay ray;
    ASSERT_TRUE(CursorRay(V, P, cursor, &ray));
    // Both ends lie under the cursor, at depths 0.01 and 1000 in front of the eye.
    for (double t : {0.0, 1.0}) {
        const float x = float(ray.origin[0] + t * ray.direction[0]);
        const float y = float(ray.origin[1] + t * ray.direction[1]);
        const float z = float(ray.origin[2] + t * ray.direction[2]);
        const double depth = -(double(V.m[2]) * x + double(V.m[6]) * y + double(V.m[10]) * z + V.m[14]);
        EXPECT_NEAR(depth, t == 0.0 ? 0.01 : 1000.0, t == 0.0 ? 1e-4 : 5.0);  // float matrices
    }
    const float mid[3] = {float(ray.origin[0] + 0.001 * ray.direction[0]),
                          float(ray.origin[1] + 0.001 * ray.direction[1]),
                          float(ray.origin[2] + 0.001 * ray.direction[2])};
    float vx, vy;
    ASSERT_TRUE(project_test::ToViewport(V, P, mid[0], mid[1], mid[2], &vx, &vy));
    EXPECT_NEAR(vx, 0.25f, 1e-4f);
    EXPECT_NEAR(vy, -0.5f, 1e-4f);
    cMath::Matrix4x4 singular(0.0f);
    EXPECT_FALSE(CursorRay(singular, P, cursor, &ray));
}

}  // namespace
