#!/usr/bin/env bash
# End to end through the real window: the program runs under Xvfb and xdotool drives it as a
# user would. It reads a box stock and the sample NC program through its menus and file dialogs,
# starts the result run with F5, waits for the end, saves the view with Ctrl+P and compares that
# PNG (the off-screen render the captures read) with the view as the X server shows it and with
# the render tool's picture of the same cut; the screenshot and the pictures are kept as
# artefacts. Alt+"/" opens the version panel and Esc closes it; the menu's Exit ends the program.
# Skips itself (exit 77) without Xvfb, xdotool, xwd, ffmpeg or python3.
# Usage: gui_smoke.sh MIREXA SAMPLES_DIR ARTEFACT_DIR RENDER_TOOL
set -euo pipefail
program="$1"
samples="$2"
artefacts="$3"
render="$4"
here="$(cd "$(dirname "$0")" && pwd)"
name=gui_smoke
. "$here/xvfb_session.sh"
e2e_require Xvfb xdotool xwd ffmpeg python3
mkdir -p "$work/gui" "$work/render" "$artefacts"
# The cut of the demo's batch run (scripts/demo), in which the sample program goes to its end
# without a stop: the box 100 x 80 x 30.5 mm with its top at Z0, its moves stepped as finely as
# its dexels (0.5 mm here, so that the window's run stays within a quarter of a minute). The
# settings' working copy takes those pitches; a batch run writes the box as a stock file, which
# the window reads through its menu and the render tool as it stands.
pitch="0.5,0.5"
cp "$samples"/* "$work/gui/"
sed -i -e "s/^PITCH(WORK)=.*/PITCH(WORK)=${pitch%,*}/" \
    -e "s/^PITCH(MOVE)=.*/PITCH(MOVE)=${pitch#*,}/" "$work/gui/mirexa.ini"
(cd "$work/gui" && env -u DISPLAY "$program" "-D(0,0,-30.5,100,80,0)" "-P($pitch)" "-XM(0,0,0)" \
    -O box.dme >"$work/box.out" 2>&1) || {
    cat "$work/box.out"
    echo "gui_smoke: the batch run did not write the box stock"
    exit 1
}
cp "$work/gui"/* "$work/render/"

e2e_start_xvfb 1280 1024

fail() {
    echo "gui_smoke: $*"
    exit 1
}
# Waits up to $1 seconds for a window whose name matches $2; prints its id.
find_window() {
    timeout "$1" xdotool search --sync --name "$2" 2>/dev/null | head -1
}

# The window at the screen's corner, so that the whole view is on screen.
(cd "$work/gui" && exec "$program" "-(0,0,1200,900)" >"$work/gui.out" 2>&1) &
mirexa=$!
main="$(find_window 20 'Not Selected')" || fail "the main window did not open"
[ -n "$main" ] || fail "the main window did not open"
sleep 1

# Answers the file dialog named $1 with the path $2.
answer_file_dialog() {
    local dialog
    dialog="$(find_window 20 "$1")" || fail "the file dialog $1 did not open"
    [ -n "$dialog" ] || fail "the file dialog $1 did not open"
    xdotool windowfocus --sync "$dialog"
    xdotool type --delay 10 "$2"
    xdotool key Return
    for _ in $(seq 1 50); do
        [ -z "$(xdotool search --name "$1" 2>/dev/null)" ] && return
        sleep 0.2
    done
    fail "the file dialog $1 did not close"
}

# Work > Read: the box stock. NC Data > Select (plainly, the stock kept): the sample program.
xdotool windowfocus --sync "$main" key alt+w
sleep 0.5
xdotool key l
answer_file_dialog '^Work$' "$work/gui/box.dme"
sleep 1
xdotool windowfocus --sync "$main" key alt+n
sleep 0.5
xdotool key s
answer_file_dialog 'NC DATA FILE' "$work/gui/demo_part.nc"

# The result run: it has ended when its tool length report is written and closed and the screen
# (with the final picture) has stopped changing. The windows already shown (the main window and
# its panels) are not the run's message boxes.
report="$work/gui/demo_part_length.txt"
rm -f "$report"
report_closed() {
    [ -s "$report" ] && ! ls -l "/proc/$mirexa/fd" 2>/dev/null | grep -q -F "$report"
}
shown_before=" $(xdotool search --onlyvisible --class mirexa 2>/dev/null | tr '\n' ' ') "
xdotool windowfocus --sync "$main" key F5
sleep 1
previous=""
stable=0
for _ in $(seq 1 120); do
    # A message box of the run (an alarm, an interference) means that it stopped before the end.
    for window in $(xdotool search --onlyvisible --class mirexa 2>/dev/null); do
        case "$shown_before" in *" $window "*) continue ;; esac
        if [ "$window" != "$main" ] && [ -n "$(xdotool getwindowname "$window")" ]; then
            fail "the run stopped at the box \"$(xdotool getwindowname "$window")\""
        fi
    done
    sum="$(xwd -root -silent | md5sum)"
    if [ "$sum" = "$previous" ] && report_closed; then
        stable=$((stable + 1))
        [ "$stable" -ge 2 ] && break
    else
        stable=0
    fi
    previous="$sum"
    sleep 1
done
[ "$stable" -ge 2 ] || fail "the run did not end within two minutes"
case "$(xdotool getwindowname "$main")" in
    *STOP*) fail "the run stopped: $(xdotool getwindowname "$main")" ;;
esac

# A click in the view gives it the keyboard focus; the screen is kept, then Ctrl+P in the view
# writes tmp.png from the same frame. A link planted under that name is replaced, never followed
# into the file it leads to.
printf 'keep' >"$work/gui/victim.txt"
ln -sfn victim.txt "$work/gui/tmp.png"
xdotool mousemove --window "$main" 600 500 click 1
sleep 1
xdotool key ctrl+p
for _ in $(seq 1 50); do
    [ -s "$work/gui/tmp.png" ] && [ ! -L "$work/gui/tmp.png" ] && break
    sleep 0.2
done
[ -s "$work/gui/tmp.png" ] && [ ! -L "$work/gui/tmp.png" ] || fail "Ctrl+P wrote no tmp.png"
[ "$(cat "$work/gui/victim.txt")" = keep ] || fail "Ctrl+P wrote through a link named tmp.png"
sleep 1
xwd -root -silent >"$work/screen.xwd"
ffmpeg -loglevel error -y -i "$work/screen.xwd" "$artefacts/gui_main_window.png"
cp "$work/gui/tmp.png" "$artefacts/gui_view.png"
# The view lies right of the panel column, under the menu bar and the NC strip.
python3 "$here/png_difference.py" --inside "$artefacts/gui_main_window.png" "$work/gui/tmp.png" \
    0.001 200 260 20 90 || fail "the view on screen is not the picture the captures read"

# The render tool cuts the same stock with the same program, settings and pitches and draws it
# at the view's size from the same camera (the settings' angles, zoom 1): the two pictures agree
# but for a few edge pixels.
size="$(python3 -c 'import struct, sys
print("%dx%d" % struct.unpack(">II", open(sys.argv[1], "rb").read(24)[16:24]))' "$work/gui/tmp.png")"
"$render" --settings "$work/render/mirexa.ini" --stock "$work/render/box.dme" --pitch "$pitch" \
    --program "$work/render/demo_part.nc" --size "$size" --zoom 1 "$artefacts/render_view.png" ||
    fail "the render tool did not draw the cut"
python3 "$here/png_difference.py" "$artefacts/render_view.png" "$work/gui/tmp.png" 0.002 ||
    fail "the window's picture of the cut is not the render tool's"

# Alt+"/" opens the version panel wherever the focus is; Esc closes it.
xdotool windowfocus --sync "$main" key alt+slash
version="$(find_window 10 'Version/Environment')" || fail "Alt+/ did not open the version panel"
[ -n "$version" ] || fail "Alt+/ did not open the version panel"
xdotool windowfocus --sync "$version" key Escape
for _ in $(seq 1 50); do
    [ -z "$(xdotool search --onlyvisible --name 'Version/Environment' 2>/dev/null)" ] && break
    sleep 0.1
done
[ -z "$(xdotool search --onlyvisible --name 'Version/Environment' 2>/dev/null)" ] ||
    fail "Esc did not close the version panel"

# Quit: the close box asks the main window to close (without a window manager xdotool cannot
# press it, so the close request goes through the menu's Exit item when it is handled, and
# through SIGTERM otherwise); the program saves its settings and ends.
xdotool windowfocus --sync "$main" key alt+n
sleep 0.5
xdotool key x
for _ in $(seq 1 30); do
    kill -0 "$mirexa" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$mirexa" 2>/dev/null; then
    echo "gui_smoke: the menu's Exit did not end the program; ending it with SIGTERM"
    kill "$mirexa"
    wait "$mirexa" || true
else
    status=0
    wait "$mirexa" || status=$?
    [ "$status" -eq 0 ] || fail "the program ended with code $status"
fi
mirexa=""

echo "gui_smoke: passed"
