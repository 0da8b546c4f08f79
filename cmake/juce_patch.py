"""What the scripts that write corrected copies of JUCE files share.

A correction is a list of (old, new) passages. Each old passage must occur exactly once in
the file, so that a JUCE other than 7.0.5 fails the build loudly instead of being patched
somewhere unexpected. Copies are written only when their text changes, so that an
unchanged configure rebuilds nothing."""
import pathlib
import re
import sys


def apply(text, replacements, name):
    """Returns `text` with every replacement made; exits naming `name` when one does not fit."""
    for old, new in replacements:
        if text.count(old) != 1:
            sys.exit("%s does not look like JUCE 7.0.5's: cannot apply %r" % (name, old.strip()[:120]))
        text = text.replace(old, new)
    return text


def write(path, text):
    path = pathlib.Path(path)
    path.parent.mkdir(parents=True, exist_ok=True)
    if not path.exists() or path.read_text(encoding='utf-8') != text:
        path.write_text(text, encoding='utf-8')


def write_module(module, output, unity_name, corrected):
    """Writes the `corrected` files ({path inside the module: text}) under `output`, and
    beside them a copy of the module's unity file `unity_name` that includes them in place
    of JUCE's originals and every other file from where JUCE installed it. The build
    compiles that copy instead of the module's own. Exits when the unity file does not
    include each corrected file exactly once."""
    module, output = pathlib.Path(module), pathlib.Path(output)
    unity = (module / unity_name).read_text(encoding='utf-8')
    for name in corrected:
        if unity.count('#include "%s"' % name) != 1:
            sys.exit("%s does not include %s exactly once" % (unity_name, name))

    def locate(match):
        name = match.group(1)
        path = output / name if name in corrected else module / name
        return '%s#include "%s"' % (match.group(0)[:match.start(1) - match.start(0)].split('#')[0], path.as_posix())

    unity = re.sub(r'^[ \t]*#[ \t]*include[ \t]+"([^"]+)"', locate, unity, flags=re.MULTILINE)
    for name, text in corrected.items():
        write(output / name, text)
    write(output / unity_name, unity)


def read_client(modules, wrapper, client):
    """The unity file of JUCE's `wrapper` format ("LV2", "VST3") and the text of the client
    file it includes by the relative path `client` ("LV2/juce_LV2_Client.cpp")."""
    client_dir = pathlib.Path(modules) / 'juce_audio_plugin_client'
    unity_name = 'juce_audio_plugin_client_%s.cpp' % wrapper
    unity = (client_dir / unity_name).read_text(encoding='utf-8')
    if unity.count('#include "%s"' % client) != 1:
        sys.exit('%s does not look like JUCE 7.0.5\'s: it should include "%s"' % (unity_name, client))
    return unity, (client_dir / client).read_text(encoding='utf-8')


def write_client(output, wrapper, client, unity, text):
    """Writes the corrected client beside a copy of its unity file, whose relative include
    then finds it; the build compiles that copy instead of JUCE's."""
    client_dir = pathlib.Path(output) / 'juce_audio_plugin_client'
    write(client_dir / client, text)
    write(client_dir / ('juce_audio_plugin_client_%s.cpp' % wrapper), unity)
