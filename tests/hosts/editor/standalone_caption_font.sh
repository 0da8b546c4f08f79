#!/usr/bin/env bash
# At 100 % the captions read cleanly: in "Gain" and "Mix" the dot of the i stands apart
# from its stem, with a row of background between them. The app is started on a machine
# that has none of the Helvetica-like faces (its only font is DejaVu Sans), so what is
# drawn is the face built into the app.
# Usage: standalone_caption_font.sh <Quorvane app>
source "$(dirname "$0")/common_editor.sh"
app="$1"
br_temp_home
br_start_xvfb

# JUCE looks for fonts only in the folders JUCE_FONT_PATH names (instead of those in
# fonts.conf); the data folders are where Linux programs look for extra font trees.
mkdir -p "$BR_TMP/fonts" "$BR_TMP/share"
ln -s /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$BR_TMP/fonts/"
export JUCE_FONT_PATH="$BR_TMP/fonts" XDG_DATA_DIRS="$BR_TMP/share" XDG_DATA_HOME="$BR_TMP/share"

br_launch_app "$app"
br_find_editor
cp "$BR_TMP/editor.png" "$BR_TMP/shot.png"
sleep 0.5
import -window root "$BR_TMP/shot.png"

# Checks one caption drawn in the rectangle ($2, $3, 95, 20) of the editor: some column
# within two of x $4 runs up the i's stem, crosses a row of background and meets the dot;
# and the text's ink covers exactly the box "$5" ("x y width height", editor
# coordinates), where the built-in face puts it. A pixel counts as ink when it is at
# least half way from the caption's background to the text colour, and as background
# when it is at most a quarter of the way. Says what it found; fails saying what is
# there instead.
caption_reads()
{
    local name=$1 left=$2 top=$3
    convert "$BR_TMP/shot.png" -crop "95x20+$((ex + left))+$((ey + top))" +repage -depth 8 txt:- >"$BR_TMP/$name.txt"
    python3 - "$BR_TMP/$name.txt" "$@" <<'PY'
import re, sys
path, name, left, top, stem = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
box = tuple(int(v) for v in sys.argv[6].split())
pixels = {}
for line in open(path):
    m = re.match(r'(\d+),(\d+):.*#([0-9A-F]{6})', line)
    if m:
        c = m.group(3)
        pixels[left + int(m.group(1)), top + int(m.group(2))] = sum(int(c[i:i + 2], 16) for i in (0, 2, 4)) / 3
background = pixels[left, top]          # the rectangle's corner: clear of every letter
text = (0xE8 + 0xED + 0xF4) / 3         # the palette's text colour
cover = lambda x, y: (pixels[x, y] - background) / (text - background)
ink = lambda x, y: cover(x, y) >= 0.5

def finish(ok, message):
    print("%s: %s" % (name, message))
    sys.exit(0 if ok else 1)

seen = []
for x in range(stem - 2, stem + 3):
    rows = [y for y in range(top, top + 20) if ink(x, y)]
    if not rows:
        continue
    stemTop = rows[-1]
    while stemTop > top and ink(x, stemTop - 1):
        stemTop -= 1
    above = stemTop - 1
    if above < top:
        continue
    dot = [y for y in (above - 2, above - 1) if y >= top and ink(x, y)]
    seen.append("x %d: ink in rows %d-%d, row above %.0f %% covered, dot rows %s"
                % (x, stemTop, rows[-1], 100 * cover(x, above), dot or "none"))
    if rows[-1] - stemTop >= 4 and cover(x, above) <= 0.25 and dot:
        i = "the i at x %d has its stem in rows %d-%d, background in row %d and its dot from row %d up" \
            % (x, stemTop, rows[-1], above, dot[-1])
        break
else:
    finish(False, "the i shows no dot apart from its stem (%s)" % ("; ".join(seen) or "no ink"))

inked = [p for p in pixels if ink(*p)]
xs, ys = [x for x, _ in inked], [y for _, y in inked]
found = (min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1)
if found != box:
    finish(False, "the text's ink covers %d %d %d %d, not %d %d %d %d: another face or size" % (found + box))
finish(True, i)
PY
}

# Where the built-in face sets "Gain" and "Mix", each centred in its caption rectangle.
for caption in "Gain 948 134 1000 982 139 27 10" "Mix 948 215 997 986 220 19 10"; do
    set -- $caption
    found=$(caption_reads "$1" "$2" "$3" "$4" "${*:5}") || br_fail "$found"
    echo "$found"
done
echo PASS
