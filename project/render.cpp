#include "project/project.h"

#include "model/cloadobj.h"
#include "project/shadow_scissor.h"
#include "render/cshader.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr float kHoverHalo = 1.05f;
constexpr float kSelectHalo = 1.025f;
// Relief layers stand 0.0005 scene units apart.
constexpr float kLayerSpacing = 0.0005f;
// A relief never gets more layers than this, whatever height a project file claims
// (the work area's full height needs 1 600).
constexpr float kMaxLayers = 16000.0f;

void ApplyDrawingTransform(const project::pObject& o, float halo) {
    glTranslatef(o.move.x + o.position.x, o.move.y + o.position.y, o.move.z - o.position.z);
    glScalef(o.scale.x * halo, o.scale.y * halo, o.scale.z * halo);
    glRotatef(o.rotate.x, 1.0f, 0.0f, 0.0f);
    glRotatef(o.rotate.y, 0.0f, 1.0f, 0.0f);
    glRotatef(o.rotate.z, 0.0f, 0.0f, 1.0f);
}

// The drawing transform of a model's rim: the model enlarged by `halo` about the middle of
// its box, so the rim shows evenly on every side wherever the file put its origin.
void ApplyRimTransform(const project::pObject& o, float halo) {
    ApplyDrawingTransform(o, 1.0f);
    const cMath::vector4& lo = o.model->bbox[0];
    const cMath::vector4& hi = o.model->bbox[1];
    const float c[3] = {lo.x / 2 + hi.x / 2, lo.y / 2 + hi.y / 2, lo.z / 2 + hi.z / 2};
    glTranslatef(c[0], c[1], c[2]);
    glScalef(halo, halo, halo);
    glTranslatef(-c[0], -c[1], -c[2]);
}

// The image square at height y of the object's own coordinates; the first texture
// coordinate runs along -z, the second along +x.
void ImageQuad(float y) {
    glBegin(GL_QUADS);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(-1.0f, y, -1.0f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-1.0f, y, 1.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(1.0f, y, 1.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(1.0f, y, -1.0f);
    glEnd();
}

// Number of relief layers for a height: 0 for a height that is not positive or NaN.
float LayerCount(float height) {
    const float n = height / kLayerSpacing;
    if (!(n > 0.0f)) return 0.0f;
    return n < kMaxLayers ? n : kMaxLayers;
}

// The closed box hanging below an image's base square, the image's shadow volume.
void ImageShadowBox() {
    static const float kBox[24][3] = {
        {-1, -0.001f, -1}, {-1, -0.001f, 1}, {1, -0.001f, 1},   {1, -0.001f, -1},   // top
        {1, -10, -1},      {-1, -10, -1},    {-1, -0.001f, -1}, {1, -0.001f, -1},   // z = -1
        {-1, -10, -1},     {-1, -10, 1},     {-1, -0.001f, 1},  {-1, -0.001f, -1},  // x = -1
        {-1, -10, 1},      {1, -10, 1},      {1, -0.001f, 1},   {-1, -0.001f, 1},   // z = 1
        {1, -10, 1},       {1, -10, -1},     {1, -0.001f, -1},  {1, -0.001f, 1},    // x = 1
        {1, -10, -1},      {1, -10, 1},      {-1, -10, 1},      {-1, -10, -1},      // bottom
    };
    glBegin(GL_QUADS);
    for (const auto& v : kBox) glVertex3f(v[0], v[1], v[2]);
    glEnd();
}

// A model drawn enlarged in a flat colour without writing depth; the model drawn next
// covers its middle and leaves a rim. Texturing is off for the rim so that no texture
// left bound by earlier drawing tints it, and is restored afterwards.
void DrawModelHalo(cloadobj* loader, const project::pObject& o, float r, float g, float b, float halo) {
    const GLboolean textured = glIsEnabled(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_2D);
    glColor3f(r, g, b);
    glPushMatrix();
    ApplyRimTransform(o, halo);
    glDepthMask(GL_FALSE);
    loader->RenderGlow(o.model);
    glDepthMask(GL_TRUE);
    glPopMatrix();
    if (textured) glEnable(GL_TEXTURE_2D);
}

// The image's base square enlarged in a flat colour without writing depth.
void DrawImageHalo(const project::pObject& o, float r, float g, float b, float halo) {
    glColor3f(r, g, b);
    glPushMatrix();
    ApplyDrawingTransform(o, halo);
    glDepthMask(GL_FALSE);
    glDisable(GL_TEXTURE_2D);
    ImageQuad(0.0f);
    glDepthMask(GL_TRUE);
    glPopMatrix();
}

bool CastsShadow(const project::pObject& o) { return o.rotate.x == 0.0f && o.rotate.z == 0.0f; }

}  // namespace

void project::Render() {
    cshader* shaders = loader != nullptr ? loader->shaders : nullptr;
    for (size_t idx = 0; idx < objects.size(); ++idx) {
        const pObject& o = objects[idx];
        const int i = int(idx);
        if (o.type == 1) {
            if (!IsUsableModel(o)) continue;
            if (i == hovered) DrawModelHalo(loader, o, 0.0f, 0.5f, 0.0f, kHoverHalo);
            if (i == selected) DrawModelHalo(loader, o, 0.5f, 0.0f, 0.0f, kSelectHalo);
            glPushMatrix();
            ApplyDrawingTransform(o, 1.0f);
            loader->Render(o.model);
            glPopMatrix();
        } else if (o.type == 0) {
            if (i == hovered) DrawImageHalo(o, 0.0f, 0.5f, 0.0f, kHoverHalo);
            if (i == selected) DrawImageHalo(o, 0.5f, 0.0f, 0.0f, kSelectHalo);
            glPushMatrix();
            ApplyDrawingTransform(o, 1.0f);
            glColor3f(1.0f, 1.0f, 1.0f);
            glEnable(GL_TEXTURE_2D);
            if (shaders != nullptr) shaders->UseShader(image_shader);
            // A texture that failed to load is drawn with the default texture.
            glBindTexture(GL_TEXTURE_2D, o.texture >= 0 ? GLuint(o.texture) : 0u);
            char height_name[] = "Height";
            const float n = LayerCount(o.size.y);
            for (int k = 0; float(k) < n; ++k) {
                float h = float(k) / n;
                if (shaders != nullptr) shaders->SetUniformf(image_shader, height_name, &h, 1u);
                ImageQuad(h / 10.0f);
            }
            if (shaders != nullptr) shaders->DisableShader();
            glPopMatrix();
        }
    }
}

namespace {

// The matrices and viewport the shadow volumes are drawn with, and the scissor state to
// give back afterwards.
struct ShadowView {
    cMath::Matrix4x4 view, projection;
    int viewport[4] = {0, 0, 0, 0};
    GLboolean scissor_was_on = GL_FALSE;
    int scissor_box[4] = {0, 0, 0, 0};

    ShadowView() {
        glGetFloatv(GL_MODELVIEW_MATRIX, view.m);
        glGetFloatv(GL_PROJECTION_MATRIX, projection.m);
        glGetIntegerv(GL_VIEWPORT, viewport);
        scissor_was_on = glIsEnabled(GL_SCISSOR_TEST);
        glGetIntegerv(GL_SCISSOR_BOX, scissor_box);
    }
    ~ShadowView() {
        glScissor(scissor_box[0], scissor_box[1], scissor_box[2], scissor_box[3]);
        if (scissor_was_on) {
            glEnable(GL_SCISSOR_TEST);
        } else {
            glDisable(GL_SCISSOR_TEST);
        }
    }
    ShadowView(const ShadowView&) = delete;
    ShadowView& operator=(const ShadowView&) = delete;

    // Sets the scissor for the volume of the box lo..hi (dropped by `drop`) placed by
    // `object`; false when the volume changes nothing and is to be skipped.
    // `bound`: the rectangle read from the depth buffer (null when unknown).
    bool Clip(const cMath::Matrix4x4& object, const cMath::vector4& lo, const cMath::vector4& hi, float drop,
              float floor_y, const ShadowRect* bound) const {
        if (bound != nullptr && (bound->width <= 0 || bound->height <= 0)) return false;
        ShadowRect rect;
        ShadowReach reach = ShadowVolumeReach(object, view, projection, viewport, lo, hi, drop, floor_y, rect);
        if (reach == ShadowReach::kEverywhere && bound != nullptr) {
            rect = *bound;
            reach = ShadowReach::kRectangle;
        }
        switch (reach) {
        case ShadowReach::kNothing:
            return false;
        case ShadowReach::kRectangle: {
            // Intersected with the depth's rectangle and a scissor box the caller had set.
            int x0 = rect.x, y0 = rect.y, x1 = rect.x + rect.width, y1 = rect.y + rect.height;
            if (bound != nullptr) {
                x0 = std::max(x0, bound->x);
                y0 = std::max(y0, bound->y);
                x1 = std::min(x1, bound->x + bound->width);
                y1 = std::min(y1, bound->y + bound->height);
                if (x1 <= x0 || y1 <= y0) return false;
            }
            if (scissor_was_on) {
                x0 = std::max(x0, scissor_box[0]);
                y0 = std::max(y0, scissor_box[1]);
                x1 = std::min(x1, scissor_box[0] + scissor_box[2]);
                y1 = std::min(y1, scissor_box[1] + scissor_box[3]);
                if (x1 <= x0 || y1 <= y0) return false;
            }
            glEnable(GL_SCISSOR_TEST);
            glScissor(x0, y0, x1 - x0, y1 - y0);
            return true;
        }
        case ShadowReach::kEverywhere:
            break;
        }
        glScissor(scissor_box[0], scissor_box[1], scissor_box[2], scissor_box[3]);
        if (scissor_was_on) {
            glEnable(GL_SCISSOR_TEST);
        } else {
            glDisable(GL_SCISSOR_TEST);
        }
        return true;
    }
};

// The image's shadow box (see ImageShadowBox) and the box its relief layers fill.
const cMath::vector4 kImageShadowLo(-1.0f, -10.0f, -1.0f, 0.0f), kImageShadowHi(1.0f, -0.001f, 1.0f, 0.0f);
const cMath::vector4 kImageLo(-1.0f, 0.0f, -1.0f, 0.0f), kImageHi(1.0f, 0.1f, 1.0f, 0.0f);

}  // namespace

namespace {

// The depth's rectangle for object `i`, or null when there is none to go by.
const ShadowRect* ObjectBound(const ShadowBounds* bounds, size_t i) {
    if (bounds == nullptr || !bounds->known || i >= bounds->objects.size()) return nullptr;
    return &bounds->objects[i];
}

const ShadowRect* MachineBound(const ShadowBounds* bounds) {
    return bounds != nullptr && bounds->known ? &bounds->machine : nullptr;
}

// The world box of each volume the frame draws (models, images, then the machine); a
// volume that is not drawn gets an empty box far away.
std::vector<WorldBox> VolumeBoxes(const project& scene, const cloadobj_conteiner* machine, float floor_y) {
    WorldBox none;
    none.lo[0] = none.lo[1] = none.lo[2] = std::numeric_limits<float>::infinity();
    none.hi[0] = none.hi[1] = none.hi[2] = -std::numeric_limits<float>::infinity();
    std::vector<WorldBox> boxes(scene.objects.size() + 1, none);
    for (size_t i = 0; i < scene.objects.size(); ++i) {
        const project::pObject& o = scene.objects[i];
        WorldBox box;
        bool drawn = false;
        if (o.type == 1 && IsUsableModel(o) && CastsShadow(o)) {
            drawn = ShadowVolumeWorldBox(ObjectTransform(o, 1.0f), o.model->bbox[0], o.model->bbox[1],
                                         kShadowVolumeDepth, floor_y, box);
        } else if (o.type == 0 && CastsShadow(o)) {
            drawn = ShadowVolumeWorldBox(ObjectTransform(o, 1.0f), kImageShadowLo, kImageShadowHi, 0.0f, floor_y, box);
        }
        if (drawn) boxes[i] = box;
    }
    WorldBox box;
    if (machine != nullptr &&
        ShadowVolumeWorldBox(cMath::Matrix4x4(), machine->bbox[0], machine->bbox[1], kShadowVolumeDepth, floor_y, box)) {
        boxes.back() = box;
    }
    return boxes;
}

}  // namespace

ShadowBounds BoundShadowsByDepth(const project& scene, const cloadobj_conteiner* machine, float floor_y) {
    ShadowBounds bounds;
    DepthPicture picture;
    glGetFloatv(GL_MODELVIEW_MATRIX, picture.view.m);
    glGetFloatv(GL_PROJECTION_MATRIX, picture.projection.m);
    glGetIntegerv(GL_VIEWPORT, picture.viewport);
    GLint bits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &bits);
    if (bits <= 0 || picture.viewport[2] <= 0 || picture.viewport[3] <= 0) return bounds;
    picture.depth_bits = bits;
    picture.depth.resize(size_t(picture.viewport[2]) * size_t(picture.viewport[3]));
    while (glGetError() != GL_NO_ERROR) {
    }
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    glReadPixels(picture.viewport[0], picture.viewport[1], picture.viewport[2], picture.viewport[3],
                 GL_DEPTH_COMPONENT, GL_FLOAT, picture.depth.data());

    glPopClientAttrib();
    if (glGetError() != GL_NO_ERROR) return bounds;
    std::vector<ShadowRect> rects = PixelsInsideBoxes(picture, VolumeBoxes(scene, machine, floor_y));

    bounds.machine = rects.back();
    rects.pop_back();
    bounds.objects = std::move(rects);
    bounds.known = true;
    return bounds;
}

void RenderProjectShadows(project& scene, float floor_y, const ShadowBounds* bounds) {
    const ShadowView view;
    for (size_t i = 0; i < scene.objects.size(); ++i) {
        const project::pObject& o = scene.objects[i];
        const ShadowRect* bound = ObjectBound(bounds, i);
        if (o.type == 1) {
            if (!IsUsableModel(o) || !CastsShadow(o)) continue;
            if (!view.Clip(ObjectTransform(o, 1.0f), o.model->bbox[0], o.model->bbox[1], kShadowVolumeDepth, floor_y,
                           bound)) {
                continue;
            }
            glPushMatrix();
            ApplyDrawingTransform(o, 1.0f);
            scene.loader->RenderShadow(o.model);
            glPopMatrix();
        } else if (o.type == 0) {
            if (!CastsShadow(o)) continue;
            if (!view.Clip(ObjectTransform(o, 1.0f), kImageShadowLo, kImageShadowHi, 0.0f, floor_y, bound)) continue;
            glPushMatrix();
            ApplyDrawingTransform(o, 1.0f);
            ImageShadowBox();
            glPopMatrix();
        }
    }
}

void RenderModelShadow(cloadobj& loader, cloadobj_conteiner* model, float floor_y, const ShadowBounds* bounds) {
    if (model == nullptr) return;
    const ShadowView view;
    if (view.Clip(cMath::Matrix4x4(), model->bbox[0], model->bbox[1], kShadowVolumeDepth, floor_y,
                  MachineBound(bounds))) {
        loader.RenderShadow(model);
    }
}

float LowestDrawnY(const project& scene) {
    float lowest = std::numeric_limits<float>::infinity();
    for (const project::pObject& o : scene.objects) {
        if (o.type == 1 && IsUsableModel(o)) {
            lowest = std::min(lowest, LowestWorldY(ObjectTransform(o, 1.0f), o.model->bbox[0], o.model->bbox[1]));
        } else if (o.type == 0) {
            lowest = std::min(lowest, LowestWorldY(ObjectTransform(o, 1.0f), kImageLo, kImageHi));
        }
    }
    return lowest;
}

void project::RenderShadow() { RenderProjectShadows(*this, -std::numeric_limits<float>::infinity()); }
