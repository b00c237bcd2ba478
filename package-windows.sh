#!/usr/bin/env bash
# Cross-builds the Windows programs with MinGW-w64 and packs dist/morva-windows-x64.zip:
# morva.exe, morva-inspect.exe and morva-replay.exe beside the assets they read from the
# working folder, and a short README. The programs need only DLLs every Windows system has.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh

build=${MORVA_WINDOWS_BUILD:-build-win}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DMORVA_WERROR=ON -DMORVA_BUILD_EXTRAS=OFF
fi
cmake --build "$build" -j "$(nproc)" --target morva morva-inspect morva-replay

name=morva-windows-x64
stage=dist/$name
rm -rf "$stage" "dist/$name.zip"
mkdir -p "$stage"
for exe in app/morva.exe tools/inspect/morva-inspect.exe app/morva-replay.exe; do
  x86_64-w64-mingw32-strip -o "$stage/$(basename "$exe")" "$build/$exe"
done
# The editor reads its assets relative to the working folder: they sit beside the programs.
cp -r assets/. "$stage/"

# Nothing but system DLLs may be imported.
allowed='^(GDI32|GLU32|KERNEL32|OPENGL32|SHELL32|USER32|comdlg32|msvcrt|ADVAPI32|ole32)\.dll$'
for exe in "$stage"/*.exe; do
  while read -r dll; do
    if ! [[ $dll =~ $allowed ]]; then
      echo "package-windows: $(basename "$exe") needs $dll, which Windows does not ship" >&2
      exit 1
    fi
  done < <(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/{print $3}')
done

cat >"$stage/README.txt" <<'TEXT'
Morva for Windows (64-bit)
==========================

A layout editor for the work area of a machine (130 x 180 x 40 mm): import OBJ models
and images, place them, save the arrangement as a *.PRJ project.

Start:  double-click morva.exe (it reads its assets from this folder), or run it from a
        command prompt whose current folder is this one.
Needs:  Windows 7 or later with an OpenGL 2.0 driver (24-bit depth and 8-bit stencil
        buffer). Nothing to install: the programs use only system DLLs.

Tools (run from a command prompt in this folder):
  morva-inspect.exe --assets . MODEL.obj      prints what the editor would load
  morva-replay.exe  --assets . SCRIPT.mrv     plays a script against the editor

Mouse: left click selects and uses the menus and panel; middle drag turns the view;
right drag pans; the wheel zooms. Keys: W A S D step the view, Delete removes the
selected object.
TEXT
# Windows line ends for the text file a Windows user opens.
sed -i 's/$/\r/' "$stage/README.txt"

(cd dist && zip -qr "$name.zip" "$name")
echo "package-windows: dist/$name.zip ($(du -k "dist/$name.zip" | cut -f1) KiB)"
