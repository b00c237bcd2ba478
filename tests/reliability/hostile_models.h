// Texts of hostile model files that are too large to commit, shared by the broken-file corpus
// and the memory-cap tests: models that name one material file thousands of times, models
// that switch materials at every triangle, plain large grids.
#pragma once

#include <cstddef>
#include <string>

namespace reliability {

// A flat grid of side x side squares, two triangles each (2 * side * side triangles), with
// positions and one normal. With `switching`, it names "two-colours.mtl" and switches
// between its two materials before every triangle.
std::string GridModel(int side, bool switching);
// The material file the switching grid names: "red" and "blue", no maps.
std::string TwoColourMaterials();
// Materials ("mat0", "mat1", ...) with every colour statement, about `bytes` long.
std::string MaterialsOfBytes(size_t bytes);
// A material file of comment lines only, about `bytes` long.
std::string CommentsOfBytes(size_t bytes);
// A one-triangle model whose first `times` lines are "mtllib NAME", then "usemtl mat0".
std::string ModelNamingMaterials(const std::string& name, int times);

}  // namespace reliability
