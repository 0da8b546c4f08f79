#!/usr/bin/env bash
# The plug-in's editor in Ardour 7's GUI, closed and reopened as a user does it: Ardour
# opens the editor with the session, then, <cycles> times, the title bar's close button
# (through openbox) closes it and a double-click on the plug-in in the mixer strip brings
# it back. Ardour is set to destroy a closed plug-in window, so every reopening builds a
# new editor in a new window while the old one's X windows are gone. Passes when the
# editor came back and drew itself every time and Ardour is still running at the end.
# Usage: close_reopen.sh <LV2|VST3> <cycles> <folder holding Quorvane.lv2> <folder holding Quorvane.vst3>
# Ardour's log and the screenshots stay in $AG_OUT (a new folder under /tmp by default).
source "$(dirname "$0")/ardour_gui.sh"
[ $# -eq 4 ] || br_fail "usage: $0 <LV2|VST3> <cycles> <lv2 folder> <vst3 folder>"
format=$1 cycles=$2
[[ $cycles =~ ^[0-9]+$ ]] || br_fail "cycles must be a number, not $cycles"
for tool in ardour ardour7-lua openbox wmctrl xdotool xwininfo import; do
    command -v $tool >/dev/null || br_fail "$tool is missing (Debian: ardour, openbox, wmctrl, xdotool, x11-utils, imagemagick)"
done

# Generous: a busy machine may take this long, a healthy Ardour far less.
open_limit=120 close_limit=30 reopen_limit=60

# Says what went wrong (Ardour's end first: whatever else failed then followed from it)
# and what became of Ardour, leaves a screenshot, and fails.
give_up()
{
    if ag_ardour_ended; then
        echo "FAIL: Ardour ended $when, $doing"
    else
        echo "FAIL: $when, $doing: $*"
    fi
    ag_report_ardour 30
    echo "screenshot: $(ag_screenshot failure 2>/dev/null || echo "none, the display is gone")"
    exit 1
}

seconds_since() { printf '%.2f' "$(bc <<<"${EPOCHREALTIME/,/.} - ${1/,/.}")"; }
window_name() { printf '0x%x' "$ag_editor"; }

echo "artefacts: $AG_OUT"
ag_install_plugin "$format" "$3" "$4"
ag_start destroy

when="at start-up"
started=$EPOCHREALTIME
doing="waiting for Ardour to open the editor by itself"
ag_wait_for_editor $open_limit || give_up "no $format editor within $open_limit s"
mapped=$(seconds_since "$started")
doing="waiting for the editor to draw itself"
ag_wait_for_editor_drawn $open_limit || give_up "not drawn within $open_limit s: $(cat "$AG_OUT/editor-check.log")"
echo "Ardour opened the editor by itself: mapped after $mapped s, drawn after $(seconds_since "$started") s," \
    "window $(window_name) titled '$(xdotool getwindowname "$ag_editor")'"

for ((cycle = 1; cycle <= cycles; cycle++)); do
    when="in cycle $cycle"
    started=$EPOCHREALTIME
    doing="closing the editor with the title bar's close button"
    ag_close_editor $close_limit || give_up "the editor did not close within $close_limit s"
    closed=$(seconds_since "$started")
    doing="looking for the plug-in in the mixer strip"
    ag_show_mixer $reopen_limit || give_up "not found within $reopen_limit s: $(cat "$AG_OUT/processor-search.log")"
    doing="reopening the editor with a double-click on the plug-in"
    clicked=$EPOCHREALTIME
    ag_reopen_editor_from_mixer $reopen_limit || give_up "no editor within $reopen_limit s"
    mapped=$(seconds_since "$clicked")
    doing="waiting for the reopened editor to draw itself"
    ag_wait_for_editor_drawn $reopen_limit || give_up "not drawn within $reopen_limit s: $(cat "$AG_OUT/editor-check.log")"
    echo "cycle $cycle: closed in $closed s; mapped $mapped s after the double-click;" \
        "whole cycle $(seconds_since "$started") s (window $(window_name))"
done

# A close has ended Ardour a moment after its window was gone: give it that moment.
when="after the last cycle" doing="watching Ardour for 3 s"
ag_ardour_survives 3 || give_up "Ardour ended"
echo "PASS: the $format editor closed and came back $cycles times and Ardour is still running"
