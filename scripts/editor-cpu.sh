#!/usr/bin/env bash
# Measures what the open editor costs: the CPU time of the host process and of the X
# server over a fixed time, and how often the host's threads woke up (voluntary and
# forced context switches of all its threads, per second). Cases:
#   - the standalone app at 100 % and 200 % interface size, with audio stopped (no
#     device), with audio running on a dummy JACK server and a silent input, and with a
#     sine wave on its inputs at default settings (everything on screen moves);
#   - the LV2 plug-in's editor in jalv.gtk3 on a dummy JACK server, silent input, and
#     for comparison jalv with the LV2 example amplifier and jalv's own generic controls:
#     what jalv itself costs with a window open.
# Prints one line per case, in percent of one core.
#
#   scripts/editor-cpu.sh [seconds]        (default 30 seconds per case)
#
# Builds the app and the LV2 plug-in in build/release (or $BR_BUILD_DIR). Needs Xvfb,
# jackd, the JACK example clients, jalv.gtk3 and xdotool; runs everything on a private
# display, JACK server and home, so it leaves no trace.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BR_BUILD_DIR:-$root/build/release}"
seconds="${1:-30}"

BR_BUILD_DIR="$build" bash "$root/scripts/build.sh" Release --target Quorvane_Standalone Quorvane_LV2 br_state_tool >/dev/null
app="$build/Quorvane_artefacts/Release/Standalone/Quorvane"
tool="$build/br_state_tool"
lv2_dir="$build/Quorvane_artefacts/Release/LV2"

source "$root/tests/hosts/editor/common_editor.sh"
# CPU time of all of a process's threads so far, in nanoseconds, as the scheduler
# counts it. The user and system times of /proc/PID/stat are sampled at the clock tick,
# which is far too coarse for a process that wakes for a few microseconds at a time.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%d\n", s }'; }

# Context switches of all threads of a process so far: each one is the thread going to
# sleep or being put aside, so it counts how often the process woke up.
wake_ups() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '/ctxt_switches/ { s += $2 } END { print s }'; }

# Measures process $1 (and the X server) for $seconds and prints the line of case $2.
sample()
{
    local pid=$1 label=$2 a0 x0 w0 a1 x1 w1
    a0=$(cpu_ns "$pid"); x0=$(cpu_ns "$xvfb_pid"); w0=$(wake_ups "$pid")
    sleep "$seconds"
    a1=$(cpu_ns "$pid"); x1=$(cpu_ns "$xvfb_pid"); w1=$(wake_ups "$pid")
    awk -v l="$label" -v da=$((a1 - a0)) -v dx=$((x1 - x0)) -v dw=$((w1 - w0)) -v s="$seconds" \
        'BEGIN { printf "%-44s  app %5.2f %%  X server %5.2f %%  wake-ups %6.1f/s\n", l, da / s / 1e7, dx / s / 1e7, dw / s }'
}

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
    if [ "$audio" != stopped ]; then
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

    if [ "$audio" != stopped ]; then
        br_wait_for 10 bash -c 'jack_lsp | grep -q "JUCEJack:in_2"' || br_fail "the app did not join the JACK server"
    fi
    if [ "$audio" = sine ]; then
        jack_simple_client >/dev/null 2>&1 &
        source_pid=$!
        BR_PIDS+=($source_pid)
        br_wait_for 10 bash -c 'jack_lsp | grep -q "jack_simple_client:output2"' || br_fail "no signal source"
        jack_disconnect system:capture_1 JUCEJack:in_1 2>/dev/null || true
        jack_disconnect system:capture_2 JUCEJack:in_2 2>/dev/null || true
        jack_connect jack_simple_client:output1 JUCEJack:in_1
        jack_connect jack_simple_client:output2 JUCEJack:in_2
    fi

    sleep 3 # start-up done, first frames drawn
    local window width height
    window=$(xdotool search --name '^Quorvane$' | head -1)
    eval "$(xdotool getwindowgeometry --shell "$window")"
    width=$WIDTH; height=$HEIGHT

    sample "$app_pid" "$(printf "app %3d %%  audio %-7s window %4dx%-4d" "$percent" "$audio" "$width" "$height")"

    stop "$app_pid"
    [ -n "$source_pid" ] && stop "$source_pid"
    [ -n "$jack_pid" ] && stop "$jack_pid"
    stop "$xvfb_pid"
}

# jalv.gtk3 with the LV2 plug-in $1 and its UI, on a dummy JACK server (its inputs are
# left unconnected: silence).
measure_jalv()
{
    local uri=$1 label=$2
    br_temp_home
    rm -rf "$HOME"; mkdir -p "$HOME"
    export LV2_PATH="$lv2_dir:/usr/lib/lv2"
    br_start_xvfb
    br_start_jackd
    local jack_pid=${BR_PIDS[-1]}
    # jalv quits when its stdin closes, so it reads from a pipe kept open.
    rm -f "$BR_TMP/jalv.in"; mkfifo "$BR_TMP/jalv.in"
    sleep $((seconds + 60)) >"$BR_TMP/jalv.in" &
    local pipe_pid=$!
    BR_PIDS+=($pipe_pid)
    jalv.gtk3 -s -n qv "$uri" <"$BR_TMP/jalv.in" >"$BR_TMP/jalv.log" 2>&1 &
    local jalv_pid=$!
    BR_PIDS+=($jalv_pid)
    br_wait_for 30 bash -c "xdotool search --pid $jalv_pid --onlyvisible --name . | grep -q ." \
        || br_fail "no jalv window: $(cat "$BR_TMP/jalv.log")"
    xdotool mousemove 0 0
    sleep 3

    sample "$jalv_pid" "$label"

    stop "$jalv_pid"
    stop "$pipe_pid"
    stop "$jack_pid"
    stop "$xvfb_pid"
}

echo "CPU time over $seconds s, in percent of one core; wake-ups of the measured process:"
for percent in 100 200; do
    for audio in stopped silent sine; do
        measure "$percent" "$audio"
    done
done
measure_jalv "https://tarnwick.audio/plugins/quorvane" "jalv.gtk3, Quorvane's editor, silence"
measure_jalv "http://lv2plug.in/plugins/eg-amp" "jalv.gtk3, example amp, generic UI, silence"
