#!/usr/bin/env bash
# The command line, macro files and other programs driving the real window, under one Xvfb
# server: an NC program named alone opens the window with it selected, and the window stays; a
# real cut (-X2) is drawn in the window, which stays after it; another program's command opens
# the discoloration dialog in the running window and is refused while a run is active or a
# dialog is open; a macro without EXIT cuts in the window, shows its report and leaves the window
# open; one with EXIT ends the program with exit 0 after its window was seen; a silent run (-X6)
# needs no display; the editor starts at the path line picked in the view; under openbox (when
# installed) a macro minimises, restores and maximises the window. Every wait ends
# through `fail`, which keeps the screen, the program's output and its log as artefacts.
# Skips itself (exit 77) without Xvfb, xdotool, ffmpeg or python3.
# Usage: gui_automation.sh MIREXA SAMPLES_DIR ARTEFACT_DIR
set -euo pipefail
program="$1"
samples="$2"
artefacts="$3"
here="$(cd "$(dirname "$0")" && pwd)"
name=gui_automation
. "$here/xvfb_session.sh"
e2e_require Xvfb xdotool ffmpeg python3
mkdir -p "$work/gui" "$artefacts"
started=$SECONDS

# The working copy: coarse dexels and moves, rapids without real cutting, so that a cut of the
# sample program takes a second or two.
cp "$samples"/* "$work/gui/"
sed -i -e "s/^PITCH(WORK)=.*/PITCH(WORK)=0.5/" -e "s/^PITCH(MOVE)=.*/PITCH(MOVE)=0.5/" \
    -e "s/^REAL RAPID=.*/REAL RAPID=NO/" "$work/gui/mirexa.ini"
blank="-D(100,80,0,0,0,-30.5)"

e2e_start_xvfb 1600 1000
# The desktop's viewer and the editor write down what they were asked to show.
printf '#!/bin/sh\necho "$@" >>"%s/viewed"\n' "$work" >"$work/bin/xdg-open"
printf '#!/bin/sh\necho "$@" >>"%s/edited"\n' "$work" >"$work/bin/fake-editor"
chmod +x "$work/bin/xdg-open" "$work/bin/fake-editor"

output="$work/run.out"
fail() {
    echo "$name: $* (after $((SECONDS - started)) s)"
    ffmpeg -loglevel error -y -f x11grab -video_size 1600x1000 -i "$DISPLAY" -frames:v 1 \
        "$artefacts/${name}_failure.png" 2>/dev/null || true
    cp "$output" "$artefacts/${name}_failure.out" 2>/dev/null || true
    cp "$work/gui/mirexa.log" "$artefacts/${name}_failure.log" 2>/dev/null || true
    echo "--- program output"
    cat "$output" 2>/dev/null || true
    echo "--- mirexa.log"
    tail -20 "$work/gui/mirexa.log" 2>/dev/null || true
    exit 1
}
step() {
    echo "$name: $((SECONDS - started)) s: $*"
}
# Waits up to $1 seconds until the command after it succeeds.
wait_until() {
    local limit=$(($1 * 5))
    shift
    for _ in $(seq 1 "$limit"); do
        "$@" && return 0
        sleep 0.2
    done
    return 1
}
alive() {
    kill -0 "$mirexa" 2>/dev/null
}
ended() {
    ! alive
}
window_titled() {
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1
}
no_window_titled() {
    ! window_titled "$1"
}
main_window() {
    xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1
}
has_line() {
    [ -s "$work/$1" ] && grep -q "$2" "$work/$1"
}
probe() {
    python3 "$here/screen_probe.py" "$DISPLAY" "$@"
}
# Starts the program in the working copy with the arguments.
start() {
    : >"$output"
    (cd "$work/gui" && exec "$program" "$@" >"$output" 2>&1) &
    mirexa=$!
}
# Ends the program left with the user (as a closed terminal would) and waits for its end.
stop() {
    kill "$mirexa" 2>/dev/null || true
    wait_until 10 ended || fail "the program did not end on SIGTERM"
    wait "$mirexa" 2>/dev/null || true
    mirexa=""
}
send() {
    "$program" --send "$1" 2>&1
}
# The answer of another program's command, sent until the window gives the expected one (the
# window answers only once it runs its loop) or $2 seconds passed.
send_until() {
    local answer=""
    for _ in $(seq 1 $(($2 * 5))); do
        answer="$(send "$1" || true)"
        [ "$answer" = "$3" ] && return 0
        sleep 0.2
    done
    echo "$name: the last answer to $1 was: $answer"
    return 1
}
finished() {
    local status=0
    wait "$mirexa" || status=$?
    mirexa=""
    [ "$status" -eq "$1" ] || fail "$2 ended with $status instead of $1"
}

step "an NC program named alone"
# 1. The window opens with the program selected (its name in the title) and stays with the user.
start demo_part.nc
wait_until 30 window_titled "demo_part.nc" || fail "no window shows demo_part.nc as selected"
sleep 2
alive || fail "the program ended instead of staying with the user"
window_titled "demo_part.nc" || fail "the window closed by itself"

step "another program's commands"
# 2. 32819 opens the discoloration dialog; a second command is refused while it is open; Esc
# closes it; an id without a command is refused by the sender itself.
send_until 32819 20 ok || fail "the running window did not take command 32819"
wait_until 10 window_titled "Discoloration Region" || fail "command 32819 opened no dialog 217"
[ "$(send 32872 || true)" = "refused: a dialog is open" ] ||
    fail "a command was not refused while a dialog is open"
xdotool windowfocus --sync "$(main_window "Discoloration Region")" key Escape
wait_until 10 no_window_titled "Discoloration Region" || fail "dialog 217 did not close on Esc"
status=0
send 777 >/dev/null || status=$?
[ "$status" -eq 2 ] || fail "an id that is no external command was answered with $status"
stop

step "a real cut from the command line"
# 3. -X2 cuts the blank in the window: the command is refused during the run, the cut's length
# report opens at its end, the view shows the cut stock, and the window stays afterwards.
rm -f "$work/viewed"
start "$blank" demo_part.nc -X2
wait_until 30 window_titled "demo_part.nc" || fail "-X2 opened no window"
wait_until 30 sh -c "\"$program\" --send 32872 | grep -q 'refused: a cutting run is active'" ||
    fail "no command was refused during the run of -X2"
wait_until 60 has_line viewed "_length.txt" || fail "the run of -X2 did not end in the window"
sleep 2
alive || fail "the program ended after the run of -X2 instead of staying"
[ "$(probe 300 100 1000 700 stock)" -ge 15000 ] || fail "the view shows no cut stock after -X2"
send_until 32819 10 ok || fail "the window refused 32819 after the run of -X2"
wait_until 10 window_titled "Discoloration Region" || fail "32819 opened no dialog after the run"
stop

step "a macro without EXIT"
# 4. The macro cuts and verifies in the window; its report is shown; the window stays after the
# macro's last line.
rm -f "$work/viewed"
printf 'SELECT_NCDATA demo_part.nc\nCUT(REAL)\nVERIFY\n' >"$work/gui/open.mac"
start "$blank" open.mac
wait_until 30 window_titled "demo_part.nc" || fail "the macro opened no window"
wait_until 60 has_line viewed "_verify.txt" || fail "the macro's VERIFY showed no report"
sleep 2
alive || fail "the program ended after a macro without EXIT"
send_until 32819 10 ok || fail "the window left by the macro refused 32819"
wait_until 10 window_titled "Discoloration Region" || fail "32819 opened no dialog after the macro"
stop

step "a macro with EXIT"
# 5. The same cut with EXIT: the window shows, and the program ends with 0.
printf 'SELECT_NCDATA demo_part.nc\nCUT(REAL)\nEXIT\n' >"$work/gui/exit.mac"
start "$blank" exit.mac
window_or_end() {
    window_titled "Not Selected|demo_part" || ended
}
wait_until 30 window_or_end || fail "the macro with EXIT neither showed a window nor ended"
window_titled "Not Selected|demo_part" || fail "the macro with EXIT ended without a window"
wait_until 60 ended || fail "the macro with EXIT did not end the program"
finished 0 "the macro with EXIT"

step "a macro aborted by a signal"
# 5b. SIGTERM while the macro's EXEC runs: the program ends with 255, as an aborted batch.
printf '#!/bin/sh\ntouch "%s/held"\nexec sleep 30\n' "$work" >"$work/bin/hold-long"
chmod +x "$work/bin/hold-long"
printf 'SELECT_NCDATA demo_part.nc\nEXEC hold-long\nCUT(REAL)\n' >"$work/gui/abort.mac"
start abort.mac
wait_until 30 test -e "$work/held" || fail "the macro did not reach its EXEC line"
kill -TERM "$mirexa"
wait_until 20 ended || fail "SIGTERM during a macro left the program running"
finished 255 "the macro aborted by SIGTERM"

step "a silent run without a display"
# 6. -X6 with no display cuts and saves.
status=0
(cd "$work/gui" && env -u DISPLAY "$program" "$blank" demo_part.nc -X6 -O silent.dme \
    >"$output" 2>&1) || status=$?
[ "$status" -eq 0 ] || fail "-X6 without a display ended with $status"
[ -s "$work/gui/silent.dme" ] || fail "-X6 without a display saved no stock"

step "the editor at the picked line"
# 7. After a result run, E starts the editor at the current line; the path tool (the view's
# popup, third item) then picks the stock's faced top, the strip shows the line that cut it, and
# E starts the editor at that line instead.
sed -i -e "s/^EXEC_PROGRAM=.*/EXEC_PROGRAM=fake-editor/" -e "s/^EXEC_OPTION=.*/EXEC_OPTION=%2 %1/" \
    "$work/gui/mirexa.ini"
# The answer to the question before the settings' editor command first starts is kept here.
export XDG_CONFIG_HOME="$work/config"
rm -f "$work/edited"
start "-(0,0,1500,950)" "$blank" demo_part.nc -X4
main="$(timeout 30 xdotool search --sync --onlyvisible --name "demo_part.nc" 2>/dev/null | head -1)"
[ -n "$main" ] || fail "-X4 opened no window"
# The window takes a command (the sound switch, silent here) once the run and its automation end.
send_until 32794 60 ok || fail "the run of -X4 did not end"
edits() {
    [ -s "$work/edited" ] && [ "$(wc -l <"$work/edited")" -ge "$1" ]
}
xdotool windowfocus --sync "$main" mousemove --window "$main" 690 380 key e
# The settings file's editor command is asked for once: Yes.
question="$(timeout 10 xdotool search --sync --onlyvisible --name "^MIREXA7$" 2>/dev/null | head -1)"
[ -n "$question" ] || fail "E asked nothing before the settings' editor command first started"
xdotool windowfocus --sync "$question" key alt+y
wait_until 10 edits 1 || fail "E started no editor"
strip="2 19 1270 14"
before="$(probe $strip sum)"
shown_windows() {
    xdotool search --onlyvisible --name '' 2>/dev/null | wc -l
}
more_shown() {
    [ "$(shown_windows)" -gt "$1" ]
}
shown="$(shown_windows)"
xdotool mousemove --window "$main" 690 380 click 3
wait_until 10 more_shown "$shown" || fail "the view's popup menu did not open"
xdotool key Down Down Down Return
sleep 1
xdotool mousemove --window "$main" 690 380 click 1
strip_changed() {
    [ "$(probe $strip sum)" != "$before" ]
}
wait_until 10 strip_changed || fail "the pick showed no NC line in the strip"
sleep 1
xdotool windowfocus --sync "$main" mousemove --window "$main" 690 380 key e
wait_until 10 edits 2 || fail "E after the pick started no editor"
current="$(sed -n 1p "$work/edited")"
picked="$(sed -n 2p "$work/edited")"
[ "${picked#* }" = "demo_part.nc" ] || [ "${picked##*/}" = "demo_part.nc" ] ||
    fail "the editor was started as: $picked"
[ "${picked%% *}" -gt 1 ] && [ "${picked%% *}" != "${current%% *}" ] ||
    fail "the editor was started at line ${picked%% *} after the pick (${current%% *} before it)"
stop

step "a macro's window lines under a window manager"
# 8. Under openbox: MINIMIZE_WINDOW hides the window while the macro's EXEC holds; after it,
# RESTORE_WINDOW and MAXIMIZE_WINDOW bring it back over the whole screen.
if command -v openbox >/dev/null; then
    openbox >"$work/openbox.out" 2>&1 &
    # "hold N" marks that the macro reached it, then waits for the test's go N.
    printf '#!/bin/sh\ntouch "%s/held$1"\nfor i in $(seq 1 300); do [ -e "%s/go$1" ] && exit 0; sleep 0.1; done\n' \
        "$work" "$work" >"$work/bin/hold"
    chmod +x "$work/bin/hold"
    printf '%s\n' "SELECT_NCDATA demo_part.nc" "EXEC hold 1" MINIMIZE_WINDOW "EXEC hold 2" \
        RESTORE_WINDOW MAXIMIZE_WINDOW >"$work/gui/window.mac"
    start window.mac
    wait_until 30 test -e "$work/held1" || fail "the macro did not reach its first EXEC line"
    wait_until 10 window_titled "demo_part.nc" || fail "the macro's window is not shown"
    touch "$work/go1"
    wait_until 30 test -e "$work/held2" || fail "the macro did not reach its second EXEC line"
    wait_until 10 no_window_titled "demo_part.nc" || fail "MINIMIZE_WINDOW left the window shown"
    alive || fail "the program ended at MINIMIZE_WINDOW"
    touch "$work/go2"
    wait_until 20 window_titled "demo_part.nc" || fail "RESTORE_WINDOW did not show the window"
    # The window's width (pixels) as the X server has it; wider than its default 1024 once
    # maximised on the 1600-pixel screen.
    widths() {
        local window
        for window in $(xdotool search --onlyvisible --name "demo_part.nc" 2>/dev/null); do
            xdotool getwindowgeometry "$window" 2>/dev/null | sed -n 's/.*Geometry: \([0-9]*\)x.*/\1/p'
        done
    }
    screen_wide() {
        [ "$(widths | sort -n | tail -1)" -ge 1500 ] 2>/dev/null
    }
    wait_until 20 screen_wide ||
        fail "MAXIMIZE_WINDOW did not make the window as wide as the screen (widths: $(widths))"
    stop
else
    echo "$name: openbox is not installed, the window lines are not checked"
fi

step "done"
