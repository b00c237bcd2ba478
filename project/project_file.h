// The project file: a magic, a record count and one record per object (type, path and
// five vectors, all little-endian). This module turns bytes into records and records
// into bytes, reads a whole file and replaces a file atomically.
// It never touches GL, the loader or a live project: reading fills a new list that the
// caller adopts only when the whole file was valid.
#pragma once

#include "math/Cmath.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The seven bytes every project file starts with.
constexpr char kProjectMagic[7] = {'s', 'k', 'm', 's', 'k', 'm', '\0'};
constexpr size_t kProjectHeaderBytes = 11;
// Bytes of a record besides its path: type, path length and five vectors.
constexpr size_t kProjectRecordFixedBytes = 88;
// Longest path length (terminating zero included) a record may hold.
constexpr uint32_t kProjectMaxPathBytes = 64 * 1024;

// One object as the file stores it.
struct ProjectRecord {
    int32_t type = 0;
    std::string path;
    cMath::vector4 position;
    cMath::vector4 size;
    cMath::vector4 move;
    cMath::vector4 scale;
    cMath::vector4 rotate;
};

// Parses a whole project file. True only when the magic is there, the count is not
// negative and all records are complete and well formed; `out` is filled only then.
// Bytes after the last record are ignored.
bool ParseProjectFile(const uint8_t* data, size_t size, std::vector<ProjectRecord>* out);

// Encodes records as a project file. False (and `out` untouched) when a path is too long
// to be read back or holds a zero byte.
bool SerializeProjectFile(const std::vector<ProjectRecord>& records, std::vector<uint8_t>* out);

// Reads a whole regular file (at most 256 MiB) for exactly the size it reports when opened;
// a pipe or a device is refused without waiting for it. False when it cannot be read.
bool ReadWholeFile(const char* path, std::vector<uint8_t>* out);

// Writes bytes to a temporary file beside `path`, syncs it and renames it over `path`.
// On any failure the temporary file is removed, `path` is left as it was and the
// result is false. After a success, temporary files of `path` that no save holds any more
// (left by saves that were killed) are removed.
bool WriteFileAtomically(const char* path, const std::vector<uint8_t>& bytes);
