// Test helper: makes a fresh temporary folder the working directory and, on leaving, restores
// the previous one and removes the folder. Used by tests of code that writes to the working
// directory (shader build logs).
#pragma once

#include "tests/support/gl_test.h"

#include <filesystem>
#include <string>

namespace morva_test {

struct TempWorkingDir {
    std::filesystem::path previous;
    std::string dir;

    // False when no temporary folder could be made; the working directory is then unchanged.
    bool Enter() {
        previous = std::filesystem::current_path();
        dir = MakeTempDir();
        if (dir.empty()) return false;
        std::filesystem::current_path(dir);
        return true;
    }

    void Leave() {
        if (dir.empty()) return;
        std::filesystem::current_path(previous);
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
        dir.clear();
    }
};

}  // namespace morva_test
