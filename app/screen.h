// The fixed 1024 x 768 drawing space and the two screen-quad primitives that all 2D
// drawing goes through (text, boxes, the loading screen, the message log).
// The primitives draw with the bound texture and current colour and set no other state.
#pragma once

extern float resX;  // width of the drawing space in pixels (1024)
extern float resY;  // height of the drawing space in pixels (768)

// One textured quad over the drawing-space rectangle with lower-left corner (x, y) and
// size (w, h), showing the whole texture with its first row at the top edge; depth 0.
void DrawOpenGLBox(float x, float y, float w, float h);

// One textured quad from (x, y) with size (w, h) showing cell (column, row) of a
// columns x rows grid laid over the bound texture; depth 0.9. A negative h extends
// the quad downwards so that the cell's top edge lies at y.
void DrawOpenGLBoxS(float x, float y, float w, float h, float column, float row, float columns,
                    float rows);
