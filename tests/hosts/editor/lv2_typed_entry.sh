#!/usr/bin/env bash
# In a real LV2 host (jalv.gtk3 on a dummy JACK server), a number typed into the
# plug-in editor's gain box is committed when the user clicks elsewhere in the panel,
# as in the standalone app.
# Usage: lv2_typed_entry.sh <folder holding Quorvane.lv2>
source "$(dirname "$0")/common_editor.sh"
br_open_jalv_editor "$1"
eval "$(xdotool getwindowgeometry --shell "$editor")"
ex=$X; ey=$Y
import -window root "$BR_TMP/editor.png"
found=$(br_panel_at "$BR_TMP/editor.png" "$ex" "$ey") || br_fail "the editor is not drawn: $found"

br_check_typed_entry_commits_on_clicks_elsewhere
echo PASS
