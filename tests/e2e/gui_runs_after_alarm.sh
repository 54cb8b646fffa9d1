#!/usr/bin/env bash
# Runs after an alarm in one real window, under one Xvfb server: a program that leaves the X
# stroke ends on "Over Stroke of X-axis!", the box is answered; then a program well inside the
# strokes, selected in the same window, runs to its end with no alarm, and the stock saved after
# it is the one the same program cuts in a fresh process. Then a recorded run (an AVI file) with
# no viewer installed, paused at a feed into the vice and ended by Esc: the box that says there
# is no viewer for the interference report comes once the window shows the run's end. A failure
# keeps the screen, the program's output and its log as artefacts (tests/e2e/xvfb_session.sh).
# Skips itself (exit 77) without Xvfb, xdotool, ffmpeg or python3.
# Usage: gui_runs_after_alarm.sh MIREXA SAMPLES_DIR ARTEFACT_DIR
set -euo pipefail
. "$(dirname "$0")/xvfb_session.sh"
e2e_require Xvfb xdotool ffmpeg python3
e2e_coarse_copy "$samples"
box="-D(100,80,0,0,0,-30.5)"
printf '%s\n' % O13 'G90 G17 G40 G49 G80' 'T1 M06' 'G56 G00 X50. Y40. Z20. S3000 M03' \
    'G00 X2000.' M30 % >"$work/gui/over.nc"
printf '%s\n' % O10 'G90 G17 G40 G49 G80' 'T1 M06' 'G56 G00 X-15. Y40. Z20. S3000 M03' \
    'G01 Z-40. F500.' 'G00 Z50.' M30 % >"$work/gui/jaw.nc"
# Every block of a run recorded in an AVI file beside the programs.
sed -i -e "s|^Target_VIDEOdir=.*|Target_VIDEOdir=$work/gui|" -e 's/^TIMING=NO/TIMING=BLOCK/' \
    "$work/gui/mirexa.ini"
printf '%s\n' % O14 'G90 G17 G40 G49 G80' 'T1 M06' 'G56 G00 X20. Y20. Z20. S3000 M03' \
    'G01 Z-2. F500.' X60. Y60. 'G00 Z50.' M30 % >"$work/gui/inside.nc"
# What the program inside the strokes cuts, and the box uncut, in processes of their own.
(cd "$work/gui" && env -u DISPLAY "$program" "$box" inside.nc -X6 -O alone.dme \
    >"$work/alone.out" 2>&1) || e2e_fail "the batch run did not write alone.dme: $(cat "$work/alone.out")"
(cd "$work/gui" && env -u DISPLAY "$program" "$box" "-XM(0,0,0)" -O uncut.dme \
    >"$work/uncut.out" 2>&1) || e2e_fail "the batch run did not write uncut.dme: $(cat "$work/uncut.out")"

e2e_start_xvfb 1600 1000

run_ended() {
    ! title_has Cutting
}
alarm_box='^(Over Stroke of .-axis!|.軸の可動範囲を越えました!)$'
# The run's end: its title without the run, or the alarm's box (whichever comes first).
ended_or_alarm() {
    run_ended || e2e_window_shown "$alarm_box"
}

step "a program beyond the X stroke ends on the alarm"
e2e_launch "$work/gui" "-(0,0,1500,950)" "$box" over.nc
e2e_find_window "the main window did not open with the program" 'over\.nc'
main="$found"
e2e_find_window "the tool display panel did not open" ' in vmc3\.ttl '
xdotool mousemove 900 500
xdotool key F5
e2e_wait "$e2e_run_patience" "the run beyond the stroke did not end" ended_or_alarm
e2e_window_shown "$alarm_box" || e2e_fail "the run beyond the X stroke ended without its alarm"
e2e_dialog "$alarm_box" Return
wait_for "the title still names the run after the alarm" run_ended

step "a program inside the strokes, in the same window, runs to its end"
e2e_menu n s
e2e_dialog 'NC DATA FILE' ctrl+a "=$work/gui/inside.nc" Return
wait_for "the program inside the strokes was not selected" title_has inside.nc
xdotool mousemove 900 500
xdotool key F5
e2e_wait "$e2e_run_patience" "the run inside the strokes did not end" ended_or_alarm
if e2e_window_shown "$alarm_box"; then
    e2e_fail "the run inside the strokes ended on the earlier run's alarm"
fi
e2e_menu w s
e2e_dialog '^Save Work$' "=$work/gui/after.dme" Return
wait_for "after.dme was not written" test -s "$work/gui/after.dme"
cmp -s "$work/gui/after.dme" "$work/gui/uncut.dme" &&
    e2e_fail "the stock saved after the run inside the strokes is not cut"
cmp -s "$work/gui/after.dme" "$work/gui/alone.dme" ||
    e2e_fail "the stock saved after the run inside the strokes is not the one its program cuts alone"

step "a recorded run ended by Esc shows its end before the box about the viewer"
rm -f "$work/bin/xdg-open"  # no viewer from here on
stop_part="356 952 158 12"
control_point="102 82 108 50"
paused() {
    [ "$(probe $stop_part ink)" -gt 0 ]
}
no_viewer='^MIREXA7$'
e2e_menu n s
e2e_dialog 'NC DATA FILE' ctrl+a "=$work/gui/jaw.nc" Return
wait_for "the program into the vice was not selected" title_has jaw.nc
xdotool mousemove 900 500
xdotool key F5
wait_for "the run did not pause at its feed into the vice" paused
xdotool key Escape
e2e_find_window "no box said that there is no viewer for the report" "$no_viewer"
box_window="$found"
xdotool mousemove 150 900
at_box="$(probe $control_point sum)"
e2e_focus "$box_window"
xdotool key Return
wait_for "the box about the viewer did not close" e2e_window_gone "$no_viewer"
wait_for "the title still names the run after Esc" run_ended
settled=""
panel_settled() {
    local first
    first="$(probe $control_point sum)"
    sleep 0.5
    settled="$(probe $control_point sum)"
    [ "$first" = "$settled" ]
}
wait_for "the panel did not settle after the run's end" panel_settled
[ "$settled" = "$at_box" ] ||
    e2e_fail "the panel showed the run's end only after the box about the viewer"
[ -s "$work/gui/jaw.AVI" ] || e2e_fail "the run was not recorded"

step exit
e2e_menu n x
e2e_wait_for_exit
echo "$name: passed in $((SECONDS - e2e_started)) s"
