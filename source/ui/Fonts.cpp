#include "ui/Fonts.h"

#include <BrFontData.h>

#include <array>

namespace br::ui
{
namespace
{
/** The four faces built into the binary, in the order bold * 2 + italic. Made on first
    use and kept for the life of the program, so every font shares them. */
const std::array<juce::Typeface::Ptr, 4>& embeddedFaces()
{
    static const std::array<juce::Typeface::Ptr, 4> faces {
        juce::Typeface::createSystemTypefaceFor (BrFontData::LiberationSansRegular_ttf,
                                                 (size_t) BrFontData::LiberationSansRegular_ttfSize),
        juce::Typeface::createSystemTypefaceFor (BrFontData::LiberationSansItalic_ttf,
                                                 (size_t) BrFontData::LiberationSansItalic_ttfSize),
        juce::Typeface::createSystemTypefaceFor (BrFontData::LiberationSansBold_ttf,
                                                 (size_t) BrFontData::LiberationSansBold_ttfSize),
        juce::Typeface::createSystemTypefaceFor (BrFontData::LiberationSansBoldItalic_ttf,
                                                 (size_t) BrFontData::LiberationSansBoldItalic_ttfSize),
    };
    return faces;
}
} // namespace

const juce::String& fontFamily()
{
    static const juce::String family = embeddedFaces()[0]->getName();
    return family;
}

juce::Font font (float size, bool bold, bool italic)
{
    // The face's own style names are "Regular", "Bold", "Italic" and "Bold Italic", so
    // the font carries the style name the flags stand for.
    return juce::Font (embeddedFaces()[(bold ? 2 : 0) + (italic ? 1 : 0)]).withHeight (size);
}
} // namespace br::ui
