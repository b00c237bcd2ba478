// morva-replay SCRIPT: runs the editor on the headless window layer from the assets folder
// and plays a script against it (see the README, "Scripted runs"). Exit code 0 when every
// command and assertion passed, 1 when one failed, 2 for a usage or script error.
#if defined(__linux__)
#include <unistd.h>
#endif

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/editor.h"
#include "app/replay.h"
#include "app/undo.h"
#include "platform/cdialog.h"
#include "platform/window.h"

#ifndef MORVA_DEFAULT_ASSETS_DIR
#define MORVA_DEFAULT_ASSETS_DIR "assets"
#endif

namespace {

void Usage() {
    std::fprintf(stderr,
                 "usage: morva-replay [--assets DIR] SCRIPT\n"
                 "  Runs the editor headless from DIR (default %s) and plays SCRIPT.\n",
                 MORVA_DEFAULT_ASSETS_DIR);
}

std::string CurrentDirectory() {
    std::error_code error;
    const std::filesystem::path dir = std::filesystem::current_path(error);
    return error ? std::string() : dir.u8string();
}

bool ReadText(const std::string& path, std::string* out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    *out = s.str();
    return true;
}

}  // namespace

// The assets of an installed copy (PREFIX/share/morva beside PREFIX/bin), else the folder
// the program was built for.
static std::string DefaultAssets() {
#if defined(__linux__)
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        self[n] = '\0';
        std::string bin(self);
        bin = bin.substr(0, bin.find_last_of('/'));
        const std::string installed = bin.substr(0, bin.find_last_of('/') + 1) + "share/morva";
        if (access((installed + "/Morva.obj").c_str(), R_OK) == 0) return installed;
    }
#endif
    return MORVA_DEFAULT_ASSETS_DIR;
}

int main(int argc, char** argv) {
    std::string assets = DefaultAssets();
    std::string script_path;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--assets") == 0 && i + 1 < argc) {
            assets = argv[++i];
        } else if (argv[i][0] == '-' && argv[i][1] != 0) {
            Usage();
            return 2;
        } else if (script_path.empty()) {
            script_path = argv[i];
        } else {
            Usage();
            return 2;
        }
    }
    if (script_path.empty()) {
        Usage();
        return 2;
    }

    std::string text, error;
    if (!ReadText(script_path, &text)) {
        std::fprintf(stderr, "morva-replay: cannot read %s\n", script_path.c_str());
        return 2;
    }
    std::vector<ReplayCommand> commands;
    if (!ParseReplayScript(text, &commands, &error)) {
        std::fprintf(stderr, "%s:%s\n", script_path.c_str(), error.c_str());
        return 2;
    }

    const std::string base = CurrentDirectory();
    std::error_code entered;
    std::filesystem::current_path(std::filesystem::u8path(assets), entered);
    if (entered) {
        std::fprintf(stderr, "morva-replay: cannot enter the assets folder %s\n", assets.c_str());
        return 2;
    }
    morva::Window* window = morva::CreateMainWindow("Morva", &error);
    if (!window) {
        std::fprintf(stderr, "morva-replay: no headless context: %s\n", error.c_str());
        return 2;
    }

    ShellState shell;
    ReplayRun run;
    run.shell = &shell;
    run.window = window;
    run.base_dir = base;
    bool ok = true;
    // Runs of undo steps (and anything else timed) follow the script's clock, not the machine's.
    UseScriptClock();
    if (!StartEditor(shell, window)) {
        run.ended = true;
    }
    mgrDialog->scripted = true;
    ok = RunReplayCommands(run, commands, &error);
    StopEditor(shell);
    hDC = nullptr;
    morva::DestroyMainWindow(window);
    if (!ok) {
        std::fprintf(stderr, "%s: %s\n", script_path.c_str(), error.c_str());
        return 1;
    }
    return 0;
}
