#!/usr/bin/env bash
# End to end through the real window: the program runs under Xvfb and xdotool drives it as a
# user would. It reads a box stock and the sample NC program through its menus and file dialogs,
# starts the result run with F5, waits for the end, saves the view with Ctrl+P (typed while the
# program is held up) and compares that PNG (the off-screen render the captures read) with the view as the X server shows it and with
# the render tool's picture of the same cut; the screenshot and the pictures are kept as
# artefacts. Alt+"/" opens the version panel and Esc closes it; the menu's Exit ends the program.
# Skips itself (exit 77) without Xvfb, xdotool, xwd, ffmpeg or python3.
# Usage: gui_smoke.sh MIREXA SAMPLES_DIR ARTEFACT_DIR RENDER_TOOL
set -euo pipefail
. "$(dirname "$0")/xvfb_session.sh"
render="$4"
e2e_require Xvfb xdotool xwd ffmpeg python3
mkdir -p "$work/gui" "$work/render"
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
    e2e_fail "the batch run did not write the box stock"
}
cp "$work/gui"/* "$work/render/"

e2e_start_xvfb 1280 1024

# The window at the screen's corner, so that the whole view is on screen.
e2e_launch "$work/gui" "-(0,0,1200,900)"
e2e_find_window "the main window did not open" 'Not Selected'
main="$found"

# Answers the file dialog named $1 with the path $2.
answer_file_dialog() {
    e2e_find_window "the file dialog $1 did not open" "$1"
    e2e_focus "$found"
    xdotool type --delay 10 "$2"
    xdotool key Return
    e2e_wait "$e2e_patience" "the file dialog $1 did not close" e2e_window_gone "$1"
}

# Work > Read: the box stock. NC Data > Select (plainly, the stock kept): the sample program.
e2e_menu w l
answer_file_dialog '^Work$' "$work/gui/box.dme"
e2e_menu n s
answer_file_dialog 'NC DATA FILE' "$work/gui/demo_part.nc"

# The result run: it has ended when its tool length report is written and closed and the screen
# (with the final picture) has stopped changing. The windows already shown (the main window and
# its panels) are not the run's message boxes.
report="$work/gui/demo_part_length.txt"
rm -f "$report"
report_closed() {
    [ -s "$report" ] && ! ls -l "/proc/$mirexa/fd" 2>/dev/null | grep -q -F "$report"
}
# The tool display panel comes up beside the main window, on a slow machine after it: it is one of
# the windows shown before the run, not a box of the run.
e2e_find_window "the tool display panel did not open" ' in vmc3\.ttl '
shown_before=" $({ xdotool search --onlyvisible --class mirexa 2>/dev/null || true; } | tr '\n' ' ') "
e2e_focus "$main"
xdotool key F5
# The run has started when the title names it (or, on a fast machine, has ended already).
run_started() {
    case "$(xdotool getwindowname "$main")" in *Cutting*) return 0 ;; esac
    report_closed
}
e2e_wait "$e2e_patience" "F5 started no run" run_started
previous=""
stable=0
run_ended() {
    # A message box of the run (an alarm, an interference) means that it stopped before the end.
    local window sum
    for window in $(xdotool search --onlyvisible --class mirexa 2>/dev/null); do
        case "$shown_before" in *" $window "*) continue ;; esac
        if [ "$window" != "$main" ] && [ -n "$(xdotool getwindowname "$window" 2>/dev/null)" ]; then
            e2e_fail "the run stopped at the box \"$(xdotool getwindowname "$window")\""
        fi
    done
    sum="$(xwd -root -silent | md5sum)"
    if [ "$sum" = "$previous" ] && report_closed; then
        stable=$((stable + 1))
    else
        stable=0
    fi
    previous="$sum"
    [ "$stable" -ge 2 ] && return 0
    sleep 0.8
    return 1
}
e2e_wait "$e2e_run_patience" "the run did not end (its length report closed, the screen still)" \
    run_ended
case "$(xdotool getwindowname "$main")" in
    *STOP*) e2e_fail "the run stopped: $(xdotool getwindowname "$main")" ;;
esac

# The tool display panel stands in front of the view's lower right: it is moved below the window,
# as a user drags it aside, so that the whole view shows on the screen.
e2e_find_window "the tool display panel did not open" ' in vmc3\.ttl '
xdotool windowmove --sync "$found" 0 940
# A click in the view gives it the keyboard focus; the screen is kept, then Ctrl+P in the view
# writes tmp.png from the same frame. Ctrl+P is typed as on a machine so busy that the program
# takes the P only after Ctrl is up again: it writes the PNG all the same, with Ctrl as it was held
# when P went down. A link planted under that name is replaced, never followed into the file it
# leads to.
printf 'keep' >"$work/gui/victim.txt"
ln -sfn victim.txt "$work/gui/tmp.png"
xdotool mousemove --window "$main" 600 500 click 1
sleep 1
kill -STOP "$mirexa"
xdotool key ctrl+p
kill -CONT "$mirexa"
tmp_png_written() {
    [ -s "$work/gui/tmp.png" ] && [ ! -L "$work/gui/tmp.png" ]
}
e2e_wait "$e2e_patience" "Ctrl+P wrote no tmp.png" tmp_png_written
[ "$(cat "$work/gui/victim.txt")" = keep ] || e2e_fail "Ctrl+P wrote through a link named tmp.png"
sleep 1
xwd -root -silent >"$work/screen.xwd"
ffmpeg -loglevel error -y -i "$work/screen.xwd" "$artefacts/gui_main_window.png"
cp "$work/gui/tmp.png" "$artefacts/gui_view.png"
# The view lies right of the panel column, under the menu bar and the NC strip.
python3 "$here/png_difference.py" --inside "$artefacts/gui_main_window.png" "$work/gui/tmp.png" \
    0.001 200 260 20 90 || e2e_fail "the view on screen is not the picture the captures read"

# The render tool cuts the same stock with the same program, settings and pitches and draws it
# at the view's size from the same camera (the settings' angles, zoom 1): the two pictures agree
# but for a few edge pixels.
size="$(python3 -c 'import struct, sys
print("%dx%d" % struct.unpack(">II", open(sys.argv[1], "rb").read(24)[16:24]))' "$work/gui/tmp.png")"
"$render" --settings "$work/render/mirexa.ini" --stock "$work/render/box.dme" --pitch "$pitch" \
    --program "$work/render/demo_part.nc" --size "$size" --zoom 1 "$artefacts/render_view.png" ||
    e2e_fail "the render tool did not draw the cut"
python3 "$here/png_difference.py" "$artefacts/render_view.png" "$work/gui/tmp.png" 0.002 ||
    e2e_fail "the window's picture of the cut is not the render tool's"

# Alt+"/" opens the version panel wherever the focus is; Esc closes it.
e2e_focus "$main"
xdotool key alt+slash
e2e_find_window "Alt+/ did not open the version panel" 'Version/Environment'
e2e_focus "$found"
xdotool key Escape
e2e_wait "$e2e_patience" "Esc did not close the version panel" e2e_window_gone 'Version/Environment'

# Quit: the menu's Exit; the program saves its settings and ends with code 0.
e2e_menu n x
e2e_wait_for_exit

echo "gui_smoke: passed in $((SECONDS - e2e_started)) s"
