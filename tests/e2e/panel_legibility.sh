#!/usr/bin/env bash
# End to end in the real window: the information panel can be read. Under one Xvfb the program
# starts in a copy of the samples, in English (with the message file) and in Japanese (without
# it), at the default font and at the larger font -F20; once the screen has settled, the panel
# column's pixels are looked at: filled with the light pane face, with text standing out from it,
# and no dark band. At -F20 the column is as wide as its larger cells: its Define and H-Code panes
# beyond the default column's 220 pixels take their clicks (Define is drawn pressed and released
# again, H-Code opens the H-CODE dialog), and the tool display panel's numbers (yellow diameters,
# magenta lengths, cyan tool numbers) do not overprint one another. The screenshots are kept as
# artefacts. Skips itself (exit 77) without Xvfb, xdotool, ffmpeg or python3.
# Usage: panel_legibility.sh MIREXA SAMPLES_DIR ARTEFACT_DIR
set -euo pipefail
. "$(dirname "$0")/xvfb_session.sh"
program="$(realpath "$program")"
samples="$(realpath "$samples")"
e2e_require Xvfb xdotool ffmpeg python3
fail() {
    e2e_fail "$@"
}

width=1280
height=1024
e2e_start_xvfb "$width" "$height"

# The screen's pixels (rgb24 rows) into $1.
grab_screen() {
    ffmpeg -loglevel error -y -f x11grab -video_size "${width}x${height}" -i "$DISPLAY" \
        -frames:v 1 -f rawvideo -pix_fmt rgb24 "$1"
}
shown_window() {
    [ -n "$(xdotool search --onlyvisible --pid "$mirexa" 2>/dev/null | head -1)" ]
}
# 1 when the screen grabbed now is the one grabbed last time (the window has painted and
# settled).
previous=""
settled() {
    local sum
    grab_screen "$work/screen.rgb" || return 1
    sum="$(md5sum <"$work/screen.rgb")"
    [ "$sum" = "$previous" ] && return 0
    previous="$sum"
    sleep 0.5
    return 1
}

# The panel column's pixels of the settled screen (figures in $work/figures): filled with the
# light pane face, text standing out from it, no navy band.
readable() {
    settled || return 1
    python3 - "$work/screen.rgb" "$width" 4 216 80 400 >"$work/figures" <<'EOF'
import sys

path, width, left, right, top, bottom = sys.argv[1], *map(int, sys.argv[2:])
data = open(path, "rb").read()


def luminance(rgb):
    def channel(c):
        c /= 255.0
        return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4

    r, g, b = (channel(c) for c in rgb)
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


face = luminance((0xF0, 0xF0, 0xF0))
total = faced = legible = dark = 0
for y in range(top, bottom):
    for x in range(left, right):
        at = 3 * (y * width + x)
        rgb = data[at:at + 3]
        total += 1
        if max(abs(c - 0xF0) for c in rgb) <= 2:
            faced += 1
            continue
        lum = luminance(rgb)
        if (max(lum, face) + 0.05) / (min(lum, face) + 0.05) >= 4.5:
            legible += 1
        if lum < 0.05 and rgb[2] > rgb[0] + 40:
            dark += 1  # navy: the panel's background showing through
print("face %.3f, legible text %.3f, navy %.3f" % (faced / total, legible / total, dark / total))
sys.exit(0 if faced / total >= 0.4 and legible / total >= 0.01 and dark / total < 0.02 else 1)
EOF
}

# The panel column's width and top (screen pixels) on the settled screen: the column ends where
# the view's dark background begins on a row through the column, and the view (with the column)
# begins below the menu bar and the NC strip.
column_geometry() {
    python3 - "$work/screen.rgb" "$width" <<'EOF'
import sys

path, width = sys.argv[1], int(sys.argv[2])
data = open(path, "rb").read()


def dark(x, y):
    at = 3 * (y * width + x)
    return max(data[at:at + 3]) < 90


def first_dark(points):
    for at, (x, y) in enumerate(points):
        if all(dark(*p) for p in points[at:at + 40]):  # longer than any stroke of a text
            return x, y
    sys.exit("no dark view found")


right, _ = first_dark([(x, 500) for x in range(width - 40)])
_, top = first_dark([(right + 4, y) for y in range(600)])
print(right, top)
EOF
}

# The tool display panel's labels in the window at X Y WIDTH HEIGHT of the settled screen: its
# words of each colour (yellow diameters, magenta lengths, cyan tool numbers: pixels of one colour
# a few pixels apart) are found, and no word comes within 3 pixels of a word of another colour.
# Prints the words' boxes (left, top, right, bottom).
labels_apart() {
    python3 - "$work/screen.rgb" "$width" "$@" <<'EOF'
import sys

path, width, left, top, w, h = sys.argv[1], *map(int, sys.argv[2:])
data = open(path, "rb").read()


def colour(x, y):
    r, g, b = data[3 * (y * width + x):3 * (y * width + x) + 3]
    if r > 180 and g > 180 and b < 100:
        return "yellow"
    if r > 180 and b > 180 and g < 100:
        return "magenta"
    if g > 180 and b > 180 and r < 100:
        return "cyan"
    return None


pixels = {}
for y in range(top, top + h):
    for x in range(left, left + w):
        c = colour(x, y)
        if c:
            pixels[(x, y)] = c
seen, words = set(), []
for start, c in pixels.items():
    if start in seen:
        continue
    seen.add(start)
    stack, box, count = [start], list(start + start), 0
    while stack:
        x, y = stack.pop()
        count += 1
        box = [min(box[0], x), min(box[1], y), max(box[2], x), max(box[3], y)]
        for dx in range(-4, 5):
            for dy in (-1, 0, 1):
                n = (x + dx, y + dy)
                if n not in seen and pixels.get(n) == c:
                    seen.add(n)
                    stack.append(n)
    if count >= 8:
        words.append((c, box))
print(" ".join("%s(%d,%d,%d,%d)" % (c, *b) for c, b in words))
if len({c for c, _ in words}) < 3:
    sys.exit("not every colour of label is shown")
# Words of two colours closer than 3 pixels run into each other (a text drawn over another
# hides the pixels it covers).
gap = 3
for i, (c1, a) in enumerate(words):
    for c2, b in words[i + 1:]:
        if (c1 != c2 and a[0] < b[2] + gap and b[0] < a[2] + gap and a[1] < b[3] + gap and
                b[1] < a[3] + gap):
            sys.exit("%s %s runs into %s %s" % (c1, a, c2, b))
EOF
}

# The same on the screen grabbed now (the panel may still be painting), its words in the figures.
tool_labels_apart() {
    grab_screen "$work/screen.rgb" && labels_apart "$@" >"$work/figures" 2>&1
}

# The checksum of the screen's pixels in X Y WIDTH HEIGHT, without the mouse pointer.
area_sum() {
    ffmpeg -loglevel error -f x11grab -draw_mouse 0 -video_size "${3}x${4}" \
        -i "$DISPLAY+$1,$2" -frames:v 1 -f rawvideo -pix_fmt rgb24 - | md5sum
}
area_changed() {
    [ "$(area_sum "$1" "$2" "$3" "$4")" != "$5" ]
}
area_is() {
    [ "$(area_sum "$1" "$2" "$3" "$4")" = "$5" ]
}

# At -F20: the column, the tool display panel's labels and two panes beyond 220 pixels.
check_large_font() {
    local column top x y define released
    local what="$language -F$font"
    e2e_detail="$work/figures"
    column_geometry >"$work/figures" 2>&1 || fail "$what: no view beside the panel"
    read -r column top <"$work/figures"
    echo "$what: the column is $column pixels wide, its top at $top"
    [ "$column" -gt 240 ] || fail "$what: the column stays $column pixels wide"
    # The tool display panel: its numbers stand apart.
    e2e_find_window "$what: the tool display panel did not open" ' in vmc3\.ttl '
    eval "$(xdotool getwindowgeometry --shell "$found")"
    e2e_wait "$e2e_patience" "$what: the tool display panel's numbers overprint one another" \
        tool_labels_apart "$X" "$Y" "$WIDTH" "$HEIGHT"
    echo "$what: the tool panel's labels: $(cat "$work/figures")"
    # The panes by the panel's table (140 units across; rows of 15 units down from the column's
    # top with three axes), spread over the column and 24/15 down at 20 pixels.
    # Define (91..135 x 117..132): its border drawn pressed, then released by a second click.
    x=$((113 * column / 140))
    y=$((top + 124 * 24 / 15))
    define="$((91 * column / 140 - 1)) $((top + 117 * 24 / 15 - 1))"
    define="$define $((44 * column / 140 + 3)) $((15 * 24 / 15 + 3))"
    released="$(area_sum $define)"
    xdotool mousemove "$x" "$y" click 1
    e2e_wait "$e2e_patience" "$what: Define at $x,$y was not pressed" \
        area_changed $define "$released"
    xdotool mousemove "$x" "$y" click 1
    e2e_wait "$e2e_patience" "$what: Define at $x,$y was not released" \
        area_is $define "$released"
    # H-Code: its dialog opens; Esc closes it.
    x=$((102 * column / 140))
    y=$((top + 89 * 24 / 15))
    xdotool mousemove "$x" "$y" click 1
    e2e_find_window "$what: H-Code at $x,$y opened no dialog" 'H-CODE'
    e2e_focus "$found"
    xdotool key Escape
    e2e_wait "$e2e_patience" "$what: Esc did not close the H-CODE dialog" e2e_window_gone 'H-CODE'
}

for font in 0 20; do
    for language in English Japanese; do
        suffix=""
        [ "$font" = 0 ] || suffix="_F$font"
        dir="$work/$language$suffix"
        mkdir -p "$dir"
        cp "$samples"/* "$dir/"
        [ "$language" = Japanese ] && rm -f "$dir/mirexa7.mes"
        # The window at the screen's corner; without a window manager it has no frame.
        arguments=("-(0,0,1200,900)")
        [ "$font" = 0 ] || arguments+=("-F$font")
        e2e_launch "$dir" "${arguments[@]}"
        e2e_wait "$e2e_patience" "$language -F$font: the main window did not open" shown_window
        previous=""
        # The column lies at the window's left edge below the menu bar and the NC strip, 220
        # pixels wide or more; rows 80 to 400 of the screen lie inside it whatever the menu
        # bar's height.
        e2e_detail="$work/figures"
        e2e_wait "$e2e_patience" "$language -F$font: the panel cannot be read" readable
        ffmpeg -loglevel error -y -f rawvideo -pix_fmt rgb24 -video_size "${width}x${height}" \
            -i "$work/screen.rgb" "$artefacts/panel_$language$suffix.png"
        cat "$work/figures"
        [ "$font" = 0 ] || check_large_font
        e2e_stop
    done
done
# The panels fit the window at every size: in English, at each font and with the command panel
# on and off, the window asked for at sizes the panels do not fit in. The main window and the
# side panels lie on the screen, the side panels right of the column, below the window's top and
# apart, and the column's picture down to its last pane (measured in a window as large as the
# screen) is the same as there: whole and covered by nothing. The tool display panel's drawing
# ends inside its client: its last rows are the pane face.
# The visible windows of the program: id x y width height name, one a line.
program_windows() {
    local window
    for window in $(xdotool search --onlyvisible --pid "$mirexa" 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$window")"
        echo "$window $X $Y $WIDTH $HEIGHT $(xdotool getwindowname "$window")"
    done
}
# Every window of the program placed as the panels need (figures in $work/figures).
panels_fit() {
    program_windows >"$work/windows" || return 1
    settled || return 1
    python3 - "$work/screen.rgb" "$width" "$height" "$work/windows" "$work/column.rgb" \
        "${column_rows:-0}" >"$work/figures" 2>&1 <<'EOF'
import sys

path, width, height, windows, reference, rows = sys.argv[1], int(sys.argv[2]), \
    int(sys.argv[3]), sys.argv[4], sys.argv[5], int(sys.argv[6])
data = open(path, "rb").read()
shown = []
for line in open(windows):
    parts = line.split(None, 5)
    shown.append((list(map(int, parts[1:5])), parts[5].strip() if len(parts) > 5 else ""))
main = [g for g, name in shown if name.startswith("VMC3")]
if len(main) != 1:
    sys.exit("no single main window among %s" % shown)
mx, my, mw, mh = main[0]
panels = [(g, name) for g, name in shown if not name.startswith("VMC3")]


def dark(x, y):
    at = 3 * (y * width + x)
    return max(data[at:at + 3]) < 90


# The column ends where the view's dark background begins, on a row below the strip.
row = my + 60
column = next((x for x in range(mx, mx + mw - 40)
               if all(dark(x + d, row) for d in range(40))), None)
if column is None:
    sys.exit("no view beside the column on row %d" % row)
print("main %s, column %d, panels %s" % (main[0], column - mx, panels))
for (x, y, w, h), name in shown:
    if x < 0 or y < 0 or x + w > width or y + h > height:
        sys.exit("%s at %s leaves the screen" % (name, (x, y, w, h)))
for (x, y, w, h), name in panels:
    if x < column or y < my + 20 or x + w > mx + mw or y + h > my + mh:
        sys.exit("%s at %s is not beside the column inside the window" % (name, (x, y, w, h)))
for i, ((x, y, w, h), a) in enumerate(panels):
    for (u, v, p, q), b in panels[i + 1:]:
        if x < u + p and u < x + w and y < v + q and v < y + h:
            sys.exit("%s and %s overlap" % (a, b))
    if "vmc3.ttl" in a:
        # The tool panel's last two rows: the pane face, nothing drawn into them.
        for yy in (y + h - 1, y + h - 2):
            for xx in range(x + 2, x + w - 2):
                at = 3 * (yy * width + xx)
                if max(abs(c - 0xF0) for c in data[at:at + 3]) > 2:
                    sys.exit("the tool panel's drawing reaches its bottom at %d,%d" % (xx, yy))
if rows:
    # The column's picture down to its last pane, as in the large window.
    want = open(reference, "rb").read()
    cw = len(want) // (3 * rows)
    for r in range(rows):
        at = 3 * ((my + r) * width + mx)
        if data[at:at + 3 * cw] != want[3 * r * cw:3 * (r + 1) * cw]:
            sys.exit("the column differs from the whole one at its row %d" % r)
EOF
}
# The column's picture in the large window: its rows from the window's top down to its last pane
# (the last row with anything but the pane face in it, above the status bar) into
# $work/column.rgb; prints the count of rows.
keep_column() {
    program_windows >"$work/windows"
    python3 - "$work/screen.rgb" "$width" "$work/windows" "$work/column.rgb" <<'EOF'
import sys

path, width, windows, out = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
data = open(path, "rb").read()
for line in open(windows):
    parts = line.split(None, 5)
    if len(parts) > 5 and parts[5].startswith("VMC3"):
        mx, my, mw, mh = map(int, parts[1:5])


def dark(x, y):
    at = 3 * (y * width + x)
    return max(data[at:at + 3]) < 90


column = next(x for x in range(mx, mx + mw - 40) if all(dark(x + d, my + 60) for d in range(40)))
last = my
for y in range(my, my + mh - 40):  # above the status bar
    line = data[3 * (y * width + mx + 4):3 * (y * width + column - 4)]
    if any(abs(c - 0xF0) > 2 for c in line):
        last = y
rows = last - my + 1
open(out, "wb").write(b"".join(data[3 * ((my + r) * width + mx):3 * ((my + r) * width + column)]
                               for r in range(rows)))
print(rows)
EOF
}

dir="$work/sizes"
mkdir -p "$dir"
cp "$samples"/* "$dir/"
grep -q '^VIEW_T=' "$dir/mirexa.ini" || sed -i 's/^VIEW_P=/VIEW_T=1\nVIEW_P=/' "$dir/mirexa.ini"
for font in 0 20; do
    font_arguments=()
    [ "$font" = 0 ] || font_arguments=("-F$font")
    # The whole column is measured once for each font, in the large window.
    column_rows=0
    for command_panel in 0 1; do
        sed -i -e "s/^VIEW_P=.*/VIEW_P=$command_panel/" -e "s/^VIEW_T=.*/VIEW_T=1/" \
            "$dir/mirexa.ini"
        sizes=(1000,700 1200,800 100,100)
        [ "$column_rows" -gt 0 ] || sizes=(1280,1000 "${sizes[@]}")
        for size in "${sizes[@]}"; do
            what="-F$font, command panel $command_panel, $size"
            e2e_launch "$dir" "-(0,0,$size)" "${font_arguments[@]}"
            e2e_wait "$e2e_patience" "$what: the main window did not open" shown_window
            e2e_find_window "$what: the tool display panel did not open" ' in vmc3\.ttl '
            previous=""
            e2e_detail="$work/figures"
            if [ "$size" = 1280,1000 ]; then
                e2e_wait "$e2e_patience" "$what: the screen did not settle" settled
                column_rows="$(keep_column)"
                echo "$what: the column is whole in $column_rows rows"
            fi
            e2e_wait "$e2e_patience" "$what: the panels do not fit" panels_fit
            echo "$what: $(cat "$work/figures")"
            ffmpeg -loglevel error -y -f rawvideo -pix_fmt rgb24 \
                -video_size "${width}x${height}" -i "$work/screen.rgb" \
                "$artefacts/panel_sizes_F${font}_P${command_panel}_${size/,/x}.png"
            e2e_stop
        done
    done
done
echo "panel_legibility: passed in $((SECONDS - e2e_started)) s"
