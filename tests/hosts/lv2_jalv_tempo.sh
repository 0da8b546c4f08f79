#!/usr/bin/env bash
# The LV2 follows a real host's tempo: in jalv on a dummy JACK server, with the JACK
# transport rolling at 90 BPM, factory preset 10 ("Sync Chopper 1-16": Auto sync, x4.00,
# square wave, AM 100 %) chops a steady tone at 90 / 60 x 4 = 6 Hz, measured from the
# recorded output; once the transport stops, the last tempo holds and so does the rate.
# Usage: lv2_jalv_tempo.sh <folder holding Quorvane.lv2>
source "$(dirname "$0")/common.sh"
br_temp_home
export LV2_PATH="$1"
uri="https://tarnwick.audio/plugins/quorvane"
preset="$uri:preset10" # JUCE numbers its preset URIs from 1: program 9 is preset10

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

jack_simple_client >"$BR_TMP/source.log" 2>&1 &
BR_PIDS+=($!)
br_wait_for 10 bash -c 'jack_lsp | grep -q "jack_simple_client:output2"' || br_fail "no signal source"
jack_connect jack_simple_client:output1 qv:audio_in_1
jack_connect jack_simple_client:output2 qv:audio_in_2

printf 'master\ntempo 90\nplay\n' >&4
printf 'preset %s\n' "$preset" >&3
sleep 1.5

record()
{
    (cd "$BR_TMP" && timeout 20 jack_rec -f "$BR_TMP/$1.wav" -d 3 -b 16 qv:audio_out_1 qv:audio_out_2 >/dev/null 2>&1) \
        || br_fail "recording failed"
}

# Chops per second from the envelope: a square AM at full depth takes the tone to
# silence and back once per cycle, so rising crossings of half the peak level count
# the cycles.
chop_rate()
{
    python3 - "$BR_TMP/$1.wav" <<'PY'
import struct, sys, wave
w = wave.open(sys.argv[1])
rate, ch, n = w.getframerate(), w.getnchannels(), w.getnframes()
data = struct.unpack('<%dh' % (n * ch), w.readframes(n))
left = [abs(x) / 32768.0 for x in data[0::ch]]
window = rate // 400  # 2.5 ms: longer than the tone's period, far shorter than a chop
env = [max(left[i:i + window]) for i in range(0, len(left) - window, window)]
peak = max(env) if env else 0.0
if peak < 0.05:
    print('0 silent')
    sys.exit()
rises = [i for i in range(1, len(env)) if env[i - 1] < peak / 2 <= env[i]]
if len(rises) < 3:
    print('0 unmodulated (peak %.3f, floor %.3f)' % (peak, min(env)))
    sys.exit()
seconds = (rises[-1] - rises[0]) * window / rate
print('%.3f %d-chops' % ((len(rises) - 1) / seconds, len(rises)))
PY
}

record rolling
read -r rolling_hz rolling_note < <(chop_rate rolling)
echo "transport rolling at 90 BPM: $rolling_hz Hz ($rolling_note)"

printf 'stop\n' >&4
sleep 0.5
record stopped
read -r stopped_hz stopped_note < <(chop_rate stopped)
echo "transport stopped: $stopped_hz Hz ($stopped_note)"

near_six() { python3 -c "import sys; sys.exit(0 if abs($1 - 6.0) < 0.1 else 1)"; }
near_six "$rolling_hz" || br_fail "chops at $rolling_hz Hz with the transport rolling at 90 BPM, expected 6 Hz"
near_six "$stopped_hz" || br_fail "chops at $stopped_hz Hz after the transport stopped, expected the 6 Hz to hold"
echo PASS
