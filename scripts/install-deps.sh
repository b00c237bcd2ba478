#!/usr/bin/env bash
# Installs the Debian packages Morva needs to build, test and run.
# Packages already present are left alone, so a second run does nothing.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  googletest libgtest-dev libgmock-dev
  libgl-dev libegl-dev libglu1-mesa-dev libegl-mesa0 libgl1-mesa-dri libglx-mesa0
  libglfw3-dev libstb-dev libfast-float-dev libtinyobjloader-dev
  libfreetype-dev fonts-dejavu-core libjpeg-dev
  clang libclang-rt-14-dev
  xvfb xauth xdotool imagemagick openbox x11-utils zenity libx11-dev
  g++-mingw-w64-x86-64-posix wine64 zip
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
