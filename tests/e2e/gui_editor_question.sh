#!/usr/bin/env bash
# What a job folder's settings may make the real window do, under one Xvfb server: the editor
# command of a job folder's mirexa.ini is asked for before it starts and nothing is written
# before the answer (its jump macro named after a file of the user's never replaces that file);
# a No refuses that start only, and the next E asks again; an editor plug-in beside the program
# does not spare the question. Every wait and every check ends through e2e_fail
# (tests/e2e/xvfb_session.sh), which keeps the screen, the program's output and its log as
# artefacts.
# Skips itself (exit 77) without Xvfb or xdotool.
# Usage: gui_editor_question.sh MIREXA SAMPLES_DIR ARTEFACT_DIR EDITOR_PLUGIN
set -euo pipefail
program="$1"
samples="$2"
artefacts="$3"
plugin="$4"
here="$(cd "$(dirname "$0")" && pwd)"
name=gui_editor_question
. "$here/xvfb_session.sh"
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

echo "$name: $((SECONDS - e2e_started)) s: passed"
