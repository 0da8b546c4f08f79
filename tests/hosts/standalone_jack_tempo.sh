#!/usr/bin/env bash
# "Auto" sync in the standalone app on JACK: with jack_transport as timebase master at
# 90 BPM, rolling, factory preset 9 ("Sync Chopper 1-16": Auto sync, x4.00, square,
# AM 100 %) chops a steady level at 90 / 60 x 4 = 6 Hz, each chop on a 16th note of the
# transport's timeline. When the transport stops, and when its master lets go of the
# timebase, the rate holds. The tempo set with "Tempo for Auto sync..." in the Options
# menu (150 BPM: 10 Hz) rules while no transport gives one, and is kept in the settings.
# Usage: standalone_jack_tempo.sh <Quorvane app> <br_state_tool>
source "$(dirname "$0")/editor/common_editor.sh"
app="$1"; tool="$2"
clock="$(dirname "$0")/jack_transport_clock.py"
br_temp_home
br_write_saved_state "$("$tool" make --live 9)" shouldMuteInput=0
br_start_xvfb
br_start_jackd

mkfifo "$BR_TMP/transport.in"
jack_transport <"$BR_TMP/transport.in" >"$BR_TMP/transport.log" 2>&1 &
BR_PIDS+=($!)
exec 4>"$BR_TMP/transport.in"
printf 'master\ntempo 90\n' >&4

br_launch_app "$app"
br_wait_for 10 bash -c 'jack_lsp | grep -q "JUCEJack:in_2"' || br_fail "the app did not join the JACK server"
python3 "$clock" level level >"$BR_TMP/level.log" 2>&1 &
BR_PIDS+=($!)
br_wait_for 10 bash -c 'jack_lsp | grep -q "level:out"' || br_fail "no steady level: $(cat "$BR_TMP/level.log")"
jack_disconnect system:capture_1 JUCEJack:in_1 2>/dev/null || true
jack_disconnect system:capture_2 JUCEJack:in_2 2>/dev/null || true
jack_connect level:out JUCEJack:in_1
jack_connect level:out JUCEJack:in_2
printf 'play\n' >&4
sleep 1

# The app's left output, recorded and measured.
check() { br_check_chops JUCEJack:out_1 "$@"; }

check "rolling at 90 BPM" 90 6.0
printf 'stop\n' >&4
sleep 0.5
check "stopped, the last tempo holding" "" 6.0
printf 'release\n' >&4
sleep 0.5
check "no timebase master, the last tempo holding" "" 6.0

# Opens "Tempo for Auto sync..." with the mouse (the Options button at the left of the
# title bar, then the menu's second item, about 35 pixels below its top edge: items are
# 23 high), types $1 at once, as a user does, and presses Return.
enter_tempo() {
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool mousemove $((X + 38)) $((Y + 14)); sleep 0.3
    xdotool mousedown 1; sleep 0.1; xdotool mouseup 1
    br_wait_for 10 xdotool search --name '^menu$' || br_fail "the Options menu did not open"
    sleep 0.4
    eval "$(xdotool getwindowgeometry --shell "$(xdotool search --name '^menu$' | head -1)")"
    xdotool mousemove $((X + 60)) $((Y + 35)); sleep 0.3
    xdotool mousedown 1; sleep 0.1; xdotool mouseup 1
    br_wait_for 10 xdotool search --name '^Tempo for Auto sync$' || br_fail "no tempo dialog"
    sleep 0.3 # a user reads the dialog before typing
    xdotool type --delay 40 "$1"
    xdotool key Return
}

# Text that is not a tempo changes nothing, and the app says so.
enter_tempo fast
br_wait_for 10 xdotool search --name '^Tempo not changed$' || br_fail "no notice for a tempo that is not a number"
xdotool key Return
br_wait_for 10 bash -c "! xdotool search --name '^Tempo not changed$'" || br_fail "the notice stayed open"

enter_tempo 150
br_wait_for 10 bash -c "! xdotool search --name '^Tempo for Auto sync$'" || br_fail "the tempo dialog stayed open"
sleep 0.5
check "menu tempo 150 BPM, no transport tempo" "" 10.0

br_close_app
grep -q 'name="autoSyncTempo" val="150' "$HOME/.config/Quorvane.settings" \
    || br_fail "the menu tempo is not in the settings: $(grep -v filterState "$HOME/.config/Quorvane.settings")"
echo PASS
