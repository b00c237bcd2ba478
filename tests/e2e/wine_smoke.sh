#!/usr/bin/env bash
# Smoke test of the Windows build under Wine: starts morva.exe from the assets folder on
# the display the Windows stage runs (scripts/test-windows.sh: Xvfb with a window manager),
# waits for the "Morva" window, checks its client size and, in screenshots, the sky, the
# machine and the menu bar; imports a model through the real open dialog (the path typed
# into it); then closes the window with WM_CLOSE (taskkill without /f), answers No
# (discard) to the question about the unsaved import and expects exit code 0.
# usage: wine_smoke.sh MORVA_EXE ASSETS_DIR DATA_DIR OUTPUT_DIR
set -euo pipefail

morva=$(realpath "$1")
assets=$(realpath "$2")
data=$(realpath "$3")
out=$4
mkdir -p "$out"
wine=${MORVA_WINE:-/usr/lib/wine/wine64}

fail() {
  echo "wine_smoke: $*" >&2
  exit 1
}
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY: run it through scripts/test-windows.sh"
for tool in xdotool import convert compare; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh installs it)"
done

morva_pid=""
cleanup() {
  if [ -n "$morva_pid" ] && kill -0 "$morva_pid" 2>/dev/null; then kill "$morva_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

(cd "$assets" && exec "$wine" "$morva") >"$out/morva.log" 2>&1 &
morva_pid=$!

wid=""
for _ in $(seq 1 120); do
  wid=$(xdotool search --onlyvisible --name '^Morva$' 2>/dev/null | head -n1 || true)
  [ -n "$wid" ] && break
  kill -0 "$morva_pid" 2>/dev/null || fail "morva.exe ended before its window appeared: $(cat "$out/morva.log")"
  sleep 0.5
done
[ -n "$wid" ] || fail "no window titled Morva"

# Wine's frame is not Windows' frame: the client area is what was asked for.
read -r width height < <(xdotool getwindowgeometry --shell "$wid" | awk -F= '/WIDTH|HEIGHT/{print $2}' | xargs)
[ "$width" = 1016 ] && [ "$height" = 736 ] || fail "client area is ${width}x${height}, expected 1016x736"

mean() {  # mean FILE W H X Y -> "r g b"
  convert "$1" -crop "$2x$3+$4+$5" +repage -format '%[fx:int(255*mean.r)] %[fx:int(255*mean.g)] %[fx:int(255*mean.b)]\n' info:
}
spread() {  # spread FILE W H X Y -> grey-level standard deviation
  convert "$1" -crop "$2x$3+$4+$5" +repage -colorspace gray -format '%[fx:int(255*standard_deviation)]\n' info:
}
changed() {  # changed BEFORE AFTER W H X Y -> pixels that differ by more than 10 %
  convert "$1" -crop "$3x$4+$5+$6" +repage "$out/a.png"
  convert "$2" -crop "$3x$4+$5+$6" +repage "$out/b.png"
  local n
  n=$(compare -metric AE -fuzz 10% "$out/a.png" "$out/b.png" null: 2>&1 || true)
  echo "${n%%.*}"
}

# The start-up loads show a plain loading screen; wait until the menu bar is drawn.
for _ in $(seq 1 60); do
  if import -window "$wid" "$out/start.png" 2>/dev/null; then
    [ "$(spread "$out/start.png" 230 16 0 0)" -gt 10 ] && break
  fi
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

click() {  # click X Y inside the client area: press, hold briefly, release
  xdotool mousemove --window "$wid" "$1" "$2"
  sleep 0.3
  xdotool mousedown 1
  sleep 0.3
  xdotool mouseup 1
}

# File > Import *.OBJ; the common dialog gets the model's full path typed into its name box.
click 14 8
sleep 1
click 20 88
dialog=""
for _ in $(seq 1 60); do
  dialog=$(xdotool search --name '^Select File to load$' 2>/dev/null | head -n1 || true)
  [ -n "$dialog" ] && break
  sleep 0.25
done
[ -n "$dialog" ] || fail "no dialog titled \"Select File to load\""
sleep 1
windows_path="Z:$(echo "$data/cube.obj" | tr '/' '\\')"
typed=no
for _ in 1 2 3 4; do
  xdotool windowactivate --sync "$dialog" 2>/dev/null || true
  if xdotool type --delay 40 "$windows_path" 2>/dev/null; then typed=yes; break; fi
  sleep 1
done
[ "$typed" = yes ] || fail "could not type into the open dialog"
sleep 0.5
xdotool key Return
# The cube appears on the bed's far corner once the dialog has closed and it has loaded.
cube=0
for _ in $(seq 1 60); do
  sleep 0.5
  import -window "$wid" "$out/imported.png" 2>/dev/null || continue
  cube=$(changed "$out/start.png" "$out/imported.png" 40 44 511 405)
  [ "${cube:-0}" -gt 300 ] 2>/dev/null && break
done
[ "${cube:-0}" -gt 300 ] 2>/dev/null || fail "the imported model is not drawn (changed pixels: $cube)"

# WM_CLOSE to the editor's window, as the close box sends it.
"$wine" taskkill /im "$(basename "$morva")" >"$out/taskkill.log" 2>&1 || true
# The import is not saved, so the editor asks first (a system message box); No discards.
question=""
for _ in $(seq 1 40); do
  question=$(xdotool search --name '^Unsaved changes$' 2>/dev/null | head -n1 || true)
  [ -n "$question" ] && break
  sleep 0.25
done
[ -n "$question" ] || fail "no question about the unsaved import after WM_CLOSE"
import -window root "$out/question.png" 2>/dev/null || true
xdotool windowactivate --sync "$question" 2>/dev/null || true
sleep 0.3
xdotool key n
for _ in $(seq 1 40); do
  kill -0 "$morva_pid" 2>/dev/null || break
  sleep 0.25
done
kill -0 "$morva_pid" 2>/dev/null && fail "morva.exe did not end within 10 s of WM_CLOSE"
status=0
wait "$morva_pid" || status=$?
morva_pid=""
[ "$status" = 0 ] || fail "morva.exe ended with exit code $status"
echo "wine_smoke: window, client size, sky, machine, menu bar, open dialog, import, the question on close and exit code 0 all fine"
