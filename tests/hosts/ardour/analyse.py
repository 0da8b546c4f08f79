"""Judges what session.lua made Ardour do: its reports, the renders it bounced and the
plug-in state it saved. Prints one line per check and exits 1 if any failed.

Usage: analyse.py <LV2|VST3> <session folder> <report> <new log lines>

The renders come from a 1 kHz test tone with a sine on the left and a cosine on the
right at half scale, so the level of each sample is the length of the pair: with the
rotation and vibrato stages off, that is the tremolo gain, sample by sample."""
import base64
import math
import os
import re
import struct
import sys
import xml.etree.ElementTree as ET

plugin_format, folder, report_path, log_path = sys.argv[1:5]
RATE = 48000
# Ardour re-activates a VST3 before each bounce (set_block_size), so every render starts
# from a freshly prepared plug-in. An LV2 runs on from what it played last: the first
# 20 ms of a render carry the de-click ramp of a parameter changed just before it, and
# the LFO smoother's past, so LV2 renders are compared from 50 ms on.
SETTLE = 0 if plugin_format == 'VST3' else int(0.05 * RATE)
SETTLE_TEXT = '' if SETTLE == 0 else ' after the first %d ms' % (SETTLE * 1000 // RATE)
failures = []


def check(ok, what, detail=''):
    print('%s: %s%s' % ('ok' if ok else 'FAIL', what, (' (%s)' % detail) if detail else ''))
    if not ok:
        failures.append(what)


# --- Ardour's report ----------------------------------------------------------------------
reports = {}
renders = {}
for line in open(report_path, encoding='utf-8'):
    parts = line.rstrip('\n').split('\t')
    if len(parts) == 3 and parts[0] == 'result':
        if parts[1] == 'render':
            name, first, left, right = parts[2].split('|')
            renders[name] = (int(first), left, right)
        else:
            reports.setdefault(parts[1], []).append(parts[2])


def report(key):
    return reports.get(key, [''])[-1]


def control_values(key):
    return dict(item.split('=', 1) for item in report(key).split(';') if '=' in item)


def read_float_wav(path):
    """The sample data (little-endian floats) of a mono 32-bit float WAV file, as Ardour
    writes its bounces."""
    data = open(path, 'rb').read()
    if data[:4] != b'RIFF' or data[8:12] != b'WAVE':
        raise ValueError('%s is not a WAV file' % path)
    pos, fmt, body = 12, None, None
    while pos + 8 <= len(data):
        chunk, size = data[pos:pos + 4], struct.unpack('<I', data[pos + 4:pos + 8])[0]
        if chunk == b'fmt ':
            fmt = struct.unpack('<HHIIHH', data[pos + 8:pos + 24])
        elif chunk == b'data':
            body = data[pos + 8:pos + 8 + size]
        pos += 8 + size + (size & 1)
    if fmt is None or fmt[0] != 3 or fmt[5] != 32 or body is None:
        raise ValueError('%s is not 32-bit float' % path)
    return body


render_cache = {}


def render(name):
    """(first sample, left bytes, right bytes) of a render, or None when it is missing."""
    if name not in renders:
        return None
    if name not in render_cache:
        first, left, right = renders[name]
        render_cache[name] = (first, read_float_wav(left), read_float_wav(right))
    return render_cache[name]


def level(name, start=0, end=None):
    """Per sample, the length of the left/right pair over the tone's: the tremolo gain."""
    _, left, right = render(name)
    n = len(left) // 4
    left = struct.unpack('<%df' % n, left)
    right = struct.unpack('<%df' % n, right)
    end = n if end is None else min(end, n)
    return [math.hypot(left[i], right[i]) / 0.5 for i in range(start, end)]


def identical(a, b):
    """Whether render a equals the same stretch of render b, sample for sample."""
    ra, rb = render(a), render(b)
    if ra is None or rb is None or len(rb[1]) < len(ra[1]):
        return False
    return all(x[4 * SETTLE:] == y[4 * SETTLE:len(x)] for x, y in zip(ra[1:], rb[1:]))


def chop_rate(name, start, end):
    """Tremolo rate in Hz between two sample positions, from the falls through half level."""
    values = level(name, max(start, SETTLE), end)
    falls = [i for i in range(1, len(values)) if values[i - 1] >= 0.5 > values[i]]
    if len(falls) < 3:
        return 0.0, min(values), max(values)
    return (len(falls) - 1) * RATE / (falls[-1] - falls[0]), min(values), max(values)


def near(value, target, tolerance):
    return abs(value - target) <= tolerance * abs(target)


# --- the plug-in state Ardour saved -------------------------------------------------------
JUCE_BASE64 = '.ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+'


def juce_base64(text):
    """Bytes of JUCE's MemoryBlock::toBase64Encoding ("size.chars", six bits a char,
    least significant first), the form JUCE's LV2 wrapper saves the state in."""
    size, chars = text.split('.', 1)
    bits = 0
    for i, c in enumerate(chars):
        bits |= JUCE_BASE64.index(c) << (6 * i)
    return bits.to_bytes(int(size) + 8, 'little')[:int(size)]


def saved_state(snapshot):
    """The plug-in's own state document from an Ardour snapshot, as {attribute or
    parameter id: value}, or {} when there is none."""
    path = os.path.join(folder, snapshot + '.ardour')
    if not os.path.exists(path):
        return {}
    root = ET.parse(path).getroot()
    blob = None
    for processor in root.iter('Processor'):
        if processor.get('name') != 'Quorvane':
            continue
        if processor.get('type') == 'vst3':
            chunk = processor.find('vst3/chunk')
            blob = base64.b64decode(chunk.text) if chunk is not None else None
        elif processor.get('type') == 'lv2':
            node = processor.find('lv2')
            ttl = os.path.join(folder, 'plugins', processor.get('id'), node.get('state-dir'), 'state.ttl')
            found = re.search(r'quorvane:StateString> "([^"]*)"', open(ttl, encoding='utf-8').read())
            blob = juce_base64(found.group(1)) if found else None
    if not blob or b'VC2!' not in blob:
        return {}
    start = blob.index(b'VC2!') + 8
    length = struct.unpack('<I', blob[start - 4:start])[0]
    document = ET.fromstring(blob[start:start + length].rstrip(b'\0').decode('utf-8'))
    values = dict(document.attrib)
    parameters = document.find('Parameters')
    for param in (parameters if parameters is not None else []):
        values[param.get('id')] = float(param.get('value'))
    return values


# --- what the host lists ------------------------------------------------------------------
category = 'Fx|Modulation' if plugin_format == 'VST3' else 'Modulator Plugin'  # the LV2 class's label
check(report('listed') == 'Quorvane|Tarnwick Audio|' + category,
      'listed as Quorvane by Tarnwick Audio under %s' % category, report('listed'))
names = ['Sync', 'Rate', 'x Factor', 'Waveform', 'AM Depth', 'AM On', 'AM Phase', 'Rotation Center',
         'Rotation On', 'Rotation Range', 'FM Depth', 'FM On', 'FM Phase', 'Gain', 'Mix']
if plugin_format == 'VST3':
    names.append('Bypass')
check(report('parameters') == ';'.join(names), '%d parameters in order' % len(names), report('parameters'))
presets = report('presets').split(';')
check(len(presets) == 20 and all(p.endswith(':factory') for p in presets),
      'the 20 factory presets, none flagged as a user preset',
      '%d found, user: %s' % (len([p for p in presets if p]),
                               ', '.join(p[:-5] for p in presets if p.endswith(':user')) or 'none'))
if plugin_format == 'LV2':
    listed = [p for p in report('info-presets').split(';') if p]
    check(len(listed) == 20 and all(p.endswith(':factory') for p in listed),
          'the plug-in list offers the 20 presets as factory presets',
          '%d listed, %d as user presets' % (len(listed), len([p for p in listed if p.endswith(':user')])))
check(report('after-delete') == 'still listed', 'deleting a factory preset is refused', report('after-delete'))

# --- a preset through the host --------------------------------------------------------------
rate, low, high = chop_rate('deep', 0, 2 * RATE)
check(report('load-deep') == 'true' and near(rate, 6, 0.02) and low < 0.05 and high > 0.95,
      '"Deep Tremolo" chops the tone at 6 Hz', '%.3f Hz, level %.3f to %.3f' % (rate, low, high))
deep = saved_state('deep-tremolo')
expected = {'presetName': 'Deep Tremolo', 'rate': 6, 'waveform': 1, 'amDepth': 100, 'fmOn': 0, 'rotOn': 0}
check(all(deep.get(k) == v for k, v in expected.items()),
      'the state saved after "Deep Tremolo" holds its values',
      ', '.join('%s=%s' % (k, deep.get(k)) for k in expected))
# Ardour keeps its own copy of a VST3's parameter values, read back from the plug-in. Of
# an LV2's patch parameters it keeps only what it last sent itself: the plug-in's answers
# (patch:Set) go to the generic plug-in window, the only part of Ardour 7.3 that asks for
# them (patch:Get), so a headless session sees the LV2's values in the state it saves.
if plugin_format == 'VST3':
    values = control_values('values-deep')
    rate_read = float(report('rate-deep') or 0)
    check(near(rate_read, 6, 0.001) and values.get('Waveform') == '0.25' and values.get('AM Depth') == '1'
          and values.get('FM On') == '0' and values.get('Rotation On') == '0',
          'Ardour reads the preset\'s values back', '%.4f Hz, %s' % (rate_read, report('values-deep')))

# --- mix 0 and the host's bypass leave the track as it was -----------------------------------
check(identical('mix0', 'dry'), 'mix 0 renders bit-identical to the dry track' + SETTLE_TEXT)
check(report('bypassed') == 'true' and identical('bypass', 'dry'),
      'Ardour\'s bypass renders bit-identical to the dry track' + SETTLE_TEXT)

# --- a parameter and an automation lane -----------------------------------------------------
rate, _, _ = chop_rate('rate2', 0, 2 * RATE)
check(near(rate, 2, 0.02), 'Rate set to 2 Hz through Ardour', '%.3f Hz' % rate)
# A bounce runs in blocks of 8192 samples, and the plug-in takes a parameter change at the
# start of the block it falls in, so the step may be heard up to 171 ms early.
before, _, _ = chop_rate('automation', 0, 2 * RATE - 8192)
after, _, _ = chop_rate('automation', int(2.1 * RATE), 4 * RATE)
check(near(before, 2, 0.02) and near(after, 8, 0.02), 'an automation lane steps the rate from 2 Hz to 8 Hz',
      '%.3f Hz, then %.3f Hz' % (before, after))

# --- save, close, reopen ----------------------------------------------------------------------
saved, reopened = saved_state('quorvane'), saved_state('reopened')
expected = {'presetName': 'Sync Chopper 1-16', 'modified': '1', 'amDepth': 70, 'xFactor': 5}
differing = sorted(k for k in set(saved) | set(reopened) if saved.get(k) != reopened.get(k))
check(all(saved.get(k) == v for k, v in expected.items()) and saved == reopened,
      'the reopened session restores the saved state',
      'saved %s; reopened differs in: %s' % (', '.join('%s=%s' % (k, saved.get(k)) for k in expected),
                                            ', '.join('%s=%s' % (k, reopened.get(k)) for k in differing) or 'nothing'))
if plugin_format == 'VST3':
    check(report('values-saved') == report('values-reopened'), 'Ardour reads the same values after reopening',
          report('values-reopened'))
check(identical('reopened', 'saved'), 'the reopened session renders bit-identical to the saved one' + SETTLE_TEXT)

# --- tempo-synced chopper ---------------------------------------------------------------------
for bpm in (90, 140):
    a, b = 'sync%da' % bpm, 'sync%db' % bpm
    if render(a) is None:
        check(False, 'tempo-synced render at %d BPM' % bpm, 'missing')
        continue
    first = render(a)[0]
    values = level(a)
    sixteenth = RATE * 60.0 / bpm / 4
    # Rises start on the sixteenth-note lines, falls half-way between them; the LFO's
    # 1.5 ms smoother moves the level by 2 % within 0.03 ms, so 2 % marks an edge.
    start = max(1, SETTLE)
    rises = [first + i for i in range(start, len(values)) if values[i - 1] <= 0.02 < values[i]]
    falls = [first + i for i in range(start, len(values)) if values[i - 1] >= 0.98 > values[i]]

    def offset_ms(position, phase):
        x = position / sixteenth - phase
        return (x - round(x)) * sixteenth * 1000.0 / RATE

    offsets = [offset_ms(p, 0) for p in rises] + [offset_ms(p, 0.5) for p in falls]
    worst = max((abs(o) for o in offsets), default=float('inf'))
    check(len(rises) >= 10 and len(falls) >= 10 and worst <= 1.0,
          '"Sync Chopper 1-16" at %d BPM has its edges on the sixteenth-note grid' % bpm,
          '%d rises, %d falls, worst %.2f ms off' % (len(rises), len(falls), worst))
    check(identical(a, b), 'two renders at %d BPM are identical%s' % (bpm, SETTLE_TEXT))

# --- Ardour's log -----------------------------------------------------------------------------
new = [line.rstrip('\n') for line in open(log_path, encoding='utf-8', errors='replace') if line.strip()]
check(not new, 'Ardour logged nothing new', ' | '.join(new[:5]))

sys.exit(1 if failures else 0)
