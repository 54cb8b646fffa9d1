#!/usr/bin/env bash
# Runs one test command within a time limit: bounded_run.sh SECONDS COMMAND [ARGUMENTS...]; its
# status is the command's. A command still running at the limit is named, with the phase of
# scripts/test it ran in (MIREXA_TEST_PHASE), its processes are listed (a script shows the command
# it waits in), the stacks of the threads of the project's own programs among them (whatever does
# not lie under /usr) are printed with gdb where gdb is installed and may attach, and then every
# one of them ends; the status is then 124, as timeout(1)'s. ctest's own limit of the test lies
# above this one (tests/CMakeLists.txt), so that it never kills before the stacks are printed.
set -u
limit=$1
shift
"$@" &
command=$!
sleep "$limit" &
clock=$!
ended=""
wait -n -p ended "$command" "$clock"
status=$?
if [ "$ended" = "$command" ]; then
    kill "$clock" 2>/dev/null
    wait "$clock" 2>/dev/null
    exit "$status"
fi

# The process and every process under it, parents first.
process_tree() {
    local -A children=()
    local stat line pid parent
    for stat in /proc/[0-9]*/stat; do
        { line=$(<"$stat"); } 2>/dev/null || continue
        pid=${line%% *}
        # The fields after the name (which may hold spaces and parentheses): state, parent.
        read -r _ parent _ <<<"${line##*) }"
        children[$parent]+=" $pid"
    done
    local queue=("$1") i=0
    while [ "$i" -lt "${#queue[@]}" ]; do
        echo "${queue[$i]}"
        # shellcheck disable=SC2206
        queue+=(${children[${queue[$i]}]:-})
        i=$((i + 1))
    done
}

phase="${MIREXA_TEST_PHASE:+ in the phase \"$MIREXA_TEST_PHASE\" of scripts/test}"
echo "bounded_run: still running after $limit s$phase: $*" >&2
mapfile -t processes < <(process_tree "$command")
echo "bounded_run: its processes (id: command line):" >&2
for pid in "${processes[@]}"; do
    line="$(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)" && echo "  $pid: $line" >&2
done
if command -v gdb >/dev/null; then
    for pid in "${processes[@]}"; do
        program="$(readlink "/proc/$pid/exe" 2>/dev/null)" || continue
        case "$program" in /usr/* | /bin/* | /sbin/* | /lib*) continue ;; esac
        echo "bounded_run: the threads of $pid ($program):" >&2
        # Without the test's preloaded libraries (one refuses threads, which gdb starts).
        timeout 120 env -u LD_PRELOAD gdb -p "$pid" -batch -nx -ex "thread apply all bt 40" 2>&1 |
            grep -v -E '^\[(New LWP|Thread debugging|Inferior)|^Using host libthread_db' >&2
    done
else
    echo "bounded_run: gdb is not installed: no stacks (scripts/deps installs it)" >&2
fi
kill -TERM "$command" 2>/dev/null
for pid in "${processes[@]:1}"; do
    kill -KILL "$pid" 2>/dev/null
done
# A command that ignores SIGTERM (a script waits for its foreground command first) is killed.
deadline=$((SECONDS + 10))
while kill -0 "$command" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do
    sleep 0.2
done
kill -KILL "$command" 2>/dev/null
wait "$command" 2>/dev/null
exit 124
