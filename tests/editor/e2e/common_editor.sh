# Helpers for the editor's end-to-end tests, on top of the real-host set-up (private X
# display, JACK server and home, torn down on exit).
source "$(dirname "${BASH_SOURCE[0]}")/../../hosts/common.sh"

# A private X display of the given size. Two tests starting at once may both find the
# same number free; the display is ours only when our server holds its lock, otherwise
# the next number is tried.
br_start_own_xvfb()
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

# The colour of one screen pixel as "#RRGGBB".
br_pixel()
{
    local shot=$1 x=$2 y=$3
    convert "$shot" -crop "1x1+$x+$y" -depth 8 txt:- | tail -1 | grep -o '#[0-9A-F]\{6\}'
}

# True when two "#RRGGBB" colours differ by at most $3 in every channel.
br_colour_near()
{
    python3 - "$1" "$2" "$3" <<'PY'
import sys
a, b, tolerance = sys.argv[1], sys.argv[2], int(sys.argv[3])
channels = lambda c: [int(c[i:i + 2], 16) for i in (1, 3, 5)]
sys.exit(0 if max(abs(x - y) for x, y in zip(channels(a), channels(b))) <= tolerance else 1)
PY
}

# True when the editor's panel is drawn with its top-left corner at ($2, $3) of the
# screenshot $1: the top bar, the preset field and the background's bright centre.
# Says what it found otherwise.
br_panel_at()
{
    local shot=$1 ex=$2 ey=$3 pixel
    pixel=$(br_pixel "$shot" $((ex + 700)) $((ey + 42)))
    br_colour_near "$pixel" "#121821" 2 || { echo "no top bar at $ex,$ey (found $pixel)"; return 1; }
    pixel=$(br_pixel "$shot" $((ex + 200)) $((ey + 12)))
    br_colour_near "$pixel" "#1F2733" 3 || { echo "no preset field at $ex,$ey (found $pixel)"; return 1; }
    pixel=$(br_pixel "$shot" $((ex + 547)) $((ey + 100)))
    br_colour_near "$pixel" "#1F2A3C" 4 || { echo "no background centre at $ex,$ey (found $pixel)"; return 1; }
}
