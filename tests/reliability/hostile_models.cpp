// Generated hostile model texts.
#include "tests/reliability/hostile_models.h"

namespace reliability {

std::string GridModel(int side, bool switching) {
    std::string text;
    text.reserve(size_t(side) * size_t(side) * (switching ? 64 : 40));
    if (switching) text += "mtllib two-colours.mtl\n";
    for (int j = 0; j <= side; ++j) {
        for (int i = 0; i <= side; ++i) {
            text += "v " + std::to_string(i) + " " + std::to_string((i * j) % 7) + " " + std::to_string(j) + "\n";
        }
    }
    text += "vn 0 1 0\n";
    int k = 0;
    for (int j = 0; j < side; ++j) {
        for (int i = 0; i < side; ++i) {
            const int a = j * (side + 1) + i + 1, b = a + 1, c = a + side + 2, d = a + side + 1;
            const int corners[2][3] = {{a, b, c}, {a, c, d}};
            for (const auto& t : corners) {
                if (switching) text += (k++ % 2) ? "usemtl red\n" : "usemtl blue\n";
                text += "f " + std::to_string(t[0]) + "//1 " + std::to_string(t[1]) + "//1 " +
                        std::to_string(t[2]) + "//1\n";
            }
        }
    }
    return text;
}

std::string TwoColourMaterials() { return "newmtl red\nKd 1 0 0\nnewmtl blue\nKd 0 0 1\n"; }

std::string MaterialsOfBytes(size_t bytes) {
    std::string text;
    for (int i = 0; text.size() < bytes; ++i) {
        text += "newmtl mat" + std::to_string(i) +
                "\nKd 0.5 0.5 0.5\nKa 0.1 0.1 0.1\nKs 1 1 1\nKe 0 0 0\nNs 10\nNi 1.5\nd 1\nillum 2\n";
    }
    return text;
}

std::string CommentsOfBytes(size_t bytes) {
    const std::string line = "# " + std::string(61, 'x') + "\n";
    std::string text;
    text.reserve(bytes + line.size());
    while (text.size() < bytes) text += line;
    return text;
}

std::string ModelNamingMaterials(const std::string& name, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += "mtllib " + name + "\n";
    return text + "v 0 0 0\nv 1 0 0\nv 0 0 1\nusemtl mat0\nf 1 2 3\n";
}

}  // namespace reliability
