#!/usr/bin/env bash
# The LV2 plug-in's own editor opens in a real LV2 host (jalv.gtk3 -s, on a dummy JACK
# server): a 1094 x 594 panel is drawn, and the host reports no error.
# Usage: lv2_ui_jalv.sh <folder holding Quorvane.lv2>
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
jalv_pid=$!
BR_PIDS+=($jalv_pid)

br_wait_for 30 xdotool search --name '^Quorvane$' || br_fail "no plug-in window: $(cat "$BR_TMP/jalv.log")"
sleep 2
kill -0 "$jalv_pid" 2>/dev/null || br_fail "jalv quit: $(cat "$BR_TMP/jalv.log" "$BR_TMP/jackd.log")"
grep -q "UI:.*$uri" "$BR_TMP/jalv.log" || br_fail "jalv did not pick the plug-in's UI: $(cat "$BR_TMP/jalv.log")"

editor=$(xdotool search --name '^Quorvane$' | head -1)
eval "$(xdotool getwindowgeometry --shell "$editor")"
[ "$WIDTH" -eq 1094 ] && [ "$HEIGHT" -eq 594 ] || br_fail "the editor window is ${WIDTH}x$HEIGHT"
import -window root "$BR_TMP/jalv.png"
found=$(br_panel_at "$BR_TMP/jalv.png" "$X" "$Y") || br_fail "the editor is not drawn: $found"

if grep -iE "error|fail|critical|assert" "$BR_TMP/jalv.log"; then
    br_fail "jalv reported a problem"
fi
echo PASS
