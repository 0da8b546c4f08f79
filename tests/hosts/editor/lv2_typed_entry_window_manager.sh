#!/usr/bin/env bash
# In a real LV2 host under a window manager that focuses a window on every click
# (jalv.gtk3 under openbox), keys typed into a field of the plug-in's editor reach the
# field, and Return commits it and acts on nothing else: not after the host had the
# focus, not after the main menu was used (its button kept the keyboard focus).
# Usage: lv2_typed_entry_window_manager.sh <folder holding Quorvane.lv2> [window manager]
source "$(dirname "$0")/common_editor.sh"
br_open_jalv_editor "$1" "${2:-openbox}"
br_find_jalv_panel

# The gain box, at artwork (948, 156, 95, 29); an open field is drawn on the text
# editor's background colour (#080B11). The preset line sits at artwork (414, 8).
field_open() { br_colour_near "$(br_pixel "$1" $((ex + 956)) $((ey + 162)))" "#080B11" 6; }
box_text() { convert "$1" -crop "60x16+$((ex + 965))+$((ey + 162))" -depth 8 rgb:- | md5sum; }
preset_line() { convert "$1" -crop "380x20+$((ex + 420))+$((ey + 13))" -depth 8 rgb:- | md5sum; }
# Mapped windows other than the root's own few: an open menu is one more.
mapped_windows() { xwininfo -root -children | grep -c 'IsViewable\|"' ; }

# Double-clicks the gain box, types $1 and Return with the pointer away from the editor
# (so that no tooltip comes), and checks that the value changed and nothing else did.
# The first edit marks the preset modified ("*"), so the preset line is compared from
# the second on.
type_into_gain()
{
    local value=$1 what=$2 before preset windows
    import -window root "$BR_TMP/before.png"
    before=$(box_text "$BR_TMP/before.png"); preset=$(preset_line "$BR_TMP/before.png")
    xdotool mousemove $((ex + 995)) $((ey + 170)); sleep 0.3
    xdotool click --repeat 2 --delay 80 1; sleep 0.6
    import -window root "$BR_TMP/typing.png"
    field_open "$BR_TMP/typing.png" || br_fail "$what: double-click did not open the gain field"
    xdotool mousemove 2 2; sleep 0.2
    windows=$(mapped_windows)
    xdotool type --delay 50 -- "$value"; sleep 0.2
    xdotool key Return; sleep 0.8
    import -window root "$BR_TMP/typed.png"
    ! field_open "$BR_TMP/typed.png" || br_fail "$what: the field stayed open: the keys went elsewhere"
    [ "$(box_text "$BR_TMP/typed.png")" != "$before" ] || br_fail "$what: $value was not taken"
    [ "$what" = "a fresh editor" ] || [ "$(preset_line "$BR_TMP/typed.png")" = "$preset" ] \
        || br_fail "$what: Return changed the preset"
    [ "$(mapped_windows)" -eq "$windows" ] || br_fail "$what: Return opened a window (a menu)"
}

type_into_gain 5 "a fresh editor"

# The host takes the focus (a click on jalv's own controls), then the editor again.
xdotool mousemove $((ex + 500)) $((ey - 15)); sleep 0.2
xdotool click 1; sleep 0.5
type_into_gain 3 "after a click in the host"

# The main menu, opened and closed with Escape: its button keeps the keyboard focus.
xdotool mousemove $((ex + 1071)) $((ey + 23)); sleep 0.3
xdotool click 1; sleep 0.8
xdotool key Escape; sleep 0.5
type_into_gain 7 "after the main menu"
echo PASS
