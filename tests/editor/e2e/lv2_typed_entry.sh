#!/usr/bin/env bash
# In a real LV2 host (jalv.gtk3 on a dummy JACK server), a number typed into the
# plug-in editor's gain box is committed when the user clicks elsewhere in the panel,
# as in the standalone app.
# Usage: lv2_typed_entry.sh <folder holding Quorvane.lv2>
source "$(dirname "$0")/common_editor.sh"
br_temp_home
export LV2_PATH="$1"
uri="https://tarnwick.audio/plugins/quorvane"

br_start_xvfb
br_start_jackd
# jalv quits when its stdin closes, so it reads from a pipe we keep open.
mkfifo "$BR_TMP/jalv.in"
sleep 600 >"$BR_TMP/jalv.in" &
BR_PIDS+=($!)
jalv.gtk3 -s -n qv "$uri" <"$BR_TMP/jalv.in" >"$BR_TMP/jalv.log" 2>&1 &
BR_PIDS+=($!)

br_wait_for 30 xdotool search --name '^Quorvane$' || br_fail "no plug-in window: $(cat "$BR_TMP/jalv.log")"
sleep 2
editor=$(xdotool search --name '^Quorvane$' | head -1)
eval "$(xdotool getwindowgeometry --shell "$editor")"
ex=$X; ey=$Y
import -window root "$BR_TMP/editor.png"
found=$(br_panel_at "$BR_TMP/editor.png" "$ex" "$ey") || br_fail "the editor is not drawn: $found"

br_check_typed_entry_commits_on_clicks_elsewhere
echo PASS
