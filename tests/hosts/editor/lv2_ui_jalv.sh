#!/usr/bin/env bash
# The LV2 plug-in's own editor opens in a real LV2 host (jalv.gtk3 -s, on a dummy JACK
# server): a 1094 x 594 panel is drawn, and the host reports no error.
# Usage: lv2_ui_jalv.sh <folder holding Quorvane.lv2>
source "$(dirname "$0")/common_editor.sh"
br_open_jalv_editor "$1"
grep -q "UI:.*$uri" "$BR_TMP/jalv.log" || br_fail "jalv did not pick the plug-in's UI: $(cat "$BR_TMP/jalv.log")"

eval "$(xdotool getwindowgeometry --shell "$editor")"
[ "$WIDTH" -eq 1094 ] && [ "$HEIGHT" -eq 594 ] || br_fail "the editor window is ${WIDTH}x$HEIGHT"
import -window root "$BR_TMP/jalv.png"
found=$(br_panel_at "$BR_TMP/jalv.png" "$X" "$Y") || br_fail "the editor is not drawn: $found"

if grep -iE "error|fail|critical|assert" "$BR_TMP/jalv.log"; then
    br_fail "jalv reported a problem"
fi
echo PASS
