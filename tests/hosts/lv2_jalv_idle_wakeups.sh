#!/usr/bin/env bash
# A loaded plug-in with no editor open costs its host nothing while idle: jalv (console,
# no UI) with our LV2 wakes no more often than with the LV2 example amplifier, whose
# only work is the audio periods. Wake-ups are the context switches of all of jalv's
# threads over a few seconds; a thread that polls wakes hundreds of times a second.
# Usage: lv2_jalv_idle_wakeups.sh <folder holding Quorvane.lv2>
source "$(dirname "$0")/common.sh"
br_temp_home
export LV2_PATH="$(realpath "$1"):/usr/lib/lv2"
seconds=5
# Measured: about 1 a second more than the amplifier; a 1 ms poll would add 1,000.
allowed_extra_per_second=20

br_start_jackd
mkfifo "$BR_TMP/jalv.in"
sleep 600 >"$BR_TMP/jalv.in" &
BR_PIDS+=($!)

# The context switches of every thread of process $1, voluntary and not.
switches()
{
    cat /proc/"$1"/task/*/status 2>/dev/null \
        | awk '/^(non)?voluntary_ctxt_switches/ { total += $2 } END { print total + 0 }'
}

# Starts jalv with plug-in $1 as client $2 and prints its wake-ups a second once it
# has settled.
wakeups_per_second()
{
    local uri=$1 name=$2 pid before after
    jalv -n "$name" "$uri" <"$BR_TMP/jalv.in" >"$BR_TMP/$name.log" 2>&1 &
    pid=$!
    BR_PIDS+=($pid)
    br_wait_for 15 bash -c "jack_lsp | grep -q '^$name:'" || br_fail "jalv did not load $uri: $(cat "$BR_TMP/$name.log")"
    sleep 1
    before=$(switches "$pid")
    sleep "$seconds"
    after=$(switches "$pid")
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    echo $(((after - before) / seconds))
}

amp=$(wakeups_per_second "http://lv2plug.in/plugins/eg-amp" amp)
ours=$(wakeups_per_second "https://tarnwick.audio/plugins/quorvane" qv)
echo "wake-ups a second: example amplifier $amp, Quorvane $ours"
[ "$ours" -le $((amp + allowed_extra_per_second)) ] \
    || br_fail "the loaded plug-in wakes jalv $((ours - amp)) times a second more than the example amplifier"
echo PASS
