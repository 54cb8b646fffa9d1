#!/usr/bin/env bash
# End to end in the real window: NC Data > Select and Define Optimal Work builds the stock where
# the program cuts. Under one Xvfb the program starts in a coarse copy of the samples and selects
# the sample pocket (40 x 40 in the demo's work system G56, where the blank lies above the table
# and the vice: no length offset, the tools file gives the lengths) with the optimal work; the
# stock saved before the run encloses the pocket's tool path in machine coordinates and is no
# taller than the cut needs; F5 runs the program to its end without an interference alarm; the
# stock saved after the run has lost material inside the box. The saved stocks and the screen at
# a failure are kept as artefacts.
# Skips itself (exit 77) without Xvfb, xdotool or python3.
# Usage: gui_optimal_stock.sh MIREXA SAMPLES_DIR ARTEFACT_DIR
set -euo pipefail
. "$(dirname "$0")/xvfb_session.sh"
e2e_require Xvfb xdotool python3
e2e_coarse_copy "$samples"
gui="$work/gui"
# The blocks (not the comments) of the sample: G56, no length offset, no reference return.
grep -q -E '^G56 G00 X0 Y0' "$gui/pocket.nc" &&
    ! grep -v '^(' "$gui/pocket.nc" | grep -E 'G43|G28' >/dev/null ||
    e2e_fail "the sample pocket changed its form"

e2e_start_xvfb 1600 1000
# Saves the stock as the STL file $1 through Work > Save.
save_stock() {
    e2e_menu w s
    e2e_dialog '^Save Work$' ctrl+a "=$gui/$1" Return
    wait_for "$1 was not written" test -s "$gui/$1"
    cp "$gui/$1" "$artefacts/${name}_$1"
}
# The figures of the STL file $1 (bounding box; with a box "x0,y0,z0,x1,y1,z1" as $2, the count
# of its vertices strictly inside that box).
stl_figures() {
    python3 - "$@" <<'EOF'
import struct, sys
data = open(sys.argv[1], "rb").read()
if data[:5] == b"solid" and b"facet" in data[:400]:
    points = [tuple(map(float, line.split()[1:4])) for line in data.decode().splitlines()
              if line.strip().startswith("vertex")]
else:
    count = struct.unpack("<I", data[80:84])[0]
    points = []
    for i in range(count):
        v = struct.unpack("<12f", data[84 + 50 * i:84 + 50 * i + 48])
        points += [v[3:6], v[6:9], v[9:12]]
low = [min(p[i] for p in points) for i in range(3)]
high = [max(p[i] for p in points) for i in range(3)]
line = " ".join("%.3f" % v for v in low + high)
if len(sys.argv) > 2:
    box = list(map(float, sys.argv[2].split(",")))
    inside = sum(1 for p in points if all(box[i] + 0.01 < p[i] < box[i + 3] - 0.01
                                          for i in range(3)))
    line += " %d" % inside
print(line)
EOF
}


step "the pocket selected with the optimal work"
e2e_launch "$gui" "-(0,0,1500,950)"
e2e_find_window "the main window did not open" 'Not Selected'
main="$found"
e2e_menu n w
e2e_dialog 'NC DATA FILE' ctrl+a "=$gui/pocket.nc" Return
wait_for "the pocket was not selected" title_has pocket.nc
save_stock before.stl
read -r x0 y0 z0 x1 y1 z1 < <(stl_figures "$gui/before.stl")
echo "$name: the optimal work spans X $x0..$x1, Y $y0..$y1, Z $z0..$z1"
# The cutter's centre runs X and Y -15..15 (the 40 mm pocket less the 10 mm cutter), its tip from
# Z 1.5 (the plunge's start, Z 2 less the external offset's 0.5) down to the floor at Z -2.5;
# the box takes up to a pitch (0.5 mm) more, and 10 mm below the floor.
python3 - "$x0" "$y0" "$z0" "$x1" "$y1" "$z1" <<'EOF' || e2e_fail "the optimal work is not the box around the pocket"
import sys
b = list(map(float, sys.argv[1:7]))
want = [-15, -15, -12.5, 15, 15, 1.5]
ok = all(b[i] <= want[i] + 1e-3 and b[i] >= want[i] - 0.51 for i in range(3))
ok = ok and all(b[i] >= want[i] - 1e-3 and b[i] <= want[i] + 0.51 for i in range(3, 6))
sys.exit(0 if ok else 1)
EOF

step "F5: the pocket is cut without an alarm"
xdotool mousemove 900 500
xdotool key F5
wait_for "F5 started no run" title_has "Cutting : Result"
# A box of the program over the window other than the tool panel: an alarm of the run, which
# waits for its answer.
alarm_box() {
    local window
    for window in $(xdotool search --onlyvisible --pid "$mirexa" 2>/dev/null); do
        [ "$window" = "$main" ] && continue
        case "$(xdotool getwindowname "$window")" in *" in vmc3.ttl "*) ;; *) return 0 ;; esac
    done
    return 1
}
ended_or_alarm() {
    title_lacks "Cutting" || alarm_box
}
e2e_wait "$e2e_run_patience" "the run did not reach its end" ended_or_alarm
if alarm_box; then
    e2e_fail "the run stopped on a box: $(for w in $(xdotool search --onlyvisible --pid "$mirexa"); do
        xdotool getwindowname "$w"
    done | tr '\n' '|')"
fi
if grep -a -q -i "interfered" "$gui/mirexa.log" 2>/dev/null; then
    e2e_fail "the run raised an interference alarm: $(grep -a -i interfered "$gui/mirexa.log")"
fi
save_stock after.stl
read -r _ _ _ _ _ _ inside < <(stl_figures "$gui/after.stl" "$x0,$y0,$z0,$x1,$y1,$z1")
echo "$name: $inside vertices of the cut stock lie inside the box"
[ "$inside" -gt 0 ] || e2e_fail "the run cut nothing from the optimal work"
e2e_stop
echo "$name: passed in $((SECONDS - e2e_started)) s"
