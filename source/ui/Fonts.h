#pragma once
#include <juce_graphics/juce_graphics.h>

namespace br::ui
{
/** Every text of the panel is set through here, so one face and one set of metrics
    runs through the whole editor. `size` is the JUCE font height in logical pixels
    (ascent plus descent), not a point size. Builds a new font object on every call.
    Message thread only. */
juce::Font font (float size, bool bold, bool italic);

/** The family `font` asks for: "Helvetica Neue" where it is installed; otherwise, on
    Linux, TeX Gyre Heros, a metric clone of Helvetica. Resolved once, on first use. */
const juce::String& fontFamily();
} // namespace br::ui
