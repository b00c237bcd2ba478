// Scripted runner commands that arrange files between steps of a story, as a user would in
// a file manager: copy a file, move or rename a file or folder, remove one. They never touch
// the editor's state; the editor sees the change at its next open or import.
#include <filesystem>
#include <system_error>

#include "app/replay_context.h"

namespace {

namespace fs = std::filesystem;

fs::path PathOf(ReplayContext& x, const std::string& written) { return fs::u8path(x.Resolve(written)); }

// copy-file FROM TO: the folders of TO are made as needed; TO is replaced.
bool CopyFile(ReplayContext& x, const ReplayCommand& c) {
    const fs::path from = PathOf(x, c.args[0]), to = PathOf(x, c.args[1]);
    std::error_code ec;
    if (to.has_parent_path()) fs::create_directories(to.parent_path(), ec);
    if (!ec) fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    return !ec || x.Fail("copy-file: " + c.args[0] + " to " + c.args[1] + ": " + ec.message());
}

// move-path FROM TO: renames a file or a folder (TO must not exist as a folder).
bool MovePath(ReplayContext& x, const ReplayCommand& c) {
    std::error_code ec;
    fs::rename(PathOf(x, c.args[0]), PathOf(x, c.args[1]), ec);
    return !ec || x.Fail("move-path: " + c.args[0] + " to " + c.args[1] + ": " + ec.message());
}

// remove-path PATH: a file, or a folder with everything in it; nothing there is fine.
bool RemovePath(ReplayContext& x, const ReplayCommand& c) {
    std::error_code ec;
    fs::remove_all(PathOf(x, c.args[0]), ec);
    return !ec || x.Fail("remove-path: " + c.args[0] + ": " + ec.message());
}

const ReplayVerb kVerbs[] = {
    {"copy-file", 2, 2, CopyFile},
    {"move-path", 2, 2, MovePath},
    {"remove-path", 1, 1, RemovePath},
};

}  // namespace

const ReplayFamily kReplayFileCommands = {kVerbs, sizeof kVerbs / sizeof kVerbs[0]};
