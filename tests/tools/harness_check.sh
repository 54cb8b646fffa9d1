#!/usr/bin/env bash
# The test harness itself fails where it must: a command past its limit is named with its phase,
# its stacks and an end of every one of its processes (bounded_run.sh); the format check without
# a work tree; an end-to-end script that misses a tool where every tool must be there, focuses
# no window, or takes a process that has ended for a running one; and a sanitized program run
# once more says so where scripts/test prints it (sanitized_run.sh).
# Usage: harness_check.sh SOURCE_ROOT
set -u
root="$1"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

# A command's status passes through; a hung program ends within its limit, named with its phase
# and (with gdb) the stacks of its threads, and nothing of it stays.
status=0
"$root/tests/bounded_run.sh" 30 sh -c 'exit 7' || status=$?
[ "$status" -eq 7 ] || fail "bounded_run.sh passed status 7 on as $status"
cp "$(command -v sleep)" "$scratch/hung_program"
started=$SECONDS
status=0
MIREXA_TEST_PHASE=harness "$root/tests/bounded_run.sh" 2 "$scratch/hung_program" 600 \
    >"$scratch/hang.txt" 2>&1 || status=$?
[ "$status" -eq 124 ] || fail "a hang ended with $status, not 124"
took=$((SECONDS - started))
[ "$took" -lt 60 ] || fail "a hang with a limit of 2 s took $took s"
said="$(cat "$scratch/hang.txt")"
named="still running after 2 s in the phase \"harness\" of scripts/test: "
[[ "$said" == *"$named"*"hung_program 600"* ]] ||
    fail "the hang was not named with its phase: $(head -3 <<<"$said")"
if command -v gdb >/dev/null; then
    [[ "$said" == *"the threads of "*"hung_program"*$'\n#0 '* ]] ||
        fail "the hang's stacks were not printed: $(head -20 <<<"$said")"
fi
for exe in /proc/[0-9]*/exe; do
    if [ "$(readlink "$exe" 2>/dev/null)" = "$scratch/hung_program" ]; then
        fail "the hung program stayed"
    fi
done

# The format check fails where git lists nothing (a copy without its work tree).
mkdir -p "$scratch/copy" && cp -r "$root/scripts" "$root/.clang-format" "$scratch/copy/"
(cd "$scratch/copy" && GIT_CEILING_DIRECTORIES="$scratch" scripts/format >/dev/null 2>&1) &&
    fail "scripts/format passed without a work tree"

# A missing tool skips an end-to-end script (77), unless every tool must be there.
for required in 0 1; do
    status=0
    (
        unset DISPLAY
        set -- "" "" "$scratch/artefacts"
        . "$root/tests/e2e/xvfb_session.sh"
        MIREXA_E2E_REQUIRED=$required e2e_require no-such-tool-anywhere
    ) >/dev/null 2>&1 || status=$?
    expected=$((required ? 1 : 77))
    [ "$status" -eq "$expected" ] ||
        fail "a missing tool ended the script with $status, not $expected (required: $required)"
done

# A window the script waits for is given the keys: the look that sees it reads its id, though
# xdotool's next search ends with an X error (a window of another program went while it looked),
# and a focus on no window at all fails the script instead of leaving the keys to no window.
mkdir -p "$scratch/bin"
cat >"$scratch/bin/xdotool" <<EOF
#!/bin/sh
case "\$1" in
    search)
        echo x >>"$scratch/searches"
        if [ "\$(wc -l <"$scratch/searches")" -eq 2 ]; then
            echo "X Error of failed request:  BadWindow (invalid Window parameter)" >&2
            exit 1
        fi
        echo 4242 ;;
    windowfocus) echo "\$3" >>"$scratch/focused" ;;
esac
EOF
chmod +x "$scratch/bin/xdotool"
for case in "find the box" "focus nothing"; do
    status=0
    (
        unset DISPLAY
        PATH="$scratch/bin:$PATH"
        set -- "" "" "$scratch/artefacts"
        . "$root/tests/e2e/xvfb_session.sh"
        if [ "$case" = "find the box" ]; then
            e2e_find_window "no box" '^MIREXA7$'
            e2e_focus "$found"
        else
            e2e_focus ""
        fi
    ) >/dev/null 2>&1 || status=$?
    focused="$(cat "$scratch/focused" 2>/dev/null)"
    if [ "$case" = "find the box" ]; then
        [ "$status" -eq 0 ] && [ "$focused" = 4242 ] ||
            fail "the box shown was not given the keys (status $status, focused \"$focused\")"
    else
        [ "$status" -eq 1 ] && [ -z "$focused" ] ||
            fail "a focus on no window did not fail the script (status $status)"
    fi
    rm -f "$scratch/focused" "$scratch/searches"
done

# A process runs while ps lists it, and not as a zombie: one that ps no longer lists (a zombie
# reaped after a look of kill -0, which still saw it) has ended, though kill -0 sees this shell.
for listed in "" "Z" "Ss"; do
    printf '#!/bin/sh\n[ -n "%s" ] || exit 1\necho "%s"\n' "$listed" "$listed" >"$scratch/bin/ps"
    chmod +x "$scratch/bin/ps"
    status=0
    (
        PATH="$scratch/bin:$PATH"
        set -- "" "" "$scratch/artefacts"
        . "$root/tests/e2e/xvfb_session.sh"
        e2e_process_running $$
    ) >/dev/null 2>&1 || status=$?
    expected=$([ "$listed" = Ss ] && echo 0 || echo 1)
    [ "$status" -eq "$expected" ] ||
        fail "a process that ps lists as \"$listed\" was judged running with $status, not $expected"
done
rm -f "$scratch/bin/ps"

# The leak checker's own crash at exit: the program runs once more, and the note says so.
cat >"$scratch/tracer_crash" <<EOF
#!/bin/sh
[ -e "$scratch/crashed" ] && exit 0
touch "$scratch/crashed"
echo "Tracer caught signal 11"
echo "LeakSanitizer has encountered a fatal error."
exit 1
EOF
chmod +x "$scratch/tracer_crash"
MIREXA_RETRY_LOG="$scratch/retries" "$root/tests/sanitized_run.sh" "$scratch/tracer_crash" \
    >/dev/null || fail "a program run once more after the tracer's crash failed"
grep -q "tracer_crash.*running the program once more" "$scratch/retries" 2>/dev/null ||
    fail "the run once more was not noted for scripts/test"

[ "$failures" -eq 0 ] && echo "harness checks passed"
[ "$failures" -eq 0 ]
