// Finding the files of a project that was moved: when a record's stored path names no
// regular file any more, the file is looked for under the opened project file's folder, by
// the stored path's trailing parts, longest first (stored C:\jobs\plate\models\part.obj,
// project in /home/a/plate: /home/a/plate/models/part.obj, then /home/a/plate/part.obj).
// Names match exactly first, then without regard to letter case (files moved from Windows).
// The search is bounded: only those candidates, one folder listing per part at most, never a
// walk through folders, and every candidate passes the same regular-file test as any open.
// It only looks; it never opens, loads or changes a file.
#pragma once

#include <string>

// A file found under the project folder.
struct MovedFile {
    std::string path;      // where it is now: the project folder joined with `relative`
    std::string relative;  // its path under the project folder, with the names as they matched
};

// Stored parts beyond this many are not tried (a path of thousands of folders would cost
// a listing each).
constexpr size_t kMovedFileMaxParts = 16;
// Names read from one folder while matching without regard to case.
constexpr size_t kMovedFileMaxNames = 100000;

// Looks for the file of `stored` under `project_folder` ("" for the working folder). True
// and `found` filled when a candidate is a regular file. Trailing parts that contain ".."
// are not tried: the search never leaves the project folder.
bool FindMovedFile(const std::string& stored, const std::string& project_folder, MovedFile* found);
