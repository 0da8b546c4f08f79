#!/usr/bin/env bash
# The standalone app comes back as it was left: a state in its settings file (both
# set-ups, preset names, editor scale, every parameter) is restored at start-up and
# saved again unchanged when its window is closed.
# Usage: standalone_restart.sh <Quorvane app> <br_state_tool>
source "$(dirname "$0")/../hosts/common.sh"
app="$1"; tool="$2"
br_temp_home
br_start_xvfb

state=$("$tool" make --live 15 --parked 7 --setup B --scale 1.25 --set gain=-3.5 --set rotCenter=42)
expected=$("$tool" show "$state")
echo "$expected" | grep -q '^live=Rotary Fast' || br_fail "state tool made an unexpected state: $expected"

mkdir -p "$HOME/.config"
cat >"$HOME/.config/Quorvane.settings" <<XML
<?xml version="1.0" encoding="UTF-8"?>

<PROPERTIES>
  <VALUE name="filterState" val="$state"/>
</PROPERTIES>
XML

"$app" >"$BR_TMP/app.log" 2>&1 &
app_pid=$!
BR_PIDS+=($app_pid)
br_wait_for 30 xdotool search --name '^Quorvane$' || br_fail "no window titled Quorvane"
sleep 1
window=$(xdotool search --name '^Quorvane$' | head -1)
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove $((X + WIDTH - 20)) $((Y + 14)); sleep 0.3
xdotool mousedown 1; sleep 0.1; xdotool mouseup 1
for _ in $(seq 1 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app_pid" 2>/dev/null && br_fail "the app did not quit on its close button"

saved=$(python3 - "$HOME/.config/Quorvane.settings" <<'PY'
import sys, xml.etree.ElementTree as ET
for v in ET.parse(sys.argv[1]).getroot().iter('VALUE'):
    if v.get('name') == 'filterState':
        print(v.get('val'))
PY
)
[ -n "$saved" ] || br_fail "no filterState after closing"
actual=$("$tool" show "$saved")
if [ "$actual" != "$expected" ]; then
    diff <(echo "$expected") <(echo "$actual") || true
    br_fail "the state did not survive a restart"
fi
echo "$actual"
echo PASS
