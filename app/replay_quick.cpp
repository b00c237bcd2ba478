// Scripted runner commands for the quick editing features: dropping files onto the window,
// typing text, and reading log lines older than the newest.
#include <cstdint>
#include <string>
#include <vector>

#include "app/editor.h"
#include "app/replay_context.h"
#include "platform/window.h"

namespace {

// drop FILE...: one drop of all the files, handled by the next frames' message pumping.
bool Drop(ReplayContext& x, const ReplayCommand& c) {
    std::vector<std::string> paths;
    for (const std::string& a : c.args) paths.push_back(x.Resolve(a));
    morva::PostHeadlessDrop(x.run.window, paths);
    return x.Frames(1);
}

// type TEXT: the characters of TEXT (UTF-8) as a keyboard layout delivers them, then a frame.
bool Type(ReplayContext& x, const ReplayCommand& c) {
    const std::string& t = c.args[0];
    for (size_t i = 0; i < t.size();) {
        const unsigned char b = static_cast<unsigned char>(t[i]);
        const size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > t.size()) return x.Fail("type: the text is not UTF-8");
        uint32_t code = n == 1 ? b : b & (0x7F >> n);
        for (size_t k = 1; k < n; ++k) code = (code << 6) | (static_cast<unsigned char>(t[i + k]) & 0x3F);
        morva::PostHeadlessChar(x.run.window, code);
        i += n;
    }
    return x.Frames(1);
}

// expect-log-back N KIND TEXT: the line N places before the newest (0: the newest).
bool ExpectLogBack(ReplayContext& x, const ReplayCommand& c) {
    long back = 0;
    if (!x.Integer(c.args[0], &back)) return false;
    const long count = long(mgrDebug->lines.size());
    if (back < 0 || back >= count) {
        return x.Fail("expect-log-back: the log holds " + std::to_string(count) + " lines");
    }
    const cdebug::chunk& line = *mgrDebug->lines[size_t(count - 1 - back)];
    const std::string kind = ReplayKindName(line.kind);
    if (kind == c.args[1] && line.text == c.args[2]) return true;
    return x.Fail("expect-log-back: expected " + c.args[1] + " \"" + c.args[2] + "\", line " + c.args[0] +
                  " back is " + kind + " \"" + line.text + "\"");
}

const ReplayVerb kVerbs[] = {
    {"drop", 1, 64, Drop},
    {"type", 1, 1, Type},
    {"expect-log-back", 3, 3, ExpectLogBack},
};

}  // namespace

const ReplayFamily kReplayQuickCommands = {kVerbs, sizeof kVerbs / sizeof kVerbs[0]};
