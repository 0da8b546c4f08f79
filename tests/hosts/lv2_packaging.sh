#!/usr/bin/env bash
# What an LV2 linter checks, on the built bundle: every Turtle file parses (sordi) and
# validates against the installed LV2 schemas (lv2_validate) with no error beyond the
# known ones of JUCE's generator; the presets are the twenty factory programs with
# Turtle-safe names; enumeration scale points lie inside their parameter's range; the
# version is declared; and both shared objects export nothing but their entry points
# and do not link libjack.
# Usage: BR_VERSION=<project version> lv2_packaging.sh <folder holding Quorvane.lv2> <Quorvane.vst3 bundle>
source "$(dirname "$0")/common.sh"
bundle="$1/Quorvane.lv2"
vst3="$2"
baseline="$(cd "$(dirname "$0")" && pwd)/lv2_validate_baseline.txt"
failures=0
check() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

[ -d "$bundle" ] || br_fail "no bundle at $bundle"
cd "$bundle"

# --- every file parses ----------------------------------------------------------------
for ttl in *.ttl; do
    if ! sordi "$ttl" "file://$bundle/$ttl" >"$BR_TMP/$ttl.nt" 2>"$BR_TMP/$ttl.err" || [ -s "$BR_TMP/$ttl.err" ]; then
        check "$ttl does not parse: $(cat "$BR_TMP/$ttl.err")"
    fi
done
cat "$BR_TMP"/*.nt >"$BR_TMP/all.nt"

# --- schema validation against the baseline -------------------------------------------
lv2_validate ./*.ttl >"$BR_TMP/validate.txt" 2>&1 || true
# One line per distinct error: blank nodes, program numbers and our URI prefix replaced,
# so the same complaint about each of twenty presets reads as one.
python3 - "$BR_TMP/validate.txt" >"$BR_TMP/errors.txt" <<'PY'
import re, sys
text = open(sys.argv[1]).read()
found = set()
for block in re.split(r'\n(?=error:|warning:)', text):
    lines = [l.strip() for l in block.strip().split('\n') if l.strip()]
    if not lines or not lines[0].startswith(('error:', 'warning:')):
        continue
    lines = [l for l in lines if not l.startswith('Found ')]
    parts = [re.sub(r'^b\d+$', '_', l).replace('https://tarnwick.audio/plugins/quorvane', '<plugin>') for l in lines]
    found.add(re.sub(r'(<plugin>:Program \| )\d+$', r'\1N', ' | '.join(parts)))
print('\n'.join(sorted(found)))
PY
new=$(grep -vxF -f <(grep -v '^#' "$baseline" | sed '/^$/d') "$BR_TMP/errors.txt" || true)
[ -z "$new" ] || check "lv2_validate reports errors beyond JUCE's known ones:
$new"
gone=$(grep -v '^#' "$baseline" | sed '/^$/d' | grep -vxF -f "$BR_TMP/errors.txt" || true)
[ -z "$gone" ] || echo "note: known errors no longer reported (the baseline can shrink):
$gone"

# --- presets, scale points and version, read from the parsed triples ------------------
python3 - "$BR_TMP/all.nt" <<'PY' || failures=$((failures + 1))
import os, re, sys
triple = re.compile(r'^(\S+) <([^>]+)> (.+) \.$')
def literal(o):
    m = re.match(r'^"((?:[^"\\]|\\.)*)"', o)
    return m.group(1) if m else None
facts = []
for line in open(sys.argv[1]):
    m = triple.match(line.strip())
    if m:
        facts.append(m.groups())
def objects(s, p):
    return [o for (s2, p2, o) in facts if s2 == s and p2.endswith(p)]
def subjects(p, o):
    return [s for (s, p2, o2) in facts if p2.endswith(p) and o2 == o]

failed = False
def fail(msg):
    global failed
    failed = True
    print('FAIL: ' + msg, file=sys.stderr)

expected = ["Full Reset", "Gentle Tremolo", "Deep Tremolo", "Classic Vibrato", "Wide Auto-Pan",
            "Slow Stereo Drift", "Chorus Shimmer", "Rotary Fast", "Rotary Slow", "Sync Chopper 1-16",
            "Sync Gate Pan 1-8", "Saw Swells 1-4", "Sidechain Pump", "Helicopter", "Ring Mod Bell",
            "Seasick", "Tape Warble", "Spinning Top", "Underwater", "Stereo Widener"]
presets = subjects('22-rdf-syntax-ns#type', '<http://lv2plug.in/ns/ext/presets#Preset>')
def presetNumber(uri):
    m = re.search(r'preset(\d+)>$', uri)
    return int(m.group(1)) if m else 0
names = [literal(objects(p, 'rdf-schema#label')[0]) for p in sorted(presets, key=presetNumber)]
if names != expected:
    fail('presets %s, expected the twenty factory programs in order' % names)
for name in names:
    # The generator writes names between double quotes without escaping them.
    if name is None or re.search(r'["\\\n\r]', name):
        fail('preset name %r is not safe inside a Turtle string' % name)

plugin = '<https://tarnwick.audio/plugins/quorvane>'
version = os.environ['BR_VERSION']  # major.minor.micro, as the build declares it
minor, micro = version.split('.')[1:3]
for predicate, value in (('lv2core#minorVersion', '"%s"' % minor), ('lv2core#microVersion', '"%s"' % micro)):
    got = [o.split('^^')[0] for o in objects(plugin, predicate)]
    if got != [value]:
        fail('%s is %s, expected %s' % (predicate, got, value))
releases = objects(plugin, 'doap#release')
revisions = [literal(o) for r in releases for o in objects(r, 'doap#revision')]
if revisions != [version]:
    fail('doap:revision is %s, expected %s' % (revisions, version))

def number(o):
    return float(literal(o))
for (param, p, point) in [f for f in facts if f[1].endswith('lv2core#scalePoint')]:
    low, high = number(objects(param, 'lv2core#minimum')[0]), number(objects(param, 'lv2core#maximum')[0])
    value = number(objects(point, '22-rdf-syntax-ns#value')[0])
    label = literal(objects(point, 'rdf-schema#label')[0])
    if not low <= value <= high:
        fail('%s: scale point "%s" has value %g outside %g..%g' % (param, label, value, low, high))
    elif low == 0 and high > 1 and value != int(value):
        fail('%s: scale point "%s" has value %g, not a choice index' % (param, label, value))
sys.exit(1 if failed else 0)
PY

# --- exported symbols ------------------------------------------------------------------
exports() { nm -D --defined-only "$1" | awk '{print $3}' | sort | tr '\n' ' '; }
lv2_exports=$(exports "$bundle/libQuorvane.so")
[ "$lv2_exports" = "lv2_descriptor lv2ui_descriptor " ] || check "the LV2 object exports: $lv2_exports"
vst3_exports=$(exports "$vst3/Contents/x86_64-linux/Quorvane.so")
[ "$vst3_exports" = "GetPluginFactory ModuleEntry ModuleExit " ] || check "the VST3 object exports: $vst3_exports"

# Only the standalone app talks to JACK; a plug-in that needed libjack would not load in
# a host on a system without it.
for object in "$bundle/libQuorvane.so" "$vst3/Contents/x86_64-linux/Quorvane.so"; do
    ! readelf -d "$object" | grep -q 'NEEDED.*libjack' || check "$(basename "$object") links libjack"
done

[ "$failures" -eq 0 ] || exit 1
echo PASS
