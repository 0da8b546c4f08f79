#!/usr/bin/env bash
# In a real LV2 host (jalv on a dummy JACK server): the twenty factory presets are
# listed by name and load, and a saved state directory (manifest.ttl + state.ttl with
# the plug-in's state string) restores the plug-in. Both are checked from the audio.
# Usage: lv2_jalv_presets_state.sh <folder holding Quorvane.lv2> <br_state_tool>
source "$(dirname "$0")/common.sh"
export LV2_PATH="$1"; tool="$2"
uri="https://tarnwick.audio/plugins/quorvane"
br_temp_home
br_start_jackd

jack_simple_client >"$BR_TMP/source.log" 2>&1 &
BR_PIDS+=($!)
br_wait_for 10 bash -c 'jack_lsp | grep -q "jack_simple_client:output2"' || br_fail "no signal source"

# Starts jalv as client $1 with further jalv options; commands go to fd 7.
start_jalv()
{
    local name=$1; shift
    rm -f "$BR_TMP/$name.in"; mkfifo "$BR_TMP/$name.in"
    stdbuf -oL -eL jalv -n "$name" "$@" "$uri" <"$BR_TMP/$name.in" >"$BR_TMP/$name.log" 2>&1 &
    BR_PIDS+=($!)
    exec 7>"$BR_TMP/$name.in"
    br_wait_for 15 bash -c "jack_lsp | grep -q '$name:audio_out_2'" || br_fail "jalv did not load: $(cat "$BR_TMP/$name.log")"
    jack_connect jack_simple_client:output1 "$name:audio_in_1"
    jack_connect jack_simple_client:output2 "$name:audio_in_2"
}

# Records two seconds of client $1 and prints "peak depth rateHz" of the summed power envelope.
analyse()
{
    (cd "$BR_TMP" && timeout 20 jack_rec -f "$BR_TMP/$1.wav" -d 2 -b 16 "$1:audio_out_1" "$1:audio_out_2" >/dev/null 2>&1)
    python3 "$(dirname "$0")/envelope.py" "$BR_TMP/$1.wav"
}

# Factory presets: listed by jalv with their names, and "Deep Tremolo" (triangle AM,
# 100 %, 6 Hz) chops the signal at 6 Hz once chosen.
start_jalv qa
echo presets >&7
br_wait_for 10 grep -q "Stereo Widener" "$BR_TMP/qa.log" || br_fail "presets not listed: $(cat "$BR_TMP/qa.log")"
listed=$(grep -c "^.*$uri:preset[0-9]* (" "$BR_TMP/qa.log" || true)
[ "$listed" -eq 20 ] || br_fail "expected 20 presets, jalv lists $listed"
for name in "Full Reset" "Sync Chopper 1-16" "Rotary Fast" "Seasick" "Stereo Widener"; do
    grep -qF "($name)" "$BR_TMP/qa.log" || br_fail "preset \"$name\" not listed"
done
deep=$(grep -F "(Deep Tremolo)" "$BR_TMP/qa.log" | grep -o "$uri:preset[0-9]*")
echo "preset $deep" >&7
sleep 0.5
read -r peak depth rate < <(analyse qa)
echo "Deep Tremolo: peak $peak depth $depth rate $rate Hz"
python3 -c "import sys; sys.exit(0 if $depth > 0.9 and abs($rate - 6.0) < 0.5 else 1)" \
    || br_fail "the factory preset did not take effect"
exec 7>&-

# A saved state: mix 0 % and gain -12 dB give the dry signal at a quarter of its level.
state=$("$tool" make --live 2 --set mix=0 --set gain=-12)
mkdir -p "$BR_TMP/state"
cat >"$BR_TMP/state/manifest.ttl" <<TTL
@prefix lv2: <http://lv2plug.in/ns/lv2core#> .
@prefix pset: <http://lv2plug.in/ns/ext/presets#> .
@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .

<state.ttl>
	a pset:Preset ;
	lv2:appliesTo <$uri> ;
	rdfs:seeAlso <state.ttl> .
TTL
cat >"$BR_TMP/state/state.ttl" <<TTL
@prefix lv2: <http://lv2plug.in/ns/lv2core#> .
@prefix pset: <http://lv2plug.in/ns/ext/presets#> .
@prefix state: <http://lv2plug.in/ns/ext/state#> .

<>
	a pset:Preset ;
	lv2:appliesTo <$uri> ;
	state:state [
		<$uri:StateString> "$state"
	] .
TTL
start_jalv qb -l "$BR_TMP/state"
sleep 0.5
read -r peak depth rate < <(analyse qb)
source_peak=0.2 # jack_simple_client's sine
echo "restored state: peak $peak depth $depth"
python3 -c "import sys; sys.exit(0 if abs($peak / $source_peak - 0.2512) < 0.02 and $depth < 0.05 else 1)" \
    || br_fail "the saved state did not take effect (peak $peak, depth $depth)"
exec 7>&-
echo PASS
