# Helpers for the editor's end-to-end tests, on top of the real-host set-up (private X
# display, JACK server and home, torn down on exit).
source "$(dirname "${BASH_SOURCE[0]}")/../common.sh"

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

# Waits until the standalone app's window ($window, from br_launch_app) shows the editor
# panel at interface size $1 percent (default 100) and sets ex, ey to the panel's
# top-left screen corner; the screenshot it was found in is left in $BR_TMP/editor.png.
# The wrapper puts its title bar (and any notice) above the editor and a one-pixel
# border around the window, and the window may still settle after it first appears, so
# this looks until the panel is where the geometry says.
br_find_editor()
{
    local percent=${1:-100} found=""
    local width=$((1094 * percent / 100)) height=$((594 * percent / 100))
    for _ in $(seq 1 30); do
        eval "$(xdotool getwindowgeometry --shell "$window")"
        ex=$((X + 1)); ey=$((Y + HEIGHT - 1 - height))
        import -window root "$BR_TMP/editor.png"
        if [ "$WIDTH" -eq $((width + 2)) ] && found=$(br_panel_at "$BR_TMP/editor.png" "$ex" "$ey" "$percent"); then
            return 0
        fi
        sleep 0.5
    done
    br_fail "the editor is not shown (window ${WIDTH}x$HEIGHT): $found"
}

# Clicks at ($1, $2) in artwork coordinates of the editor found by br_find_editor, at
# 100 % size.
br_click_at()
{
    xdotool mousemove $((ex + $1)) $((ey + $2)); sleep 0.2
    xdotool mousedown 1; sleep 0.1; xdotool mouseup 1
}

# Types a number into the gain box of the editor at ($ex, $ey) and clicks elsewhere:
# the background, a choice box, the sphere, a button. Each click must close the field
# at once and show the new value; the last value typed is 4 (gain 4.0 dB).
br_check_typed_entry_commits_on_clicks_elsewhere()
{
    # The gain box, at artwork (948, 156, 95, 29). An open field is drawn on the text
    # editor's background colour (#080B11); the closed box on its lighter body.
    local gain_x=995 gain_y=170 cases c value x y what before
    field_open() { br_colour_near "$(br_pixel "$1" $((ex + 956)) $((ey + 162)))" "#080B11" 6; }
    box_text() { convert "$1" -crop "60x16+$((ex + 965))+$((ey + 162))" -depth 8 rgb:- | md5sum; }

    cases=(
        "1 600 80 the panel background"
        "2 99 332 the x Factor choice box"
        "-3 547 140 the sphere"
        "4 264 459 the AM on button"
    )
    import -window root "$BR_TMP/shown.png"
    for c in "${cases[@]}"; do
        read -r value x y what <<<"$c"
        before=$(box_text "$BR_TMP/shown.png")

        xdotool mousemove $((ex + gain_x)) $((ey + gain_y)); sleep 0.3
        xdotool click --repeat 2 --delay 80 1; sleep 0.5
        import -window root "$BR_TMP/typing.png"
        field_open "$BR_TMP/typing.png" || br_fail "double-click did not open the gain field"
        xdotool type --delay 50 -- "$value"; sleep 0.2

        br_click_at "$x" "$y"; sleep 0.6
        import -window root "$BR_TMP/shown.png"
        ! field_open "$BR_TMP/shown.png" || br_fail "the field stayed open after a click on $what"
        [ "$(box_text "$BR_TMP/shown.png")" != "$before" ] || br_fail "$value was not shown after a click on $what"
    done
}

# Opens the plug-in's own editor in a real LV2 host: a private home, display and dummy
# JACK server, and jalv.gtk3 showing the plug-in's UI, with the bundle found in folder
# $1, under the window manager $2 if one is named (it decorates and focuses windows as
# a desktop does). Sets uri, jalv_pid and editor (the editor's window); jalv's output is
# in $BR_TMP/jalv.log.
br_open_jalv_editor()
{
    br_temp_home
    export LV2_PATH="$1"
    uri="https://tarnwick.audio/plugins/quorvane"
    br_start_xvfb
    if [ -n "${2:-}" ]; then
        "$2" >"$BR_TMP/wm.log" 2>&1 &
        BR_PIDS+=($!)
        br_wait_for 10 bash -c "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q window" || br_fail "$2 did not start"
    fi
    br_start_jackd
    # jalv quits when its stdin closes, so it reads from a pipe we keep open.
    mkfifo "$BR_TMP/jalv.in"
    sleep 600 >"$BR_TMP/jalv.in" &
    BR_PIDS+=($!)
    jalv.gtk3 -s -n qv "$uri" <"$BR_TMP/jalv.in" >"$BR_TMP/jalv.log" 2>&1 &
    jalv_pid=$!
    BR_PIDS+=($jalv_pid)

    br_wait_for 30 xdotool search --name '^Quorvane$' || br_fail "no plug-in window: $(cat "$BR_TMP/jalv.log")"
    sleep 2
    kill -0 "$jalv_pid" 2>/dev/null || br_fail "jalv quit: $(cat "$BR_TMP/jalv.log" "$BR_TMP/jackd.log")"
    editor=$(xdotool search --name '^Quorvane$' | head -1)
}

# Sets ex, ey to the top-left screen corner of the plug-in's panel in jalv's window
# $editor once it is drawn there (a window manager's frame puts it elsewhere than
# xdotool's geometry says; the server's absolute position is right). The screenshot it
# was found in is left in $BR_TMP/editor.png.
br_find_jalv_panel()
{
    local found=""
    for _ in $(seq 1 20); do
        ex=$(xwininfo -id "$editor" | sed -n 's/^ *Absolute upper-left X: *//p')
        ey=$(xwininfo -id "$editor" | sed -n 's/^ *Absolute upper-left Y: *//p')
        import -window root "$BR_TMP/editor.png"
        found=$(br_panel_at "$BR_TMP/editor.png" "$ex" "$ey") && return 0
        sleep 0.5
    done
    br_fail "the editor is not drawn: $found"
}
