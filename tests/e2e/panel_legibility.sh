#!/usr/bin/env bash
# End to end in the real window: the information panel can be read. Under one Xvfb the program
# starts twice in a copy of the samples, in English (with the message file) and in Japanese
# (without it); once the screen has settled, the panel column's pixels are looked at: filled with
# the light pane face, with text standing out from it, and no dark band. The screenshots are kept
# as artefacts. Skips itself (exit 77) without Xvfb, xdotool, ffmpeg or python3.
# Usage: panel_legibility.sh MIREXA SAMPLES_DIR ARTEFACT_DIR
set -euo pipefail
program="$(realpath "$1")"
samples="$(realpath "$2")"
artefacts="$3"
name=panel_legibility
. "$(cd "$(dirname "$0")" && pwd)/xvfb_session.sh"
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

for language in English Japanese; do
    dir="$work/$language"
    mkdir -p "$dir"
    cp "$samples"/* "$dir/"
    [ "$language" = Japanese ] && rm -f "$dir/mirexa7.mes"
    # The window at the screen's corner; without a window manager it has no frame.
    e2e_launch "$dir" "-(0,0,1200,900)"
    e2e_wait "$e2e_patience" "$language: the main window did not open" shown_window
    previous=""
    # The column lies at the window's left edge below the menu bar and the NC strip, 220 pixels
    # wide; rows 80 to 400 of the screen lie inside it whatever the menu bar's height.
    e2e_detail="$work/figures"
    e2e_wait "$e2e_patience" "$language: the panel cannot be read" readable
    ffmpeg -loglevel error -y -f rawvideo -pix_fmt rgb24 -video_size "${width}x${height}" \
        -i "$work/screen.rgb" "$artefacts/panel_$language.png"
    cat "$work/figures"
    kill "$mirexa"
    wait "$mirexa" 2>/dev/null || true
    mirexa=""
done
echo "panel_legibility: passed in $((SECONDS - e2e_started)) s"
