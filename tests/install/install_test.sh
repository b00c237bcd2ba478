#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the installed copy: every file in
# its place, the launcher starting the editor in share/morva with its logs in the user's
# cache folder, and the installed thumbnailer drawing a project that the installed
# morva-replay saved (a cube, an STL letter and an image). The picture is kept in OUT_DIR.
# usage: install_test.sh BUILD_DIR E2E_DATA_DIR OUT_DIR
set -euo pipefail
build=$1 data=$2 out=$3
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix with space"
fail() { echo "install_test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" > "$work/install.log" || { cat "$work/install.log"; fail "cmake --install failed"; }
installed=$(cd "$prefix/share/morva" && find . | sort)
for f in bin/morva bin/morva-inspect bin/morva-replay libexec/morva/morva; do
  [ -x "$prefix/$f" ] || fail "$f is not installed as a program"
done
for f in share/morva/Morva.obj share/morva/test.vert share/morva/maps/font.bmp share/morva/img/sky.jpg \
         share/applications/morva.desktop share/mime/packages/morva.xml \
         share/thumbnailers/morva.thumbnailer share/icons/hicolor/256x256/apps/morva.png; do
  [ -f "$prefix/$f" ] || fail "$f is not installed"
done
grep -q '^Exec=morva-inspect --thumbnail %i %o %s$' "$prefix/share/thumbnailers/morva.thumbnailer" || fail "thumbnailer command"
grep -q 'value="skmskm"' "$prefix/share/mime/packages/morva.xml" || fail "project magic"
if command -v desktop-file-validate > /dev/null; then
  desktop-file-validate "$prefix/share/applications/morva.desktop" || fail "desktop entry does not validate"
fi

# The launcher: a stand-in for the editor reports where it runs and where logs go.
cp "$prefix/libexec/morva/morva" "$work/editor"
printf '#!/bin/sh\necho "folder=$(pwd)"\necho "logs=$MORVA_LOG_DIR"\n' > "$prefix/libexec/morva/morva"
chmod +x "$prefix/libexec/morva/morva"
report=$(cd / && HOME="$work/home" XDG_CACHE_HOME= "$prefix/bin/morva")
mv "$work/editor" "$prefix/libexec/morva/morva"
[ "$(echo "$report" | sed -n 's/^folder=//p')" = "$(cd "$prefix/share/morva" && pwd)" ] || fail "launcher folder: $report"
[ "$(echo "$report" | sed -n 's/^logs=//p')" = "$work/home/.cache/morva" ] || fail "launcher logs: $report"
[ -d "$work/home/.cache/morva" ] || fail "the log folder was not made"

# A project saved by the installed editor (its assets found from its own place).
cp "$data/cube.obj" "$data/cube.mtl" "$data/letter-f.stl" "$data/relief.png" "$work/"
cat > "$work/story.mrv" <<SCRIPT
frames 2
move 14 8
click left
move 20 88
dialog "$work/cube.obj"
click left
expect-log info "Open 3D object OK"
move 14 8
click left
move 20 120
dialog "$work/letter-f.stl"
click left
expect-log info "Open 3D object OK"
move 14 8
click left
move 20 104
dialog "$work/relief.png"
click left
expect-log info "Import Image OK"
move 205 8
click left
move 215 88
click left
move 14 8
click left
move 20 56
dialog "$work/plate.PRJ"
click left
expect-log info "Save Project OK"
close
SCRIPT
(cd "$work" && "$prefix/bin/morva-replay" story.mrv) || fail "the installed morva-replay could not save a project"

# The installed thumbnailer, run as a file manager runs it.
(cd / && "$prefix/bin/morva-inspect" --thumbnail "$work/plate.PRJ" "$work/plate.png" 256) || fail "thumbnailer failed"
[ "$(head -c 8 "$work/plate.png" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] || fail "not a PNG"
[ "$(od -An -tu1 -j16 -N8 "$work/plate.png" | tr -s ' ' | sed 's/^ //')" = "0 0 1 0 0 0 1 0" ] || fail "not 256 x 256"
cp "$work/plate.png" "$out/plate-thumbnail.png"
(cd / && "$prefix/bin/morva-inspect" --thumbnail "$work/letter-f.stl" "$out/letter-f-thumbnail.png" 128) || fail "STL thumbnail"
(cd / && "$prefix/bin/morva-inspect" --thumbnail "$work/cube.obj" "$out/cube-thumbnail.png" 128) || fail "OBJ thumbnail"
# A file it cannot read gives no picture and a failure.
printf 'not a model' > "$work/junk.stl"
if (cd / && "$prefix/bin/morva-inspect" --thumbnail "$work/junk.stl" "$work/junk.png" 64); then fail "junk gave a thumbnail"; fi
[ ! -e "$work/junk.png" ] || fail "junk left a picture"
# Nothing was written into the installation.
[ "$(cd "$prefix/share/morva" && find . | sort)" = "$installed" ] || fail "files written into share/morva"
echo "install_test: ok ($out/plate-thumbnail.png)"
