#include "tools/assets/noise.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace morva_assets {

namespace {

double Hash(int x, int y, int z) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + uint32_t(z) * 2147483647u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return double(h & 0xffffff) / double(0xffffff);
}

}  // namespace

double Smooth(double t) { return t * t * (3 - 2 * t); }

double SmoothStep(double a, double b, double x) { return Smooth(std::clamp((x - a) / (b - a), 0.0, 1.0)); }

double Noise(double x, double y, double z) {
    const int ix = int(std::floor(x)), iy = int(std::floor(y)), iz = int(std::floor(z));
    const double fx = Smooth(x - ix), fy = Smooth(y - iy), fz = Smooth(z - iz);
    double v = 0;
    for (int c = 0; c < 8; ++c) {
        const int dx = c & 1, dy = (c >> 1) & 1, dz = (c >> 2) & 1;
        const double w = (dx ? fx : 1 - fx) * (dy ? fy : 1 - fy) * (dz ? fz : 1 - fz);
        v += w * Hash(ix + dx, iy + dy, iz + dz);
    }
    return v;
}

double Fbm(double x, double y, double z, int octaves) {
    double sum = 0, amp = 0.5, norm = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += amp * Noise(x, y, z);
        norm += amp;
        x *= 2.03;
        y *= 2.03;
        z *= 2.03;
        amp *= 0.5;
    }
    return sum / norm;
}

}  // namespace morva_assets
