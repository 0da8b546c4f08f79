"""Rewrites the scale points of the LV2 bundle's dsp.ttl in each parameter's own units.

JUCE 7's LV2 generator writes the scale points of choice parameters as normalised
positions (x Factor's entries as 0, 0.0667 ... 1) while the parameter's range and every
value a host sends are plain choice indices (0 ... 15). Hosts then label the wrong
entries and set the wrong choice when one is picked. Run after the generator; running
it twice changes nothing, since values already at or above 1 step apart are left as they are."""
import re
import sys

path = sys.argv[1]
text = open(path, encoding='utf-8').read()


def fix_block(block):
    lo = re.search(r'lv2:minimum\s+(-?[0-9.eE+-]+)', block)
    hi = re.search(r'lv2:maximum\s+(-?[0-9.eE+-]+)', block)
    if not (lo and hi and 'lv2:scalePoint' in block):
        return block
    lo, hi = float(lo.group(1)), float(hi.group(1))
    values = [float(v) for v in re.findall(r'rdf:value\s+(-?[0-9.eE+-]+)', block)]
    if hi - lo <= 1 or not values or max(values) > 1:
        return block  # already in plain units (switches, or a previous run)
    count = len(values)

    def plain(match):
        position = float(match.group(1))
        index = round(position * (count - 1))
        value = lo + (hi - lo) * index / (count - 1)
        return 'rdf:value %s' % ('%d' % value if value == int(value) else repr(value))

    return re.sub(r'rdf:value\s+(-?[0-9.eE+-]+)', plain, block)


# Parameter descriptions are separated by blank lines.
blocks = text.split('\n\n')
fixed = '\n\n'.join(fix_block(b) for b in blocks)
if fixed != text:
    open(path, 'w', encoding='utf-8').write(fixed)
