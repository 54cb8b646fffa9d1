#!/usr/bin/env bash
# The window under an address-space limit (ulimit -v), under one Xvfb server. At 1.1 GB the
# graphics driver could not make the view's context: the start says "Memory over!" in a box and
# ends with code 2 (never by a signal), and a batch run, which needs no window, still runs. At
# about 3.1 GB a 0.1 mm cut of the sample runs out of room for the stock's display lists: the
# window says "Memory over!" once and stays, the cut ends, and Work > Save writes the cut (the file
# a batch run of the same cut writes). The cut's limit is 64 MB under the address space the same
# cut takes without a limit, at most 3.1 GB (3.0 GB on an 8-processor machine, 2.7 GB on two):
# the cutting workers' share grows with the processors. The driver's figures depend on its
# rasteriser threads: the program is given 8, as on the machine they were measured on
# (view/driver_memory.h).
# Skips itself (exit 77) without Xvfb, xdotool, ffmpeg or python3, and in a sanitizer's build,
# whose shadow memory no address-space limit lets start.
# Usage: gui_memory_limits.sh MIREXA SAMPLES_DIR ARTEFACT_DIR
set -euo pipefail
. "$(dirname "$0")/xvfb_session.sh"
e2e_require Xvfb xdotool ffmpeg python3
if ldd "$program" | grep -E 'lib(a|t)san' >/dev/null; then
    echo "$name: skipped, an address-space limit cannot be set under a sanitizer"
    exit 77
fi
export LP_NUM_THREADS=8
e2e_coarse_copy "$samples"

# Starts the program as e2e_launch does, under an address-space limit of $1 kB.
launch_limited() {
    local limit=$1 exe
    exe="$(realpath "$program")"
    e2e_dir="$2"
    shift 2
    (cd "$e2e_dir" && ulimit -v "$limit" && exec "$exe" "$@" >"$work/program.out" \
        2>"$work/program.err") &
    mirexa=$!
}
# Waits for the program's end and sets $status to its exit code.
status=""
wait_for_end() {
    status=0
    e2e_wait "$e2e_run_patience" "the program did not end" e2e_ended
    wait "$mirexa" || status=$?
    mirexa=""
}

step "a batch run under 1.1 GB, which needs no window"
(cd "$work/gui" && ulimit -v 1100000 && env -u DISPLAY "$program" "-D(100,80,0,0,0,-30.5)" \
    demo_part.nc -X6 -O batch.dme >"$work/batch.out" 2>&1) ||
    e2e_fail "the batch run under 1.1 GB failed: $(cat "$work/batch.out")"
[ -s "$work/gui/batch.dme" ] || e2e_fail "the batch run under 1.1 GB wrote no stock"

e2e_start_xvfb 1600 1000

step "the window's start under 1.1 GB is refused with a message"
launch_limited 1100000 "$work/gui" "-(0,0,1500,950)"
e2e_find_window "no box said the memory was short at the start" '^Data size error$'
e2e_focus "$found"
xdotool key Return
wait_for_end
[ "$status" -eq 2 ] || e2e_fail "the refused start ended with code $status, not 2"
grep -q "Memory over!" "$work/program.err" ||
    e2e_fail "standard error does not say Memory over!"

# Starts the 0.1 mm cut of the sample in the window under a limit of $1 kB.
start_cut() {
    launch_limited "$1" "$work/gui" "-(0,0,1500,950)" "-D(100,80,0,0,0,-30.5)" demo_part.nc \
        "-P(0.1,0.1)"
    e2e_find_window "the main window did not open with the program" 'demo_part\.nc'
    main="$found"
    reports="$(viewed_reports)"
    e2e_focus "$main"
    xdotool mousemove 900 500
    xdotool key F5
}

step "the 0.1 mm cut without a limit: the address space it takes"
start_cut unlimited
e2e_wait "$e2e_run_patience" "the run without a limit did not reach its end" more_reports "$reports"
peak="$(awk '/^VmPeak:/ { print $2 }' "/proc/$mirexa/status")"
e2e_menu n x
wait_for_end
[ "$status" -eq 0 ] || e2e_fail "the program ended with code $status after the cut without a limit"
limit=$((peak - 65536 < 3100000 ? peak - 65536 : 3100000))

step "a 0.1 mm cut under $((limit / 1024)) MB: Memory over!, the window stays, the cut is saved"
start_cut "$limit"
e2e_wait "$e2e_run_patience" "no box said the memory for the drawing was short" \
    e2e_window_shown '^Data size error$'
e2e_find_window "the box went" '^Data size error$'
e2e_focus "$found"
xdotool key Return
wait_for "the box did not close" e2e_window_gone '^Data size error$'
e2e_wait "$e2e_run_patience" "the run did not reach its end" more_reports "$reports"
wait_for "the title still names the run" sh -c "! xdotool getwindowname $main | grep -q Cutting"
e2e_check_running "the save"
e2e_menu w s
e2e_find_window "the save dialog did not open" '^Save Work$'
e2e_focus "$found"
xdotool type --delay 10 "$work/gui/cut.dme"
xdotool key Return
wait_for "the save dialog did not close" e2e_window_gone '^Save Work$'
wait_for "cut.dme was not written" test -s "$work/gui/cut.dme"
e2e_check_running "the exit"
e2e_menu n x
wait_for_end
[ "$status" -eq 0 ] || e2e_fail "the program ended with code $status after the cut"
# The same cut in a batch run without a limit.
(cd "$work/gui" && env -u DISPLAY "$program" "-D(100,80,0,0,0,-30.5)" demo_part.nc "-P(0.1,0.1)" \
    -X6 -O reference.dme >"$work/reference.out" 2>&1) ||
    e2e_fail "the reference run failed: $(cat "$work/reference.out")"
cmp -s "$work/gui/cut.dme" "$work/gui/reference.dme" ||
    e2e_fail "the stock saved after Memory over! is not the cut a batch run writes"
echo "$name: passed in $((SECONDS - e2e_started)) s"
