#!/usr/bin/env bash
# Rebuilds the asset generators and rewrites every generated start-up asset under assets/:
# maps/font.bmp, maps/back.jpg, skybox.obj/.mtl, img/sky.jpg, Morva.obj/.mtl, machine/*.png.
# Usage: tools/assets/regenerate.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build" -j "$(nproc)" --target morva-gen-font morva-gen-back morva-gen-sky morva-gen-machine

gen="$build/tools/assets"
assets="$root/assets"
mkdir -p "$assets/maps" "$assets/img" "$assets/machine"
"$gen/morva-gen-font" "$assets/maps/font.bmp"
"$gen/morva-gen-back" "$assets/maps/back.jpg"
"$gen/morva-gen-sky" "$assets"
"$gen/morva-gen-machine" "$assets"
