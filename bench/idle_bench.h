// morva-bench: the idle editor's CPU and the latency from an input event to its frame.
#pragma once

#include "app/shell.h"

// Runs the started editor's loop for `seconds` with nothing happening and prints
// idle_cpu_percent, then probes event_to_frame_ms; leaves the editor drawing every pass.
void ReportIdle(ShellState& s, morva::Window* window, double seconds);
