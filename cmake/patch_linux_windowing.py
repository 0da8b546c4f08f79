"""Writes a copy of JUCE 7.0.5's juce_gui_basics unity file that compiles a corrected copy
of its Linux window peer (native/juce_linux_Windowing.cpp) instead of the original.

The fault: JUCE reads X events only when the display connection's socket turns readable.
Xlib, though, moves every event that has already arrived into its own queue whenever it
waits for a reply (the XSync after a shared-memory image is made, the one after a window
is destroyed, XGetGeometry, ...), and such events leave the socket empty. The Expose events of a window that has just grown, or
of the area a closed dialog uncovered, then sit in that queue until some unrelated event
(a mouse move) wakes the loop, and the window shows black or the dialog's old image until
then. The peer's vertical-blank timer, which runs for every window while it exists, now
hands such events on first.

The other files of the module are included from where JUCE installed them.
Every replacement must match exactly once, so a different JUCE fails the build loudly.

Usage: patch_linux_windowing.py <juce_gui_basics module folder> <output folder>"""
import pathlib
import re
import sys

import juce_patch

module, output = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
peer_name = "native/juce_linux_Windowing.cpp"

replacements = [
    ("namespace juce\n{\n",
     "#include <juce_events/native/juce_linux_EventLoopInternal.h>\n\n"
     "namespace juce\n{\n"),
    ("    void onVBlank()\n    {\n",
     "    /* Xlib may already hold events that it read while waiting for a reply; the socket\n"
     "       then stays quiet and the event loop would leave them there. Returns true when it\n"
     "       dispatched some (which may have deleted any window). */\n"
     "    static bool dispatchEventsAlreadyQueued()\n"
     "    {\n"
     "        auto* display = XWindowSystem::getInstance()->getDisplay();\n\n"
     "        if (display == nullptr)\n"
     "            return false;\n\n"
     "        {\n"
     "            XWindowSystemUtilities::ScopedXLock xLock;\n\n"
     "            if (X11Symbols::getInstance()->xEventsQueued (display, QueuedAlready) <= 0)\n"
     "                return false;\n"
     "        }\n\n"
     "        LinuxEventLoopInternal::invokeEventLoopCallbackForFd (X11Symbols::getInstance()->xConnectionNumber (display));\n"
     "        return true;\n"
     "    }\n\n"
     "    void onVBlank()\n    {\n"
     "        if (dispatchEventsAlreadyQueued() && ! isValidPeer (this))\n"
     "            return;\n\n"),
]

peer = juce_patch.apply((module / peer_name).read_text(encoding='utf-8'), replacements, peer_name)

unity = (module / "juce_gui_basics.cpp").read_text(encoding='utf-8')
if unity.count('#include "%s"' % peer_name) != 1:
    sys.exit("juce_gui_basics.cpp does not include %s exactly once" % peer_name)


def locate(match):
    name = match.group(1)
    path = output / peer_name if name == peer_name else module / name
    return '%s#include "%s"' % (match.group(0)[:match.start(1) - match.start(0)].split('#')[0], path.as_posix())


unity = re.sub(r'^[ \t]*#[ \t]*include[ \t]+"([^"]+)"', locate, unity, flags=re.MULTILINE)


juce_patch.write(output / peer_name, peer)
juce_patch.write(output / "juce_gui_basics.cpp", unity)
