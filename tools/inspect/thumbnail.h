// Thumbnails for file managers: renders a project file (or one OBJ or STL model, placed as an
// import places it) headlessly, the way the editor shows it (sky, machine with its work area,
// the objects and their shadows; no menus or panels), seen from above the work area, and
// writes a square PNG. Runs the editor on the headless window layer from the assets folder;
// writes nothing but the picture.
#pragma once

#include <string>

// Renders `input` into a `size` x `size` PNG at `output`. `assets`: the folder the editor
// runs from. Returns the exit status: 0 written, 1 the input could not be read or the
// picture not written, 2 no GL context or no assets folder.
int WriteThumbnail(const std::string& assets, const std::string& input, const std::string& output, int size);
