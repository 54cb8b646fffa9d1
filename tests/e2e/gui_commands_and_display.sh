#!/usr/bin/env bash
# Commands other programs send to the window, and the display going away, under Xvfb servers of
# the script's own: two windows of one user on two displays each take the commands sent from their
# own display, a sender on a display without a window reaches the user's only window and says
# where the windows are when there are several; while a window is stopped, senders and a second
# window give up within their limit, and the commands whose senders gave up are not carried out
# when it wakes (the sound switch stays off); a second window on a display takes its commands once
# the first window there ends; a display that refuses the toolkit at start ends
# the program with exit 2 and a word; a display that goes away under an idle window, and under a
# box the start-up's stock reading opened, ends the program within seconds with exit 2 and a log
# line. Every wait is bounded and ends through e2e_fail (tests/e2e/xvfb_session.sh).
# Skips itself (exit 77) without Xvfb, xdotool or python3.
# Usage: gui_commands_and_display.sh MIREXA SAMPLES_DIR ARTEFACT_DIR
set -euo pipefail
. "$(dirname "$0")/xvfb_session.sh"
e2e_require Xvfb xdotool python3
e2e_coarse_copy "$samples"
cp -r "$work/gui" "$work/gui_b"
exe="$(realpath "$program")"

# Servers and windows besides $xvfb and $mirexa. They end with the script, windows with SIGKILL:
# one that hangs ignores SIGTERM.
others=()
end_others() {
    local p
    for p in "${others[@]}"; do
        kill -9 "$p" 2>/dev/null || true
        wait "$p" 2>/dev/null || true
    done
}
trap 'end_others; e2e_cleanup' EXIT

# start_server: starts an Xvfb server on a free display; sets $server (its process) and $shown
# (the display).
start_server() {
    local file="$work/display.${#others[@]}"
    Xvfb -displayfd 6 -screen 0 1024x768x24 -nolisten tcp -noreset 6>"$file" 2>/dev/null &
    server=$!
    others+=("$server")
    e2e_wait "$e2e_patience" "an Xvfb server did not start" test -s "$file"
    shown=":$(cat "$file")"
}
# launch DISPLAY FOLDER TAG ARGS...: starts the program on the display in the folder, its output in
# $work/TAG.out and $work/TAG.err; sets $window.
launch() {
    local display=$1 folder=$2 tag=$3
    shift 3
    (cd "$folder" && DISPLAY=$display exec "$exe" "$@" >"$work/$tag.out" 2>"$work/$tag.err") &
    window=$!
    others+=("$window")
}
titled() {
    DISPLAY=$1 xdotool search --onlyvisible --name "$2" >/dev/null 2>&1
}
ended() {
    ! kill -0 "$1" 2>/dev/null
}
# finished PROCESS CODE WHAT: waits for the process to end (bounded) and checks its exit code
# ("SIGTERM" for any end by that signal, e2e_ended_by_sigterm).
finished() {
    local status=0
    e2e_wait "$e2e_patience" "$3 did not end" ended "$1"
    wait "$1" || status=$?
    if [ "$2" = SIGTERM ]; then
        e2e_ended_by_sigterm "$status" || e2e_fail "$3 ended with $status, not as SIGTERM ends it"
    else
        [ "$status" -eq "$2" ] || e2e_fail "$3 ended with $status instead of $2"
    fi
}
# Sends the command from the display; succeeds when the answer is $3. A failure shows the last
# answer.
e2e_detail="$work/last_answer"
answers() {
    local answer
    answer="$(DISPLAY=$1 timeout 60 "$exe" --send "$2" 2>&1 || true)"
    echo "the last answer to $2 sent from $1 was: $answer" >"$e2e_detail"
    [ "$answer" = "$3" ]
}
# dialog_on DISPLAY OTHER: the discoloration dialog is shown on the display; fails the script when
# it shows on the other display instead.
dialog_on() {
    titled "$2" "Discoloration Region" && e2e_fail "the command opened its dialog on $2, not $1"
    titled "$1" "Discoloration Region"
}
# Closes the discoloration dialog on the display with Esc.
close_dialog() {
    DISPLAY=$1 e2e_find_window "the dialog on $1 went before Esc" "Discoloration Region"
    DISPLAY=$1 e2e_focus "$found"
    DISPLAY=$1 xdotool key Escape
    e2e_wait "$e2e_patience" "the dialog on $1 did not close on Esc" \
        sh -c "! DISPLAY=$1 xdotool search --onlyvisible --name 'Discoloration Region'"
}
# Ends the window $mirexa (on $DISPLAY) with the menu's Exit, which writes its settings.
exit_window() {
    local main
    e2e_find_window "the window to end did not show" "demo_part.nc"
    main="$found"
    e2e_menu n x
    e2e_wait_for_exit
}

e2e_start_xvfb 1280 1024
a=$DISPLAY
start_server
b=$shown

step "a window on each of two displays"
# 1. Each window takes the commands sent from its own display.
e2e_launch "$work/gui" demo_part.nc
launch "$b" "$work/gui_b" b demo_part.nc
b_window=$window
e2e_wait "$e2e_patience" "no window on $a" titled "$a" "demo_part.nc"
e2e_wait "$e2e_patience" "no window on $b" titled "$b" "demo_part.nc"
for display in "$b" "$a"; do
    other=$a
    [ "$display" = "$a" ] && other=$b
    e2e_wait "$e2e_patience" "the window did not take 32819 sent from $display" \
        answers "$display" 32819 ok
    e2e_wait "$e2e_patience" "32819 sent from $display opened no dialog there" \
        dialog_on "$display" "$other"
    close_dialog "$display"
done
# 2. From a display without a window, with windows on two others: refused, naming them.
status=0
said="$(DISPLAY=nowhere:0 timeout 60 "$exe" --send 32819 2>&1)" || status=$?
[ "$status" -eq 2 ] || e2e_fail "a send from a display without a window ended with $status: $said"
[[ "$said" == *"$a"* && "$said" == *"$b"* ]] ||
    e2e_fail "a send from a display without a window did not name the windows' displays: $said"
# 3. With one window left, that window takes it.
kill -TERM "$b_window"
finished "$b_window" SIGTERM "the window on $b, after SIGTERM,"
e2e_wait "$e2e_patience" "the only window did not take 32819 sent from a display without one" \
    answers nowhere:0 32819 ok
e2e_wait "$e2e_patience" "32819 sent from a display without a window opened no dialog" \
    dialog_on "$a" "$b"
close_dialog "$a"

step "a stopped window and the commands given up on"
# 4. Three senders of the sound switch give up on the stopped window after 10 s (exit 2); when it
# wakes, it carries none of them out: the sound stays off in the settings written at Exit.
grep -q "^SOUND=OFF" "$work/gui/mirexa.ini" || e2e_fail "the sample settings do not start silent"
kill -STOP "$mirexa"
senders=()
for i in 1 2 3; do
    DISPLAY=$a timeout 60 "$exe" --send 32794 >"$work/sender.$i" 2>&1 &
    senders+=($!)
done
for i in 1 2 3; do
    status=0
    wait "${senders[$((i - 1))]}" || status=$?
    [ "$status" -eq 2 ] || e2e_fail "a sender to the stopped window ended with $status"
    grep -q "not carried out" "$work/sender.$i" ||
        e2e_fail "a sender that gave up said: $(cat "$work/sender.$i")"
done
kill -CONT "$mirexa"
# The window takes connections in their order: its answer to this one follows the three.
e2e_wait "$e2e_patience" "the woken window did not take 32819" answers "$a" 32819 ok
e2e_wait "$e2e_patience" "32819 opened no dialog in the woken window" dialog_on "$a" "$b"
close_dialog "$a"
exit_window
grep -q "^SOUND=OFF" "$work/gui/mirexa.ini" ||
    e2e_fail "commands whose senders had given up were carried out: $(grep '^SOUND' \
        "$work/gui/mirexa.ini")"

# 5. Seven senders fill the stopped window's queue of connections and more: each gives up within
# its limit; a second window on the display then starts without commands, and says why.
e2e_launch "$work/gui" demo_part.nc
e2e_wait "$e2e_patience" "the window did not come back" answers "$a" 32794 ok
kill -STOP "$mirexa"
senders=()
for i in 1 2 3 4 5 6 7; do
    DISPLAY=$a timeout 60 "$exe" --send 32794 >"$work/sender.$i" 2>&1 &
    senders+=($!)
done
for i in 1 2 3 4 5 6 7; do
    status=0
    wait "${senders[$((i - 1))]}" || status=$?
    [ "$status" -eq 2 ] ||
        e2e_fail "a sender to the stopped window ended with $status: $(cat "$work/sender.$i")"
done
grep -q "took no connection" "$work"/sender.* ||
    e2e_fail "no sender said that the stopped window took no connection"
launch "$a" "$work/gui_b" second demo_part.nc
second=$window
e2e_wait "$e2e_patience" "the second window did not say that the stopped one takes no connections" \
    grep -qs "takes no connections" "$work/gui_b/mirexa.log"
e2e_wait "$e2e_patience" "the second window did not open" \
    sh -c "DISPLAY=$a xdotool search --onlyvisible --pid $second --name demo_part.nc >/dev/null"
kill -TERM "$second"
finished "$second" SIGTERM "the second window, after SIGTERM,"
kill -CONT "$mirexa"
e2e_wait "$e2e_patience" "the woken window did not take 32819" answers "$a" 32819 ok
e2e_wait "$e2e_patience" "32819 opened no dialog in the woken window" dialog_on "$a" "$b"
close_dialog "$a"
exit_window

step "a second window on a display whose socket is taken"
# 5b. A second window on the display of a window that takes the commands says at its start that
# it takes them once the socket is free; when the first window ends, the commands sent from the
# display reach the second.
e2e_launch "$work/gui" demo_part.nc
e2e_wait "$e2e_patience" "the first window did not take the commands" answers "$a" 32872 ok
rm -f "$work/gui_b/mirexa.log"  # the earlier second window's
launch "$a" "$work/gui_b" waiting demo_part.nc
second=$window
e2e_wait "$e2e_patience" "the second window did not say that the first takes the commands" \
    grep -qs "No commands from other programs" "$work/gui_b/mirexa.log"
grep -q "takes them when the socket is free" "$work/gui_b/mirexa.log" ||
    e2e_fail "the second window did not say when it takes the commands"
DISPLAY=$a e2e_find_window "the first window did not show" demo_part.nc "$mirexa"
main="$found"
e2e_menu n x
e2e_wait_for_exit
e2e_wait "$e2e_patience" "the second window did not take the commands after the first ended" \
    answers "$a" 32872 ok
grep -q "Commands from other programs are taken now" "$work/gui_b/mirexa.log" ||
    e2e_fail "the second window's log does not say that it takes the commands now"
kill -TERM "$second"
finished "$second" SIGTERM "the second window, after SIGTERM,"

step "a display that refuses the toolkit"
# 6. A local display that takes the connection and closes it, as an X server in its reset does;
# and one that takes it and stops reading, so that the toolkit's writing of the connection set-up
# meets a reader that has gone. The second display holds each start between its connecting and
# its writing (its XAUTHORITY is a FIFO the display opens only after it has taken the connections
# waiting), so that every start writes to the closed side. The program says so and ends with
# exit 2, and is never ended by SIGPIPE (141).
for mode in close stop-reading; do
    python3 - "$mode" "$work/fake_display.$mode" "$work/authority.$mode" <<'EOF' &
import errno, os, socket, sys, time
mode, found, authority = sys.argv[1:4]
for number in range(7000, 7200):
    server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    try:
        server.bind("\0/tmp/.X11-unix/X%d" % number)
    except OSError:
        server.close()
        continue
    if not os.path.exists("/tmp/.X11-unix/X%d" % number):
        break
server.listen(8)
server.setblocking(False)
os.mkfifo(authority)
held = []
def refuse_waiting():
    while True:
        try:
            connection = server.accept()[0]
        except BlockingIOError:
            return
        if mode == "close":
            connection.close()
        else:
            connection.shutdown(socket.SHUT_RD)
            held.append(connection)
            del held[:-16]
open(found, "w").write(":%d" % number)
end = time.time() + 600
while time.time() < end:
    refuse_waiting()
    # A start that waits on the authority file has connected: its connection is taken first.
    try:
        reader = os.open(authority, os.O_WRONLY | os.O_NONBLOCK)
    except OSError as error:
        if error.errno != errno.ENXIO:
            raise
        time.sleep(0.01)
        continue
    refuse_waiting()
    os.close(reader)
EOF
    others+=($!)
    e2e_wait "$e2e_patience" "the refusing display did not start" \
        test -s "$work/fake_display.$mode"
    held=()
    [ "$mode" = close ] || held=("XAUTHORITY=$work/authority.$mode")
    for run in 1 2 3; do
        status=0
        (cd "$work/gui" && DISPLAY="$(cat "$work/fake_display.$mode")" \
            env ${held[@]+"${held[@]}"} timeout 60 "$exe" demo_part.nc >"$work/refused.out" \
            2>"$work/refused.err") || status=$?
        [ "$status" -eq 2 ] ||
            e2e_fail "a display that refuses the toolkit ($mode, start $run) ended the program" \
                "with $status"
        grep -q "the display could not be opened" "$work/refused.err" ||
            e2e_fail "a display that refuses the toolkit ($mode) was not named:" \
                "$(tail -3 "$work/refused.err")"
    done
done

step "a display that goes away"
# 7. Under an idle window, and under a box that the start-up's stock reading opened (the work
# waits for its answer): the program ends with exit 2 and says why in its log.
head -c 300 /dev/zero | tr '\0' 'x' >"$work/gui_b/bad.dme"
# The log's lines that say so.
went_away() {
    cat "$work/gui_b/mirexa.log" 2>/dev/null | grep -c "The display went away" || true
}
for args in "demo_part.nc" "bad.dme demo_part.nc"; do
    start_server
    gone="$(went_away)"
    # shellcheck disable=SC2086
    launch "$shown" "$work/gui_b" gone $args
    if [ "$args" = "demo_part.nc" ]; then
        e2e_wait "$e2e_patience" "no window on $shown" titled "$shown" "demo_part.nc"
    else
        e2e_wait "$e2e_patience" "no box said that bad.dme cannot be read" titled "$shown" \
            "Data error"
    fi
    kill "$server"
    finished "$window" 2 "the program on the display that went away ($args)"
    [ "$(went_away)" -gt "$gone" ] ||
        e2e_fail "the log did not say that the display went away ($args); the program's" \
            "standard error ended with: $(tail -3 "$work/gone.err")"
done

echo "$name: passed in $((SECONDS - e2e_started)) s"
