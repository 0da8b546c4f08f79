#!/usr/bin/env bash
# The standalone app saves as it goes: a change made in its window is in the settings
# file within two seconds, so a SIGKILL loses nothing older. Each round starts the app
# on the file the last kill left (which holds at least the last round's settled
# change), makes a change (a factory preset from the preset
# menu, and the AM switch), waits past two seconds, makes another and kills the app
# at a random moment after it. The file must always be a whole document, and hold the
# settled change or the later one, never anything older.
# Usage: standalone_autosave_kill.sh <Quorvane app> <br_state_tool>
source "$(dirname "$0")/editor/common_editor.sh"
app="$1"; tool="$2"
br_temp_home
br_start_xvfb
settings="$HOME/.config/Quorvane.settings"

# The state on disk, as the state tool shows it; fails unless the file is whole.
state_on_disk()
{
    local saved
    saved=$(br_saved_state) || br_fail "the settings file is not a whole document: $(head -c 300 "$settings")"
    "$tool" show "$saved"
}

# Chooses factory preset $1 (counted from 0) from the preset menu, whose items are
# reached with one Down each from the top.
choose_preset()
{
    xdotool mousemove $((ex + 300)) $((ey + 23)); sleep 0.3
    xdotool mousedown 1; sleep 0.2; xdotool mouseup 1
    br_wait_for 10 xdotool search --name '^menu$' || br_fail "the preset menu did not open"
    sleep 0.4
    xdotool key --repeat $(($1 + 1)) --delay 30 Down; sleep 0.2
    xdotool key Return
    br_wait_for 10 bash -c '! xdotool search --name "^menu$"' || br_fail "the preset menu stayed open"
}

# What the state tool shows for factory preset $1 with any further settings given
# (as the user makes them, so the preset is marked modified): the state the app must
# save after the same changes.
expected_state() { local preset=$1; shift; "$tool" show "$("$tool" make --live "$preset" "$@")"; }

# The AM on button, at artwork (237, 446, 55, 27).
toggle_am() { br_click_at 264 459; }

RANDOM=16
settled=""
report=()
for round in 1 2 3 4 5; do
    br_launch_app "$app"
    br_find_editor

    # The settled change: a preset, then two seconds and a little.
    preset=$((1 + RANDOM % 9))
    choose_preset "$preset"
    settled=$(expected_state "$preset")
    sleep "2.$((RANDOM % 10))"
    [ "$(state_on_disk)" = "$settled" ] || br_fail "round $round: preset $preset is not on disk 2 s after it was chosen"

    # The later change, and the kill at a random moment after it (0 to 1.9 s).
    if echo "$settled" | grep -qx 'amOn=On'; then am=0; else am=1; fi
    toggle_am
    later=$(expected_state "$preset" --set amOn=$am)
    delay="$((RANDOM % 2)).$((RANDOM % 10))"
    sleep "$delay"
    kill -9 "$app_pid"
    wait "$app_pid" 2>/dev/null || true

    after=$(state_on_disk)
    if [ "$after" = "$settled" ]; then
        outcome="the later change was not yet saved"
    else
        [ "$after" = "$later" ] || { diff <(echo "$later") <(echo "$after") || true; br_fail "round $round: neither the settled change nor the later one is on disk"; }
        outcome="the later change was saved too"
    fi
    report+=("round $round: preset $preset settled, AM switched ${delay} s before the kill: $outcome")
    rm -f "$HOME/.config/"*temp* # a kill during a write may leave its temporary file
done
printf '%s\n' "${report[@]}"

# The app comes back with what the last kill left on disk, and saves it unchanged.
# Left alone it writes nothing: the file is the same file three seconds on.
last=$(state_on_disk)
written=$(stat -c '%i %Y' "$settings")
br_launch_app "$app"
br_find_editor
sleep 3
[ "$(stat -c '%i %Y' "$settings")" = "$written" ] || br_fail "the app rewrote its settings while nothing changed"
br_close_app
[ "$(state_on_disk)" = "$last" ] || br_fail "the app did not come back with the state on disk after the kills"
echo PASS
