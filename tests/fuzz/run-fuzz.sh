#!/usr/bin/env bash
# Runs one fuzz target for a given time: tests/fuzz/run-fuzz.sh TARGET SECONDS [libFuzzer options...]
# TARGET is obj, mtl, project or image. Configures and builds build-fuzz with clang
# (-DMORVA_FUZZ=ON) when needed. New inputs go to build-fuzz/fuzz-work/TARGET (the committed
# seeds in tests/fuzz/corpus/TARGET are read, never written); crashes are written to
# build-fuzz/fuzz-artifacts/TARGET/. Copy an input worth keeping into the seed corpus by hand.
set -euo pipefail
if [ $# -lt 2 ]; then
  echo "usage: $0 obj|mtl|project|image SECONDS [libFuzzer options...]" >&2
  exit 2
fi
target=$1
seconds=$2
shift 2
case "$target" in obj|mtl|project|image) ;; *) echo "unknown target: $target" >&2; exit 2;; esac

root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build-fuzz
if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DMORVA_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" -j "${MORVA_FUZZ_JOBS:-2}" --target "fuzz_$target"

work=$build/fuzz-work/$target
artifacts=$build/fuzz-artifacts/$target
mkdir -p "$work" "$artifacts"
options=(-max_total_time="$seconds" -artifact_prefix="$artifacts/" -print_final_stats=1)
dict=$root/tests/fuzz/$target.dict
if [ -f "$dict" ]; then options+=(-dict="$dict"); fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
# Our code is built so that undefined behaviour always stops the run; only the image
# decoder's own code (built to recover) reports and goes on.
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tests/lsan.supp}
exec "$build/tests/fuzz/fuzz_$target" "${options[@]}" "$@" "$work" "$root/tests/fuzz/corpus/$target"
