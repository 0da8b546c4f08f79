#!/usr/bin/env bash
# A tip too long for one line is wrapped at whole words onto the lines of its box, in
# the tooltip's own font, instead of being squeezed onto one line: the user rests the
# mouse on the sync box and on the rotation sphere, whose tips are a little too long
# for one line, and sees each on two lines of a box 44 pixels high. (No tip of the
# editor needs three lines; their layout is checked by the editor's unit tests.)
# Usage: standalone_tooltip.sh <Quorvane app>
source "$(dirname "$0")/common_editor.sh"
app="$1"
br_temp_home
br_start_xvfb

br_launch_app "$app"

br_find_editor

# Reads the tooltip box whose top-left corner is at ($2, $3) of screenshot $1: prints
# its height (from its top edge to its bottom edge, in the accent outline) and the
# runs of pixel rows that carry text, one "first-last" per line of text.
read_tip()
{
    python3 - "$1" "$2" "$3" <<'PY'
import subprocess, sys
shot, bx, by = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
w, h = map(int, subprocess.check_output(["identify", "-format", "%w %h", shot]).split())
data = subprocess.check_output(["convert", shot, "-depth", "8", "rgb:-"])
def pixel(x, y):
    i = 3 * (y * w + x)
    return data[i], data[i + 1], data[i + 2]
edge = lambda p: p[2] > 110 and p[2] > p[0] + 80          # the accent outline
ink = lambda p: min(p) > 110                               # the tip's light text
body = lambda p: max(abs(a - b) for a, b in zip(p, (0x12, 0x18, 0x21))) <= 3

# Left of the text (which starts 8 pixels in) the box is its body between two edges.
x = bx + 3
if not edge(pixel(x, by)) or not body(pixel(x, by + 4)):
    sys.exit("no tooltip at %d,%d" % (bx, by))
bottom = next((y for y in range(by + 2, min(by + 120, h)) if edge(pixel(x, y))), None)
if bottom is None or not all(body(pixel(x, y)) for y in range(by + 4, bottom - 2)):
    sys.exit("the tooltip at %d,%d has no bottom edge" % (bx, by))

runs, start, blank = [], None, 0
for y in range(by + 1, bottom):
    if sum(1 for x in range(bx + 4, bx + 356) if ink(pixel(x, y))) >= 3:
        if start is None:
            start = y
        end, blank = y, 0
    elif start is not None:
        blank += 1
        if blank >= 2:
            runs.append("%d-%d" % (start - by, end - by))
            start = None
if start is not None:
    runs.append("%d-%d" % (start - by, end - by))
print(bottom - by + 1, " ".join(runs))
PY
}

# Rests the mouse at ($1, $2) in the editor (the upper left quarter, so the tip shows
# 24 pixels right of and 6 below it) and checks the tip shows on two lines of a box
# 44 pixels high: text from its upper half down into its lower half. One line of 13
# pixel text, squeezed or not, covers at most 16 rows; two lines, set a font height
# apart, more than 20 (a descender may touch the next line's capitals).
check_tip()
{
    local what=$1 mx=$((ex + $2)) my=$((ey + $3)) tip=""
    xdotool mousemove $((mx - 20)) $((my - 20)); sleep 0.3
    xdotool mousemove "$mx" "$my"
    for _ in $(seq 1 25); do
        sleep 0.4
        import -window root "$BR_TMP/$what.png"
        tip=$(read_tip "$BR_TMP/$what.png" $((mx + 24)) $((my + 6)) 2>&1) && break
    done
    echo "$what tip: $tip"
    [[ "$tip" =~ ^[0-9] ]] || br_fail "no $what tip: $tip"
    python3 - "$tip" <<'PY' || br_fail "the $what tip is not wrapped onto the two lines of its box: $tip"
import sys
height, *runs = sys.argv[1].split()
lines = [tuple(map(int, run.split("-"))) for run in runs]
top, bottom = lines[0][0], lines[-1][1]
sys.exit(not (height == "44" and top < 22 < bottom and bottom - top > 20))
PY
}

# The pointer first rests outside the window, as while the user works in another app; an
# idle window then stops watching it, and must start again when it comes back.
eval "$(xdotool getwindowgeometry --shell "$window")"
[ "$X" -gt 0 ] || br_fail "the window leaves no room to its left for the pointer"
xdotool mousemove 0 "$Y"; sleep 1.5

# The sync box (artwork 51,156 96x28) and the upper left of the rotation sphere (397,117 300x300).
check_tip sync 92 170
check_tip sphere 470 200
echo PASS
