#!/usr/bin/env bash
# Renders the committed start-up assets in the real editor (headless) from the start view,
# from above, across the machine and facing the gantry, as PNGs for a person to look at.
# Usage: tools/assets/preview.sh [BUILD_DIR]   (default: build; images in BUILD_DIR/asset-preview)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build" -j "$(nproc)" --target morva-replay
export MORVA_PREVIEW_DIR="$build/asset-preview"
mkdir -p "$MORVA_PREVIEW_DIR"
"$build/app/morva-replay" --assets "$root/assets" "$root/tools/assets/preview.mrv"
echo "previews in $MORVA_PREVIEW_DIR"
