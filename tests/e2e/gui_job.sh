#!/usr/bin/env bash
# A whole job through the real window, as a user does it, under one Xvfb server: stocks defined,
# defined again, moved and turned (each drawn in the view); the sample program selected (the NC
# strip shows it, and a key right after the file dialog reaches the view); a single-block run
# resumed by G in the view and by the GO pane, Shift+Tab (typed while the program was held up),
# Tab, Right and Left in the view changing its mode and interval in the title, then run to its
# end by G typed after a click on a panel pane; a run with real rapids switched on in the menu
# reaching its end; a second run paused by the pause key (the status bar shows the pause and
# blinks), a menu opened in the pause staying in front over two blinks and closed, and the run
# ended by Esc, typed while the program was held up; the view's keys after a click on
# a panel pane, with the pointer beside the window (turning about the view's centre) and after
# a resize (Shift+7, typed while the program was held up, turning B as well as A), the tool
# display panel staying in front of the main window (no window manager keeps it there); the
# controller and machine files read, with the colours kept
# in the view and, after Exit, in mirexa.ini byte for byte; F1 showing the help page in the
# viewer. Every step waits for what the screen, the title or the files show; a failure keeps the
# screen, the program's output and its log as artefacts (tests/e2e/xvfb_session.sh).
# Skips itself (exit 77) without Xvfb, xdotool, ffmpeg or python3.
# Usage: gui_job.sh MIREXA SAMPLES_DIR ARTEFACT_DIR
set -euo pipefail
. "$(dirname "$0")/xvfb_session.sh"
e2e_require Xvfb xdotool ffmpeg python3
e2e_coarse_copy "$samples"
colour_lines() {
    grep -a -E '^[A-Z0-9()* -]*(COLOR|BACKGROUND)=' "$1"
}
colour_lines "$work/gui/mirexa.ini" >"$work/colours.before"
# The help page of the working folder (the program looks for it there as it starts).
mkdir -p "$work/gui/HELP"
echo '<html><body>help</body></html>' >"$work/gui/HELP/index.htm"

e2e_start_xvfb 1600 1000

fail() {
    e2e_fail "$@"
}
# Waits until the command after the description succeeds (e2e_patience at most).
# A grab that fails (the server busy) is tried again for up to 10 s.
title() {
    xdotool getwindowname "$main"
}

# Places on the screen (the window at the screen's corner, 1500 x 950): the view, the status
# bar's part 3 (the pause) and part 4 (the keys that end it, blinking), the NC strip, and the
# panel's GO/STOP pane and a stock range label.
view="300 100 1000 700"
background="240 60 40 20"
stop_part="356 952 158 12"
stop_keys_part="518 952 154 12"
strip="2 19 1270 14"
go_pane="116 199"
range_label="54 467"
stock_drawn() {
    [ "$(probe $view stock)" -ge 15000 ]
}
paused() {
    [ "$(probe $stop_part ink)" -gt 0 ]
}
not_paused() {
    [ "$(probe $stop_part ink)" -eq 0 ]
}
# The pause's keys seen over 2 s shown, hidden and shown again, or the other way round: at least
# two blinks.
blinked() {
    case "$(probe $stop_keys_part phases)" in *1*0*1* | *0*1*0*) return 0 ;; *) return 1 ;; esac
}
changed() {
    [ "$(probe $1 $2 $3 $4 sum)" != "$5" ]
}
# Answers the dialog named $1: the keys $2.. (a click at "x y" for "@x y"), then Return.
answer_dialog() {
    local dialog name="$1"
    e2e_find_window "the dialog $name did not open" "$name"
    dialog="$found"
    e2e_focus "$dialog"
    shift
    for action in "$@"; do
        case "$action" in
            @*) xdotool mousemove --window "$dialog" ${action#@} click --repeat 2 1 key ctrl+a ;;
            *) xdotool type "$action" ;;
        esac
    done
    xdotool key Return
    wait_for "the dialog $name did not close" e2e_window_gone "$name"
}

e2e_launch "$work/gui" "-(0,0,1500,950)"
e2e_find_window "the main window did not open" 'Not Selected'
main="$found"
e2e_find_window "the tool display panel did not open" ' in vmc3\.ttl '
panel="$found"
background_shown() {
    [ "$(probe $background corner)" = "32,32,48" ]
}
wait_for "the view shows no picture" background_shown
colour="$(probe $background corner)"

step stocks
# 1. Stocks: a box, the same box again, moved 20 mm along X, turned 30 degrees about Z; each is
# drawn at once.
e2e_menu w d
answer_dialog '^Define Work by 2-Points$'
wait_for "the box is not drawn" stock_drawn
e2e_menu w d
answer_dialog '^Define Work by 2-Points$'
wait_for "the box defined again is not drawn" stock_drawn
e2e_menu w m
answer_dialog '^Move$' 20
wait_for "the moved box is not drawn" stock_drawn
before="$(probe $view sum)"
e2e_menu w r
answer_dialog '^Rotary Method$' "@160 80" 30
wait_for "the box did not turn" changed $view "$before"
wait_for "the turned box is not drawn" stock_drawn

step program
# 2. The sample program: the title and the NC strip name it, and the program has the keyboard.
before="$(probe $strip sum)"
e2e_menu n s
answer_dialog 'NC DATA FILE' "$work/gui/demo_part.nc"
wait_for "the title does not name the program" title_has demo_part.nc
wait_for "the NC strip still shows no program" changed $strip "$before"
# The keyboard is back in the main window once the file dialog has closed: 2 turns the view.
before="$(probe $view sum)"
xdotool key 2
wait_for "2 right after the file dialog did not reach the view" changed $view "$before"

step single block
# 3. Single block: the run stops before each block and the status bar says so; G in the view
# and the GO pane each run one block (the strip shows the next) and the run stops again.
e2e_menu r h s
xdotool mousemove 900 500
xdotool key F5
wait_for "F5 started no run" title_has "Cutting : Result"
wait_for "the status bar does not show the single block's stop" paused
before="$(probe $strip sum)"
xdotool key g
wait_for "G in the view ran no block" changed $strip "$before"
wait_for "after G in the view the run is not served again" paused
before="$(probe $strip sum)"
xdotool mousemove $go_pane click 1
wait_for "the GO pane ran no block" changed $strip "$before"
wait_for "after the GO pane the run is not served again" paused
# The view's run keys while the run stands, each shown in the title at once: Shift+Tab goes from
# the result run to skip cutting and on to real cutting with its redraw interval, Right and Left
# step the interval, Tab goes back through skip cutting to the result run. (A key that still
# reaches the panel clicked last goes to the main window, which steps the modes alike.) The first
# Shift+Tab is typed as on a machine so busy that the program takes the Tab only after Shift is
# up again: it steps back all the same, with Shift as it was held when Tab went down.
xdotool mousemove 900 500
kill -STOP "$mirexa"
xdotool key shift+Tab
kill -CONT "$mirexa"
wait_for "the title does not show Shift+Tab's mode" title_has "Cutting : Skip:"
xdotool key shift+Tab
wait_for "the title does not show real cutting" title_has "Cutting : Real:"
interval="$(title | sed -n 's/.*Cutting : Real:\([0-9]*\).*/\1/p')"
xdotool key Right
wait_for "the title does not show Right's interval, was $interval" title_has "Cutting : Real:$((interval + 1))"
xdotool key Left
wait_for "the title does not show Left's interval, was $((interval + 1))" title_has "Cutting : Real:$interval"
xdotool key Tab
wait_for "the title does not show Tab's mode" title_has "Cutting : Skip:"
xdotool key Tab
wait_for "the title does not show the result run" title_has "Cutting : Result"
# Non-stop, then G typed where the user last clicked (the panel): the run goes to its end.
e2e_menu r h n
xdotool mousemove $go_pane click 1
xdotool key g
e2e_wait "$e2e_run_patience" "the run did not reach its end" title_lacks "Cutting"
wait_for "the status bar still shows a stop" not_paused

step real rapids
# 4. Real rapids switched on through the Cutting menu: the result run draws its rapid moves step
# by step and reaches its end.
e2e_menu r 0
xdotool mousemove 900 500
xdotool key F5
wait_for "F5 with real rapids started no run" title_has "Cutting : Result"
e2e_wait "$e2e_run_patience" "the run with real rapids did not end" title_lacks "Cutting"
e2e_menu r 0

step pause and abort
# 5. The pause key (Ctrl, held) pauses a run in the view and Esc ends it. The run cuts a box
# defined anew with real rapids (through the stock that the earlier runs have cut, nearly all in
# the air, it may end before the run timer's first look at the key), and the key goes down before
# F5 (which the view takes with or without Ctrl).
e2e_menu w d
answer_dialog '^Define Work by 2-Points$'
wait_for "the box defined for the pause is not drawn" stock_drawn
e2e_menu r 0
xdotool mousemove 900 500
xdotool keydown ctrl
xdotool key F5
wait_for "F5 in the view started no run" title_has "Cutting : Result"
wait_for "the pause key did not pause the run" paused
xdotool keyup ctrl
title_has "Cutting" || fail "the pause key ended the run"
# The pause blinks without raising the main window: a menu opened meanwhile stays in front while
# the status bar blinks twice.
e2e_menu n
menu_picture="$(probe 10 30 120 60 sum)"
wait_for "the pause did not blink with the menu open" blinked
[ "$(probe 10 30 120 60 sum)" = "$menu_picture" ] || fail "the pause blink covered the open menu"
# Esc, Esc closes the menu and leaves the menu bar, and Esc ends the run, typed as on a machine so
# busy that the program takes them all only after the menu's closing: the window has them all
# the same, in their order (held up, the program leaves them to the closed menu's window).
kill -STOP "$mirexa"
xdotool key Escape Escape
xdotool key Escape
kill -CONT "$mirexa"
wait_for "Esc did not end the run" title_lacks "Cutting"
wait_for "the status bar still shows the stop after Esc" not_paused
e2e_menu r 0

step keys
# 6. The view's keys after a click on a panel pane, and after a resize (which shows the panels
# again).
xdotool mousemove $range_label click 1
before="$(probe $view sum)"
xdotool key 8
wait_for "8 after a click on the panel did not reach the view" changed $view "$before"
sleep_until_settled() {
    local a b
    a="$(probe $view sum)"
    b="$(probe $view sum)"
    [ "$a" = "$b" ]
}
view_is() {
    [ "$(probe $view sum)" = "$1" ]
}
# The view turns about the point under the pointer only while the pointer is over the view: with
# the pointer gone from the view to the screen beside the window (where no window of the program
# hears of it), 2 and 8 turn the view about its centre and bring back 8's view.
wait_for "the view keeps changing after 8" sleep_until_settled
eight="$(probe $view sum)"
xdotool mousemove 500 250 mousemove 1560 980
before="$(probe $view sum)"
xdotool key 2
wait_for "2 with the pointer beside the window did not reach the view" changed $view "$before"
xdotool key 8
wait_for "2 and 8 with the pointer beside the window did not bring back 8's view" view_is "$eight"
xdotool mousemove $range_label
before="$(probe $view sum)"
xdotool windowsize "$main" 1400 900
wait_for "the view was not drawn again after the resize" changed $view "$before"
wait_for "the view keeps changing after the resize" sleep_until_settled
before="$(probe $view sum)"
xdotool key 2
wait_for "2 after the resize did not reach the view" changed $view "$before"
# 7 turns A by half a turn and back; Shift+7 turns B as well, also typed as on a machine so busy
# that the program takes the 7 only after Shift is up again: it must not bring back 2's view.
wait_for "the view keeps changing after 2" sleep_until_settled
two="$(probe $view sum)"
xdotool key 7
wait_for "7 did not reach the view" changed $view "$two"
wait_for "the view keeps changing after 7" sleep_until_settled
before="$(probe $view sum)"
kill -STOP "$mirexa"
xdotool key shift+7
kill -CONT "$mirexa"
wait_for "Shift+7 did not reach the view" changed $view "$before"
wait_for "the view keeps changing after Shift+7" sleep_until_settled
[ "$(probe $view sum)" != "$two" ] || fail "Shift+7 turned A back but not B: the view is 2's again"
# Shift+7 again and 2 bring back 2's view, which the checks below expect.
xdotool key shift+7
wait_for "Shift+7 again did not bring back 7's view" view_is "$before"
xdotool key 2
wait_for "2 did not bring back its view" view_is "$two"
# With no window manager to keep them there, the program keeps its panels above the main window:
# a key in the view brings the main window to the front, and the tool display panel stays in
# front of it.
# (xwininfo lists the screen's windows top first.)
panel_in_front() {
    local order
    order="$(printf ' %s ' $(xwininfo -root -children | sed -n 's/^ *\(0x[0-9a-f]*\) .*/\1/p'))"
    case "$order" in
        *" $(printf '0x%x' "$panel") "*" $(printf '0x%x' "$main") "*) return 0 ;;
        *) return 1 ;;
    esac
}
wait_for "the tool display panel stands behind the main window after a key in the view" \
    panel_in_front

step definition files
# 7. The controller and machine files read again: the view keeps its colours.
wait_for "the view keeps changing after 2" sleep_until_settled
drawn="$(probe $view stock)"
e2e_menu t c
answer_dialog '^CTL$' "$work/gui/vmc3.ctl"
e2e_menu t m
answer_dialog '^MTL$' "$work/gui/vmc3.mtl"
same_stock() {
    local now
    now="$(probe $view stock)"
    [ "$now" -gt $((drawn * 9 / 10)) ] && [ "$now" -lt $((drawn * 11 / 10 + 10)) ]
}
wait_for "after the definition files the stock is not drawn in its colour" same_stock
[ "$(probe $background corner)" = "$colour" ] ||
    fail "the background became $(probe $background corner) (was $colour)"

step help key
# 8. F1 after menu commands (the keyboard in the main window, not in the view) opens the help
# page of the working folder in the viewer.
rm -f "$work/viewer.log"
e2e_focus "$main"
xdotool key F1
wait_for "F1 outside the view did not show the help page in the viewer" \
    grep -q 'HELP/index\.htm$' "$work/viewer.log"

step exit
# 9. Exit: the settings file keeps the colour lines byte for byte.
e2e_menu n x
e2e_wait_for_exit
colour_lines "$work/gui/mirexa.ini" >"$work/colours.after"
cmp -s "$work/colours.before" "$work/colours.after" || {
    diff "$work/colours.before" "$work/colours.after" | head -5
    fail "mirexa.ini's colour lines changed"
}
echo "gui_job: passed in $((SECONDS - e2e_started)) s"
