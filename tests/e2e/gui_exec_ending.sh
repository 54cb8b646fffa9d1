#!/usr/bin/env bash
# A macro's EXEC program in the real window, under one Xvfb server, ended with the program in
# each way the program can end while it runs: the window closed, a signal to the program, and
# the display gone. The EXEC program is a wrapper script that starts a worker writing a line
# every 100 ms and waits for it: each time the worker stops with the program, no process of the
# wrapper's group is left, the log names the EXEC line's end and the SAVE_WORK not run, and the
# program ends as that end asks (2, 255, 2). Every wait and every check ends through e2e_fail
# (tests/e2e/xvfb_session.sh), which keeps the screen, the program's output and its log as
# artefacts.
# Skips itself (exit 77) without Xvfb or xdotool.
# Usage: gui_exec_ending.sh MIREXA SAMPLES_DIR ARTEFACT_DIR
set -euo pipefail
. "$(dirname "$0")/xvfb_session.sh"
e2e_require Xvfb xdotool
e2e_coarse_copy "$samples"
e2e_start_xvfb 1600 1000
if e2e_have openbox; then
    e2e_start_window_manager
fi
log="$work/gui/mirexa.log"

# The wrapper: a worker in the background (its process id and group written once it runs),
# then a wait for it.
cat >"$work/bin/wrapper" <<'EOF'
#!/bin/sh
sh -c 'echo "$$ $(ps -o pgid= -p $$)" >"$0/worker.tmp" && mv "$0/worker.tmp" "$0/worker"
while :; do echo x >>"$0/grow"; sleep 0.1; done' "$1" &
wait
EOF
chmod +x "$work/bin/wrapper"
# The worker's process and group, once it runs.
worker=""
group=""
# Succeeds while a process of the wrapper's group still runs (one ended and not reaped does not).
group_running() {
    ps -eo pgid=,stat= | awk -v g="$group" '$1 == g && $2 !~ /^Z/ { found = 1 } END { exit !found }'
}
group_gone() {
    ! group_running
}
worker_running() {
    [ -n "$worker" ] && e2e_process_running "$worker"
}
# Whatever of a wrapper's group a failure leaves is ended with the script (its worker alone when
# the wrapper ran in the script's own group).
own_group="$(ps -o pgid= -p $$ | tr -d ' ')"
end_leftovers() {
    if [ -n "$group" ] && [ "$group" != "$own_group" ]; then
        kill -KILL -- "-$group" 2>/dev/null || true
    elif [ -n "$worker" ]; then
        kill -KILL "$worker" 2>/dev/null || true
    fi
}
trap 'end_leftovers; e2e_cleanup' EXIT
log_has() {
    [ -f "$log" ] && grep -q -F "$1" "$log"
}
grown() {
    [ -s "$work/$1/grow" ] && [ "$(wc -l <"$work/$1/grow")" -ge 3 ]
}

# start TAG: starts the program on a macro whose EXEC runs the wrapper in $work/TAG, and waits
# until the worker writes.
start() {
    mkdir -p "$work/$1"
    printf '%s\n' "SELECT_NCDATA demo_part.nc" "EXEC wrapper $work/$1" "SAVE_WORK out.dme" \
        >"$work/gui/$1.mac"
    e2e_launch "$work/gui" "-D(100,80,0,0,0,-30.5)" "$1.mac"
    e2e_wait "$e2e_patience" "the macro's EXEC started no worker" test -s "$work/$1/worker"
    read -r worker group <"$work/$1/worker"
    [ "$group" != "$(ps -o pgid= -p "$mirexa" | tr -d ' ')" ] ||
        e2e_fail "the EXEC program runs in the program's own process group"
    e2e_wait "$e2e_patience" "the worker did not write" grown "$1"
    e2e_find_window "the macro's window did not show" "demo_part.nc"
    main="$found"
}
# ended TAG CODE WHAT: waits for the program's end with the code, then for the worker's; the
# worker's file no longer grows, and the log names the SAVE_WORK not run.
ended() {
    local status=0 size
    e2e_wait "$e2e_patience" "the program waited for its EXEC program after $3" e2e_ended
    wait "$mirexa" || status=$?
    mirexa=""
    [ "$status" -eq "$2" ] || e2e_fail "the program ended with code $status after $3 (not $2)"
    # The program has ended: what it left running goes on now, or never.
    worker_running && e2e_fail "the EXEC program's worker outlived the program after $3"
    group_running && e2e_fail "a process of the EXEC program's group outlived the program after $3:" \
        "$(ps -eo pid=,pgid=,stat=,args= | awk -v g="$group" '$2 == g')"
    size="$(wc -l <"$work/$1/grow")"
    # Three of the worker's periods: a worker still writing would have written.
    sleep 0.3
    [ "$(wc -l <"$work/$1/grow")" -eq "$size" ] ||
        e2e_fail "the worker's file still grows after $3"
    log_has "SAVE_WORK out.dme" || e2e_fail "the log does not name the SAVE_WORK not run after $3"
    log_has "EXEC wrapper" || e2e_fail "the log does not name the EXEC line ended by $3"
    [ ! -e "$work/gui/out.dme" ] || e2e_fail "the stock was saved after $3"
    group=""
}

step "the window closed while a macro's EXEC runs"
# 1. Under a window manager the window's close box (Alt+F4), else the menu's Exit, which closes
# the window the same way.
start closed
e2e_focus "$main"
if [ -n "$e2e_wm" ]; then
    xdotool key alt+F4
else
    e2e_menu n x
fi
ended closed 2 "the window closed"

step "SIGTERM while a macro's EXEC runs"
# 2. The signal aborts the work (255).
rm -f "$log"
start signalled
kill -TERM "$mirexa"
ended signalled 255 "SIGTERM"
log_has "signal 15" || e2e_fail "the log does not name the signal that ended the EXEC line"

step "the display gone while a macro's EXEC runs"
# 3. The server ends under the window (the last step: the script's screen goes with it).
rm -f "$log"
start gone
kill "$xvfb"
wait "$xvfb" 2>/dev/null || true
xvfb=""
ended gone 2 "the display went away"
log_has "The display went away" || e2e_fail "the log does not say that the display went away"

step "passed"
