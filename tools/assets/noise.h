// Smooth value noise for the procedural textures (sky, desk). Pure functions.
#pragma once

namespace morva_assets {

// Value noise in [0, 1], smooth between integer lattice points.
double Noise(double x, double y, double z);
// Sum of `octaves` noise layers, each at double frequency and half amplitude; [0, 1].
double Fbm(double x, double y, double z, int octaves);
// Hermite step of t in [0, 1].
double Smooth(double t);
double SmoothStep(double a, double b, double x);

}  // namespace morva_assets
