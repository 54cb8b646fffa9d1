# Sourced by the end-to-end scripts: the tools check, a scratch folder cleaned up at exit with the
# program, the window manager and the X server, one Xvfb server on a display it picks itself, and
# the one way a script fails: every failure, a wait that ran out and a command that failed
# unexpectedly alike, says what it was, keeps the screen, the program's output and standard error
# and its log as artefacts, and ends the script with code 1.
# A script sources it first of all, as `. "$(dirname "$0")/xvfb_session.sh"`, and is called
# with the program, the samples' folder and the folder of its artefacts: these become $program,
# $samples and $artefacts, the script's file name without ".sh" its $name (for its messages and
# artefacts) and its folder $here; the arguments after those stay the script's ($4 ...).
program="$1"
samples="$2"
artefacts="$3"
name="$(basename "$0" .sh)"
here="$(cd "$(dirname "$0")" && pwd)"

# How long a wait for something the window shows may take (s): the same on every machine, and
# generous, so that a loaded machine with a sanitizer build passes where a fast one does; a wait
# that ends early costs nothing. (E2E_PATIENCE shortens it for a developer who checks a failure.)
e2e_patience=${E2E_PATIENCE:-90}
# How long a whole run of an NC program may take (s).
e2e_run_patience=900

e2e_started=$SECONDS
mkdir -p "$artefacts"
rm -f "$artefacts/${name}_failure"*  # an earlier run's

# Skips the script (exit 77) when one of the named tools is missing; where every tool must be
# there (MIREXA_E2E_REQUIRED=1: scripts/test, after scripts/deps installed them all), a missing
# one fails the script instead, so that nothing goes unchecked in CI.
e2e_require() {
    local tool
    for tool in "$@"; do
        if ! e2e_have "$tool"; then
            echo "$name: skipped, $tool is not installed (scripts/deps installs it)"
            exit 77
        fi
    done
}
# Succeeds when the tool is installed; for a step that needs it (and is left out without it). A
# missing tool fails the script where every tool must be there.
e2e_have() {
    command -v "$1" >/dev/null && return 0
    if [ "${MIREXA_E2E_REQUIRED:-0}" = 1 ]; then
        e2e_fail "$1 is not installed, and here every tool must be (scripts/deps installs it)"
    fi
    return 1
}

# The scratch folder $work; the program ($mirexa), the window manager ($e2e_wm) and the server
# ($xvfb) end with the script.
work="$(mktemp -d)"
xvfb=""
e2e_wm=""
mirexa=""
e2e_dir=""        # the program's working folder (its log is written there)
e2e_width=""      # the screen's size
e2e_height=""
e2e_detail=""     # a file whose text a failure shows (the figures of the last check)
e2e_cleanup() {
    [ -n "$mirexa" ] && kill "$mirexa" 2>/dev/null || true
    [ -n "$e2e_wm" ] && kill "$e2e_wm" 2>/dev/null || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap e2e_cleanup EXIT

# Says why the script fails (with the seconds since its start), keeps the artefacts
# ${name}_failure.png (the screen), ${name}_failure_stdout.txt, ${name}_failure_stderr.txt and
# ${name}_failure_mirexa.log, and ends the script.
e2e_fail() {
    echo "$name: FAILED: $* (after $((SECONDS - e2e_started)) s)" >&2
    if [ -n "$e2e_detail" ] && [ -s "$e2e_detail" ]; then
        echo "$name: $(cat "$e2e_detail")" >&2
    fi
    if [ -n "$mirexa" ] && [ -n "${DISPLAY:-}" ]; then
        local window
        echo "$name: the program's windows shown (id, name, geometry); the keyboard is with" \
            "$(xdotool getwindowfocus 2>/dev/null):" >&2
        for window in $(xdotool search --onlyvisible --pid "$mirexa" 2>/dev/null); do
            echo "  $window \"$(xdotool getwindowname "$window" 2>/dev/null)\"" \
                "$(xdotool getwindowgeometry "$window" 2>/dev/null | tr -s '\n ' ' ')" >&2
        done
    fi
    # Every window of the server, top of the stack first, with its map state: what stands in front,
    # and what is shown but covered.
    if [ -n "${DISPLAY:-}" ]; then
        timeout 30 xwininfo -root -tree >"$artefacts/${name}_failure_windows.txt" 2>&1 || true
    fi
    if [ -n "${main:-}" ]; then
        echo "$name: the main window's title: $(xdotool getwindowname "$main" 2>/dev/null)" >&2
    fi
    if [ -n "${DISPLAY:-}" ] && [ -n "$e2e_width" ]; then
        timeout 30 ffmpeg -loglevel error -y -f x11grab -video_size "${e2e_width}x${e2e_height}" \
            -i "$DISPLAY" -frames:v 1 "$artefacts/${name}_failure.png" 2>/dev/null || true
    fi
    # Where each of the program's threads stands (a window that stopped answering shows why).
    if [ -n "$mirexa" ] && kill -0 "$mirexa" 2>/dev/null && command -v gdb >/dev/null; then
        timeout 60 gdb -p "$mirexa" -batch -ex "thread apply all bt 40" \
            >"$artefacts/${name}_failure_threads.txt" 2>&1 || true
    fi
    [ -f "$work/program.out" ] && cp "$work/program.out" "$artefacts/${name}_failure_stdout.txt"
    [ -f "$work/program.err" ] && cp "$work/program.err" "$artefacts/${name}_failure_stderr.txt"
    [ -n "$e2e_dir" ] && [ -f "$e2e_dir/mirexa.log" ] &&
        cp "$e2e_dir/mirexa.log" "$artefacts/${name}_failure_mirexa.log"
    if [ -s "$work/program.err" ]; then
        echo "$name: the program's standard error ends with:" >&2
        tail -n 20 "$work/program.err" >&2
    fi
    trap - ERR
    exit 1
}

# A command that fails where the script does not test it (set -e would end the script without a
# word) fails the script through e2e_fail; inside a command substitution the subshell only ends,
# and the command that used its output fails in turn.
e2e_on_error() {
    local status=$1
    [ "$BASH_SUBSHELL" -gt 0 ] && exit "$status"
    e2e_fail "the command \`$3\` ended with code $status at line $2"
}
set -E
trap 'e2e_on_error $? "$LINENO" "$BASH_COMMAND"' ERR

# Fails the script when the program has ended (it should still be running).
e2e_check_running() {
    if [ -n "$mirexa" ] && ! kill -0 "$mirexa" 2>/dev/null; then
        local status=0
        wait "$mirexa" || status=$?
        mirexa=""
        e2e_fail "the program ended with code $status while the script waited for $1"
    fi
}

# e2e_wait SECONDS FAILURE COMMAND...: waits until COMMAND succeeds, at most SECONDS; when the
# time runs out or the program ends meanwhile, fails the script with FAILURE and the command it
# waited for.
e2e_wait() {
    local limit=$1 failure=$2 deadline
    shift 2
    deadline=$((SECONDS + limit))
    while :; do
        "$@" && return 0
        # The program may have ended just after the command looked (the wait for its exit
        # among them): the command looks once more at what it left before the end counts.
        if [ -n "$mirexa" ] && ! kill -0 "$mirexa" 2>/dev/null && "$@"; then
            return 0
        fi
        e2e_check_running "\`$*\`"
        [ "$SECONDS" -lt "$deadline" ] || e2e_fail "$failure (waited $limit s for \`$*\`)"
        sleep 0.2
    done
}

# The scripts' common words: step says what the script does now (with the seconds since its
# start), wait_for waits with the usual patience, title_has and title_lacks look at the main
# window's ($main) title, probe reads the screen's pixels (screen_probe.py; a server that does not
# answer at once is asked again for 10 s), viewed_reports counts the length reports the desktop's
# viewer was given and more_reports N succeeds once there are more than N.
step() {
    echo "$name: $((SECONDS - e2e_started)) s: $*"
}
wait_for() {
    e2e_wait "$e2e_patience" "$@"
}
title_has() {
    case "$(xdotool getwindowname "$main")" in *"$1"*) return 0 ;; *) return 1 ;; esac
}
title_lacks() {
    ! title_has "$1"
}
probe() {
    local deadline=$((SECONDS + 10))
    while [ "$SECONDS" -lt "$deadline" ]; do
        python3 "$here/screen_probe.py" "$DISPLAY" "$@" 2>/dev/null && return 0
        sleep 0.5
    done
    python3 "$here/screen_probe.py" "$DISPLAY" "$@"
}
viewed_reports() {
    { cat "$work/viewer.log" 2>/dev/null || true; } | grep -c '_length.txt' || true
}
more_reports() {
    [ "$(viewed_reports)" -gt "$1" ]
}

# Prints the id of the first visible window whose name matches $1, of the process $2 when given
# (nothing when there is none). xdotool's search ends with an X error, printing nothing, when a
# window goes while it looks (a second instance that ends): that look counts as none.
e2e_window_named() {
    if [ -n "${2:-}" ]; then
        xdotool search --all --onlyvisible --pid "$2" --name "$1" 2>/dev/null | head -1 || true
    else
        xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true
    fi
}
e2e_window_shown() {
    [ -n "$(e2e_window_named "$@")" ]
}
# e2e_find_window FAILURE PATTERN [PID]: waits for a visible window whose name matches PATTERN (of
# the process PID when given) and sets $found to its id; fails the script with FAILURE when none
# comes. The look that sees the window reads its id: a second look, which a window going
# elsewhere can make read nothing, would leave the keys that follow to no window. (Not run in a
# command substitution, so that a failure ends the script itself.)
found=""
e2e_window_found() {
    found="$(e2e_window_named "$@")"
    [ -n "$found" ]
}
e2e_find_window() {
    e2e_wait "$e2e_patience" "$1" e2e_window_found "${@:2}"
}
e2e_window_gone() {
    ! e2e_window_shown "$1"
}

# The ids of the windows shown now, sorted, one a line. (A window that goes while xdotool looks
# makes it fail: the others are taken.)
e2e_shown_windows() {
    { xdotool search --onlyvisible --name '' 2>/dev/null || true; } | sort
}
# e2e_new_window BEFORE [popup]: succeeds when a window is shown that is not among BEFORE (what
# e2e_shown_windows printed before the user's action), and with "popup", one that no window
# manager places (a menu; the toolkit does not mark a menu's window as one every time it shows).
# A window of an earlier step that goes meanwhile, as a file dialog's completion list does just
# after the dialog, counts for nothing either way (a count of the windows shown would take its
# going for the new window).
e2e_new_window() {
    local window
    for window in $(comm -13 <(printf '%s\n' "$1") <(e2e_shown_windows)); do
        if [ -z "${2:-}" ] ||
            xwininfo -id "$window" 2>/dev/null | grep 'Override Redirect State: yes' >/dev/null; then
            return 0
        fi
    done
    return 1
}

# e2e_menu KEY [ITEM...]: opens the menu of Alt+KEY in the main window ($main), typed once the
# window has the keyboard, and types the keys of the items, each once its menu shows (the last
# one chooses its item).
e2e_menu() {
    local keys=("alt+$1" "${@:2}") i shown
    e2e_focus "$main"
    for i in "${!keys[@]}"; do
        shown="$(e2e_shown_windows)"
        xdotool key "${keys[$i]}"
        if [ "$i" -eq 0 ] || [ "$i" -lt $((${#keys[@]} - 1)) ]; then
            e2e_wait "$e2e_patience" "no menu opened after ${keys[$i]}" \
                e2e_new_window "$shown" popup
        fi
    done
}

# e2e_dialog TITLE KEY...: waits for the dialog named TITLE, gives it the keyboard, types the keys
# ("=text" types the text) and waits until it has gone.
e2e_dialog() {
    local title="$1" key
    e2e_find_window "the dialog $title did not open" "$title"
    e2e_focus "$found"
    for key in "${@:2}"; do
        case "$key" in =*) xdotool type --delay 10 "${key#=}" ;; *) xdotool key "$key" ;; esac
    done
    e2e_wait "$e2e_patience" "the dialog $title did not close" e2e_window_gone "$title"
}

# Gives the window the keyboard focus (failing the script when it cannot; xdotool takes an empty
# id for a window that has it already).
e2e_focus() {
    [ -n "$1" ] || e2e_fail "no window was named to take the keyboard focus"
    timeout "$e2e_patience" xdotool windowfocus --sync "$1" ||
        e2e_fail "the window $1 did not take the keyboard focus"
}

# Starts the program in the folder $1 with the arguments that follow, its standard output and
# standard error kept for the artefacts; $mirexa is its process.
e2e_launch() {
    local exe
    exe="$(realpath "$program")"
    e2e_dir="$1"
    shift
    (cd "$e2e_dir" && exec "$exe" "$@" >"$work/program.out" 2>"$work/program.err") &
    mirexa=$!
}

# Waits for the program to end (after the caller chose Exit); fails unless it ends with code 0.
e2e_wait_for_exit() {
    local status=0
    e2e_wait "$e2e_patience" "the program did not end" sh -c "! kill -0 $mirexa 2>/dev/null"
    wait "$mirexa" || status=$?
    mirexa=""
    [ "$status" -eq 0 ] || e2e_fail "the program ended with code $status"
}

# Succeeds while the process $1 runs: ps lists it, and not as a zombie (an ended process that its
# parent, or for an orphan the system's first process, has not reaped yet; that one can take a
# few hundred milliseconds). One look: a zombie reaped between a look of kill -0 and one of ps
# would pass for a running process.
e2e_process_running() {
    local state
    state="$(ps -o stat= -p "$1" 2>/dev/null)" || return 1
    state="${state//[[:space:]]/}"
    [ -n "$state" ] && [[ "$state" != Z* ]]
}

# Succeeds once the program has ended.
e2e_ended() {
    ! kill -0 "$mirexa" 2>/dev/null
}
# Succeeds when the exit code $1 is one of an end by SIGTERM: the program with the user does not
# catch the signal and ends by it (143); while the work of its start (the command line's, a
# macro's) still runs, the signal aborts that work, and the program ends as on any abort (255).
# Any other end, an exit of its own before the signal, a crash or a sanitizer's report at the end
# included, is none.
e2e_ended_by_sigterm() {
    [ "$1" -eq 143 ] || [ "$1" -eq 255 ]
}
# Ends the program left with the user (as a closed terminal would: SIGTERM) and waits for its end,
# which must be one by the signal.
e2e_stop() {
    local status=0
    kill "$mirexa" 2>/dev/null || true
    e2e_wait "$e2e_patience" "the program did not end on SIGTERM" e2e_ended
    wait "$mirexa" || status=$?
    mirexa=""
    e2e_ended_by_sigterm "$status" ||
        e2e_fail "the program ended with code $status, not as SIGTERM ends it (143 or 255)"
}

# Starts Xvfb with a screen of WIDTH x HEIGHT on a free display and points the program at it:
# Qt on X, its runtime folder in $work, and a desktop viewer that shows nothing, so that a run's
# length report opens without a box; the viewer notes each file in $work/viewer.log.
e2e_start_xvfb() {
    e2e_width=$1
    e2e_height=$2
    # -noreset: the server stays as it is when its last client goes (a script that starts the
    # program again would otherwise meet a server in the middle of its reset).
    Xvfb -displayfd 5 -screen 0 "${1}x${2}x24" -nolisten tcp -noreset 5>"$work/display" \
        2>/dev/null &
    xvfb=$!
    local deadline=$((SECONDS + e2e_patience))
    until [ -s "$work/display" ]; do
        [ "$SECONDS" -lt "$deadline" ] || e2e_fail "Xvfb did not start within $e2e_patience s"
        sleep 0.1
    done
    export DISPLAY=":$(cat "$work/display")"
    export QT_QPA_PLATFORM=xcb
    export XDG_RUNTIME_DIR="$work"
    # Qt's shared settings (the file dialogs' history among them), the caches (the renderer's
    # shaders) and whatever else a program keeps in the home folder stay in the scratch folder.
    export XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data"
    export HOME="$work/home"
    mkdir -p "$work/bin" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME" "$HOME"
    printf '#!/bin/sh\necho "$1" >>"%s"\n' "$work/viewer.log" >"$work/bin/xdg-open"
    chmod +x "$work/bin/xdg-open"
    export PATH="$work/bin:$PATH"
}

# Starts the window manager openbox on the server (for the checks of stacking and focus) and
# waits until it manages the screen.
e2e_wm_running() {
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep 'window id' >/dev/null
}
e2e_start_window_manager() {
    openbox --sm-disable >"$work/openbox.out" 2>&1 &
    e2e_wm=$!
    e2e_wait "$e2e_patience" "the window manager did not start" e2e_wm_running
}

# The working copy $work/gui of the samples in the folder $1: coarse dexels and moves, rapids
# without real cutting, so that a run of the sample program takes a second or two.
e2e_coarse_copy() {
    mkdir -p "$work/gui"
    cp "$1"/* "$work/gui/"
    sed -i -e "s/^PITCH(WORK)=.*/PITCH(WORK)=0.5/" -e "s/^PITCH(MOVE)=.*/PITCH(MOVE)=0.5/" \
        -e "s/^REAL RAPID=.*/REAL RAPID=NO/" "$work/gui/mirexa.ini"
}
