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

# A private X display of the given size (default 1600x1200); sets DISPLAY and xvfb_pid.
# Two tests starting at once may both find the same number free; the display is ours
# only when our server holds its lock, otherwise the next number is tried.
br_start_xvfb()
{
    local size=${1:-1600x1200} n pid
    for n in $(seq 100 199); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 "${size}x24" -nolisten tcp >"$BR_TMP/xvfb.log" 2>&1 &
        pid=$!
        for _ in $(seq 1 100); do
            kill -0 "$pid" 2>/dev/null || break
            if [ "$(tr -d ' \n' 2>/dev/null <"/tmp/.X$n-lock")" = "$pid" ] && DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
                BR_PIDS+=($pid)
                xvfb_pid=$pid
                export DISPLAY=":$n"
                return 0
            fi
            sleep 0.1
        done
        kill "$pid" 2>/dev/null || true
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
        # The server must not inherit the lock: a test killed on a time-out leaves its
        # server behind, and every later test would then wait for the lock for ever.
        jackd -n "$JACK_DEFAULT_SERVER" --no-realtime -d dummy -r 48000 -p 512 >"$BR_TMP/jackd.log" 2>&1 9>&- &
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

# Starts the standalone app $1 and waits for its window; sets app_pid and window.
br_launch_app()
{
    "$1" >"$BR_TMP/app.log" 2>&1 &
    app_pid=$!
    BR_PIDS+=($app_pid)
    br_wait_for 30 xdotool search --name '^Quorvane$' || br_fail "no window titled Quorvane"
    window=$(xdotool search --name '^Quorvane$' | head -1)
}

# Presses the close button at the right end of the wrapper's own title bar, as a user
# does (the wrapper saves the state then), and waits for the app to quit.
br_close_app()
{
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool mousemove $((X + WIDTH - 20)) $((Y + 14)); sleep 0.3
    xdotool mousedown 1; sleep 0.1; xdotool mouseup 1
    for _ in $(seq 1 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$app_pid" 2>/dev/null && br_fail "the app did not quit on its close button"
    return 0
}

# Prints the plug-in state the app saved in its settings file ("filterState").
br_saved_state()
{
    python3 - "$HOME/.config/Quorvane.settings" <<'PY'
import sys, xml.etree.ElementTree as ET
for v in ET.parse(sys.argv[1]).getroot().iter('VALUE'):
    if v.get('name') == 'filterState':
        print(v.get('val'))
PY
}

# Writes the settings file the app reads at start-up, holding the plug-in state $1
# ("filterState") as the app itself saves it, and any further settings given as
# NAME=VALUE (e.g. shouldMuteInput=0, so that the app passes its input on).
br_write_saved_state()
{
    local state=$1 setting
    shift
    mkdir -p "$HOME/.config"
    {
        printf '<?xml version="1.0" encoding="UTF-8"?>\n\n<PROPERTIES>\n'
        printf '  <VALUE name="filterState" val="%s"/>\n' "$state"
        for setting in "$@"; do
            printf '  <VALUE name="%s" val="%s"/>\n' "${setting%%=*}" "${setting#*=}"
        done
        printf '</PROPERTIES>\n'
    } >"$HOME/.config/Quorvane.settings"
}

# Chops per second in the mono 16-bit WAV $1 (recorded by jack_transport_clock.py): a square AM at full depth takes the level to silence and back once
# per cycle, so rising crossings of half the peak count the cycles.
br_chop_rate()
{
    python3 - "$1" <<'PY'
import struct, sys, wave
w = wave.open(sys.argv[1])
rate, ch, n = w.getframerate(), w.getnchannels(), w.getnframes()
data = struct.unpack('<%dh' % (n * ch), w.readframes(n))
left = [abs(x) / 32768.0 for x in data[0::ch]][rate // 10:]  # the connection is made while recording starts
window = rate // 400  # 2.5 ms, far shorter than a chop
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

# How far the chops in recording $1 start from the 16th notes at $2 BPM of the transport's timeline (frame 0 is
# bar 1, beat 1 for jack_transport), worst case in ms, from the transport frame of each
# recorded cycle. A chop starts where the level rises through a tenth of its peak,
# 0.16 ms into the smoothed edge.
br_grid_offset()
{
    python3 - "$1" "$2" <<'PY'
import struct, sys, wave
w = wave.open(sys.argv[1])
rate, n = w.getframerate(), w.getnframes()
level = [x / 32768.0 for x in struct.unpack('<%dh' % n, w.readframes(n))]
cycles = [tuple(map(int, line.split())) for line in open(sys.argv[1] + '.frames')]
sixteenth = rate * 60.0 / float(sys.argv[2]) / 4.0
peak = max(level)
frame_of = {}
for (start, frame, rolling), following in zip(cycles, cycles[1:] + [(n, None, 0)]):
    if rolling:
        for i in range(start, min(following[0], n)):
            frame_of[i] = frame + i - start
skip = rate // 10  # the connection is made while recording starts
offsets = []
for i in range(skip, n):
    if level[i - 1] < peak / 10 <= level[i] and i in frame_of:
        phase = frame_of[i] % sixteenth
        offsets.append(min(phase, sixteenth - phase) * 1000.0 / rate)
if len(offsets) < 10:
    print('999 %d-chops' % len(offsets))
else:
    print('%.3f %d-chops' % (max(offsets), len(offsets)))
PY
}

# Records JACK port $1 for 3 s (through jack_transport_clock.py, which notes the transport
# frame of each cycle) and checks that the level chops at $4 Hz and, when a tempo $3 is
# given, that every chop starts within 1 ms of the transport's 16th notes. $2 names the
# case in messages and in the recording's file name.
br_check_chops()
{
    local port=$1 name=$2 bpm=$3 hz=$4 wav="$BR_TMP/$2.wav" measured note offset edges
    timeout 30 python3 "$(dirname "${BASH_SOURCE[0]}")/jack_transport_clock.py" record rec "$port" 3 "$wav" \
        >"$BR_TMP/rec.log" 2>&1 || br_fail "recording failed: $(cat "$BR_TMP/rec.log")"
    read -r measured note < <(br_chop_rate "$wav")
    echo "$name: $measured Hz ($note), expected $hz Hz"
    python3 -c "import sys; sys.exit(0 if abs($measured - $hz) < 0.1 else 1)" \
        || br_fail "$name: chops at $measured Hz, expected $hz Hz"
    [ -n "$bpm" ] || return 0
    read -r offset edges < <(br_grid_offset "$wav" "$bpm")
    echo "$name: chops start up to $offset ms off the 16th notes at $bpm BPM ($edges)"
    python3 -c "import sys; sys.exit(0 if $offset <= 1.0 else 1)" \
        || br_fail "$name: chops start $offset ms off the 16th notes of the transport at $bpm BPM"
}
