#!/usr/bin/env bash
# A start from the command line and what the window does afterwards, under one Xvfb server:
# started with a stock and a program, the window runs the program; the tool display panel then
# names the tool the spindle holds, also after Esc ended a run at another tool; Work > Read opens
# its dialog (cancelled, the cut stays; another stock read, C brings the cut back); NC Data >
# Select opens its dialog every time. A macro without EXIT hands the window back with the panel
# painted in English, its title marked while the NC communication plug-in is loaded, and at the
# large panel font the panel clear of the information panel. With the settings' stock values in
# work coordinates, the NC program's dialog offers what the settings' own pattern lets through,
# and the stocks defined against the work origin, by two points and as a cylinder are written at
# Exit in work coordinates and, after a new start, defined again in the same place (the stock
# files saved in both sessions alike). A failure keeps the screen, the program's output and its
# log as artefacts (tests/e2e/xvfb_session.sh).
# Skips itself (exit 77) without Xvfb, xdotool, ffmpeg or python3.
# Usage: gui_command_line_start.sh MIREXA SAMPLES_DIR ARTEFACT_DIR NCCOM_PLUGIN
set -euo pipefail
. "$(dirname "$0")/xvfb_session.sh"
nccom="$4"
e2e_require Xvfb xdotool ffmpeg python3
e2e_coarse_copy "$samples"
# A plain box to read over the cut.
(cd "$work/gui" && env -u DISPLAY "$program" "-D(0,0,-30.5,100,80,0)" "-XM(0,0,0)" -O box.dme \
    >"$work/box.out" 2>&1) || e2e_fail "the batch run did not write box.dme: $(cat "$work/box.out")"

e2e_start_xvfb 1600 1000

changed() {
    [ "$(probe $1 $2 $3 $4 sum)" != "$5" ]
}
# The view's picture, the pointer kept out of it (the screen's grab shows the pointer).
view_picture() {
    xdotool mousemove 150 900
    probe $view sum
}
same_view() {
    [ "$(view_picture)" = "$1" ]
}
# Succeeds once the view shows the same picture twice half a second apart; $settled is it.
settled=""
view_settled() {
    local first
    first="$(view_picture)"
    sleep 0.5
    settled="$(view_picture)"
    [ "$first" = "$settled" ]
}
name_of() {
    xdotool getwindowname "$1"
}
named() {
    case "$(name_of "$1")" in $2) return 0 ;; *) return 1 ;; esac
}
# The tool display panel's title matches $1 (a failure shows the title it had last).
e2e_detail="$work/panel_title"
panel_names() {
    echo "the tool display panel's title was: $(name_of "$panel")" >"$e2e_detail"
    named "$panel" "$1"
}

# Places on the screen with the window at the screen's corner, 1500 x 950: the view, the status
# bar's part that shows a stop, the NC strip; the tool display panel's picture box (panel pixels).
view="300 100 1000 700"
stop_part="356 952 158 12"
strip="2 19 1270 14"
picture="40 100"
paused() {
    [ "$(probe $stop_part ink)" -gt 0 ]
}

step "a stock and a program named on the command line, run to the end"
e2e_launch "$work/gui" "-(0,0,1500,950)" "-D(100,80,0,0,0,-30.5)" demo_part.nc
e2e_find_window "the main window did not open with the program" 'demo_part\.nc'
main="$found"
e2e_find_window "the tool display panel did not open" ' in vmc3\.ttl '
panel="$found"
# The run starts once the window has drawn the stock.
wait_for "the view did not settle after the start" view_settled
reports="$(viewed_reports)"
xdotool mousemove 900 500
xdotool key F5
e2e_wait "$e2e_run_patience" "the run did not reach its end" more_reports "$reports"
wait_for "the title still names the run" sh -c "! xdotool getwindowname $main | grep -q Cutting"
# The program's last tool is T04, the drill: the view draws it and the panel names it.
wait_for "the tool display panel does not name T04, which the spindle holds" \
    panel_names 'DRILL D8.5(*'
wait_for "the view did not settle after the run" view_settled
cut="$settled"

step "Work > Read asks, and C brings the cut back"
e2e_menu w l
e2e_dialog '^Work$' Escape
wait_for "the cut is not shown as it was after the cancelled read" same_view "$cut"
e2e_menu w l
e2e_dialog '^Work$' "=$work/gui/box.dme" Return
wait_for "the box read is not shown" changed $view "$cut"
xdotool mousemove 900 500
xdotool key c
wait_for "C did not bring the cut back" same_view "$cut"

step "NC Data > Select asks every time"
e2e_menu n s
e2e_dialog 'NC DATA FILE' ctrl+a "=$work/gui/pocket.nc" Return
wait_for "the program chosen was not selected" named "$main" '*pocket.nc*'
e2e_menu n s
e2e_dialog 'NC DATA FILE' ctrl+a "=$work/gui/demo_part.nc" Return
wait_for "the program chosen again was not selected" named "$main" '*demo_part.nc*'

step "Esc at T03: the panel keeps the tool the spindle holds"
e2e_menu r h s
xdotool mousemove 900 500
xdotool key F5
wait_for "the single block run did not stop before its first block" paused
for block in $(seq 1 12); do
    panel_names 'BULL D16*' && break
    before="$(probe $strip sum)"
    xdotool key g
    wait_for "G ran no block ($block)" changed $strip "$before"
    wait_for "the run did not stop again after block $block" paused
done
wait_for "the run did not mount T03" panel_names 'BULL D16*'
xdotool key Escape
wait_for "Esc did not end the run" sh -c "! xdotool getwindowname $main | grep -q Cutting"
# A click in the picture box paints the panel again (its scale changes).
eval "$(xdotool getwindowgeometry --shell "$panel")"
box="$((X + 9)) $((Y + 40)) 70 110"
before="$(probe $box sum)"
xdotool mousemove --window "$panel" $picture click 1
wait_for "the picture box did not paint again" changed $box "$before"
panel_names 'BULL D16*' || e2e_fail "after Esc at T03 the panel does not name T03"
e2e_menu n x
e2e_wait_for_exit

step "a macro hands the window back, with the NC communication plug-in, at the large font"
# The program beside the plug-in it loads; a macro without EXIT.
mkdir -p "$work/plugged"
cp "$program" "$work/plugged/mirexa"
cp "$nccom" "$work/plugged/mxnccom.so"
program="$work/plugged/mirexa"
printf 'SELECT_NCDATA demo_part.nc\n' >"$work/gui/hand.mac"
e2e_launch "$work/gui" "-(0,0,1200,900)" -F20 hand.mac
e2e_find_window "the main window did not open with the macro's program" 'demo_part\.nc'
main="$found"
e2e_find_window "the tool display panel was not painted after the macro" ' in vmc3\.ttl .*'
panel="$found"
wait_for "the panel's title lacks the plug-in's mark" panel_names '* \*'
# The panel lies over the view, right of the information panel's column (where the view's dark
# background begins on a row through the column).
column_right() {
    ffmpeg -loglevel error -f x11grab -video_size 1200x1 -i "$DISPLAY+0,400" -frames:v 1 \
        -f rawvideo -pix_fmt rgb24 - | python3 -c '
import sys
row = sys.stdin.buffer.read()
dark = [max(row[3 * x:3 * x + 3]) < 90 for x in range(len(row) // 3)]
print(next(x for x in range(len(dark)) if all(dark[x:x + 40])))'
}
eval "$(xdotool getwindowgeometry --shell "$panel")"
right="$(column_right)"
[ "$X" -ge "$right" ] || e2e_fail "the tool panel at x $X covers the column, which ends at $right"
e2e_menu n x
e2e_wait_for_exit

step "stocks defined, Exit, and a new start defines them in the same place"
program="$1"
mkdir -p "$work/stock"
cp "$samples"/* "$work/stock/"
# The stock values in work coordinates; the settings' own NC file pattern, and a program it lets
# through beside one it does not.
sed -i -e 's/^INPUT COORDINATE=.*/INPUT COORDINATE=WORK/' \
    -e 's/^Target_NCdir=.*/&\nTarget_NCfile=*.tap/' "$work/stock/mirexa.ini"
cp "$work/stock/pocket.nc" "$work/stock/demo_part.tap"
dme_lines() {
    grep -a -E '^(INITIAL SIZE|INITIAL SIZE2|CYLINDER)=' "$work/stock/mirexa.ini"
}
dme_lines >"$work/stock_values.before"
# Defines a stock with the menu key $1 and its dialog $2 as it stands, and saves it as $3.
define_and_save() {
    e2e_menu w "$1"
    e2e_dialog "$2" Return
    e2e_menu w s
    e2e_dialog '^Save Work$' "=$work/stock/$3" Return
    wait_for "$3 was not written" test -s "$work/stock/$3"
}
e2e_launch "$work/stock" "-(0,0,1500,950)"
e2e_find_window "the main window did not open" 'Not Selected'
main="$found"
# The NC program's dialog: the names offered for the beginning typed are those its first filter,
# the settings' pattern, lets through.
e2e_menu n s
e2e_find_window "the NC program's dialog did not open" 'NC DATA FILE'
e2e_focus "$found"
shown="$(e2e_shown_windows)"
xdotool type --delay 10 demo_part.
wait_for "no names were offered for demo_part." e2e_new_window "$shown" popup
xdotool key Down Return Return
wait_for "the NC program's dialog did not close" e2e_window_gone 'NC DATA FILE'
wait_for "the program of the pattern *.tap was not selected" named "$main" '*demo_part.tap*'
define_and_save w '^Define Work by Origin Point$' origin1.dme
define_and_save d '^Define Work by 2-Points$' box1.dme
define_and_save u '^Define Cylinder Work$' cylinder1.dme
e2e_menu n x
e2e_wait_for_exit
dme_lines >"$work/stock_values.after"
cmp -s "$work/stock_values.before" "$work/stock_values.after" || {
    diff "$work/stock_values.before" "$work/stock_values.after" || true
    e2e_fail "the stock values written at Exit are not the sample's work coordinates"
}
e2e_launch "$work/stock" "-(0,0,1500,950)"
e2e_find_window "the main window did not open again" 'Not Selected'
main="$found"
define_and_save d '^Define Work by 2-Points$' box2.dme
define_and_save w '^Define Work by Origin Point$' origin2.dme
define_and_save u '^Define Cylinder Work$' cylinder2.dme
e2e_menu n x
e2e_wait_for_exit
for stock in origin box cylinder; do
    cmp -s "$work/stock/${stock}1.dme" "$work/stock/${stock}2.dme" ||
        e2e_fail "the $stock defined after the new start differs from the one before Exit"
done
# In work coordinates the sample's blank, 100 x 80 x 30.5 mm, has the work origin at its upper
# front left corner: the box by two points is that one, and the cylinder stands on it.
cmp -s "$work/stock/origin1.dme" "$work/stock/box1.dme" ||
    e2e_fail "the box by two points is not the sample's blank at the work origin"
python3 - "$work/stock/origin1.dme" "$work/stock/cylinder1.dme" <<'EOF' ||
import struct, sys
def extent(path):
    head = open(path, "rb").read(152)
    nx, ny, nz = struct.unpack_from("<3i", head, 108)
    pitch, x, y, z = struct.unpack_from("<4d", head, 120)
    return x, y, x + (nx - 1) * pitch, y + (ny - 1) * pitch
box, cylinder = extent(sys.argv[1]), extent(sys.argv[2])
inside = box[0] - 1 <= cylinder[0] and cylinder[2] <= box[2] + 1 and \
    box[1] - 1 <= cylinder[1] and cylinder[3] <= box[3] + 1
print("blank %s, cylinder %s" % (box, cylinder))
sys.exit(0 if inside else 1)
EOF
    e2e_fail "the sample's cylinder does not stand on its blank"
echo "$name: passed in $((SECONDS - e2e_started)) s"
