#!/usr/bin/env bash
# The save button on a factory preset opens the name dialog with the preset's name
# filled in and selected: the user types a new name and presses Return, without
# clicking into the field first, and the preset is saved under the typed name alone.
# Usage: standalone_name_dialog.sh <Quorvane app>
source "$(dirname "$0")/common_editor.sh"
app="$1"
br_temp_home
br_start_xvfb
br_launch_app "$app"
br_find_editor

presets="$HOME/Music/Quorvane/Presets"
br_click_at 1025 23 # the save button
br_wait_for 10 xdotool search --name '^Save Preset$' || br_fail "the name dialog did not open"
# Keys go wherever the input focus is; typing starts as soon as the dialog shows.
sleep 0.3
xdotool type --delay 40 "Mine"
xdotool key Return
br_wait_for 10 test -f "$presets/Mine.brlm" ||
    br_fail "nothing saved as Mine.brlm; the folder holds: $(ls "$presets" 2>&1)"
[ "$(ls "$presets")" = "Mine.brlm" ] || br_fail "the typed name did not replace the old one: $(ls "$presets")"
grep -q 'name="Mine"' "$presets/Mine.brlm" || br_fail "the file is not the preset Mine: $(cat "$presets/Mine.brlm")"
echo PASS
