// Scripted runner commands on the picture: screenshots of the client area and checks of
// a pixel, a region's mean colour, its change since an earlier shot, and its variety.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "app/replay_context.h"

namespace {

std::string Fmt(double v) { return FormatReplayNumber(v); }

void MeanColour(const morva::ClientImage& img, int x, int y, int w, int h, double out[3]) {
    double sum[3] = {0, 0, 0};
    for (int j = y; j < y + h; ++j) {
        for (int i = x; i < x + w; ++i) {
            const uint8_t* p = &img.rgba[(size_t(j) * img.width + i) * 4];
            for (int k = 0; k < 3; ++k) sum[k] += p[k];
        }
    }
    for (int k = 0; k < 3; ++k) out[k] = sum[k] / (double(w) * h);
}

bool Shot(ReplayContext& x, const ReplayCommand& c) {
    morva::ClientImage img;
    if (!x.ClientImage(&img)) return false;
    const std::string path = x.Resolve(c.args[0]);
    if (!WriteClientPng(path, img)) return x.Fail("shot: cannot write " + path);
    x.run.shots[path] = img;
    return true;
}

bool ExpectPixel(ReplayContext& x, const ReplayCommand& c) {
    long px = 0, py = 0;
    double rgb[3], tol = 8;
    if (!x.Integer(c.args[0], &px) || !x.Integer(c.args[1], &py)) return false;
    for (int i = 0; i < 3; ++i) {
        if (!x.Number(c.args[2 + i], &rgb[i])) return false;
    }
    if (c.args.size() > 5 && !x.Number(c.args[5], &tol)) return false;
    if (px < 0 || py < 0 || px >= morva::kClientWidth || py >= morva::kClientHeight) {
        return x.Fail("expect-pixel: point outside the client area");
    }
    morva::ClientImage img;
    if (!x.ClientImage(&img)) return false;
    const uint8_t* p = &img.rgba[(size_t(py) * img.width + px) * 4];
    for (int i = 0; i < 3; ++i) {
        if (std::fabs(p[i] - rgb[i]) > tol) {
            return x.Fail("expect-pixel " + std::to_string(px) + " " + std::to_string(py) + ": expected (" +
                          Fmt(rgb[0]) + ", " + Fmt(rgb[1]) + ", " + Fmt(rgb[2]) + "), found (" +
                          std::to_string(p[0]) + ", " + std::to_string(p[1]) + ", " +
                          std::to_string(p[2]) + ")");
        }
    }
    return true;
}

bool ExpectMean(ReplayContext& x, const ReplayCommand& c) {
    int rx, ry, w, h;
    double rgb[3], tol = 12;
    if (!x.Region(c.args, 0, &rx, &ry, &w, &h)) return false;
    for (int i = 0; i < 3; ++i) {
        if (!x.Number(c.args[4 + i], &rgb[i])) return false;
    }
    if (c.args.size() > 7 && !x.Number(c.args[7], &tol)) return false;
    morva::ClientImage img;
    if (!x.ClientImage(&img)) return false;
    double mean[3];
    MeanColour(img, rx, ry, w, h, mean);
    for (int i = 0; i < 3; ++i) {
        if (std::fabs(mean[i] - rgb[i]) > tol) {
            return x.Fail("expect-mean: expected about (" + Fmt(rgb[0]) + ", " + Fmt(rgb[1]) + ", " +
                          Fmt(rgb[2]) + "), found (" + Fmt(mean[0]) + ", " + Fmt(mean[1]) + ", " +
                          Fmt(mean[2]) + ")");
        }
    }
    return true;
}

bool ExpectChange(ReplayContext& x, const ReplayCommand& c) {
    auto it = x.run.shots.find(x.Resolve(c.args[0]));
    if (it == x.run.shots.end()) return x.Fail("expect-change: no earlier shot '" + c.args[0] + "'");
    int rx, ry, w, h;
    double min_diff = 4;
    if (!x.Region(c.args, 1, &rx, &ry, &w, &h)) return false;
    if (c.args.size() > 5 && !x.Number(c.args[5], &min_diff)) return false;
    morva::ClientImage now;
    if (!x.ClientImage(&now)) return false;
    const morva::ClientImage& before = it->second;
    double sum = 0;
    for (int j = ry; j < ry + h; ++j) {
        for (int i = rx; i < rx + w; ++i) {
            const size_t o = (size_t(j) * now.width + i) * 4;
            for (int k = 0; k < 3; ++k) sum += std::fabs(double(now.rgba[o + k]) - before.rgba[o + k]);
        }
    }
    const double diff = sum / (3.0 * w * h);
    if (diff < min_diff) {
        return x.Fail("expect-change: the region changed by " + Fmt(diff) +
                      " on average, expected at least " + Fmt(min_diff));
    }
    return true;
}

bool ExpectVaried(ReplayContext& x, const ReplayCommand& c) {
    int rx, ry, w, h;
    double min_spread = 0;
    if (!x.Region(c.args, 0, &rx, &ry, &w, &h) || !x.Number(c.args[4], &min_spread)) return false;
    morva::ClientImage img;
    if (!x.ClientImage(&img)) return false;
    double sum = 0, sum2 = 0;
    for (int j = ry; j < ry + h; ++j) {
        for (int i = rx; i < rx + w; ++i) {
            const uint8_t* p = &img.rgba[(size_t(j) * img.width + i) * 4];
            const double grey = 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
            sum += grey;
            sum2 += grey * grey;
        }
    }
    const double n = double(w) * h;
    const double mean = sum / n;
    const double spread = std::sqrt(std::max(0.0, sum2 / n - mean * mean));
    if (spread < min_spread) {
        return x.Fail("expect-varied: the region's grey levels spread by " + Fmt(spread) +
                      ", expected at least " + Fmt(min_spread) + " (is anything drawn there?)");
    }
    return true;
}

const ReplayVerb kVerbs[] = {
    {"shot", 1, 1, Shot},
    {"expect-pixel", 5, 6, ExpectPixel},
    {"expect-mean", 7, 8, ExpectMean},
    {"expect-change", 5, 6, ExpectChange},
    {"expect-varied", 5, 5, ExpectVaried},
};

}  // namespace

const ReplayFamily kReplayPictureCommands = {kVerbs, sizeof kVerbs / sizeof kVerbs[0]};
