// morva-bench figures of the idle editor: the CPU the main loop takes while nothing happens
// (the windowed editor's rule of waiting for input), and the time from an input event to the
// end of the frame it causes, with the event posted from another thread while the loop waits.
#include "bench/idle_bench.h"

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "app/editor.h"
#include "app/frame.h"
#include "platform/window.h"

namespace {

double WallMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

double CpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

double MedianOf(std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

void ReportIdle(ShellState& s, morva::Window* window, double seconds) {
    s.idle.waitWhenIdle = true;
    // Let the frames after the last change settle.
    for (int i = 0; i < 50; ++i) EditorIteration(s);
    const long frames0 = s.frames;
    const double w0 = WallMs(), c0 = CpuMs();
    while (WallMs() - w0 < seconds * 1000.0) EditorIteration(s);
    const double wall = WallMs() - w0;
    std::printf("idle_cpu_percent: %.2f\n", 100.0 * (CpuMs() - c0) / wall);
    std::printf("idle_frames_drawn: %ld\n", s.frames - frames0);

    // A frame drawn on demand, for comparison.
    std::vector<double> frameTimes;
    for (int i = 0; i < 5; ++i) {
        const double t0 = WallMs();
        DrawFrame(s);
        frameTimes.push_back(WallMs() - t0);
    }
    for (int i = 0; i < 50; ++i) EditorIteration(s);

    // Another thread moves the cursor while the loop rests; the loop wakes and draws.
    const int probes = 8;
    std::atomic<bool> resting{false};
    std::atomic<double> postedAt{0.0};
    std::atomic<bool> done{false};
    std::thread poster([&] {
        for (int k = 0; k < probes && !done; ++k) {
            while (!done && (!resting || postedAt.load() != 0.0)) std::this_thread::sleep_for(std::chrono::milliseconds(2));
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            if (done) break;
            postedAt = WallMs();
            morva::SetHeadlessCursorInClient(window, 400 + 9 * k, 300 + 5 * k);
        }
    });
    std::vector<double> latencies;
    const double deadline = WallMs() + 60000.0;
    while (int(latencies.size()) < probes && WallMs() < deadline) {
        bool drew = false;
        const double posted = postedAt.load();
        EditorIteration(s, &drew);
        if (drew && posted != 0.0) {
            latencies.push_back(WallMs() - posted);
            resting = false;
            postedAt = 0.0;
        } else if (!drew) {
            resting = true;
        }
    }
    done = true;
    poster.join();
    std::printf("event_to_frame_ms: %.1f\n", MedianOf(latencies));
    std::printf("event_to_frame_max_ms: %.1f\n",
                latencies.empty() ? 0.0 : *std::max_element(latencies.begin(), latencies.end()));
    std::printf("frame_on_demand_ms: %.1f\n", MedianOf(frameTimes));
    s.idle.waitWhenIdle = false;
}
