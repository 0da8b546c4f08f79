#!/usr/bin/env bash
# The standalone app shows the editor; a click on the preset field opens the preset
# menu, and choosing a factory preset from it makes that preset current: the preset
# line changes at once and the app saves it as the live preset when it is closed.
# Usage: standalone_preset_menu.sh <Quorvane app> <br_state_tool>
source "$(dirname "$0")/common_editor.sh"
app="$1"; tool="$2"
br_temp_home
br_start_xvfb

br_launch_app "$app"

br_find_editor
cp "$BR_TMP/editor.png" "$BR_TMP/before.png"

# The menu opens on the press, attached to the field.
xdotool mousemove $((ex + 300)) $((ey + 23)); sleep 0.3
xdotool mousedown 1; sleep 0.2; xdotool mouseup 1
br_wait_for 10 xdotool search --name '^menu$' || br_fail "the preset menu did not open"
sleep 0.5
import -window root "$BR_TMP/menu.png"

# Down once per item from the top: "Full Reset", "Gentle Tremolo", "Deep Tremolo".
xdotool key Down Down Down; sleep 0.3
xdotool key Return
br_wait_for 10 bash -c '! xdotool search --name "^menu$"' || br_fail "the menu stayed open"
sleep 0.5

# The preset line is the only part of the field that changed.
import -window root "$BR_TMP/after.png"
changed=$(compare -metric AE -crop "540x30+$((ex + 132))+$((ey + 8))" "$BR_TMP/before.png" "$BR_TMP/after.png" null: 2>&1 || true)
[ "${changed%% *}" -gt 20 ] 2>/dev/null || br_fail "the preset line did not change (differing pixels: $changed)"

br_close_app
saved=$(br_saved_state)
[ -n "$saved" ] || br_fail "no state saved"
state=$("$tool" show "$saved")
echo "$state" | grep -qx 'live=Deep Tremolo' || br_fail "the chosen preset is not the live one: $state"
echo PASS
