#!/usr/bin/env bash
# The output meter follows a slow fade to its end. The app runs on a private JACK
# server with its input passed on and every modulation stage off (output = input); a
# 1 kHz tone at -10 dB fades to -20 dB over 6 s and then holds. A tick of that fade
# moves the bars by about a tenth of a pixel, so the bars must end where -20 dB is and
# not where they were when the fade began.
# Usage: standalone_level_meter.sh <Quorvane app> <br_state_tool> <br_fading_tone>
source "$(dirname "$0")/common_editor.sh"
app="$1"; tool="$2"; tone="$3"
start_db=-10; end_db=-20; fade_seconds=6

br_temp_home
br_write_saved_state "$("$tool" make --set amOn=0 --set fmOn=0 --set rotOn=0)" shouldMuteInput=0
br_start_xvfb
br_start_jackd

br_launch_app "$app"
br_wait_for 10 bash -c 'jack_lsp | grep -q "JUCEJack:in_2"' || br_fail "the app did not join the JACK server"
"$tone" quorvane-tone "$start_db" "$end_db" "$fade_seconds" >"$BR_TMP/tone.log" 2>&1 &
tone_pid=$!
BR_PIDS+=($tone_pid)
br_wait_for 10 bash -c 'jack_lsp | grep -q "quorvane-tone:out_2"' || br_fail "the tone did not start: $(cat "$BR_TMP/tone.log")"
jack_disconnect system:capture_1 JUCEJack:in_1 2>/dev/null || true
jack_disconnect system:capture_2 JUCEJack:in_2 2>/dev/null || true
jack_connect quorvane-tone:out_1 JUCEJack:in_1
jack_connect quorvane-tone:out_2 JUCEJack:in_2
xdotool mousemove 0 0 # no hover, no tooltip

# The meter is at (945, 300) in the panel, 110 x 200: each bar's trough spans y 3 to 157
# of it, the left one x 25 to 32, the right one x 77 to 84. Prints, for screenshot $1,
# the first row of each bar (in meter coordinates) whose colour is not the trough's.
bar_tops()
{
    local shot=$1 column
    for column in 28 80; do
        convert "$shot" -crop "1x154+$((ex + 945 + column))+$((ey + 300 + 3))" +repage -depth 8 txt:- \
            | python3 -c '
import re, sys
trough = (0x1B, 0x20, 0x29)
for line in sys.stdin:
    m = re.match(r"\d+,(\d+): \((\d+),(\d+),(\d+)", line)
    if m and max(abs(int(v) - t) for v, t in zip(m.group(2, 3, 4), trough)) > 6:
        print(int(m.group(1)) + 3)
        break
else:
    print(157)'
    done | tr '\n' ' '
}

# Where a bar's top is drawn for a level in dB: the fill is (dB + 60) / 66 of the
# 154-pixel trough, from its bottom at y 157.
expected_top() { awk -v db="$1" 'BEGIN { printf "%.2f", 157 - 154 * (db + 60) / 66 }'; }

# True when every measured top ($1, the bar_tops output) is within 1.5 pixels of the
# expected top $2 (the partly covered top row counts as the bar).
tops_near() { echo "$1" | awk -v e="$2" '{ for (i = 1; i <= NF; ++i) if ($i < e - 1.5 || $i > e + 1.5) exit 1 }'; }

sleep 2
br_find_editor
import -window root "$BR_TMP/held.png"
tops=$(bar_tops "$BR_TMP/held.png")
tops_near "$tops" "$(expected_top $start_db)" \
    || br_fail "the meter does not show the $start_db dB tone: bar tops at $tops, expected $(expected_top $start_db)"

kill -USR1 "$tone_pid"
sleep $((fade_seconds + 2))
import -window root "$BR_TMP/faded.png"
tops=$(bar_tops "$BR_TMP/faded.png")
tops_near "$tops" "$(expected_top $end_db)" \
    || br_fail "after the fade the meter is not at $end_db dB: bar tops at $tops, expected $(expected_top $end_db) (it began at $(expected_top $start_db))"
echo PASS
