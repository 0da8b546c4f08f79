# Helpers for the editor's end-to-end tests, on top of the real-host set-up (private X
# display, JACK server and home, torn down on exit).
source "$(dirname "${BASH_SOURCE[0]}")/../../hosts/common.sh"

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
# screenshot $1, at interface size $4 percent (default 100): the top bar, the preset
# field and the background's bright centre. Says what it found otherwise.
br_panel_at()
{
    local shot=$1 ex=$2 ey=$3 percent=${4:-100} pixel
    pixel=$(br_pixel "$shot" $((ex + 700 * percent / 100)) $((ey + 42 * percent / 100)))
    br_colour_near "$pixel" "#121821" 2 || { echo "no top bar at $ex,$ey (found $pixel)"; return 1; }
    pixel=$(br_pixel "$shot" $((ex + 200 * percent / 100)) $((ey + 12 * percent / 100)))
    br_colour_near "$pixel" "#1F2733" 3 || { echo "no preset field at $ex,$ey (found $pixel)"; return 1; }
    pixel=$(br_pixel "$shot" $((ex + 547 * percent / 100)) $((ey + 100 * percent / 100)))
    br_colour_near "$pixel" "#1F2A3C" 4 || { echo "no background centre at $ex,$ey (found $pixel)"; return 1; }
}
