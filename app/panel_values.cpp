#include "app/panel_values.h"

#include <cmath>
#include <cstdio>

#include <cstdlib>

namespace {

// The decimal number a float step stands for (0.02f is 0.02, not 0.0199999995...): the grid
// is made of whole multiples of it.
double DecimalOf(float step) {
    char text[32];
    std::snprintf(text, sizeof text, "%.7g", double(step));
    return std::strtod(text, nullptr);
}

// Whole steps stay exact in double far beyond any value a float panel holds.
bool OnGrid(float value, double step, double* steps) {
    const double n = std::nearbyint(double(value) / step);
    if (!std::isfinite(n)) return false;
    *steps = n;
    return float(n * step) == value;
}

}  // namespace

float StepPanelValue(float value, float step, int direction) {
    const double grid = DecimalOf(step);
    double n = 0.0;
    if (grid != 0.0 && OnGrid(value, grid, &n)) return float((n + direction) * grid);
    return value + float(direction) * step;
}

std::string FormatPanelNumber(float value, float unitOfOne) {
    const double unit = DecimalOf(unitOfOne);
    const double shown = double(value) / unit;
    char text[64];
    for (int places = 0; places <= 6; ++places) {
        const double scale = std::pow(10.0, places);
        double rounded = std::nearbyint(shown * scale) / scale;
        if (rounded == 0.0) rounded = 0.0;  // no "-0.000000"
        if (float(rounded * unit) == value) {
            std::snprintf(text, sizeof text, "%f", rounded);
            return text;
        }
    }
    std::snprintf(text, sizeof text, "%f", shown);
    return text;
}

float PanelTextCellWidth(int advance, float cell, float limit) {
    // The last glyph's ink reaches about a quarter cell past the advance.
    const float extent = float(advance) + cell / 4.0f;
    const float room = limit - 2.0f;
    if (extent <= room || extent <= 0.0f) return cell;
    return cell * room / extent;
}

std::string PanelRowText(int mode, int axis, const float* value) {
    static const char kAxis[3] = {'X', 'Y', 'Z'};
    const bool degrees = mode == 1;
    const char name = kAxis[axis >= 0 && axis < 3 ? axis : 0];
    char text[96];
    if (!value) {
        std::snprintf(text, sizeof text, "%c: 0.0%s", name, degrees ? "deg" : "mm");
    } else {
        const std::string number = FormatPanelNumber(*value, degrees ? 1.0f : 0.02f);
        std::snprintf(text, sizeof text, "%c: %s%s", name, number.c_str(), degrees ? "deg" : "mm");
    }
    return text;
}
