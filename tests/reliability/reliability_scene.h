// A scene for the reliability tests: the shared services of the project tests' fixture, a
// project holding a model and an image with the model selected, and a snapshot of
// everything a failed command must leave as it was.
#pragma once

#include "tests/project/scene_fixture.h"

#include <cstring>
#include <string>
#include <vector>

namespace reliability {

// What the user has: every field of every object, the selection and the texture table.
struct SceneSnapshot {
    struct Object {
        int32_t type;
        const void* model;
        int32_t texture;
        std::string name;
        unsigned char vectors[5 * sizeof(cMath::vector4)];
    };
    std::vector<Object> objects;
    int selected = -1;
    size_t texture_entries = 0;

    bool operator==(const SceneSnapshot& o) const {
        if (objects.size() != o.objects.size() || selected != o.selected || texture_entries != o.texture_entries) {
            return false;
        }
        for (size_t i = 0; i < objects.size(); ++i) {
            const Object& a = objects[i];
            const Object& b = o.objects[i];
            if (a.type != b.type || a.model != b.model || a.texture != b.texture || a.name != b.name ||
                std::memcmp(a.vectors, b.vectors, sizeof a.vectors) != 0) {
                return false;
            }
        }
        return true;
    }
};

inline SceneSnapshot Snapshot(const project& p, const Ctexture& textures) {
    SceneSnapshot s;
    for (const project::pObject& o : p.objects) {
        SceneSnapshot::Object c{o.type, o.model, o.texture, o.name, {}};
        const cMath::vector4* v[5] = {&o.position, &o.size, &o.move, &o.scale, &o.rotate};
        for (int i = 0; i < 5; ++i) std::memcpy(c.vectors + i * sizeof(cMath::vector4), v[i], sizeof(cMath::vector4));
        s.objects.push_back(c);
    }
    s.selected = p.selected;
    s.texture_entries = textures.texture_ids.size();
    return s;
}

class ReliabilityScene : public project_test::SceneGLTest {
protected:
    static std::string Good(const std::string& name) { return std::string(MORVA_TEST_DATA_DIR) + "/good/" + name; }

    // A model and an image, moved away from their places, the model selected.
    void BuildUserScene() {
        ASSERT_TRUE(Import(Good("cube.obj")));
        ASSERT_TRUE(ImportPicture(Good("relief.png")));
        cMath::vector4 moved(0.5f, 0.1f, -0.3f, 0.0f);
        p->PositionOBJ(0, &moved);
        cMath::vector4 turned(0.0f, 30.0f, 0.0f, 0.0f);
        p->RotateOBJ(1, &turned);
        p->selected = 0;
    }

    SceneSnapshot Snap() const { return Snapshot(*p, *textures); }

    // One picking pass over the scene from above, as the frame runs it; the index found.
    int PickFromAbove(float cx, float cy) {
        const cMath::Matrix4x4 view = project_test::View(project_test::CameraAbove(0, 0, 0, 3));
        const cMath::Matrix4x4 projection = project_test::Projection();
        cMath::Matrix4x4 v = view, pr = projection;
        float cursor[2] = {cx, cy};
        return p->SelectOBJ(&v, &pr, cursor, false);
    }
};

}  // namespace reliability
