#!/usr/bin/env bash
# A number typed into a value box is committed when the user clicks anywhere else in
# the panel: the background, a choice box, the sphere or a button. None of these takes
# the keyboard focus, so the field must close on the press itself, show the new value,
# and the app must save it.
# Usage: standalone_typed_entry.sh <Quorvane app> <br_state_tool>
source "$(dirname "$0")/common_editor.sh"
app="$1"; tool="$2"
br_temp_home
br_start_xvfb
br_launch_app "$app"
br_find_editor

br_check_typed_entry_commits_on_clicks_elsewhere

br_close_app
state=$("$tool" show "$(br_saved_state)")
echo "$state" | grep -qx 'gain=4.0' || br_fail "the last typed gain was not saved: $state"
echo PASS
