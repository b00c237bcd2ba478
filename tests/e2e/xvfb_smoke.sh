#!/usr/bin/env bash
# Smoke test of the real window: starts the editor under Xvfb with a small window manager,
# waits for the "Morva" window, checks in screenshots that the sky, the machine and the
# menu bar are drawn and that a click on "File" opens its menu, imports a model and saves
# a project through the real file dialogs, then asks the window to close through the
# window manager and expects exit code 0 within a few seconds.
# usage: xvfb_smoke.sh MORVA_BINARY ASSETS_DIR OUTPUT_DIR
set -euo pipefail

morva=$(realpath "$1")
assets=$(realpath "$2")
out=${3:-$(mktemp -d)}
mkdir -p "$out"
data=$(realpath "$(dirname "$0")/data")
# The dialogs start in the home folder: give the editor one with a model in it.
home="$out/home"
rm -rf "$home"
mkdir -p "$home"
cp "$data/cube.obj" "$data/cube.mtl" "$home/"

for tool in Xvfb xdotool import convert openbox; do
  if ! command -v "$tool" >/dev/null; then
    echo "xvfb_smoke: $tool is missing (scripts/install-deps.sh installs it)" >&2
    exit 1
  fi
done

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

fail() {
  echo "xvfb_smoke: $*" >&2
  exit 1
}

# A free display: Xvfb picks the number and writes it to a file.
: >"$out/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$out/display" 2>"$out/xvfb.log" &
pids+=($!)
for _ in $(seq 1 40); do
  [ -s "$out/display" ] && break
  sleep 0.25
done
display=$(head -n1 "$out/display")
[ -n "$display" ] || fail "Xvfb did not start: $(cat "$out/xvfb.log")"
export DISPLAY=":$display"

openbox --sm-disable >"$out/openbox.log" 2>&1 &
pids+=($!)
sleep 1

(cd "$assets" && HOME="$home" exec "$morva") >"$out/morva.log" 2>&1 &
morva_pid=$!
pids+=("$morva_pid")

# Wait for the window and for the start-up loads to finish drawing real frames.
wid=""
for _ in $(seq 1 120); do
  wid=$(xdotool search --name '^Morva$' 2>/dev/null | head -n1 || true)
  [ -n "$wid" ] && break
  kill -0 "$morva_pid" 2>/dev/null || fail "the editor ended before its window appeared: $(cat "$out/morva.log")"
  sleep 0.5
done
[ -n "$wid" ] || fail "no window titled Morva"

read -r width height < <(xdotool getwindowgeometry --shell "$wid" | awk -F= '/WIDTH|HEIGHT/{print $2}' | xargs)
[ "$width" = 1016 ] && [ "$height" = 736 ] || fail "client area is ${width}x${height}, expected 1016x736"

# Mean colour of a region as "r g b" in 0..255.
mean() {  # mean FILE W H X Y
  convert "$1" -crop "$2x$3+$4+$5" +repage -format '%[fx:int(255*mean.r)] %[fx:int(255*mean.g)] %[fx:int(255*mean.b)]\n' info:
}
# Standard deviation of a region's grey levels in 0..255 (text or texture gives > 0).
spread() {  # spread FILE W H X Y
  convert "$1" -crop "$2x$3+$4+$5" +repage -colorspace gray -format '%[fx:int(255*standard_deviation)]\n' info:
}

# The start-up loads show a plain loading screen; wait until the menu bar is drawn.
for _ in $(seq 1 60); do
  import -window "$wid" "$out/start.png"
  [ "$(spread "$out/start.png" 230 16 0 0)" -gt 10 ] && break
  sleep 0.5
done
sleep 1
import -window "$wid" "$out/start.png"

read -r r g b < <(mean "$out/start.png" 1016 80 0 24)
[ "$b" -gt "$r" ] || fail "no sky at the top of the view (mean $r $g $b)"
machine=$(spread "$out/start.png" 400 200 308 420)
[ "$machine" -gt 10 ] || fail "nothing drawn where the machine stands (spread $machine)"
menu=$(spread "$out/start.png" 230 16 0 0)
[ "$menu" -gt 10 ] || fail "no menu bar (spread $menu)"

# Click "File": press, hold briefly, release.
xdotool mousemove --window "$wid" 14 8
sleep 0.3
xdotool mousedown 1
sleep 0.3
xdotool mouseup 1
sleep 2
import -window "$wid" "$out/file-menu.png"
convert "$out/start.png" -crop 200x90+0+18 +repage "$out/items-before.png"
convert "$out/file-menu.png" -crop 200x90+0+18 +repage "$out/items-after.png"
changed=$(compare -metric AE -fuzz 10% "$out/items-before.png" "$out/items-after.png" null: 2>&1 || true)
[ "${changed%%.*}" -gt 1000 ] 2>/dev/null || fail "the File menu did not open (changed pixels: $changed)"

click() {  # click X Y: press, hold briefly, release inside the editor's client area
  xdotool mousemove --window "$wid" "$1" "$2"
  sleep 0.3
  xdotool mousedown 1
  sleep 0.3
  xdotool mouseup 1
}
# Waits for a dialog titled $1, activates it, types $2 slowly and confirms.
answer_dialog() {
  local dialog=""
  for _ in $(seq 1 40); do
    dialog=$(xdotool search --name "^$1\$" 2>/dev/null | head -n1 || true)
    [ -n "$dialog" ] && break
    sleep 0.25
  done
  [ -n "$dialog" ] || fail "no dialog titled \"$1\""
  sleep 1
  # Under load the focus may not have reached the dialog yet (xdotool then fails before
  # sending anything): activate again and retry. What was typed is checked by the caller.
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

if command -v zenity >/dev/null; then
  # File > Import *.OBJ through the real dialog: the cube appears on the bed's far corner.
  click 20 88
  answer_dialog "Select File to load" cube.obj
  import -window "$wid" "$out/imported.png"
  convert "$out/start.png" -crop 40x44+511+405 +repage "$out/cube-before.png"
  convert "$out/imported.png" -crop 40x44+511+405 +repage "$out/cube-after.png"
  changed=$(compare -metric AE -fuzz 10% "$out/cube-before.png" "$out/cube-after.png" null: 2>&1 || true)
  [ "${changed%%.*}" -gt 300 ] 2>/dev/null || fail "the imported model is not drawn (changed pixels: $changed)"

  # File > Save Project under a new name: the dialog accepts it and the file is written.
  click 14 8
  sleep 1
  click 20 56
  answer_dialog "Select File to save" plate.prj
  [ -s "$home/plate.prj" ] || fail "Save Project through the dialog wrote no $home/plate.prj"
  [ "$(head -c 6 "$home/plate.prj")" = skmskm ] || fail "plate.prj is not a project file"
else
  echo "xvfb_smoke: zenity is missing, the file dialogs were not tried" >&2
fi

# The wheel turned away from the user brings the camera closer: the view changes.
xdotool mousemove --window "$wid" 700 400
import -window "$wid" "$out/before-wheel.png"
for _ in 1 2 3; do
  xdotool click 4
  sleep 0.3
done
sleep 2
import -window "$wid" "$out/after-wheel.png"
convert "$out/before-wheel.png" -crop 700x400+300+300 +repage "$out/view-before.png"
convert "$out/after-wheel.png" -crop 700x400+300+300 +repage "$out/view-after.png"
changed=$(compare -metric AE -fuzz 10% "$out/view-before.png" "$out/view-after.png" null: 2>&1 || true)
[ "${changed%%.*}" -gt 5000 ] 2>/dev/null || fail "the wheel did not zoom (changed pixels: $changed)"

# Ask politely: the window manager's close (Alt+F4) sends WM_DELETE_WINDOW.
xdotool windowactivate --sync "$wid" 2>/dev/null || true
xdotool key --window "$wid" --clearmodifiers alt+F4
for _ in $(seq 1 20); do
  kill -0 "$morva_pid" 2>/dev/null || break
  sleep 0.5
done
if kill -0 "$morva_pid" 2>/dev/null; then
  fail "the editor did not end within 10 s of the close request"
fi
status=0
wait "$morva_pid" || status=$?
[ "$status" = 0 ] || fail "the editor ended with exit code $status"
echo "xvfb_smoke: window, sky, machine, menu bar, File menu, dialogs, wheel and close all fine"
