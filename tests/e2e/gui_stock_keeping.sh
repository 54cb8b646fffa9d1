#!/usr/bin/env bash
# The cut part is never lost, in the real window under one Xvfb server: after a run of the demo
# program, a box too large for the memory ("Data size error") and a stock file that is no stock
# ("Data error") are refused, and Work > Save then writes the cut part; Exit does not keep the
# refused size. Started without a stock, the sample's own blank and cylinder, as their dialogs
# offer them, are cut by the demo program, and the saved surfaces hold the cut part. Each saved
# ASCII STL is checked: many facets, its top faced 0.5 mm below the blank's (machine Z 0), its
# bottom at Z -30.5. A failure keeps the screen, the program's output and its log as artefacts
# (tests/e2e/xvfb_session.sh).
# Skips itself (exit 77) without Xvfb, xdotool, ffmpeg or python3.
# Usage: gui_stock_keeping.sh MIREXA SAMPLES_DIR ARTEFACT_DIR
set -euo pipefail
. "$(dirname "$0")/xvfb_session.sh"
e2e_require Xvfb xdotool ffmpeg python3
e2e_coarse_copy "$samples"
printf 'this is no stock file\n' >"$work/gui/broken.dme"

e2e_start_xvfb 1600 1000

# Waits for the window named $1, gives it the keyboard, then: "@x y" clicks twice at x y in it
# and selects the field's text, "=text" types the text, anything else is a key; then waits until
# the window has gone.
answer() {
    local title="$1" window key
    e2e_find_window "the window $title did not open" "$title"
    window="$found"
    e2e_focus "$window"
    for key in "${@:2}"; do
        case "$key" in
            @*) xdotool mousemove --window "$window" ${key#@} click --repeat 2 1 key ctrl+a ;;
            =*) xdotool type --delay 10 "${key#=}" ;;
            *) xdotool key "$key" ;;
        esac
    done
    wait_for "the window $title did not close" e2e_window_gone "$title"
}
# Runs the selected program to its end (its length report is shown once it has ended).
run_to_end() {
    local reports
    reports="$(viewed_reports)"
    xdotool mousemove 900 500
    xdotool key F5
    e2e_wait "$e2e_run_patience" "the run did not reach its end" more_reports "$reports"
    wait_for "the title still names the run" sh -c "! xdotool getwindowname $main | grep -q Cutting"
}
# Saves the work as the ASCII STL $1 and checks that it holds the cut part ($2 says after what).
e2e_detail="$work/stl_check"
save_cut() {
    e2e_menu w s
    answer '^Save Work$' "=$work/gui/$1" Return
    wait_for "$1 was not written ($2)" test -s "$work/gui/$1"
    python3 - "$work/gui/$1" >"$e2e_detail" <<'EOF' || e2e_fail "$1 does not hold the cut part ($2)"
import sys
zs = [float(line.split()[3]) for line in open(sys.argv[1]) if line.strip().startswith("vertex")]
facets = len(zs) // 3
print("facets %d, Z %s to %s" % (facets, min(zs, default=None), max(zs, default=None)))
sys.exit(0 if facets > 100 and abs(min(zs) + 30.5) < 0.01 and abs(max(zs) + 0.5) < 0.01 else 1)
EOF
}

step "a run of the demo program on the command line's blank"
e2e_launch "$work/gui" "-(0,0,1500,950)" "-D(0,0,-30.5,100,80,0)" demo_part.nc
e2e_find_window "the main window did not open with the program" 'demo_part\.nc'
main="$found"
run_to_end

step "a box too large for the memory is refused, and the cut is saved"
# XMAX of the two-point dialog (dialog units 162, 34, two pixels each) gets one digit too many.
e2e_menu w d
answer '^Define Work by 2-Points$' "@370 76" "=99999999" Return
answer '^Data size error$' Return
save_cut after_size.stl "the refused box"

step "a broken stock file is refused, and the cut is saved"
e2e_menu w l
answer '^Work$' "=$work/gui/broken.dme" Return
answer '^Data error$' Return
save_cut after_read.stl "the refused file"
e2e_menu n x
e2e_wait_for_exit
if grep -a -q '^INITIAL SIZE=.*99999999' "$work/gui/mirexa.ini"; then
    e2e_fail "Exit wrote the refused size: $(grep -a '^INITIAL SIZE=' "$work/gui/mirexa.ini")"
fi

step "the sample's own blank and cylinder, as their dialogs offer them, cut by the demo program"
e2e_launch "$work/gui" "-(0,0,1500,950)" demo_part.nc
e2e_find_window "the main window did not open with the program" 'demo_part\.nc'
main="$found"
e2e_menu w d
answer '^Define Work by 2-Points$' Return
run_to_end
save_cut sample_box.stl "the sample's blank"
e2e_menu w u
answer '^Define Cylinder Work$' Return
run_to_end
save_cut sample_cylinder.stl "the sample's cylinder"
e2e_menu n x
e2e_wait_for_exit
step "a refused INITIAL SIZE in work coordinates: its default stands at the work origin"
# Five numbers, with the settings' stock values in work coordinates: the line is refused, the log
# names it, the default box (0,0,0,100,100,30) stands at the start's work origin (G54 with the
# external offset: machine -250, -180, -321), and Exit leaves the line as it was written.
sed -i -e 's/^INPUT COORDINATE=.*/INPUT COORDINATE=WORK/' \
    -e 's/^INITIAL SIZE=.*/INITIAL SIZE=(0,0,-30.5,100,80)/' "$work/gui/mirexa.ini"
rm -f "$work/gui/mirexa.log"
e2e_launch "$work/gui" "-(0,0,1500,950)"
# The start tells of the refused line in a box of its own.
answer '^mirexa$' Return
e2e_find_window "the main window did not open" 'Not Selected'
main="$found"
e2e_menu w d
answer '^Define Work by 2-Points$' Return
e2e_menu w s
answer '^Save Work$' "=$work/gui/refused_default.stl" Return
wait_for "refused_default.stl was not written" test -s "$work/gui/refused_default.stl"
e2e_menu n x
e2e_wait_for_exit
python3 - "$work/gui/refused_default.stl" >"$e2e_detail" <<'EOF' ||
import sys
points = [[float(v) for v in line.split()[1:4]] for line in open(sys.argv[1])
          if line.strip().startswith("vertex")]
low = [min(p[a] for p in points) for a in range(3)]
high = [max(p[a] for p in points) for a in range(3)]
print("the box stands from %s to %s" % (low, high))
want = [-250, -180, -321], [-150, -80, -291]
sys.exit(0 if all(abs(low[a] - want[0][a]) < 0.01 and abs(high[a] - want[1][a]) < 0.01
                  for a in range(3)) else 1)
EOF
    e2e_fail "the default box of a refused INITIAL SIZE does not stand at the work origin"
grep -a -q '^INITIAL SIZE=(0,0,-30.5,100,80)\r\?$' "$work/gui/mirexa.ini" ||
    e2e_fail "Exit rewrote the refused line: $(grep -a '^INITIAL SIZE=' "$work/gui/mirexa.ini")"
grep -a -q 'INITIAL SIZE=(0,0,-30.5,100,80)' "$work/gui/mirexa.log" ||
    e2e_fail "the log does not name the refused line"
echo "$name: passed in $((SECONDS - e2e_started)) s"
