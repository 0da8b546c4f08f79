#include "ui/ModMeterBar.h"
#include "ui/Palette.h"

namespace br::ui
{
ModMeterBar::ModMeterBar() = default;
ModMeterBar::~ModMeterBar() = default;

namespace
{
/** The rows of the moving part at `value`: the fill's cap, or the marker. */
juce::Range<float> movingRows (bool bipolar, float value, float ih)
{
    if (! bipolar)
    {
        const auto top = ih + 2.0f - ih * juce::jlimit (0.0f, 1.0f, value);
        return { top, top + juce::jmax (juce::jmin (ih + 2.0f - top, 10.0f), 0.0f) };
    }

    const auto markerHeight = juce::jmin (ih, 16.0f);
    auto y = 2.0f + ih * (0.5f - 0.5f * value) - 8.0f;
    y = y < 2.0f ? 2.0f : juce::jmin (y, juce::jmax (ih - 16.0f, 0.0f) + 2.0f);
    return { y, y + markerHeight };
}
} // namespace

juce::Rectangle<int> ModMeterBar::areaChangedBetween (float from, float to) const
{
    const auto ih = juce::jmax ((float) getHeight() - 4.0f, 0.0f);
    const auto a = movingRows (bipolar, from, ih);
    const auto b = movingRows (bipolar, to, ih);

    // Unipolar, everything between the two fill edges changes too; bipolar, only the
    // two marker places do, but one span covering both is as cheap to draw. One pixel
    // more on each side for the smoothed edges.
    const auto top = juce::jmin (a.getStart(), b.getStart()) - 1.0f;
    const auto bottom = juce::jmax (a.getEnd(), b.getEnd()) + 1.0f;
    return juce::Rectangle<float> (0.0f, top, (float) getWidth(), bottom - top)
        .getSmallestIntegerContainer()
        .getIntersection (getLocalBounds());
}

void ModMeterBar::paint (juce::Graphics& g)
{
    const auto w = (float) getWidth();
    const auto h = (float) getHeight();
    const auto k = active ? 1.0f : 0.3f;
    const auto iw = juce::jmax (w - 4.0f, 0.0f);
    const auto ih = juce::jmax (h - 4.0f, 0.0f);

    g.setColour (juce::Colour (0xff060a12));
    g.fillRoundedRectangle (0.0f, 0.0f, w, h, 3.0f);

    const auto fillGradient = [iw] (float alphaFactor)
    {
        return juce::ColourGradient (colours::accentDark.withMultipliedAlpha (alphaFactor), 2.0f, 0.0f,
                                     colours::accent.withMultipliedAlpha (alphaFactor), iw / 2.0f + 2.0f, 0.0f, true);
    };

    if (! bipolar)
    {
        const auto t = juce::jlimit (0.0f, 1.0f, value);
        const auto top = ih + 2.0f - ih * t;
        const auto fillHeight = juce::jmax (ih + 2.0f - top, 0.0f);
        g.setGradientFill (fillGradient (k));
        g.fillRect (juce::Rectangle<float> (2.0f, top, iw, fillHeight));

        g.setColour (colours::accentBright.withMultipliedAlpha (k));
        g.fillRect (juce::Rectangle<float> (2.0f, top, iw, juce::jmax (juce::jmin (fillHeight, 10.0f), 0.0f)));
    }
    else
    {
        g.setGradientFill (fillGradient (0.85f * k));
        g.fillRect (juce::Rectangle<float> (2.0f, 2.0f, iw, ih));

        // Clamped so that values beyond +-1 pin the marker to the ends instead of
        // drawing it outside the bar.
        const auto markerHeight = juce::jmin (ih, 16.0f);
        auto y = 2.0f + ih * (0.5f - 0.5f * value) - 8.0f;
        y = y < 2.0f ? 2.0f : juce::jmin (y, juce::jmax (ih - 16.0f, 0.0f) + 2.0f);

        g.setColour (colours::accentBright.withMultipliedAlpha (k));
        g.fillRect (juce::Rectangle<float> (2.0f, y, iw, markerHeight));
        g.setColour (juce::Colours::white.withAlpha (0.7f * k));
        g.fillRect (juce::Rectangle<float> (2.0f, y + (markerHeight - 2.0f) / 2.0f, iw, 2.0f));
    }

    g.setColour (colours::accent.withAlpha (0.35f * k));
    g.drawRoundedRectangle (0.5f, 0.5f, juce::jmax (w - 1.0f, 0.0f), juce::jmax (h - 1.0f, 0.0f), 3.0f, 1.0f);
}
} // namespace br::ui
