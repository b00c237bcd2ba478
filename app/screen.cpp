#include "app/screen.h"

#include <GL/gl.h>

float resX = 1024.0f;
float resY = 768.0f;

namespace {

float NdcX(float x) { return 2.0f * x / resX - 1.0f; }
float NdcY(float y) { return 2.0f * y / resY - 1.0f; }

}  // namespace

void DrawOpenGLBox(float x, float y, float w, float h) {
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(NdcX(x), NdcY(y), 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(NdcX(x + w), NdcY(y), 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(NdcX(x + w), NdcY(y + h), 0.0f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(NdcX(x), NdcY(y + h), 0.0f);
    glEnd();
}

void DrawOpenGLBoxS(float x, float y, float w, float h, float column, float row, float columns,
                    float rows) {
    const float s0 = column / columns;
    const float s1 = (column + 1.0f) / columns;
    const float t0 = row / rows;
    const float t1 = (row + 1.0f) / rows;
    glBegin(GL_QUADS);
    glTexCoord2f(s0, t0);
    glVertex3f(NdcX(x), NdcY(y), 0.9f);
    glTexCoord2f(s1, t0);
    glVertex3f(NdcX(x + w), NdcY(y), 0.9f);
    glTexCoord2f(s1, t1);
    glVertex3f(NdcX(x + w), NdcY(y + h), 0.9f);
    glTexCoord2f(s0, t1);
    glVertex3f(NdcX(x), NdcY(y + h), 0.9f);
    glEnd();
}
