// Child process of the save tests. It saves sample projects with project::SaveData:
//   reliability_saver once PATH COUNT PATH_LENGTH SEED
//       one save; exit status 0 when SaveData returned true, 3 when it returned false.
//   reliability_saver loop PATH COUNT_A COUNT_B PATH_LENGTH
//       saves project A (seed 1) and B (seed 2) in turn until killed; writes one line to
//       stdout after the first complete save.
// The test program sets the file-size limit, the user or the signal that hits it.
#include "tests/reliability/helpers/sample_project.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool Save(project& p, const char* path, int count, int path_length, int seed) {
    reliability::FillProject(p, reliability::SampleRecords(count, path_length, seed));
    return p.SaveData(const_cast<char*>(path));
}

int Usage() {
    std::fprintf(stderr, "usage: reliability_saver once PATH COUNT PATH_LENGTH SEED\n"
                         "       reliability_saver loop PATH COUNT_A COUNT_B PATH_LENGTH\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) return Usage();
    const std::string mode = argv[1];
    const char* path = argv[2];
    project p(nullptr);
    if (mode == "once") {
        return Save(p, path, std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5])) ? 0 : 3;
    }
    if (mode != "loop") return Usage();
    const int count_a = std::atoi(argv[3]);
    const int count_b = std::atoi(argv[4]);
    const int path_length = std::atoi(argv[5]);
    // Both projects are built once, so that the loop does nothing but save.
    project b(nullptr);
    reliability::FillProject(p, reliability::SampleRecords(count_a, path_length, 1));
    reliability::FillProject(b, reliability::SampleRecords(count_b, path_length, 2));
    bool announced = false;
    for (unsigned round = 0;; ++round) {
        if (!(round % 2 == 0 ? p : b).SaveData(const_cast<char*>(path))) return 3;
        if (!announced) {
            std::printf("saved\n");
            std::fflush(stdout);
            announced = true;
        }
    }
}
