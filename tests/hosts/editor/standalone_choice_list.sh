#!/usr/bin/env bash
# A choice box's list marks the current choice with a tick, also in the waveform list,
# whose entries show a drawing of their waveform as well: the user opens the list,
# sees the tick on the current waveform and every drawing, picks another waveform and
# finds the tick on it next time. The x Factor list, which has no drawings, is ticked too.
# Usage: standalone_choice_list.sh <Quorvane app> <br_state_tool>
source "$(dirname "$0")/common_editor.sh"
app="$1"; tool="$2"
br_temp_home
br_start_xvfb

br_launch_app "$app"

br_find_editor

# Opens the list of the box whose centre is at ($1, $2) in the editor by holding the
# mouse down for $3 seconds, screenshots it into $4 and sets menu_x and menu_y.
open_list()
{
    xdotool mousemove $((ex + $1)) $((ey + $2)); sleep 0.3
    xdotool mousedown 1; sleep "$3"
    br_wait_for 10 xdotool search --name '^menu$' || br_fail "the list of the box at $1,$2 did not open"
    xdotool mouseup 1
    sleep 0.5
    local menu
    menu=$(xdotool search --name '^menu$' | head -1)
    eval "$(xdotool getwindowgeometry --shell "$menu")"
    menu_x=$X; menu_y=$Y
    import -window "$menu" "$4"
}

close_list()
{
    xdotool key Escape
    br_wait_for 10 bash -c '! xdotool search --name "^menu$"' || br_fail "the list stayed open"
    sleep 0.3
}

# Checks a list screenshot row by row: the tick (white, in the framework's tick column
# at the left) on row $3 only, of $2 rows, and with $4 = icons a waveform drawing (the
# bright accent blue) on every row, right of where the tick is drawn.
check_list()
{
    python3 - "$1" "$2" "$3" "$4" <<'PY'
import subprocess, sys
shot, rows, current, icons = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4] == "icons"
w, h = map(int, subprocess.check_output(["identify", "-format", "%w %h", shot]).split())
data = subprocess.check_output(["convert", shot, "-depth", "8", "rgb:-"])
def pixel(x, y):
    i = 3 * (y * w + x)
    return data[i], data[i + 1], data[i + 2]
white = lambda p: min(p) > 200
blue = lambda p: max(abs(a - b) for a, b in zip(p, (0x7F, 0xBC, 0xFF))) < 60

border = 2  # the framework's menu border; its items are all the same height
row_height, rest = divmod(h - 2 * border, rows)
if rest:
    sys.exit("the list is %d pixels high, not %d rows and a border" % (h, rows))
# The framework's item layout: a one-pixel inset and up to 5 more, then the tick's
# column, as wide as the largest font the row allows.
inset = 1 + min(5, (w - 2 * border) // 20)
tick_columns = range(border + inset, border + inset + round((row_height - 2) / 1.3))
problems = []
for row in range(rows):
    ys = range(border + row * row_height, border + (row + 1) * row_height)
    tick = [x for x in tick_columns for y in ys if white(pixel(x, y))]
    icon = [x for x in range(w) for y in ys if blue(pixel(x, y))]
    print("row %d: %d tick pixels, %d icon pixels" % (row, len(tick), len(icon)))
    if (len(tick) > 8) != (row == current):
        problems.append("row %d %s" % (row, "shows no tick" if row == current else "is ticked too"))
    if icons and len(icon) < 5:
        problems.append("row %d shows no waveform" % row)
    if icons and tick and icon and min(icon) <= max(tick):
        problems.append("row %d draws its waveform over the tick's column" % row)
sys.exit("; ".join(problems) or None)
PY
}

# The waveform box (artwork 51,518 96x34) opens its list on the press; Sine is current.
open_list 99 535 0.1 "$BR_TMP/waveforms.png"
check_list "$BR_TMP/waveforms.png" 5 4 icons || br_fail "the waveform list does not show the current waveform"

# Picking Triangle, the second row, with a click moves the tick there.
xdotool mousemove $((menu_x + 60)) $((menu_y + 2 + 22 + 11)); sleep 0.3
xdotool mousedown 1; sleep 0.1; xdotool mouseup 1
br_wait_for 10 bash -c '! xdotool search --name "^menu$"' || br_fail "the list stayed open after a choice"
sleep 0.3
open_list 99 535 0.1 "$BR_TMP/waveforms-after.png"
check_list "$BR_TMP/waveforms-after.png" 5 1 icons || br_fail "the tick did not move to the chosen waveform"
close_list

# The x Factor box (artwork 51,318 96x29) opens its list when held 450 ms; x1.00 is current.
open_list 110 332 0.8 "$BR_TMP/factors.png"
check_list "$BR_TMP/factors.png" 16 3 none || br_fail "the x Factor list does not show the current factor"
close_list

br_close_app
saved=$(br_saved_state)
[ -n "$saved" ] || br_fail "no state saved"
state=$("$tool" show "$saved")
echo "$state" | grep -qx 'waveform=Triangle' || br_fail "the chosen waveform is not the one saved: $state"
echo PASS
