#!/bin/sh
# Runs one sanitized test program or end-to-end script (the sharded trees). The leak checker's own
# tracer, which stops the process's threads to scan them at exit, now and then crashes ("Tracer
# caught signal") in the sanitizer runtime itself, after every case has passed and before any leak
# is looked at; a script then fails on the program's exit code. Such a run says nothing about the
# program, so it is run again; any other failure, a leak report included, stands as it is. ctest shows a passing test's output to nobody: a run once more is
# also noted in the file MIREXA_RETRY_LOG names (when set), which scripts/test prints.
log="$(mktemp)" || exit 1
trap 'rm -f "$log"' EXIT
# tracer_crashed: the run in $log failed only by the tracer's crash after every case passed (a
# script: its only failure is the program's exit code).
tracer_crashed() {
    grep -q 'Tracer caught signal' "$log" &&
        grep -q 'LeakSanitizer has encountered a fatal error' "$log" &&
        ! grep -q '^\[  FAILED  \]' "$log" && ! grep -q 'ERROR: LeakSanitizer: detected' "$log" &&
        ! grep ': FAILED: ' "$log" | grep -qv ': FAILED: the program ended with code'
}
# On a busy machine the crash can come again at once; the program runs at most three times more.
runs=0
while :; do
    "$@" >"$log" 2>&1
    status=$?
    cat "$log"
    if [ "$status" -eq 0 ] || [ "$runs" -ge 3 ] || ! tracer_crashed; then
        exit "$status"
    fi
    runs=$((runs + 1))
    note="the leak checker's tracer crashed after the cases passed: running the program once more"
    echo "$note"
    if [ -n "${MIREXA_RETRY_LOG:-}" ]; then
        echo "$* (shard ${GTEST_SHARD_INDEX:-none}): $note" >>"$MIREXA_RETRY_LOG"
    fi
done
