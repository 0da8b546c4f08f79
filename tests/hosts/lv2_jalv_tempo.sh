#!/usr/bin/env bash
# The LV2 follows a real host's tempo and beat grid: in jalv on a dummy JACK server, with
# the JACK transport rolling, factory preset 10 ("Sync Chopper 1-16": Auto sync, x4.00,
# square wave, AM 100 %) chops a steady level at the tempo / 60 x 4 (6 Hz at 90 BPM,
# 9.333 Hz at 140 BPM), and each chop starts on a 16th note of the transport's timeline,
# also after a tempo change and a relocation. jalv, like Ardour, sends the bar and the
# beat in the bar, and only when the transport starts, stops, relocates or changes
# tempo. Once the transport stops, the last tempo holds and so does the rate.
# Usage: lv2_jalv_tempo.sh <folder holding Quorvane.lv2>
source "$(dirname "$0")/common.sh"
br_temp_home
export LV2_PATH="$1"
uri="https://tarnwick.audio/plugins/quorvane"
preset="$uri:preset10" # JUCE numbers its preset URIs from 1: program 9 is preset10
clock="$(dirname "$0")/jack_transport_clock.py"

br_start_jackd

# Both consoles quit when their input closes, so each reads from a pipe held open here.
mkfifo "$BR_TMP/jalv.in" "$BR_TMP/transport.in"
jalv -n qv "$uri" <"$BR_TMP/jalv.in" >"$BR_TMP/jalv.log" 2>&1 &
BR_PIDS+=($!)
exec 3>"$BR_TMP/jalv.in"
jack_transport <"$BR_TMP/transport.in" >"$BR_TMP/transport.log" 2>&1 &
BR_PIDS+=($!)
exec 4>"$BR_TMP/transport.in"
br_wait_for 15 bash -c 'jack_lsp | grep -q "qv:audio_out_2"' || br_fail "jalv did not load the plug-in: $(cat "$BR_TMP/jalv.log")"

python3 "$clock" level level >"$BR_TMP/level.log" 2>&1 &
BR_PIDS+=($!)
br_wait_for 10 bash -c 'jack_lsp | grep -q "level:out"' || br_fail "no steady level: $(cat "$BR_TMP/level.log")"
jack_connect level:out qv:audio_in_1
jack_connect level:out qv:audio_in_2

printf 'master\ntempo 90\nplay\n' >&4
printf 'preset %s\n' "$preset" >&3
sleep 1.5

check() { br_check_chops qv:audio_out_1 "$@"; }

check "rolling at 90 BPM" 90 6.0
printf 'stop\n' >&4
sleep 0.5
check "stopped, the last tempo holding" "" 6.0
printf 'tempo 140\nplay\n' >&4
sleep 1
check "rolling again at 140 BPM" 140 9.333
# With jack_transport holding the timebase, a locate leaves the transport starting for
# ever; it lets go of the timebase for the move.
printf 'release\nlocate 1234567\n' >&4
sleep 0.5
printf 'master\n' >&4
sleep 1
check "relocated while rolling" 140 9.333
echo PASS
