#!/usr/bin/env bash
# The plug-in in Ardour, headless: Ardour's own Lua session tool (ardour7-lua, None/Dummy
# backend) lists it, plays a 1 kHz tone through it with a preset, mix 0, Ardour's bypass,
# a parameter and an automation lane, saves, reopens in a new process and renders the
# tempo-synced chopper at two tempos; analyse.py judges the renders and what Ardour read.
# The bundles are copied to a private folder (Ardour may write into a bundle when a
# preset is deleted) and found through LV2_PATH and VST3_PATH, with a private HOME; the
# VST3 is scanned by Ardour's own scanner, as Ardour does before it lists a new VST3.
# Usage: ardour_session.sh <LV2|VST3> <folder holding Quorvane.lv2> <Quorvane.vst3 bundle>
source "$(dirname "$0")/../common.sh"
here="$(cd "$(dirname "$0")" && pwd)"
format="$1"
lv2_bundle="$(realpath -m "$2/Quorvane.lv2")"
vst3_bundle="$(realpath -m "$3")"
ardour_lib=/usr/lib/ardour7  # where Debian's ardour keeps the scanner and its libraries

command -v ardour7-lua >/dev/null && [ -x "$ardour_lib/ardour-vst3-scanner" ] \
    || br_fail "Ardour 7 is not installed (Debian package ardour)"
[ -d "$lv2_bundle" ] && [ -d "$vst3_bundle" ] || br_fail "no bundles at $lv2_bundle and $vst3_bundle"

br_temp_home
export XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache" XDG_DATA_HOME="$HOME/.local/share"
mkdir -p "$BR_TMP/lv2" "$BR_TMP/vst3" "$XDG_CONFIG_HOME/ardour7/scripts"
cp -r "$lv2_bundle" "$BR_TMP/lv2/"
cp -r "$vst3_bundle" "$BR_TMP/vst3/"
# Ardour takes a VST3 scan as current only when its cache file is at least a second newer
# than the module (whole seconds); a copy made in the same second as the scan would be
# scanned, then not listed.
find "$BR_TMP/vst3" -exec touch -d "@$(($(date +%s) - 2))" {} +
# Ardour names an LV2's class from the LV2 core specification, which a system's LV2 path
# holds (Debian: lv2-dev); without it every plug-in is filed under "Plugin".
for dir in /usr/lib/lv2 /usr/local/lib/lv2 /usr/lib/*/lv2; do
    [ -d "$dir/core.lv2" ] && ln -s "$dir/core.lv2" "$BR_TMP/lv2/" && break
done
[ -e "$BR_TMP/lv2/core.lv2" ] || br_fail "the LV2 core specification (core.lv2) is not installed"
export LV2_PATH="$BR_TMP/lv2" VST3_PATH="$BR_TMP/vst3"
cp "$here/test_tone.lua" "$XDG_CONFIG_HOME/ardour7/scripts/"

if [ "$format" = VST3 ]; then
    LD_LIBRARY_PATH="$ardour_lib" "$ardour_lib/ardour-vst3-scanner" -q "$BR_TMP/vst3/Quorvane.vst3" \
        >"$BR_TMP/scan.log" 2>&1 || br_fail "Ardour's VST3 scanner failed: $(cat "$BR_TMP/scan.log")"
fi

# Runs one ardour7-lua process; its output goes to $BR_TMP/<name>.out.
run_lua()
{
    local name=$1; shift
    timeout 300 ardour7-lua "$@" >"$BR_TMP/$name.out" 2>&1 \
        || br_fail "ardour7-lua $name ended with status $?: $(tail -20 "$BR_TMP/$name.out")"
}

run_lua baseline-create "$here/baseline.lua" create "$BR_TMP/baseline"
run_lua baseline-reopen "$here/baseline.lua" reopen "$BR_TMP/baseline"
run_lua create "$here/session.lua" "$format" create "$BR_TMP/session"
run_lua reopen "$here/session.lua" "$format" reopen "$BR_TMP/session"

# Log lines other than the reports, with addresses blanked out; "new" ones are those the
# baseline sessions did not print, less one of each line the script said to expect.
log_lines() { grep -hv -e '^result	' -e '^expect-log	' -e '^[[:space:]]*$' "$@" | sed -E 's/0x[0-9a-f]+/0x?/g' || true; }
log_lines "$BR_TMP"/baseline-*.out | sort -u >"$BR_TMP/known.log"
grep -h '^result	' "$BR_TMP/create.out" "$BR_TMP/reopen.out" >"$BR_TMP/report.txt" || true
python3 - "$BR_TMP/known.log" <(log_lines "$BR_TMP/create.out" "$BR_TMP/reopen.out") \
    <(grep -h '^expect-log	' "$BR_TMP/create.out" "$BR_TMP/reopen.out" | cut -f2) >"$BR_TMP/new.log" <<'PY'
import sys
known = set(open(sys.argv[1]).read().splitlines())
expected = open(sys.argv[3]).read().splitlines()
for line in open(sys.argv[2]).read().splitlines():
    if line in known:
        continue
    stripped = line.split(': ', 1)[-1]
    if stripped in expected:
        expected.remove(stripped)
        continue
    print(line)
PY

failures=0
if diff -r "$lv2_bundle" "$BR_TMP/lv2/Quorvane.lv2" >"$BR_TMP/bundle.diff" 2>&1; then
    echo "ok: the installed LV2 bundle is unchanged"
else
    echo "FAIL: the installed LV2 bundle is unchanged ($(head -3 "$BR_TMP/bundle.diff" | tr '\n' ' '))"
    failures=1
fi
python3 "$here/analyse.py" "$format" "$BR_TMP/session" "$BR_TMP/report.txt" "$BR_TMP/new.log" || failures=1
[ "$failures" -eq 0 ] || exit 1
echo PASS
