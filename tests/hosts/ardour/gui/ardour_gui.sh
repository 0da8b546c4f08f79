# Ardour 7's own GUI (Debian's `ardour`) on a private X display with openbox, holding one
# track with the plug-in, whose editor Ardour opens by itself on load. Source this file;
# its functions start and stop all that, and close and reopen the editor as a user does.
#
# Everything runs with a private HOME and the plug-in copied to a private folder (as in
# ../ardour_session.sh). Ardour's output goes to $AG_OUT/ardour.log and screenshots to
# $AG_OUT: that folder outlives the run (set AG_OUT to choose it), the rest is removed.
# Ardour, openbox and the X server are ended, newest first, when the script exits for
# whatever reason.
source "$(dirname "${BASH_SOURCE[0]}")/../../editor/common_editor.sh"

# common.sh cleans up on EXIT, which bash does not run when a signal kills it.
trap 'exit 130' INT
trap 'exit 143' TERM

ag_here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
AG_OUT=${AG_OUT:-$(mktemp -d "${TMPDIR:-/tmp}/quorvane-ardour-gui.XXXXXX")}
mkdir -p "$AG_OUT"
ag_log="$AG_OUT/ardour.log"
ag_pid=""
ag_exit_status=""
ag_format=""
ag_session=""
ag_editor=""
ag_mixer_requested=""

# ---- the plug-in, the settings and the session -------------------------------------

# Prints name, size and time of the files $2... in bundle $1.
ag_bundle_stamp()
{
    local bundle=$1
    shift
    (cd "$bundle" && stat -c '%n %s %Y' "$@") 2>/dev/null
}

ag_same_files()
{
    local a=$1 b=$2 file
    shift 2
    for file in "$@"; do cmp -s "$a/$file" "$b/$file" || return 1; done
}

# Copies bundle $1 into folder $2 once its files $3... are all there and have kept their
# sizes and times for a second. A rebuild removes and rewrites the artefacts in several
# goes, and a copy taken midway would load half a library, so this waits up to
# $AG_BUNDLE_WAIT seconds (default 600) for a whole bundle.
ag_copy_bundle()
{
    local bundle=$1 dest=$2
    shift 2
    local copy="$dest/${bundle##*/}" deadline=$((SECONDS + ${AG_BUNDLE_WAIT:-600})) stamp
    until stamp=$(ag_bundle_stamp "$bundle" "$@") && sleep 1 && [ "$(ag_bundle_stamp "$bundle" "$@")" = "$stamp" ] \
        && rm -rf "$copy" && cp -r "$bundle" "$dest/" 2>/dev/null && ag_same_files "$bundle" "$copy" "$@"; do
        [ $SECONDS -lt $deadline ] || br_fail "no complete bundle at $bundle after ${AG_BUNDLE_WAIT:-600} s"
        echo "waiting for a complete $bundle (a rebuild may be writing it)" >&2
        sleep 5
    done
}

# A private HOME, and a copy of the plug-in of format $1 (LV2 or VST3) from the folder
# holding Quorvane.lv2 ($2) or Quorvane.vst3 ($3) where Ardour finds it at once.
ag_install_plugin()
{
    ag_format=$1
    br_temp_home
    export XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache" XDG_DATA_HOME="$HOME/.local/share"
    export LV2_PATH="$BR_TMP/lv2" VST3_PATH="$BR_TMP/vst3"
    mkdir -p "$LV2_PATH" "$VST3_PATH"
    case $ag_format in
    LV2)
        ag_copy_bundle "$2/Quorvane.lv2" "$LV2_PATH" libQuorvane.so manifest.ttl dsp.ttl ui.ttl
        # Ardour files an LV2 under its class from the core specification (lv2-dev).
        local dir
        for dir in /usr/lib/lv2 /usr/local/lib/lv2 /usr/lib/*/lv2; do
            [ -d "$dir/core.lv2" ] && ln -s "$dir/core.lv2" "$LV2_PATH/" && break
        done
        ;;
    VST3)
        ag_copy_bundle "$3/Quorvane.vst3" "$VST3_PATH" Contents/x86_64-linux/Quorvane.so
        # Ardour trusts its VST3 scan only when the cache is a whole second newer than the
        # module; without one the GUI scans at start-up behind a dialog of its own.
        find "$VST3_PATH" -exec touch -d "@$(($(date +%s) - 2))" {} +
        # The scanner loads, queries and unloads the plug-in: one that hangs on unloading
        # would hold it for ever.
        local status=0
        LD_LIBRARY_PATH=/usr/lib/ardour7 timeout 120 /usr/lib/ardour7/ardour-vst3-scanner -q "$VST3_PATH/Quorvane.vst3" \
            >"$AG_OUT/vst3-scan.log" 2>&1 || status=$?
        [ $status -ne 124 ] || br_fail "Ardour's VST3 scanner did not finish within 120 s (the plug-in hangs on unloading?)"
        [ $status -eq 0 ] || br_fail "Ardour's VST3 scanner failed with status $status: $(cat "$AG_OUT/vst3-scan.log")"
        ;;
    *) br_fail "format must be LV2 or VST3, not $ag_format" ;;
    esac
}

# Ardour's settings for an unattended start: no first-run wizard (the .a7 marker), the
# None (Dummy) backend offered and remembered as the last engine used, so that Ardour
# starts it without the audio set-up dialog (libs/ardour/ardour/rc_configuration_vars.h,
# EngineControl::get_state in gtk2_ardour/engine_dialog.cc). $1 is "destroy" to have a
# closed plug-in window destroyed (PluginGUIDestroyAny) or "hide" for Ardour's default,
# which keeps it for the next time.
ag_write_ardour_config()
{
    local behaviour dir="$XDG_CONFIG_HOME/ardour7"
    case $1 in
    destroy) behaviour=PluginGUIDestroyAny ;;
    hide) behaviour=PluginGUIHide ;;
    *) br_fail "plug-in window behaviour must be destroy or hide, not $1" ;;
    esac
    mkdir -p "$dir"
    touch "$dir/.a7"
    cat >"$dir/config" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <Config>
    <Option name="hide-dummy-backend" value="0"/>
    <Option name="try-autostart-engine" value="1"/>
  </Config>
  <Extra>
    <AudioMIDISetup>
      <EngineStates>
        <State backend="None (Dummy)" driver="" device="Silence" input-device="" output-device=""
               sample-rate="48000" buffer-size="1024" n-periods="0" input-latency="0" output-latency="0"
               lm-input="" lm-output="" active="1" use-buffered-io="0" midi-option="No MIDI I/O"
               lru="$(date +%s)">
          <MIDIDevices/>
        </State>
      </EngineStates>
    </AudioMIDISetup>
  </Extra>
</Ardour>
EOF
    cat >"$dir/ui_config" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <UI>
    <Option name="plugin-gui-behavior" value="$behaviour"/>
  </UI>
</Ardour>
EOF
}

# The session of one_track.lua, saved with the plug-in's own editor open the way Ardour
# notes an open window (<Extra><UI><Window name="P-<route id>-<processor id>" .../>), so
# that Ardour opens it by itself on load. Sets ag_session to the .ardour file.
ag_make_session()
{
    local folder="$BR_TMP/session"
    timeout 300 ardour7-lua "$ag_here/one_track.lua" "$ag_format" "$folder" quorvane \
        >"$AG_OUT/session-lua.log" 2>&1 \
        || br_fail "ardour7-lua could not make the session: $(tail -20 "$AG_OUT/session-lua.log")"
    ag_session="$folder/quorvane.ardour"
    python3 - "$ag_session" <<'PY' || br_fail "no plug-in in the session $ag_session"
import sys, xml.etree.ElementTree as ET
path = sys.argv[1]
tree = ET.parse(path)
root = tree.getroot()
route = next(r for r in root.iter('Route') if r.get('name') == 'Tone')
plugin = next(p for p in route.iter('Processor') if p.get('type') in ('lv2', 'vst3'))
extra = root.find('Extra')
if extra is None:
    extra = ET.SubElement(root, 'Extra')
ui = extra.find('UI')
if ui is None:
    ui = ET.SubElement(extra, 'UI')
window = ET.SubElement(ui, 'Window')
window.set('name', 'P-%s-%s' % (route.get('id'), plugin.get('id')))
window.set('visible', '1')
window.set('custom-ui', '1')
tree.write(path, encoding='UTF-8', xml_declaration=True)
PY
}

# ---- starting and stopping ----------------------------------------------------------

# The pointer rests in the screen's top-left corner, over no window: Ardour opens a
# plug-in window centred on the pointer (then pushed fully on screen), and draws what lies
# under the pointer lighter.
ag_park_pointer() { xdotool mousemove 0 0; }

# Starts Xvfb on display $1 (1920x1080, 24 bits) and waits until it is ours: the lock
# file names our server (another test may have started one on the same number a moment
# before) and it answers. -noreset: a server starts over when its last client leaves and
# turns away whoever connects meanwhile; openbox started right after that check's client
# had left found no display in 4 of 40 tries, and none in 40 with -noreset.
ag_try_xvfb()
{
    Xvfb ":$1" -screen 0 1920x1080x24 -nolisten tcp -noreset >"$AG_OUT/xvfb.log" 2>&1 &
    local pid=$!
    local deadline=$((SECONDS + 30))
    while kill -0 "$pid" 2>/dev/null && [ $SECONDS -lt $deadline ]; do
        if [ "$(tr -d ' \n' 2>/dev/null <"/tmp/.X$1-lock")" = "$pid" ] && DISPLAY=":$1" xdpyinfo >/dev/null 2>&1; then
            BR_PIDS+=("$pid")
            export DISPLAY=":$1"
            return 0
        fi
        sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
    return 1
}

# The X display with openbox managing it: closing a window through the window manager is
# how a title bar's close button reaches Ardour. Displays from 900 up: clear of a
# desktop's :0 and of the ranges the other tests start from.
ag_start_display()
{
    local n started=""
    for n in $(seq 900 999); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        ag_try_xvfb "$n" && started=1 && break
    done
    [ -n "$started" ] || br_fail "no X display: $(cat "$AG_OUT/xvfb.log")"
    openbox --sm-disable >"$AG_OUT/openbox.log" 2>&1 &
    BR_PIDS+=($!)
    br_wait_for 30 wmctrl -m || br_fail "openbox did not take the display: $(cat "$AG_OUT/openbox.log")"
    ag_park_pointer
}

# Starts Ardour on the session, its output in $ag_log; sets ag_pid. /usr/bin/ardour execs
# the real binary, so ag_pid is Ardour itself. The locale is plain so that Ardour's window
# titles are the English ones searched for.
ag_start_ardour()
{
    LANG=C.UTF-8 LC_ALL=C.UTF-8 ardour -a -n "$ag_session" >>"$ag_log" 2>&1 &
    ag_pid=$!
    BR_PIDS+=("$ag_pid")
    ag_exit_status=""
    ag_mixer_requested=""
}

# Everything, once ag_install_plugin has run: settings ($1: destroy or hide), session,
# display, window manager and Ardour.
ag_start()
{
    ag_write_ardour_config "$1"
    ag_make_session
    ag_start_display
    ag_start_ardour
}

# Ends Ardour, openbox and the X server, newest first, and removes the private files.
ag_stop()
{
    br_cleanup
    BR_PIDS=()
}

# ---- what became of Ardour ----------------------------------------------------------

ag_ardour_alive() { [ -n "$ag_pid" ] && kill -0 "$ag_pid" 2>/dev/null; }
ag_ardour_ended() { ! ag_ardour_alive; }

# Sets ag_exit_status once Ardour has ended: its status, with the signal's name if one
# ended it.
ag_collect_exit_status()
{
    [ -z "$ag_exit_status" ] && ag_ardour_ended || return 0
    local status=0
    wait "$ag_pid" 2>/dev/null || status=$?
    ag_exit_status=$status
    [ "$status" -le 128 ] || ag_exit_status="$status (SIG$(kill -l $((status - 128)) 2>/dev/null || echo "$((status - 128))"))"
}

# What became of Ardour: running, or its exit status and the X error that ended it, if
# one did; then the last $1 lines of its log (default 25).
ag_report_ardour()
{
    if ag_ardour_alive; then
        echo "Ardour (pid $ag_pid) is running"
    else
        ag_collect_exit_status
        echo "Ardour (pid $ag_pid) has exited with status $ag_exit_status"
        if grep -q 'BadWindow' "$ag_log"; then
            echo "it hit an X error on a window that no longer exists (BadWindow):"
            grep -A4 'BadWindow' "$ag_log" | grep -E 'BadWindow|QueryTree|request_code|opcode' | head -6 | sed 's/^/    /'
            if grep -qE 'X_QueryTree|request_code 15|opcode of failed request: +15' "$ag_log"; then
                echo "    the failed request was X_QueryTree (request code 15)"
            fi
        fi
    fi
    echo "last lines of $ag_log:"
    tail -n "${1:-25}" "$ag_log" | sed 's/^/    /'
}

# True when Ardour is still running $1 seconds from now; returns as soon as it ends.
ag_ardour_survives() { ! ag_poll "$1" ag_ardour_ended; }

ag_screenshot()
{
    import -window root "$AG_OUT/$1.png"
    echo "$AG_OUT/$1.png"
}

# ---- windows --------------------------------------------------------------------------

# Polls command $2... until it succeeds, for at most $1 seconds, and gives up at once when
# Ardour has ended: nothing it waits for can happen then.
ag_poll()
{
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        ag_ardour_alive && [ $SECONDS -lt $deadline ] || return 1
        sleep 0.1
    done
}

# Sets X, Y, WIDTH, HEIGHT to the screen rectangle of window $1's contents. xwininfo's,
# because xdotool counts openbox's frame twice in the position of a framed window.
ag_window_geometry()
{
    local info
    info=$(xwininfo -id "$1" 2>/dev/null) || return 1
    eval "$(awk '/Absolute upper-left X:/ { print "X=" $4 } /Absolute upper-left Y:/ { print "Y=" $4 }
                 /^ *Width:/ { print "WIDTH=" $2 } /^ *Height:/ { print "HEIGHT=" $2 }' <<<"$info")"
}

# The title Ardour gives the editor of the track's plug-in: "Tone: Quorvane (by Tarnwick
# Audio) [LV2]", or [VST3] (ProcessorBox::generate_processor_title).
ag_editor_title() { echo "Tone: Quorvane (by Tarnwick Audio) [$ag_format]"; }

# Prints the id of Ardour's editor window for the plug-in while it is mapped, nothing
# otherwise. JUCE's window inside it may carry the plug-in's name too, hence the whole
# title.
ag_visible_editor()
{
    local id title
    title=$(ag_editor_title)
    for id in $(xdotool search --onlyvisible --pid "$ag_pid" --name Quorvane 2>/dev/null || true); do
        if [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$title" ]; then
            echo "$id"
            return 0
        fi
    done
}

ag_editor_shown() { ag_editor=$(ag_visible_editor); [ -n "$ag_editor" ]; }
ag_editor_gone() { [ -z "$(ag_visible_editor)" ]; }

# Waits up to $1 seconds for the plug-in's editor window to be mapped; sets ag_editor.
ag_wait_for_editor() { ag_poll "$1" ag_editor_shown; }

# True when the plug-in's own editor is drawn in Ardour's window $ag_editor: Ardour puts
# its bar (presets, bypass, ...) at the top and the editor, 1094x594 at 100 %, fills the
# rest. What the last look found is in $AG_OUT/editor-check.log.
ag_editor_drawn()
{
    local X Y WIDTH HEIGHT
    ag_window_geometry "$ag_editor" || return 1
    import -window root "$BR_TMP/editor.png" 2>/dev/null || return 1
    br_panel_at "$BR_TMP/editor.png" "$X" $((Y + HEIGHT - 594)) >"$AG_OUT/editor-check.log"
}

# Waits up to $1 seconds for the editor to be drawn in its window.
ag_wait_for_editor_drawn() { ag_poll "$1" ag_editor_drawn; }

# Closes the editor as its title bar's close button does: openbox asks Ardour to close it
# (WM_DELETE_WINDOW), and Ardour destroys or hides it. Waits up to $1 seconds for it to go.
ag_close_editor()
{
    [ -n "$ag_editor" ] && wmctrl -ic "$ag_editor" && ag_poll "$1" ag_editor_gone
}

# Ardour's main window (editor and mixer pages), "<session> - Ardour".
ag_main_window()
{
    local ids
    ids=$(xdotool search --onlyvisible --pid "$ag_pid" --name ' - Ardour$' 2>/dev/null) || return 1
    echo "${ids%%$'\n'*}"
}

ag_main_has_focus() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$(ag_main_window)" ]; }

# ---- the mixer strip ------------------------------------------------------------------

# Prints "x y", the screen point in the middle of the plug-in's slot in the mixer strip,
# when it is on screen. The slot is found in a screenshot of Ardour's main window rather
# than at a fixed offset from it: the strip's place depends on the fonts, the pane sizes
# and the sidebar Ardour restores, while the slot's look is fixed by the theme. A
# pre-fader plug-in is a band of Ardour's "widget:ruddy" (#7c3a3a, shaded top to bottom,
# lighter under the pointer) about 100 by 20 pixels, its name in light letters; nothing
# else on the mixer page is a band of that colour (one_track.lua makes the track cyan;
# the record button is red too, but a small disc). The middle of the band is the name:
# the LED at its left end would bypass the plug-in.
ag_find_processor()
{
    local main X Y WIDTH HEIGHT
    main=$(ag_main_window) && ag_window_geometry "$main" || return 1
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage -depth 8 "$BR_TMP/mixer.ppm" 2>/dev/null || return 1
    python3 - "$BR_TMP/mixer.ppm" "$X" "$Y" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
# A binary PPM: "P6 <width> <height> <max>" and one whitespace, then RGB bytes.
fields, pos = [], 0
while len(fields) < 4:
    while data[pos:pos + 1].isspace():
        pos += 1
    end = pos
    while not data[end:end + 1].isspace():
        end += 1
    fields.append(data[pos:end])
    pos = end
assert fields[0] == b'P6' and fields[3] == b'255', 'not an 8-bit binary PPM'
width, height = int(fields[1]), int(fields[2])
pixels = data[pos + 1:]

def ruddy(r, g, b):
    return 0x45 <= r <= 0xa8 and 0.38 * r <= g <= 0.7 * r and abs(g - b) <= 8

# Every second row and column is plenty for a band 100 by 20 pixels. The letters break
# the band's middle rows into short runs, joined again across gaps of a few letters.
STEP, MIN_RUN, MIN_ROWS, MAX_GAP = 2, 60, 8, 24

def runs(row):
    start = last = None
    for x in range(0, width, STEP):
        if ruddy(*row[3 * x:3 * x + 3]):
            if start is None or x - last > MAX_GAP:
                if start is not None:
                    yield start, last + STEP
                start = x
            last = x
    if start is not None:
        yield start, last + STEP

bands = []  # [left, right, top, bottom] of runs stacked row on row
for y in range(0, height, STEP):
    for start, end in runs(pixels[y * width * 3:(y + 1) * width * 3]):
        if end - start < MIN_RUN:
            continue
        for band in bands:
            if band[3] >= y - STEP and band[0] < end and start < band[1]:
                band[0], band[1], band[3] = min(band[0], start), max(band[1], end), y
                break
        else:
            bands.append([start, end, y, y])
bands = [b for b in bands if b[3] - b[2] + STEP >= MIN_ROWS]
if len(bands) != 1:
    sys.stderr.write('plug-in slots found (left, right, top, bottom in the window): %s\n' % bands)
    sys.exit(1)
left, right, top, bottom = bands[0]
print(int(sys.argv[2]) + (left + right) // 2, int(sys.argv[3]) + (top + bottom) // 2)
PY
}

# Sets ag_processor_at to what ag_find_processor prints; what the last search saw stays in
# $AG_OUT/processor-search.log.
ag_processor_on_screen() { ag_processor_at=$(ag_find_processor 2>"$AG_OUT/processor-search.log") && [ -n "$ag_processor_at" ]; }

# Brings up the mixer page once (alt+M, Ardour's "show mixer") and waits up to $1 seconds
# for the plug-in's slot on it. Only the first call presses the keys: on the mixer page
# they go back to the editor page, and a slot not seen yet may only be waiting for Ardour
# to draw what a closed window uncovered.
ag_show_mixer()
{
    if [ -z "$ag_mixer_requested" ]; then
        local main
        main=$(ag_main_window) || return 1
        wmctrl -ia "$main"
        ag_poll 10 ag_main_has_focus || return 1
        xdotool key --clearmodifiers alt+m
        ag_mixer_requested=1
    fi
    ag_poll "$1" ag_processor_on_screen
}

# Double-clicks the plug-in's slot in the mixer strip (on screen: ag_show_mixer), as a user
# reopens its editor, and waits up to $1 seconds for the editor window to be mapped; sets
# ag_editor.
ag_reopen_editor_from_mixer()
{
    ag_poll "$1" ag_processor_on_screen || return 1
    local x y
    read -r x y <<<"$ag_processor_at"
    xdotool mousemove "$x" "$y" click --repeat 2 --delay 80 1
    ag_park_pointer
    ag_wait_for_editor "$1"
}
