#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite through CTest.
# A second build runs the same suite under AddressSanitizer and UndefinedBehaviorSanitizer
# (set MORVA_SKIP_SANITIZERS=1 to skip it during development).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh

jobs=$(nproc)
build() {  # build <dir> <cmake options...>
  local dir=$1; shift
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S . -B "$dir" -DMORVA_WERROR=ON "$@"
  fi
  cmake --build "$dir" -j "$jobs"
}

build build -DCMAKE_BUILD_TYPE=Release
ctest --test-dir build --output-on-failure -j "$jobs" --timeout 600

if [ "${MORVA_SKIP_SANITIZERS:-0}" != "1" ]; then
  build build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVA_SANITIZE=ON -DMORVA_BUILD_EXTRAS=OFF
  ctest --test-dir build-asan --output-on-failure -j "$jobs" --timeout 900 -LE no-sanitizer
fi
