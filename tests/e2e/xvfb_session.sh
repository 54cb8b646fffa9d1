# Sourced by the end-to-end scripts: the tools check, a scratch folder cleaned up at exit with the
# program and the X server, and one Xvfb server on a display it picks itself.
# The script sets `name` (for its messages) before sourcing this file.

# Skips the script (exit 77) when one of the named tools is missing.
e2e_require() {
    local tool
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null; then
            echo "$name: skipped, $tool is not installed (scripts/deps installs it)"
            exit 77
        fi
    done
}

# The scratch folder $work; the program ($mirexa) and the server ($xvfb) end with the script.
work="$(mktemp -d)"
xvfb=""
mirexa=""
e2e_cleanup() {
    [ -n "$mirexa" ] && kill "$mirexa" 2>/dev/null || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap e2e_cleanup EXIT

# Starts Xvfb with a screen of WIDTH x HEIGHT on a free display and points the program at it:
# Qt on X, its runtime folder in $work, and a desktop viewer that shows nothing, so that a run's
# length report opens without a box.
e2e_start_xvfb() {
    Xvfb -displayfd 5 -screen 0 "${1}x${2}x24" -nolisten tcp 5>"$work/display" 2>/dev/null &
    xvfb=$!
    for _ in $(seq 1 100); do
        [ -s "$work/display" ] && break
        sleep 0.1
    done
    if [ ! -s "$work/display" ]; then
        echo "$name: Xvfb did not start"
        exit 1
    fi
    export DISPLAY=":$(cat "$work/display")"
    export QT_QPA_PLATFORM=xcb
    export XDG_RUNTIME_DIR="$work"
    mkdir -p "$work/bin"
    printf '#!/bin/sh\nexit 0\n' >"$work/bin/xdg-open"
    chmod +x "$work/bin/xdg-open"
    export PATH="$work/bin:$PATH"
}
