# Shared set-up for the real-host tests: a private X display, a private JACK server
# and a temporary HOME, all torn down on exit whatever happens.
set -euo pipefail

BR_TMP=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-host.XXXXXX")
BR_PIDS=()

br_cleanup()
{
    local pid i
    # Newest first: clients go before the servers they use. A server killed hard
    # leaves its slot in JACK's shared registry, and after eight of those no JACK
    # server starts at all, so each gets time to exit cleanly.
    for ((i = ${#BR_PIDS[@]} - 1; i >= 0; i--)); do
        pid=${BR_PIDS[$i]}
        [ -n "$pid" ] || continue
        kill "$pid" 2>/dev/null || continue
        for _ in $(seq 1 30); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -9 "$pid" 2>/dev/null || true
    done
    rm -rf "$BR_TMP"
}
trap br_cleanup EXIT

br_fail() { echo "FAIL: $*" >&2; exit 1; }

# Waits up to $1 seconds for the command in the remaining arguments to succeed.
br_wait_for()
{
    local limit=$1; shift
    local deadline=$((SECONDS + limit))
    until "$@" >/dev/null 2>&1; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.2
    done
}

br_start_xvfb()
{
    local n
    for n in $(seq 100 199); do
        if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
            Xvfb ":$n" -screen 0 1600x1200x24 -nolisten tcp >"$BR_TMP/xvfb.log" 2>&1 &
            BR_PIDS+=($!)
            export DISPLAY=":$n"
            br_wait_for 10 xdpyinfo && return 0
        fi
    done
    br_fail "no free X display"
}

br_start_jackd()
{
    export JACK_DEFAULT_SERVER="quorvane-test-$$"
    (
        # With no JACK server alive, whatever JACK left in shared memory is stale (a
        # server that was killed hard); clear it so it cannot use up the server slots.
        flock 9
        if ! pgrep -x jackd >/dev/null && ! pgrep -x jackdbus >/dev/null; then
            rm -f /dev/shm/jack-shm-registry /dev/shm/jack_* /dev/shm/jack-[0-9]* 2>/dev/null || true
        fi
        jackd -n "$JACK_DEFAULT_SERVER" --no-realtime -d dummy -r 48000 -p 512 >"$BR_TMP/jackd.log" 2>&1 &
        echo $! >"$BR_TMP/jackd.pid"
        br_wait_for 10 jack_lsp
    ) 9>"${TMPDIR:-/tmp}/quorvane-jackd.lock" || br_fail "jackd did not start: $(cat "$BR_TMP/jackd.log")"
    BR_PIDS+=($(cat "$BR_TMP/jackd.pid"))
}

br_temp_home()
{
    export HOME="$BR_TMP/home"
    mkdir -p "$HOME"
    unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_MUSIC_DIR
}

# Peak absolute sample of a 16-bit WAV file, per channel, as "left right" in 0..1.
br_wav_peaks()
{
    python3 - "$1" <<'PY'
import struct, sys, wave
w = wave.open(sys.argv[1])
ch, n = w.getnchannels(), w.getnframes()
data = struct.unpack('<%dh' % (n * ch), w.readframes(n))
print(' '.join('%.4f' % (max((abs(x) for x in data[c::ch]), default=0) / 32768.0) for c in range(ch)))
PY
}
