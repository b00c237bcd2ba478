#!/usr/bin/env bash
# Installs what is missing, builds the editor in Release and starts it from the assets folder.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
fi
cmake --build build -j "$(nproc)" --target morva
cd assets
exec ../build/app/morva "$@"
