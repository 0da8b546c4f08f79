#!/usr/bin/env bash
# The standalone app killed hard (SIGKILL) at any moment (while it starts, while it
# runs, while it saves on its way out) starts again with the last state it saved, or
# with the defaults when it never saved one, and its settings file is whole after
# every kill: the framework writes a temporary file and renames it over the old one.
# Usage: standalone_kill.sh <Quorvane app> <br_state_tool>
source "$(dirname "$0")/common.sh"
app="$1"; tool="$2"
br_temp_home
br_start_xvfb
settings="$HOME/.config/Quorvane.settings"

# Fails unless the settings file is absent or a whole document; prints its state.
whole_settings()
{
    [ -e "$settings" ] || return 0
    python3 - "$settings" <<'PY' || br_fail "the settings file is not whole after a kill: $(head -c 300 "$settings")"
import sys, xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
assert root.tag == 'PROPERTIES', root.tag
for v in root.iter('VALUE'):
    if v.get('name') == 'filterState':
        print(v.get('val'))
PY
}

# Starts the app, lets it live for $1 seconds, then kills it; with a second argument
# the close button is pressed first and the kill follows $2 seconds later, while the
# app may be writing its settings.
kill_app()
{
    "$app" >>"$BR_TMP/app.log" 2>&1 &
    app_pid=$!
    sleep "$1"
    if [ $# -gt 1 ] && window=$(xdotool search --name '^Quorvane$' 2>/dev/null | head -1) && [ -n "$window" ] \
        && eval "$(xdotool getwindowgeometry --shell "$window" 2>/dev/null)"; then
        xdotool mousemove $((X + WIDTH - 20)) $((Y + 14)) mousedown 1 mouseup 1 2>/dev/null || true
        sleep "$2"
    fi
    kill -9 "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
}

# Restarts the app normally and prints the state it comes back with (saved on close).
state_after_restart()
{
    br_launch_app "$app"
    sleep 1
    br_close_app
    "$tool" show "$(br_saved_state)"
}

defaults=$("$tool" show "0.")  # an empty state: a fresh processor
echo "$defaults" | grep -q '^live=' || br_fail "state tool could not show the defaults"

# Never saved: killed while starting and while running, it comes back with the defaults.
kill_app 0.3
kill_app 2.5
[ -z "$(whole_settings)" ] || br_fail "a killed app saved a state it was never asked to save"
[ "$(state_after_restart)" = "$defaults" ] || br_fail "not the defaults after a kill with nothing saved"

# A state saved earlier survives kills at random moments, the closing save included.
state=$("$tool" make --live 12 --parked 4 --setup B --scale 1.25 --set mix=70 --set rotRange=200)
expected=$("$tool" show "$state")
br_write_saved_state "$state"
RANDOM=7
rewrites=0
for round in $(seq 1 8); do
    inode=$(stat -c %i "$settings")
    live=$(printf '0.%d' $((RANDOM % 10)))
    if ((round % 2 == 0)); then
        kill_app "$((1 + RANDOM % 2)).$((RANDOM % 10))" "0.0$((RANDOM % 10))"
    else
        kill_app "$live"
    fi
    saved=$(whole_settings)
    [ -n "$saved" ] || br_fail "round $round: the saved state is gone"
    [ "$("$tool" show "$saved")" = "$expected" ] || br_fail "round $round: the saved state changed"
    [ "$(stat -c %i "$settings")" = "$inode" ] || rewrites=$((rewrites + 1))
    rm -f "$HOME/.config/"*temp*  # a temporary file a kill left behind is harmless; keep the folder readable
done
actual=$(state_after_restart)
if [ "$actual" != "$expected" ]; then
    diff <(echo "$expected") <(echo "$actual") || true
    br_fail "the last saved state did not come back after the kills"
fi
echo "$actual"
echo "the app rewrote its settings file in $rewrites of 8 rounds before it was killed"
echo PASS
