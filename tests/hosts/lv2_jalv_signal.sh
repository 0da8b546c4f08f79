#!/usr/bin/env bash
# The LV2 bundle loads in a real LV2 host (jalv on a dummy JACK server) and a signal
# sent through it comes back out.
# Usage: lv2_jalv_signal.sh <folder holding Quorvane.lv2>
source "$(dirname "$0")/common.sh"
br_temp_home
export LV2_PATH="$1"
uri="https://tarnwick.audio/plugins/quorvane"

br_start_jackd
# jalv quits when its stdin closes, so it reads from a pipe we keep open.
mkfifo "$BR_TMP/jalv.in"
sleep 600 >"$BR_TMP/jalv.in" &
BR_PIDS+=($!)
jalv -n qv "$uri" <"$BR_TMP/jalv.in" >"$BR_TMP/jalv.log" 2>&1 &
BR_PIDS+=($!)
br_wait_for 15 bash -c 'jack_lsp | grep -q "qv:audio_out_2"' || br_fail "jalv did not load the plug-in: $(cat "$BR_TMP/jalv.log")"

jack_simple_client >"$BR_TMP/source.log" 2>&1 &
BR_PIDS+=($!)
br_wait_for 10 bash -c 'jack_lsp | grep -q "jack_simple_client:output2"' || br_fail "no signal source"
jack_connect jack_simple_client:output1 qv:audio_in_1
jack_connect jack_simple_client:output2 qv:audio_in_2

(cd "$BR_TMP" && timeout 20 jack_rec -f "$BR_TMP/out.wav" -d 2 -b 16 qv:audio_out_1 qv:audio_out_2 >/dev/null 2>&1) \
    || br_fail "recording failed"
read -r left right < <(br_wav_peaks "$BR_TMP/out.wav")
echo "output peaks: $left $right"
python3 -c "import sys; sys.exit(0 if min($left, $right) > 0.05 else 1)" || br_fail "no signal came back"
echo PASS
