#!/usr/bin/env bash
# The Windows stage of ./test.sh: cross-builds the Windows target with MinGW-w64 into
# build-win/ and runs its tests under Wine on a private Xvfb display with a window manager:
# the unit test programs (GL tests on a hidden WGL window), one end-to-end story through
# morva-replay.exe on the real Win32 window, and the morva.exe smoke test. The Wine prefix
# lives in build-win/wine-prefix. Prints the time of each step.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

build=${MORVA_WINDOWS_BUILD:-build-win}
jobs=$(nproc)
t0=$(date +%s)
step() { echo "windows stage: $1 ($(( $(date +%s) - t0 )) s)"; }

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DMORVA_WERROR=ON -DMORVA_BUILD_EXTRAS=OFF
fi
cmake --build "$build" -j "$jobs"
step "cross-build done"

export WINEPREFIX="$PWD/$build/wine-prefix"
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko installer prompts: nothing here needs .NET or HTML.
export WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
export MORVA_WINE=$wine

pids=()
cleanup() {
  "$wineserver" -k 2>/dev/null || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

out="$build/test-output"
mkdir -p "$out"
: >"$out/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$out/display" 2>"$out/xvfb.log" &
pids+=($!)
for _ in $(seq 1 40); do
  [ -s "$out/display" ] && break
  sleep 0.25
done
display=$(head -n1 "$out/display")
[ -n "$display" ] || { echo "windows stage: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$display"
openbox --sm-disable >"$out/openbox.log" 2>&1 &
pids+=($!)

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  # Without the 32-bit half of Wine the first start reports its missing syswow64 programs;
  # the 64-bit prefix is complete all the same.
  "$wine" wineboot --init >"$out/wineboot.log" 2>&1 || true
  # The registry files are written when the server ends: wait for that before looking.
  "$wineserver" -w 2>/dev/null || true
  [ -f "$WINEPREFIX/system.reg" ] || { echo "windows stage: no Wine prefix: $(tail -3 "$out/wineboot.log")" >&2; exit 1; }
fi
# One server for every test program (each Wine start then takes a fraction of a second),
# with the prefix's services and desktop started before the tests start in parallel.
"$wineserver" -p 2>/dev/null || true  # already running: it stays
"$wine" wineboot >>"$out/wineboot.log" 2>&1 || true
step "Wine prefix ready"

# A Wine process has been seen to finish its tests and then not end: such a run is
# tried once more (the timeouts are short for that reason).
ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 180 --repeat after-timeout:2
step "tests done"
