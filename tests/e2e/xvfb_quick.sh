#!/usr/bin/env bash
# Real-window check of the quick editing features: under Xvfb with a window manager, the
# keyboard shortcuts reach the editor through X (Ctrl+I opens the import dialog), the File
# menu shows its shortcut column, the arrow keys (pressed and held) and a typed panel value
# move the selected model, Home and T turn the view, and files dropped onto the window
# through the XDND protocol are imported. Each step is checked in a screenshot.
# usage: xvfb_quick.sh MORVA_BINARY XDND_DROP_BINARY ASSETS_DIR OUTPUT_DIR
set -euo pipefail

morva=$(realpath "$1")
dropper=$(realpath "$2")
assets=$(realpath "$3")
out=${4:-$(mktemp -d)}
mkdir -p "$out"
data=$(realpath "$(dirname "$0")/data")
home="$out/home"
rm -rf "$home"
mkdir -p "$home"
cp "$data/cube.obj" "$data/cube.mtl" "$home/"

for tool in Xvfb xdotool import convert compare openbox zenity; do
  command -v "$tool" >/dev/null || { echo "xvfb_quick: $tool is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
done

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT
fail() {
  echo "xvfb_quick: $*" >&2
  exit 1
}

: >"$out/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$out/display" 2>"$out/xvfb.log" &
pids+=($!)
for _ in $(seq 1 40); do
  [ -s "$out/display" ] && break
  sleep 0.25
done
display=$(head -n1 "$out/display")
[ -n "$display" ] || fail "Xvfb did not start"
export DISPLAY=":$display"
openbox --sm-disable >"$out/openbox.log" 2>&1 &
pids+=($!)
sleep 1

(cd "$assets" && HOME="$home" exec "$morva") >"$out/morva.log" 2>&1 &
morva_pid=$!
pids+=("$morva_pid")
wid=""
for _ in $(seq 1 120); do
  wid=$(xdotool search --name '^Morva$' 2>/dev/null | head -n1 || true)
  [ -n "$wid" ] && break
  kill -0 "$morva_pid" 2>/dev/null || fail "the editor ended early: $(cat "$out/morva.log")"
  sleep 0.5
done
[ -n "$wid" ] || fail "no window titled Morva"

spread() {  # spread FILE W H X Y: grey-level standard deviation of a region, 0..255
  convert "$1" -crop "$2x$3+$4+$5" +repage -colorspace gray -format '%[fx:int(255*standard_deviation)]\n' info:
}
changed() {  # changed A B W H X Y: pixels that differ by more than 10 % in the region
  convert "$1" -crop "$3x$4+$5+$6" +repage "$out/a.png"
  convert "$2" -crop "$3x$4+$5+$6" +repage "$out/b.png"
  local n
  n=$(compare -metric AE -fuzz 10% "$out/a.png" "$out/b.png" null: 2>&1 || true)
  echo "${n%%.*}"
}
shot() { sleep "${2:-1.5}"; import -window "$wid" "$out/$1.png"; }
focus() { xdotool windowactivate --sync "$wid" 2>/dev/null || true; }
key() { focus; xdotool key --window "$wid" "$@"; }
click() {
  xdotool mousemove --window "$wid" "$1" "$2"
  sleep 0.3
  xdotool mousedown 1
  sleep 0.2
  xdotool mouseup 1
}
answer_dialog() {  # answer_dialog TITLE TEXT: types TEXT into the dialog and confirms
  local dialog=""
  for _ in $(seq 1 40); do
    dialog=$(xdotool search --name "^$1\$" 2>/dev/null | head -n1 || true)
    [ -n "$dialog" ] && break
    sleep 0.25
  done
  [ -n "$dialog" ] || fail "no dialog titled \"$1\""
  sleep 1
  local typed=no
  for _ in 1 2 3 4; do
    xdotool windowactivate --sync "$dialog" 2>/dev/null || true
    if xdotool type --delay 120 "$2" 2>/dev/null; then typed=yes; break; fi
    sleep 1
  done
  [ "$typed" = yes ] || fail "could not type into the dialog \"$1\""
  sleep 1.5
  xdotool key Return 2>/dev/null || { sleep 1; xdotool windowactivate --sync "$dialog" 2>/dev/null; xdotool key Return; }
  sleep 3
}

for _ in $(seq 1 60); do
  import -window "$wid" "$out/start.png"
  [ "$(spread "$out/start.png" 230 16 0 0)" -gt 10 ] && break
  sleep 0.5
done
shot start 1

# The File menu's shortcut column.
click 14 8
shot file-menu
[ "$(spread "$out/file-menu.png" 130 92 156 18)" -gt 10 ] || fail "no shortcut column beside the File menu"
key Escape
shot closed
[ "$(changed "$out/start.png" "$out/closed.png" 130 92 156 18)" -lt 200 ] || fail "Escape did not close the menu"

# Ctrl+I: the import dialog through a key chord of the real keyboard.
key ctrl+i
answer_dialog "Select File to load" cube.obj
shot imported 0.5
[ "$(changed "$out/start.png" "$out/imported.png" 40 44 511 405)" -gt 300 ] || fail "Ctrl+I imported nothing"

# Select the cube; one press of the right arrow, then the key held for 1.5 s.
click 531 425
shot selected
key Right
shot nudged
[ "$(changed "$out/selected.png" "$out/nudged.png" 180 16 0 220)" -gt 20 ] || fail "the arrow key did not change the panel's x value"
focus
xdotool keydown --window "$wid" Right
sleep 1.5
xdotool keyup --window "$wid" Right
shot held
[ "$(changed "$out/nudged.png" "$out/held.png" 140 100 480 380)" -gt 100 ] || fail "the held arrow key did not move the cube"

# A typed value: click the x value, type 30, Enter.
click 40 228
sleep 0.5
focus
xdotool type --window "$wid" --delay 150 30
shot typing 0.5
key Return
shot typed
[ "$(changed "$out/held.png" "$out/typed.png" 140 100 480 380)" -gt 100 ] || fail "the typed value did not move the cube"

# Views: Home, then T.
key Home
shot home
[ "$(changed "$out/typed.png" "$out/home.png" 600 400 300 150)" -gt 20000 ] || fail "Home did not change the view"
key t
shot top
[ "$(changed "$out/home.png" "$out/top.png" 600 400 300 150)" -gt 20000 ] || fail "T did not change the view"

# Two files dropped at once onto the window (XDND), as a file manager does.
read -r wx wy < <(xdotool getwindowgeometry --shell "$wid" | awk -F= '/^X=|^Y=/{print $2}' | xargs)
"$dropper" "$wid" $((wx + 600)) $((wy + 300)) "$data/relief.png" "$data/cube.obj" || fail "the drop was not taken"
shot dropped 2
[ "$(changed "$out/top.png" "$out/dropped.png" 400 300 200 300)" -gt 2000 ] || fail "the dropped files were not imported"

kill "$morva_pid" 2>/dev/null || true
echo "xvfb_quick: shortcut column, Ctrl+I, arrows pressed and held, typed value, Home, T and drop all fine"
