// Reading outcomes.txt and writing the generated members of the broken-file corpus.
#include "tests/reliability/broken_corpus.h"

#include "tests/reliability/hostile_models.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace reliability {

namespace {

std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return std::string();
    const size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

bool ParseDetails(const std::string& text, BrokenFile* f) {
    std::istringstream words(text);
    std::string word;
    while (words >> word) {
        if (word == "generated") {
            f->generated = true;
            continue;
        }
        const size_t eq = word.find('=');
        if (eq == std::string::npos || eq == 0) return false;
        try {
            f->details[word.substr(0, eq)] = std::stol(word.substr(eq + 1));
        } catch (...) {
            return false;
        }
    }
    return true;
}

bool WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return bool(out);
}

// A file of `bytes` bytes that holds no data blocks: large on paper, cheap to make.
bool WriteSparse(const std::string& path, off_t bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    const bool ok = ::ftruncate(fd, bytes) == 0;
    return (::close(fd) == 0) && ok;
}

std::string OneMebibyteLine() {
    std::string text = "# " + std::string(1 << 20, 'c') + "\n";
    text += "v 0 0 0\nv 1 0 0\nv 0 0 1\nf 1 2 3\n";
    return text;
}

std::string MillionCornerFace() {
    std::string text;
    text.reserve(20 << 20);
    for (int i = 0; i < 1000000; ++i) {
        text += "v " + std::to_string(i % 1000) + " " + std::to_string(i / 1000) + " 0\n";
    }
    text += "f";
    for (int i = 1; i <= 1000000; ++i) text += " " + std::to_string(i);
    text += "\n";
    return text;
}

std::string HundredThousandMaterials() {
    std::string text;
    text.reserve(3 << 20);
    for (int i = 0; i < 100000; ++i) text += "newmtl m" + std::to_string(i) + "\nKd 1 0.5 0\n";
    return text;
}

// A FIFO nobody writes to: opening or reading it the ordinary way waits forever.
bool MakeFifo(const std::string& path) { return ::mkfifo(path.c_str(), 0600) == 0; }

// A model whose material file is a FIFO.
bool WriteModelNamingFifo(const std::string& path) {
    const std::string fifo = path.substr(0, path.find_last_of('/') + 1) + "materials-fifo.mtl";
    return MakeFifo(fifo) && WriteText(path, "mtllib materials-fifo.mtl\nv 0 0 0\nv 1 0 0\nv 0 0 1\nf 1 2 3\n");
}

// A material file whose maps name a FIFO beside it and by its absolute path.
bool WriteMapsNamingFifo(const std::string& path) {
    const std::string fifo = path.substr(0, path.find_last_of('/') + 1) + "pipe";
    return MakeFifo(fifo) && WriteText(path, "newmtl m\nKd 1 1 1\nmap_Kd pipe\nmap_Ka " + fifo + "\n");
}

bool WriteGenerated(const std::string& file, const std::string& path) {
    if (file.find("/fifo-named-like-") != std::string::npos) return MakeFifo(path);
    if (file == "obj/mtllib-names-a-fifo.obj") return WriteModelNamingFifo(path);
    if (file == "mtl/map-names-a-fifo.mtl") return WriteMapsNamingFifo(path);
    if (file == "project/sparse-file-of-300MiB.prj" || file == "image/sparse-file-of-300MiB.png") {
        return WriteSparse(path, off_t(300) << 20);
    }
    if (file == "obj/line-of-one-mebibyte.obj") return WriteText(path, OneMebibyteLine());
    if (file == "obj/face-with-a-million-corners.obj") return WriteText(path, MillionCornerFace());
    if (file == "mtl/100000-materials.mtl") return WriteText(path, HundredThousandMaterials());
    // Models whose material files lie beside them.
    const std::string folder = path.substr(0, path.find_last_of('/') + 1);
    if (file == "obj/mtllib-one-file-10000-times.obj") {
        return WriteText(folder + "twelve-kilobytes.mtl", MaterialsOfBytes(12000)) &&
               WriteText(path, ModelNamingMaterials("twelve-kilobytes.mtl", 10000));
    }
    if (file == "obj/mtllib-comment-only-mebibyte-1000-times.obj") {
        return WriteText(folder + "comments.mtl", CommentsOfBytes(size_t(1) << 20)) &&
               WriteText(path, ModelNamingMaterials("comments.mtl", 1000));
    }
    if (file == "obj/usemtl-at-every-triangle.obj") {
        return WriteText(folder + "two-colours.mtl", TwoColourMaterials()) && WriteText(path, GridModel(224, true));
    }
    return false;
}

}  // namespace

std::string BrokenCorpusDir() { return std::string(MORVA_TEST_DATA_DIR) + "/broken"; }

std::vector<BrokenFile> ReadOutcomes(std::string* error) {
    std::ifstream in(BrokenCorpusDir() + "/outcomes.txt");
    std::vector<BrokenFile> files;
    if (!in) {
        *error = "outcomes.txt cannot be read";
        return {};
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const std::string text = Trim(line);
        if (text.empty() || text[0] == '#') continue;
        std::vector<std::string> fields;
        std::istringstream parts(text);
        std::string part;
        while (std::getline(parts, part, '|')) fields.push_back(Trim(part));
        BrokenFile f;
        if (fields.size() < 2 || fields.size() > 3 || fields[0].find('/') == std::string::npos ||
            fields[1].empty() || (fields.size() == 3 && !ParseDetails(fields[2], &f))) {
            *error = "outcomes.txt line " + std::to_string(number) + " is malformed";
            return {};
        }
        f.file = fields[0];
        f.kind = f.file.substr(0, f.file.find('/'));
        f.message = fields[1];
        files.push_back(f);
    }
    return files;
}

std::string PathOf(const BrokenFile& f, const std::string& scratch) {
    if (!f.generated) return BrokenCorpusDir() + "/" + f.file;
    const std::string folder = scratch + "/" + f.kind;
    ::mkdir(folder.c_str(), 0755);
    const std::string path = scratch + "/" + f.file;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) return path;
    return WriteGenerated(f.file, path) ? path : std::string();
}

}  // namespace reliability
