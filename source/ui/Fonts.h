#pragma once
#include <juce_graphics/juce_graphics.h>

namespace br::ui
{
/** Every text of the panel is set through here, so one face and one set of metrics
    runs through the whole editor. `size` is the JUCE font height in logical pixels
    (ascent plus descent), not a point size. The face is Liberation Sans (Helvetica's
    widths), built into the binary, so the panel looks the same whatever fonts the
    machine has. Builds a new font object on every call. Message thread only. */
juce::Font font (float size, bool bold, bool italic);

/** The family name of the built-in face that `font` draws with. */
const juce::String& fontFamily();
} // namespace br::ui
