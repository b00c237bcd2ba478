// Whole-file reading for the model readers: one read into one buffer, no text conversion.
// Never throws; a file that cannot be opened, read or held in memory reports false.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

struct FileBytes {
    std::unique_ptr<char[]> data;
    size_t size = 0;
    const char* begin() const { return data.get(); }
    const char* end() const { return data.get() + size; }
};

bool ReadFileBytes(const char* path, FileBytes& out);

// True when `path` names an existing regular file.
bool IsRegularFile(const std::string& path);

// The folder part of a path including its last '/', or "" when there is none.
std::string FolderOf(const std::string& path);

// A name written inside a file: tried beside that file first (folder + name), then as
// written (relative to the working directory). Empty when neither exists.
std::string FindBeside(const std::string& folder, const std::string& name);
