// Whole-file reading for the model readers: one read into one buffer, no text conversion,
// and the rule for finding files named inside model files.
// Never throws; a file that cannot be opened, read or held in memory reports false.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct FileBytes {
    std::unique_ptr<char[]> data;
    size_t size = 0;
    const char* begin() const { return data.get(); }
    const char* end() const { return data.get() + size; }
};

// Reads a regular file for exactly the size it reports when opened (never a pipe or a
// device, never waiting for one).
bool ReadFileBytes(const char* path, FileBytes& out);

// The first `limit` bytes of a regular file (fewer when it is shorter) and its size in
// bytes. False when it cannot be opened or read.
bool ReadFileHead(const char* path, size_t limit, std::string& head, uint64_t& size);

// A name written inside a file: tried beside that file first (folder + name), then as
// written (relative to the working directory); a name written with '\' between folders is
// tried with the system's separators after that. Empty when none is a regular file.
std::string FindBeside(const std::string& folder, const std::string& name);
