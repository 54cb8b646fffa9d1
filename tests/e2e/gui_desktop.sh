#!/usr/bin/env bash
# The window as a desktop program, under a window manager (openbox) and Xvfb, driven by xdotool:
# the tool display panel stands above the main window as its tool window, also after the main
# window is activated; the NC program's file dialog starts in the folder the settings name for
# NC programs, not where another program's file dialog was last (the toolkit's shared history);
# during a paused real-cutting run a panel pane cannot replace the stock being cut; a flick of
# the view during the pause leaves the window serving Esc, which ends the run; after the run the
# same pane opens its dialog; without a desktop viewer the run's end completes before a box says
# so, once a session. A failure keeps the screen, the program's output and its log as
# artefacts (tests/e2e/xvfb_session.sh).
# Skips itself (exit 77) without Xvfb, openbox, xdotool, xprop, ffmpeg or python3.
# Usage: gui_desktop.sh MIREXA SAMPLES_DIR ARTEFACT_DIR
set -euo pipefail
. "$(dirname "$0")/xvfb_session.sh"
e2e_require Xvfb openbox xdotool xprop ffmpeg python3

# The working copy: fine dexels and moves, so that the run lasts while the script works on it;
# the NC programs' folder of the settings holds the program under a name found nowhere else.
mkdir -p "$work/gui/programs" "$work/elsewhere"
cp "$samples"/* "$work/gui/"
cp "$samples/demo_part.nc" "$work/gui/programs/in_nc_folder.nc"
sed -i -e "s/^PITCH(WORK)=.*/PITCH(WORK)=0.25/" -e "s/^PITCH(MOVE)=.*/PITCH(MOVE)=0.25/" \
    -e "s|^Target_NCdir=.*|Target_NCdir=$work/gui/programs|" "$work/gui/mirexa.ini"

e2e_start_xvfb 1600 1000
# Another program's file dialog was last in another folder.
mkdir -p "$XDG_CONFIG_HOME"
printf '[FileDialog]\nlastVisited=file://%s\nhistory=file://%s\n' "$work/elsewhere" \
    "$work/elsewhere" >"$XDG_CONFIG_HOME/QtProject.conf"
e2e_start_window_manager
rm -f "$work/bin/xdg-open"  # a desktop without a viewer

e2e_launch "$work/gui" "-(0,0,1500,950)"
e2e_find_window "the main window did not open" 'Not Selected'
main="$found"
e2e_find_window "the tool display panel did not open" ' in vmc3\.ttl '
panel="$found"

# The windows the window manager stacks, bottom first, as decimal ids.
stacking() {
    xprop -root _NET_CLIENT_LIST_STACKING | sed -e 's/.*#//' -e 's/,/ /g' |
        xargs -n 1 printf '%d\n' 2>/dev/null
}
# 1 when the window $1 is stacked above the window $2.
above() {
    local order
    order="$(stacking | tr '\n' ' ')"
    case " $order" in *" $2 "*"$1 "*) return 0 ;; *) return 1 ;; esac
}
transient_for_main() {
    [ "$(xprop -id "$panel" WM_TRANSIENT_FOR | sed -n 's/.*# //p')" = "$(printf '0x%x' "$main")" ]
}
active_is() {
    [ "$(xprop -root _NET_ACTIVE_WINDOW | sed -n 's/.*# //p')" = "$(printf '0x%x' "$1")" ]
}
# The checksum of the screen's pixels in the main window's client area at X Y WIDTH HEIGHT.
probe_main() {
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$main")"
    python3 "$here/screen_probe.py" "$DISPLAY" $((X + $1)) $((Y + $2)) "$3" "$4" sum
}

echo "gui_desktop: the tool display panel"
# 1. The tool display panel is the main window's tool window and stays above it when the main
# window is activated.
e2e_wait "$e2e_patience" "the tool display panel is not the main window's tool window" \
    transient_for_main
xdotool mousemove --window "$main" 900 300 click 1
e2e_wait "$e2e_patience" "a click did not activate the main window" active_is "$main"
e2e_wait "$e2e_patience" "the tool display panel stands behind the main window" \
    above "$panel" "$main"

echo "gui_desktop: the NC program's file dialog"
# 2. The NC program's dialog starts in the settings' folder: a bare name of a program there is
# taken.
e2e_menu w d
e2e_find_window "the dialog Define Work by 2-Points did not open" '^Define Work by 2-Points$'
e2e_focus "$found"
xdotool key Return
e2e_wait "$e2e_patience" "the dialog Define Work by 2-Points did not close" \
    e2e_window_gone '^Define Work by 2-Points$'
e2e_menu n s
e2e_find_window "the NC program's file dialog did not open" 'NC DATA FILE'
e2e_focus "$found"
xdotool type in_nc_folder.nc
xdotool key Return
e2e_wait "$e2e_patience" "the file dialog did not take a program of the NC programs' folder" \
    e2e_window_gone 'NC DATA FILE'
e2e_wait "$e2e_patience" "the title does not name the program" title_has in_nc_folder.nc

echo "gui_desktop: the box after the pitch dialog"
# 2b. With a stock, a new pitch waits for the next stock; the box that says so takes the keyboard,
# so Return closes it.
e2e_menu o p
e2e_find_window "the pitch dialog did not open" '^Setting of Pitch$'
e2e_focus "$found"
xdotool key alt+d ctrl+a
xdotool type 0.7
xdotool key Return
e2e_wait "$e2e_patience" "the pitch dialog did not close" e2e_window_gone '^Setting of Pitch$'
e2e_find_window "no box said that the pitch waits for the next stock" '^MIREXA7$'
e2e_wait "$e2e_patience" "the box after the pitch dialog did not get the keyboard" \
    active_is "$found"
xdotool key Return
e2e_wait "$e2e_patience" "Return did not close the box after the pitch dialog" \
    e2e_window_gone '^MIREXA7$'

echo "gui_desktop: a paused run"
# 3. Real cutting, paused by the pause key (Ctrl, held).
e2e_menu r r
e2e_wait "$e2e_patience" "Real Cutting started no run" title_has "Cutting : Real"
xdotool mousemove --window "$main" 900 450
xdotool keydown ctrl
sleep 0.6
xdotool keyup ctrl
# The Work pane (the stock's range heading) would define a new stock: refused while the run
# stands. Its dialog must not come, whatever else the window does meanwhile.
work_pane="54 443"
xdotool mousemove --window "$main" $work_pane click 1
# A flick of the view: pressed, ten quick moves, released; the view spins on. The window takes
# the flick after the click (the pointer kept out of the picture compared): once the view has
# turned, a dialog the click opened would be shown, and it must not be.
view="400 150 700 500"
xdotool mousemove --window "$main" 150 850
before="$(probe_main $view)"
xdotool mousemove --window "$main" 900 450 mousedown 1 sleep 0.05 \
    mousemove_relative -- 10 0 mousemove_relative -- 10 0 mousemove_relative -- 10 0 \
    mousemove_relative -- 10 0 mousemove_relative -- 10 0 mousemove_relative -- 10 0 \
    mousemove_relative -- 10 0 mousemove_relative -- 10 0 mousemove_relative -- 10 0 \
    mousemove_relative -- 10 0 mouseup 1
xdotool mousemove --window "$main" 150 850
view_turned() {
    [ "$(probe_main $view)" != "$before" ]
}
e2e_wait "$e2e_patience" "the flick did not turn the view" view_turned
title_has "Cutting" || e2e_fail "the run ended before Esc"
e2e_window_gone 'Define Work' || e2e_fail "the Work pane opened a stock dialog during the run"
e2e_focus "$main"
xdotool key Escape
# The desktop has no viewer for the run's length report: the run's end completes (the title no
# longer names the run), then a box says so.
run_end_or_box() {
    title_lacks "Cutting" || e2e_window_shown '^MIREXA7$'
}
e2e_wait "$e2e_patience" "Esc did not end the run after the flick" run_end_or_box
e2e_window_gone 'Define Work' || e2e_fail "the Work pane opened a stock dialog during the run"
e2e_find_window "no box said that the length report has no viewer" '^MIREXA7$'
title_lacks "Cutting" || e2e_fail "the box about the viewer came before the run's end"
e2e_focus "$found"
xdotool key Return
e2e_wait "$e2e_patience" "Return did not close the box about the viewer" \
    e2e_window_gone '^MIREXA7$'

echo "gui_desktop: the Work pane after the run"
# 4. The same pane after the run: the dialog comes (so the click above reached the pane).
xdotool mousemove --window "$main" $work_pane click 1
e2e_find_window "the Work pane did not open its dialog after the run" 'Define Work'
e2e_focus "$found"
xdotool key Escape
e2e_wait "$e2e_patience" "Esc did not close the Work pane's dialog" e2e_window_gone 'Define Work'

echo "gui_desktop: a second run without a viewer"
# 5. A second run ends without a box: the missing viewer is said once a session.
e2e_menu r r
e2e_wait "$e2e_patience" "Real Cutting started no second run" title_has "Cutting : Real"
e2e_focus "$main"
xdotool key Escape
e2e_wait "$e2e_patience" "Esc did not end the second run" run_end_or_box
# The run's end opens such a box before the window takes anything else: an open box would make
# the window refuse another program's command (32872, the stock's display style) that it takes now.
answer="$("$program" --send 32872 2>&1 || true)"
[ "$answer" = ok ] && e2e_window_gone '^MIREXA7$' ||
    e2e_fail "after the second run the window answered \"$answer\" (a box about the viewer again?)"

e2e_menu n x
e2e_wait_for_exit
echo "gui_desktop: passed in $((SECONDS - e2e_started)) s"
