#!/usr/bin/env bash
# "Save Preset to File..." never overwrites a preset without asking: whether the user
# types "x" or "x.brlm" where x.brlm exists, the app asks about x.brlm, writes nothing
# when the question is cancelled, and writes the preset when the user says yes.
# Usage: standalone_save_to_file.sh <Quorvane app>
source "$(dirname "$0")/common_editor.sh"
app="$1"
br_temp_home
br_start_xvfb
presets="$HOME/Music/Quorvane/Presets"
mkdir -p "$presets"
br_launch_app "$app"
br_find_editor

# Opens the save dialog from the preset menu and types $1 as the file name.
save_as()
{
    # From the bottom: "Reset to Default", "Show Presets Folder", the delete item (only
    # while a user preset is current, else disabled and skipped), "Load Preset from
    # File...", "Save Preset to File...".
    local ups="Up Up Up Up"
    [ "$user_preset_current" = yes ] && ups="Up $ups"
    br_click_at 300 23
    br_wait_for 10 xdotool search --name '^menu$' || br_fail "the preset menu did not open"
    sleep 0.3; xdotool key $ups; sleep 0.2; xdotool key Return
    br_wait_for 10 xdotool search --name '^Save Quorvane Preset$' || br_fail "the save dialog did not open"
    sleep 0.5
    local chooser
    chooser=$(xdotool search --name '^Save Quorvane Preset$' | head -1)
    eval "$(xdotool getwindowgeometry --shell "$chooser")"
    # The file name field runs along the dialog's bottom, above its buttons.
    xdotool mousemove $((X + 150)) $((Y + HEIGHT - 64)); sleep 0.2; xdotool click 1; sleep 0.2
    xdotool key ctrl+a; xdotool type --delay 40 "$1"; sleep 0.2
    xdotool key Return
}

question_open() { xdotool search --name '^File already exists$'; }

user_preset_current=no
for typed in x x.brlm; do
    echo "old preset" >"$presets/x.brlm"

    save_as "$typed"
    br_wait_for 10 question_open || br_fail "typed \"$typed\": x.brlm was overwritten without a question"
    [ "$(cat "$presets/x.brlm")" = "old preset" ] || br_fail "typed \"$typed\": written before the answer"
    sleep 0.3; xdotool key Escape
    br_wait_for 10 bash -c '! xdotool search --name "^File already exists$"' || br_fail "the question stayed open"
    sleep 0.5
    [ "$(cat "$presets/x.brlm")" = "old preset" ] || br_fail "typed \"$typed\": overwritten although cancelled"
    [ "$(ls "$presets")" = "x.brlm" ] || br_fail "typed \"$typed\": wrote elsewhere: $(ls "$presets")"

    save_as "$typed"
    br_wait_for 10 question_open || br_fail "typed \"$typed\": no question the second time"
    sleep 0.3; xdotool key Return
    br_wait_for 10 grep -q '<BrellumPreset' "$presets/x.brlm" || br_fail "typed \"$typed\": not written after yes"
    user_preset_current=yes # a preset saved into the preset folder becomes the current one
    sleep 0.5
done
echo PASS
