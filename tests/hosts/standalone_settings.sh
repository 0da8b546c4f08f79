#!/usr/bin/env bash
# The standalone app starts on a private X display, shows a window titled "Quorvane",
# and when its close button is pressed writes ~/.config/Quorvane.settings with the
# plug-in state under "filterState".
# Usage: standalone_settings.sh <path to the Quorvane app>
source "$(dirname "$0")/common.sh"
app="$1"
br_temp_home
br_start_xvfb

"$app" >"$BR_TMP/app.log" 2>&1 &
app_pid=$!
BR_PIDS+=($app_pid)

br_wait_for 30 xdotool search --name '^Quorvane$' || br_fail "no window titled Quorvane"
window=$(xdotool search --name '^Quorvane$' | head -1)
eval "$(xdotool getwindowgeometry --shell "$window")"

# The wrapper draws its own title bar; its close button sits at the right end.
xdotool mousemove $((X + WIDTH - 20)) $((Y + 14))
sleep 0.3
xdotool mousedown 1
sleep 0.1
xdotool mouseup 1

for _ in $(seq 1 100); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$app_pid" 2>/dev/null && br_fail "the app did not quit on its close button"

settings="$HOME/.config/Quorvane.settings"
[ -f "$settings" ] || br_fail "no settings file written"
grep -q 'name="filterState"' "$settings" || br_fail "settings have no filterState: $(cat "$settings")"
echo PASS
