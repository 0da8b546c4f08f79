#!/usr/bin/env bash
# A damaged settings file never stops the app: it starts as usual, with its defaults,
# keeps the file it could not read beside the new one, byte for byte, under
# "Quorvane.settings.damaged-<date-time>", and says so once in a notice. The cases are
# the ways such a file comes about or is made to hurt: an instruction followed by text
# (which hangs the framework's own parser for ever), nesting deep enough to exhaust a
# recursive parser, an external entity, a file cut short, garbage and an empty file.
# A document that only the framework's parser cannot take may instead simply be read.
# Usage: standalone_damaged_settings.sh <Quorvane app> <br_state_tool>
source "$(dirname "$0")/editor/common_editor.sh"
app="$1"; tool="$2"
br_temp_home
br_start_xvfb
settings="$HOME/.config/Quorvane.settings"
notice='^Settings could not be read$'
mkdir -p "$HOME/.config"

state=$("$tool" make --live 12 --set mix=70)
expected=$("$tool" show "$state")
defaults=$("$tool" show "0.")
header='<?xml version="1.0" encoding="UTF-8"?>'
whole="$header
<PROPERTIES>
  <VALUE name=\"filterState\" val=\"$state\"/>
  <VALUE name=\"shouldMuteInput\" val=\"1\"/>
</PROPERTIES>"

# Writes case $1's file.
write_case()
{
    case $1 in
        instruction) printf '%s\n<PROPERTIES><VALUE name="filterState" val="%s"/><VALUE name="note"><?pi x?>text</VALUE></PROPERTIES>\n' "$header" "$state" ;;
        deep) python3 -c "import sys; sys.stdout.write('<PROPERTIES>' + '<a>' * 100000 + '</a>' * 100000 + '</PROPERTIES>')" ;;
        entity) printf '%s\n<!DOCTYPE PROPERTIES [<!ENTITY x SYSTEM "file:///etc/passwd">]>\n<PROPERTIES><VALUE name="lastStateFile" val="&x;"/></PROPERTIES>\n' "$header" ;;
        truncated) printf '%s' "$whole" | head -c 150 ;;
        garbage) python3 -c "import random, sys; random.seed(16); sys.stdout.buffer.write(bytes(random.randrange(256) for _ in range(3000)))" ;;
        empty) ;;
    esac >"$settings"
}

# Dismisses the notice with its OK button, at the middle of its bottom edge.
dismiss_notice()
{
    local id
    id=$(xdotool search --name "$notice" | head -1)
    eval "$(xdotool getwindowgeometry --shell "$id")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 40)); sleep 0.2
    xdotool mousedown 1; sleep 0.1; xdotool mouseup 1
    br_wait_for 10 bash -c "! xdotool search --name '$notice'" || br_fail "the notice did not close on OK"
}

for name in instruction deep entity truncated garbage empty; do
    rm -f "$HOME/.config/"*
    write_case "$name"
    cp "$settings" "$BR_TMP/original"

    # br_launch_app fails when no window shows: a parser that never returns.
    br_launch_app "$app"
    if br_wait_for 5 xdotool search --name "$notice"; then
        kept=("$HOME/.config/Quorvane.settings.damaged-"*)
        [ ${#kept[@]} -eq 1 ] && [ -f "${kept[0]}" ] || br_fail "$name: the refused file was not kept: $(ls -a "$HOME/.config")"
        cmp -s "${kept[0]}" "$BR_TMP/original" || br_fail "$name: the kept file differs from the one refused"
        dismiss_notice
        outcome="kept as $(basename "${kept[0]}")"
        wanted=$defaults
    else
        [ "$name" = instruction ] || br_fail "$name: no notice that the settings file was refused"
        [ -z "$(ls "$HOME/.config/" | grep damaged)" ] || br_fail "$name: a file was kept but no notice shown"
        outcome="read"
        wanted=$expected
    fi
    br_close_app
    saved=$(br_saved_state) || br_fail "$name: the new settings file does not parse: $(head -c 300 "$settings")"
    [ "$("$tool" show "$saved")" = "$wanted" ] || br_fail "$name: the app did not come back as expected ($outcome)"
    [ "$outcome" = read ] || cmp -s "${kept[0]}" "$BR_TMP/original" || br_fail "$name: the kept file changed"
    echo "$name: started, $outcome"
done

# The notice is shown once: the next start reads the file the app wrote and says nothing.
br_launch_app "$app"
! br_wait_for 5 xdotool search --name "$notice" || br_fail "the notice came back at the next start"
[ "$(ls "$HOME/.config/" | grep -c damaged)" -eq 1 ] || br_fail "another file was kept: $(ls "$HOME/.config")"
br_close_app
echo PASS
