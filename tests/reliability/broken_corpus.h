// The broken-file corpus of tests/reliability/data/broken: its list of files with the
// outcome each must give (outcomes.txt), and the files too large to commit, written on
// demand into a scratch folder.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace reliability {

struct BrokenFile {
    std::string file;      // relative to the corpus folder, e.g. "project/zero-byte.prj"
    std::string kind;      // project, obj, mtl or image: the folder part
    std::string message;   // what the editor must write, e.g. "Open Project FAIL"
    std::map<std::string, long> details;  // counts the outcome must show, e.g. triangles=2
    bool generated = false;
    bool fails() const { return message.size() > 4 && message.compare(message.size() - 4, 4, "FAIL") == 0; }
};

std::string BrokenCorpusDir();
// Every line of outcomes.txt; empty when the file cannot be read or a line is malformed
// (`error` says which).
std::vector<BrokenFile> ReadOutcomes(std::string* error);
// Where the file can be opened: in the corpus, or for a generated one in `scratch`
// (written there on first use). Empty when a generated file is unknown or cannot be written.
std::string PathOf(const BrokenFile& f, const std::string& scratch);

}  // namespace reliability
