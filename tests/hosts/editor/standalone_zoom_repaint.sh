#!/usr/bin/env bash
# With audio stopped nothing in the editor animates, so nothing but the window system
# asks for a redraw. Choosing "200%" from the main menu with the mouse grows the window
# under a still pointer: the whole grown window must be drawn, not only the part it had
# before. Then the framework's own file dialog ("Save Preset to File...") is opened and
# cancelled with its button: the panel must show again where the dialog was.
# Usage: standalone_zoom_repaint.sh <Quorvane app>
source "$(dirname "$0")/common_editor.sh"
app="$1"
br_temp_home
# The 200 % window (2190 x 1246 with the wrapper's frame) grows right and down from
# where the 100 % one was centred; the screen leaves room for all of it.
br_start_xvfb 3400x2000
# No server: the app finds no audio device and processes nothing.
export JACK_DEFAULT_SERVER="quorvane-none-$$"

br_launch_app "$app"

# Where the editor is: the wrapper puts its title bar (and any notice) above it and a
# one-pixel border around the window. Sets ex, ey and the window geometry.
locate_editor()
{
    local height=$1
    eval "$(xdotool getwindowgeometry --shell "$window")"
    ex=$((X + 1)); ey=$((Y + HEIGHT - 1 - height))
}

# Fraction (0..1) of pure black pixels in the rectangle $2 (WxH+X+Y) of screenshot $1.
black_fraction()
{
    convert "$1" -crop "$2" +repage -fill white +opaque black -format '%[fx:1-mean]' info:
}

# Left-clicks at screen position ($1, $2) after the pointer has rested there.
click_at()
{
    xdotool mousemove "$1" "$2"; sleep 0.4
    xdotool mousedown 1; sleep 0.1; xdotool mouseup 1
}

# The geometry of the newest window titled $1, as wx, wy, ww, wh.
window_geometry()
{
    local id
    id=$(xdotool search --name "$1" | tail -1)
    eval "$(xdotool getwindowgeometry --shell "$id")"
    wx=$X; wy=$Y; ww=$WIDTH; wh=$HEIGHT
}

br_find_editor
cp "$BR_TMP/editor.png" "$BR_TMP/start.png"

# Chooses "Interface Size" > "$1%" from the main menu (the button at the right end of
# the top bar) with the mouse, the editor being shown at $2 percent. The pointer stays
# on the chosen entry.
choose_size()
{
    local percent=$1 current=$2 row
    click_at $((ex + 1071 * current / 100)) $((ey + 23 * current / 100))
    br_wait_for 10 xdotool search --name '^menu$' || br_fail "the main menu did not open"
    sleep 0.5
    window_geometry '^menu$'
    # "Interface Size" is the sixth of the seven rows (three separators between them);
    # the pointer rests on it, then moves right into the size menu that opens beside it.
    xdotool mousemove $((wx + ww / 4)) $((wy + wh * 143 / 188)); sleep 0.8
    xdotool mousemove $((wx + ww - 5)) $((wy + wh * 143 / 188)); sleep 0.5
    [ "$(xdotool search --name '^menu$' | wc -l)" -ge 2 ] || br_fail "the Interface Size menu did not open"
    window_geometry '^menu$'
    case $percent in 100) row=1 ;; 200) row=5 ;; esac
    click_at $((wx + ww / 4)) $((wy + wh * (2 * row + 1) / 12))
    br_wait_for 10 bash -c '! xdotool search --name "^menu$"' || br_fail "the menu stayed open"
}

# Whether the window system happens to send the app another event soon after the
# window has grown varies from run to run, so the window grows a few times.
for attempt in 1 2 3; do
    choose_size 200 100
    sleep 2
    locate_editor 1188
    [ "$WIDTH" -eq 2190 ] || br_fail "the window did not grow to 200 % (${WIDTH}x$HEIGHT)"
    import -window root "$BR_TMP/zoomed.png"
    found=$(br_panel_at "$BR_TMP/zoomed.png" "$ex" "$ey" 200) \
        || br_fail "the panel is not drawn at 200 % (growth $attempt): $found"
    black=$(black_fraction "$BR_TMP/zoomed.png" "1094x594+$((ex + 1094))+$((ey + 594))")
    awk -v b="$black" 'BEGIN { exit !(b < 0.01) }' \
        || br_fail "the bottom-right quarter of the grown editor is not drawn (growth $attempt, black fraction $black)"
    black=$(black_fraction "$BR_TMP/zoomed.png" "2188x1188+$ex+$ey")
    awk -v b="$black" 'BEGIN { exit !(b < 0.01) }' \
        || br_fail "parts of the grown editor are black (growth $attempt, black fraction $black)"
    [ $attempt -lt 3 ] || break
    choose_size 100 200
    sleep 1
    locate_editor 594
    [ "$WIDTH" -eq 1096 ] || br_fail "the window did not shrink to 100 % (${WIDTH}x$HEIGHT)"
done

# Preset menu (a click on the preset field), "Save Preset to File...": from the bottom,
# up past "Reset to Default", "Show Presets Folder" and "Load Preset from File..." (the
# delete entry is disabled for a factory preset).
import -window root "$BR_TMP/before.png"
click_at $((ex + 600)) $((ey + 46))
br_wait_for 10 xdotool search --name '^menu$' || br_fail "the preset menu did not open"
sleep 0.5
xdotool mousemove 0 0; sleep 0.5
xdotool key Up Up Up Up; sleep 0.3
xdotool key Return
br_wait_for 10 xdotool search --name '^Save Quorvane Preset$' || br_fail "the file dialog did not open"
sleep 1.5
window_geometry '^Save Quorvane Preset$'
dialog="${ww}x$wh+$wx+$wy"
import -window root "$BR_TMP/dialog.png"
changed=$(compare -metric AE -fuzz 2% -crop "$dialog" "$BR_TMP/before.png" "$BR_TMP/dialog.png" null: 2>&1 || true)
[ "${changed%% *}" -gt $((ww * wh / 2)) ] 2>/dev/null || br_fail "the file dialog is not shown at $dialog (changed pixels: $changed)"

# "Cancel" is the left one of the two buttons at its bottom right ("Cancel", "Save").
click_at $((wx + ww - 140)) $((wy + wh - 24))
br_wait_for 10 bash -c '! xdotool search --name "^Save Quorvane Preset$"' || br_fail "the file dialog did not close"
[ -z "$(find "$HOME" -name '*.brlm')" ] || br_fail "the dialog saved a preset instead of cancelling"
sleep 2
import -window root "$BR_TMP/closed.png"
# What may differ is the control under the resting pointer and its tooltip.
changed=$(compare -metric AE -fuzz 2% -crop "$dialog" "$BR_TMP/before.png" "$BR_TMP/closed.png" null: 2>&1 || true)
[ "${changed%% *}" -lt $((ww * wh / 50)) ] 2>/dev/null \
    || br_fail "the area the dialog covered is not drawn again (changed pixels: $changed of $((ww * wh)))"
echo PASS
