#!/usr/bin/env bash
# The standalone app comes back as it was left: a state in its settings file (both
# set-ups, preset names, editor scale, every parameter) is restored at start-up and
# saved again unchanged when its window is closed.
# Usage: standalone_restart.sh <Quorvane app> <br_state_tool>
source "$(dirname "$0")/common.sh"
app="$1"; tool="$2"
br_temp_home
br_start_xvfb

state=$("$tool" make --live 15 --parked 7 --setup B --scale 1.25 --set gain=-3.5 --set rotCenter=42)
expected=$("$tool" show "$state")
echo "$expected" | grep -q '^live=Rotary Fast' || br_fail "state tool made an unexpected state: $expected"

br_write_saved_state "$state"

br_launch_app "$app"
sleep 1
br_close_app
saved=$(br_saved_state)
[ -n "$saved" ] || br_fail "no filterState after closing"
actual=$("$tool" show "$saved")
if [ "$actual" != "$expected" ]; then
    diff <(echo "$expected") <(echo "$actual") || true
    br_fail "the state did not survive a restart"
fi
echo "$actual"
echo PASS
