// Replays fuzz inputs without fuzzing: every regular file of the folders (or the files)
// named on the command line goes once through the target, in name order. Fails when no
// input was found, so that a missing corpus cannot pass unnoticed.
#include "tests/fuzz/fuzz_check.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> InputsOf(const fs::path& arg) {
    std::vector<fs::path> inputs;
    std::error_code ec;
    if (fs::is_directory(arg, ec)) {
        for (const fs::directory_entry& e : fs::directory_iterator(arg, ec)) {
            if (e.is_regular_file(ec)) inputs.push_back(e.path());
        }
        std::sort(inputs.begin(), inputs.end());
    } else if (fs::is_regular_file(arg, ec)) {
        inputs.push_back(arg);
    }
    return inputs;
}

bool ReadInput(const fs::path& path, std::vector<unsigned char>* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

}  // namespace

int main(int argc, char** argv) {
    size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        for (const fs::path& input : InputsOf(argv[i])) {
            std::vector<unsigned char> bytes;
            if (!ReadInput(input, &bytes)) {
                std::fprintf(stderr, "cannot read %s\n", input.c_str());
                return 1;
            }
            // An empty vector may hold no buffer; the target gets a valid pointer either way.
            static const unsigned char kNothing = 0;
            LLVMFuzzerTestOneInput(bytes.empty() ? &kNothing : bytes.data(), bytes.size());
            ++replayed;
        }
    }
    std::printf("replayed: %zu\n", replayed);
    return replayed > 0 ? 0 : 1;
}
