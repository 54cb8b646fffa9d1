#!/usr/bin/env bash
# What a job folder's settings may make the real window do, under one Xvfb server: the editor
# command of a job folder's mirexa.ini is asked for before it starts and nothing is written
# before the answer (its jump macro named after a file of the user's never replaces that file);
# a No refuses that start only, and the next E asks again; a Yes holds for the editor file
# allowed, and another unpacked in its place is asked for again; an editor plug-in beside the
# program does not spare the question; the view's X key asks before it starts a second instance
# with the job folder's [ExecSelf] words, and a Yes holds for the macro they name as it was; closing the window while a macro's EXEC runs ends the started
# program, names the lines not run in the log and ends with exit 2. Every wait and every check
# ends through e2e_fail (tests/e2e/xvfb_session.sh), which keeps the screen, the program's
# output and its log as artefacts.
# Skips itself (exit 77) without Xvfb or xdotool.
# Usage: gui_editor_question.sh MIREXA SAMPLES_DIR ARTEFACT_DIR EDITOR_PLUGIN
set -euo pipefail
. "$(dirname "$0")/xvfb_session.sh"
plugin="$4"
e2e_require Xvfb xdotool
e2e_coarse_copy "$samples"
e2e_start_xvfb 1600 1000
log="$work/gui/mirexa.log"

# The settings' editor: the program, its option and the other [ExecEditor] lines given.
use_editor() {
    local ini="$work/gui/mirexa.ini"
    sed -i -e '/^EXEC_MACRO_NAME=/d' -e '/^SELECT OPEN=/d' \
        -e "s|^EXEC_PROGRAM=.*|EXEC_PROGRAM=$1|" -e "s|^EXEC_OPTION=.*|EXEC_OPTION=$2|" "$ini"
    shift 2
    local line
    for line in "$@"; do
        sed -i "/^EXEC_OPTION=/a $line" "$ini"
    done
}
# The count of log lines that hold the text (0 without a log).
log_count() {
    [ -f "$log" ] && grep -c -F "$1" "$log" || true
}
logged() {
    [ "$(log_count "$1")" -ge "$2" ]
}
question='^MIREXA7$'
asked() {
    e2e_window_shown "$question"
}
# Fails unless the file of the user's still holds what it held.
untouched() {
    [ "$(cat "$work/precious.txt")" = "the user's notes" ] ||
        e2e_fail "$1 replaced the user's file with: $(cat "$work/precious.txt")"
}

echo "$name: $((SECONDS - e2e_started)) s: a job folder's editor command"
# 1. SELECT OPEN starts the editor on the program named on the command line: the question comes
# first, and the jump macro named after a file of the user's is written neither before the
# answer nor after it. Enter (No) refuses; E asks again; Yes starts the editor.
mkdir -p "$work/editors"
printf '#!/bin/sh\necho "$@" >>"%s/edited"\n' "$work" >"$work/editors/hidemaru"
chmod +x "$work/editors/hidemaru"
echo "the user's notes" >"$work/precious.txt"
use_editor "$work/editors/hidemaru" "%1" "EXEC_MACRO_NAME=$work/precious.txt" "SELECT OPEN=YES"
e2e_launch "$work/gui" demo_part.nc
e2e_find_window "the job folder's editor command started without a question" "$question"
untouched "the editor's jump macro, written before the question,"
e2e_focus "$found"
xdotool key Return
e2e_wait "$e2e_patience" "No did not close the question" e2e_window_gone "$question"
e2e_wait "$e2e_patience" "No did not refuse the command" \
    logged "not started: $work/editors/hidemaru" 1
untouched "the editor's jump macro, after No,"
[ ! -e "$work/edited" ] || e2e_fail "the editor started after No"
e2e_find_window "the program's window did not show" "demo_part.nc"
main="$found"
e2e_focus "$main"
xdotool mousemove --window "$main" 690 380 key e
e2e_find_window "E after a No asked nothing: the editor is switched off without a word" "$question"
e2e_focus "$found"
xdotool key alt+y
e2e_wait "$e2e_patience" "Yes started no editor" test -s "$work/edited"
untouched "the editor's jump macro, after Yes,"
logged "jump macro is not written: $work/precious.txt" 1 ||
    e2e_fail "the log does not say why the jump macro was not written"
e2e_stop

echo "$name: $((SECONDS - e2e_started)) s: another editor unpacked in place of the one allowed"
# 1b. The Yes is kept for the editor file allowed: the next start asks nothing; another hidemaru
# unpacked at the same place (the next customer's job) is asked for again, and No starts nothing.
e2e_launch "$work/gui" demo_part.nc
e2e_wait "$e2e_patience" "the editor allowed did not start again" \
    sh -c "[ \$(wc -l <'$work/edited') -ge 2 ]"
e2e_window_gone "$question" || e2e_fail "the editor allowed was asked for again"
e2e_stop
# The change times come from a coarse clock: the next job is unpacked at a later tick.
touch "$work/tick"
e2e_wait "$e2e_patience" "the clock did not move" \
    sh -c "touch '$work/tick2'; [ '$work/tick2' -nt '$work/tick' ]"
rm "$work/editors/hidemaru"
printf '#!/bin/sh\necho "$@" >>"%s/unpacked"\n' "$work" >"$work/editors/hidemaru"
chmod +x "$work/editors/hidemaru"
e2e_launch "$work/gui" demo_part.nc
asked_or_unpacked_ran() {
    asked || [ -e "$work/unpacked" ]
}
e2e_wait "$e2e_patience" "neither the question nor the unpacked editor came" asked_or_unpacked_ran
[ ! -e "$work/unpacked" ] || e2e_fail "the editor unpacked in place of the one allowed ran unasked"
e2e_find_window "the question did not stay" "$question"
e2e_focus "$found"
xdotool key Return
e2e_wait "$e2e_patience" "No did not refuse the unpacked editor" \
    logged "not started: $work/editors/hidemaru" 2
[ ! -e "$work/unpacked" ] || e2e_fail "the unpacked editor started after No"
e2e_stop

echo "$name: $((SECONDS - e2e_started)) s: an editor plug-in beside the program"
# 2. The editor plug-in rewrites the program's name, but the words still come from the job
# folder's settings: asked for before they start.
mkdir -p "$work/prog"
cp "$(realpath "$program")" "$work/prog/mirexa"
cp "$plugin" "$work/prog/mxeditor.so"
chmod 755 "$work/prog/mxeditor.so"
printf '#!/bin/sh\necho "$@" >>"%s/payload"\n' "$work" >"$work/bin/plugin-payload"
chmod +x "$work/bin/plugin-payload"
use_editor payload "%1" "SELECT OPEN=YES"
program="$work/prog/mirexa"
e2e_launch "$work/gui" demo_part.nc
asked_or_ran() {
    asked || [ -e "$work/payload" ]
}
e2e_wait "$e2e_patience" "neither the question nor the editor came" asked_or_ran
[ ! -e "$work/payload" ] || e2e_fail "the plug-in's editor command ran unasked"
logged "mxeditor.so" 1 || e2e_fail "the editor plug-in was not loaded"
e2e_find_window "the question did not stay" "$question"
e2e_focus "$found"
xdotool key alt+y
e2e_wait "$e2e_patience" "Yes started no editor through the plug-in" test -s "$work/payload"
grep -q "demo_part.nc" "$work/payload" || e2e_fail "the editor got: $(cat "$work/payload")"
e2e_stop

echo "$name: $((SECONDS - e2e_started)) s: the view's X key and a job folder's [ExecSelf]"
# 2b. The second instance that X starts gets the words of the job folder's [ExecSelf] EXEC_OPTION:
# a macro that runs a payload. Clicked in the view, X asks first, showing the command line; No
# runs nothing, Yes runs it, the next X asks no more, and a macro changed since is asked for
# again. The second instance runs in its program's folder, a copy of the program's own.
mkdir -p "$work/self"
cp "$(realpath "$1")" "$work/self/mirexa"
program="$work/self/mirexa"
use_editor xdg-open "%1"
printf 'EXEC /bin/sh %s/payload.sh\nEXIT\n' "$work/gui" >"$work/gui/evil.mac"
printf 'echo ran >>"%s/payload_x"\n' "$work" >"$work/gui/payload.sh"
printf '[ExecSelf]\nEXEC_OPTION=%s/evil.mac\n' "$work/gui" >>"$work/gui/mirexa.ini"
runs() {
    [ -f "$work/payload_x" ] && [ "$(wc -l <"$work/payload_x")" -ge "$1" ]
}
press_x() {
    e2e_focus "$main"
    xdotool mousemove --window "$main" 690 380 click 1 key x
}
# The question of the first window (a second instance's window may bear the edition's name).
asked_here() {
    e2e_window_shown "$question" "$mirexa"
}
answer_here() {
    e2e_find_window "$1" "$question" "$mirexa"
    e2e_focus "$found"
    xdotool key "$2"
}
# The second instances X started (the program's file run by a process other than the window's)
# have ended. A person presses X again once the window a second instance showed has come and gone;
# one that shows after the click takes the keyboard, and the X typed then is its own.
second_instances_ended() {
    local exe
    for exe in /proc/[0-9]*/exe; do
        [ "$(readlink "$exe" 2>/dev/null)" = "$(realpath "$program")" ] &&
            [ "$exe" != "/proc/$mirexa/exe" ] && return 1
    done
    return 0
}
e2e_launch "$work/gui" demo_part.nc
e2e_find_window "the program's window did not show" "demo_part.nc"
main="$found"
press_x
asked_or_payload_ran() {
    asked_here || [ -e "$work/payload_x" ]
}
e2e_wait "$e2e_patience" "X showed no question and ran nothing" asked_or_payload_ran
[ ! -e "$work/payload_x" ] || e2e_fail "X ran the job folder's macro unasked"
answer_here "the question did not stay" Return
e2e_wait "$e2e_patience" "No did not refuse the second instance" \
    logged "Second instance not allowed, not started: $program $work/gui/evil.mac" 1
[ ! -e "$work/payload_x" ] || e2e_fail "the payload ran after No"
press_x
answer_here "X after a No asked nothing" alt+y
e2e_wait "$e2e_patience" "Yes did not run the second instance's macro" runs 1
logged "Second instance started: $program $work/gui/evil.mac" 1 ||
    e2e_fail "the log does not name the second instance started"
e2e_wait "$e2e_patience" "the second instance did not end" second_instances_ended
press_x
e2e_wait "$e2e_patience" "the second instance allowed did not start again" runs 2
asked_here && e2e_fail "the second instance allowed was asked for again"
e2e_wait "$e2e_patience" "the second instance allowed did not end" second_instances_ended
touch "$work/tick"
e2e_wait "$e2e_patience" "the clock did not move" \
    sh -c "touch '$work/tick2'; [ '$work/tick2' -nt '$work/tick' ]"
printf 'EXEC /bin/sh %s/payload.sh\nEXEC /bin/sh %s/payload.sh\nEXIT\n' "$work/gui" "$work/gui" \
    >"$work/gui/evil.mac.new"
mv "$work/gui/evil.mac.new" "$work/gui/evil.mac"
press_x
answer_here "X ran a macro changed since the Yes unasked" Return
e2e_wait "$e2e_patience" "No did not refuse the changed macro" \
    logged "Second instance not allowed, not started:" 2
runs 3 && e2e_fail "the changed macro ran after No"
e2e_stop
sed -i '/^\[ExecSelf\]/,$d' "$work/gui/mirexa.ini"
program="$work/prog/mirexa"

echo "$name: $((SECONDS - e2e_started)) s: the window closed while a macro's EXEC runs"
# 3. The program EXEC started is ended with the window, the SAVE_WORK after it is named as not
# run, and the program ends with exit 2 instead of waiting for the program and reporting success.
# Under a window manager the window's close box is used (Alt+F4), else (without openbox, but not
# in scripts/test) the menu's Exit, which closes the window the same way.
if e2e_have openbox; then
    e2e_start_window_manager
fi
printf '#!/bin/sh\necho $$ >"%s/child.tmp" && mv "%s/child.tmp" "%s/child"\nexec sleep 600\n' \
    "$work" "$work" "$work" >"$work/bin/slow"
chmod +x "$work/bin/slow"
child_alive() {
    [ -s "$work/child" ] && kill -0 "$(cat "$work/child")" 2>/dev/null
}
child_gone() {
    ! child_alive
}
trap 'child_alive && kill "$(cat "$work/child")"; e2e_cleanup' EXIT
printf '%s\n' "SELECT_NCDATA demo_part.nc" "EXEC slow" "SAVE_WORK out.dme" >"$work/gui/slow.mac"
e2e_launch "$work/gui" "-D(100,80,0,0,0,-30.5)" slow.mac
e2e_wait "$e2e_patience" "the macro did not start its EXEC program" test -s "$work/child"
e2e_find_window "the macro's window did not show" "demo_part.nc"
main="$found"
e2e_focus "$main"
if [ -n "$e2e_wm" ]; then
    xdotool key alt+F4
else
    e2e_menu n x
fi
e2e_wait "$e2e_patience" "the window did not close" e2e_window_gone "demo_part.nc"
e2e_wait "$e2e_patience" "the program waited for its EXEC program after the window closed" e2e_ended
status=0
wait "$mirexa" || status=$?
mirexa=""
e2e_wait "$e2e_patience" "the EXEC program outlived the window" child_gone
[ "$status" -eq 2 ] || e2e_fail "the program ended with code $status after a SAVE_WORK not run"
logged "SAVE_WORK out.dme" 1 || e2e_fail "the log does not name the SAVE_WORK not run"
[ ! -e "$work/gui/out.dme" ] || e2e_fail "the stock was saved"

echo "$name: $((SECONDS - e2e_started)) s: passed"
