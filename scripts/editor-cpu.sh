#!/usr/bin/env bash
# Measures what the open editor costs: the CPU time of the standalone app and of the X
# server over a fixed time, at 100 % and 200 % interface size, with audio stopped and
# with audio running at default settings (the app on a dummy JACK server, a sine wave
# connected to its inputs). Prints one line per case, in percent of one core.
#
#   scripts/editor-cpu.sh [seconds]        (default 30 seconds per case)
#
# Builds the app in build/release (or $BR_BUILD_DIR). Needs Xvfb, jackd, the JACK
# example clients and xdotool; runs everything on a private display, JACK server and
# home, so it leaves no trace.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BR_BUILD_DIR:-$root/build/release}"
seconds="${1:-30}"

BR_BUILD_DIR="$build" bash "$root/scripts/build.sh" Release --target Quorvane_Standalone br_state_tool >/dev/null
app="$build/Quorvane_artefacts/Release/Standalone/Quorvane"
tool="$build/br_state_tool"

source "$root/tests/hosts/editor/common_editor.sh"
ticks_per_second=$(getconf CLK_TCK)

# CPU time (user + system) of a process so far, in clock ticks.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# Ends one process we started and waits until it is gone (a JACK server needs time to
# leave its registry clean before the next one starts).
stop()
{
    kill "$1" 2>/dev/null || return 0
    for _ in $(seq 1 50); do
        kill -0 "$1" 2>/dev/null || break
        sleep 0.1
    done
    kill -9 "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

measure()
{
    local percent=$1 audio=$2
    br_temp_home
    rm -rf "$HOME"; mkdir -p "$HOME/.config"
    local state
    state=$("$tool" make --scale "$(awk "BEGIN { print $percent / 100 }")")
    cat >"$HOME/.config/Quorvane.settings" <<XML
<?xml version="1.0" encoding="UTF-8"?>

<PROPERTIES>
  <VALUE name="filterState" val="$state"/>
  <VALUE name="shouldMuteInput" val="0"/>
</PROPERTIES>
XML

    br_start_xvfb 2560x1600 # room for the 200 % window
    local jack_pid="" source_pid=""
    if [ "$audio" = running ]; then
        br_start_jackd
        jack_pid=${BR_PIDS[-1]}
    else
        # No server: the app finds no audio device and processes nothing.
        export JACK_DEFAULT_SERVER="quorvane-none-$$"
    fi

    "$app" >"$BR_TMP/app.log" 2>&1 &
    local app_pid=$!
    BR_PIDS+=($app_pid)
    br_wait_for 30 xdotool search --name '^Quorvane$' || br_fail "no window titled Quorvane"
    xdotool mousemove 0 0 # no hover, no tooltip

    if [ "$audio" = running ]; then
        br_wait_for 10 bash -c 'jack_lsp | grep -q "JUCEJack:in_2"' || br_fail "the app did not join the JACK server"
        jack_simple_client >/dev/null 2>&1 &
        source_pid=$!
        BR_PIDS+=($source_pid)
        br_wait_for 10 bash -c 'jack_lsp | grep -q "jack_simple_client:output2"' || br_fail "no signal source"
        jack_disconnect system:capture_1 JUCEJack:in_1 2>/dev/null || true
        jack_disconnect system:capture_2 JUCEJack:in_2 2>/dev/null || true
        jack_connect jack_simple_client:output1 JUCEJack:in_1
        jack_connect jack_simple_client:output2 JUCEJack:in_2
    fi

    local window width height
    window=$(xdotool search --name '^Quorvane$' | head -1)
    eval "$(xdotool getwindowgeometry --shell "$window")"
    width=$WIDTH; height=$HEIGHT
    sleep 3 # start-up done, first frames drawn

    local app0 x0 app1 x1
    app0=$(cpu_ticks "$app_pid"); x0=$(cpu_ticks "$xvfb_pid")
    sleep "$seconds"
    app1=$(cpu_ticks "$app_pid"); x1=$(cpu_ticks "$xvfb_pid")

    awk -v p="$percent" -v a="$audio" -v w="$width" -v h="$height" -v da=$((app1 - app0)) -v dx=$((x1 - x0)) \
        -v t="$ticks_per_second" -v s="$seconds" \
        'BEGIN { printf "%4d %%  audio %-8s window %4dx%-4d  app %5.2f %%  X server %5.2f %%\n", p, a, w, h, 100 * da / t / s, 100 * dx / t / s }'

    stop "$app_pid"
    [ -n "$source_pid" ] && stop "$source_pid"
    [ -n "$jack_pid" ] && stop "$jack_pid"
    stop "$xvfb_pid"
}

echo "CPU time over $seconds s, in percent of one core:"
for percent in 100 200; do
    for audio in stopped running; do
        measure "$percent" "$audio"
    done
done
