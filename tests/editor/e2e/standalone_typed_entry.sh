#!/usr/bin/env bash
# A number typed into a value box is committed when the user clicks anywhere else in
# the panel: the background, a choice box, the sphere or a button. None of these takes
# the keyboard focus, so the field must close on the press itself, show the new value,
# and the app must save it.
# Usage: standalone_typed_entry.sh <Quorvane app> <br_state_tool>
source "$(dirname "$0")/common_editor.sh"
app="$1"; tool="$2"
br_temp_home
br_start_xvfb
br_launch_app "$app"
br_find_editor

# The gain box, at artwork (948, 156, 95, 29). An open field is drawn on the text
# editor's background colour (#080B11); the closed box on its lighter body.
gain_x=995; gain_y=170
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

br_close_app
state=$("$tool" show "$(br_saved_state)")
echo "$state" | grep -qx 'gain=4.0' || br_fail "the last typed gain was not saved: $state"
echo PASS
