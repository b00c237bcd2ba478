// Scripted runner commands for the quick editing features: dropping files onto the window,
// typing text, and reading log lines older than the newest.
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
    {"expect-log-back", 3, 3, ExpectLogBack},
};

}  // namespace

const ReplayFamily kReplayQuickCommands = {kVerbs, sizeof kVerbs / sizeof kVerbs[0]};
