"""Adds to the LV2 bundle's Turtle what JUCE 7.0.5's generator leaves out and hosts read.

- The plug-in class. JUCE types every effect as the bare lv2:Plugin, so hosts file it
  under "Plugin" (Ardour's plug-in list) while the VST3 says "Fx|Modulation". The class
  goes beside lv2:Plugin wherever JUCE writes that, in manifest.ttl and in dsp.ttl;
  lv2:Plugin stays, since hosts discover plug-ins in a manifest by that type alone.
- A comment on each factory preset. Ardour takes a preset in a bundle it may write to
  for a user preset unless the preset carries an rdfs:comment ("only factory presets
  can have comments", libs/ardour/lv2_plugin.cc), and then offers to delete it, which
  rewrites the installed bundle's manifest.ttl without that preset.

Run after the generator with the bundle folder; running it twice changes nothing. Fails
loudly when the files do not look like JUCE 7.0.5's, rather than shipping them unchanged."""
import pathlib
import re
import sys

PLUGIN_CLASS = 'lv2:ModulatorPlugin'
PRESET_COMMENT = 'Quorvane factory preset'

bundle = pathlib.Path(sys.argv[1])


def rewrite(name, change):
    path = bundle / name
    text = path.read_text(encoding='utf-8')
    fixed = change(text)
    if fixed != text:
        path.write_text(fixed, encoding='utf-8')


def add_class(text):
    if PLUGIN_CLASS in text:
        return text
    # JUCE types the plug-in on a line of its own, "\ta lv2:Plugin ;" (lv2:InstrumentPlugin
    # for synths, which this is not).
    fixed, count = re.subn(r'^(\ta )lv2:Plugin( ;)$', r'\1lv2:Plugin , %s\2' % PLUGIN_CLASS, text, flags=re.M)
    if count != 1:
        sys.exit('%s: expected one plug-in typed lv2:Plugin, found %d' % (bundle, count))
    return fixed


def comment_presets(text):
    # Each preset JUCE writes: "\ta pset:Preset ;", "\tlv2:appliesTo <...> ;", then its label.
    preset = re.compile(r'(\ta pset:Preset ;\n\tlv2:appliesTo <[^>]+> ;\n\trdfs:label "[^"\n]*" ;\n)(?!\trdfs:comment)')
    fixed, _ = preset.subn(r'\1\trdfs:comment "%s" ;\n' % PRESET_COMMENT, text)
    presets = text.count('a pset:Preset ;')
    if presets == 0 or fixed.count('\trdfs:comment "%s" ;' % PRESET_COMMENT) != presets:
        sys.exit('%s: the %d presets in manifest.ttl are not laid out as JUCE 7.0.5 writes them' % (bundle, presets))
    return fixed


rewrite('manifest.ttl', lambda text: comment_presets(add_class(text)))
rewrite('dsp.ttl', add_class)
