#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite through CTest.
# A second build runs the same suite under AddressSanitizer and UndefinedBehaviorSanitizer
# (set MORVA_SKIP_SANITIZERS=1 to skip it during development). Between the two, the Windows
# target is cross-built and tested under Wine (MORVA_SKIP_WINDOWS=1 skips it).
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

# The Windows build (MinGW-w64) and its tests under Wine; MORVA_SKIP_WINDOWS=1 skips it.
if [ "${MORVA_SKIP_WINDOWS:-0}" != "1" ]; then
  ./scripts/test-windows.sh
fi

if [ "${MORVA_SKIP_SANITIZERS:-0}" != "1" ]; then
  build build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVA_SANITIZE=ON -DMORVA_BUILD_EXTRAS=OFF
  ctest --test-dir build-asan --output-on-failure -j "$jobs" --timeout 900 -LE no-sanitizer
fi
