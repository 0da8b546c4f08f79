#include "editor/PluginEditor.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"

namespace
{
namespace colours = br::ui::colours;

constexpr float width = (float) BrellumEditor::baseWidth;
constexpr float height = (float) BrellumEditor::baseHeight;

/** Width of a single line of text in `font`, whitespace included. */
float textWidth (const juce::Font& font, const juce::String& text)
{
    juce::GlyphArrangement glyphs;
    glyphs.addLineOfText (font, text, 0.0f, 0.0f);
    return glyphs.getBoundingBox (0, -1, true).getWidth();
}

void caption (juce::Graphics& g, const juce::String& text, juce::Rectangle<float> area,
              juce::Justification justification = juce::Justification::centred)
{
    g.drawText (text, area, justification, true);
}

/** A title in a gap of a rule that spans the section, the rule's ends bent down. */
void drawSectionTitle (juce::Graphics& g, const juce::String& title, float left, float right, float y)
{
    const auto font = br::ui::font (19.0f, false, false);
    const auto tw = textWidth (font, title) + 16.0f;
    const auto cx = (left + right) / 2.0f;
    const auto tl = cx - tw / 2.0f;

    g.setFont (font);
    g.setColour (colours::text);
    caption (g, title, { tl, y - 12.0f, tw, 24.0f });

    g.setColour (colours::bracket);
    const auto yb = y + 1.0f;
    g.drawLine (left, yb, tl, yb, 1.0f);
    g.drawLine (cx + tw / 2.0f, yb, right, yb, 1.0f);
    g.drawLine (left, yb, left, yb + 9.0f, 1.0f);
    g.drawLine (right, yb, right, yb + 9.0f, 1.0f);
}

/** Full, half and zero marks beside a depth fader, lined up with its travel. */
void drawScale (juce::Graphics& g, float tickLeft, float tickRight, float labelX, bool labelsLeft)
{
    g.setFont (br::ui::font (12.0f, false, false));

    const std::pair<const char*, float> marks[] { { "100", 146.0f }, { "50", 264.0f }, { "0", 381.0f } };
    for (const auto& [label, y] : marks)
    {
        g.setColour (colours::textDim);
        g.drawLine (tickLeft, y, tickRight, y, 1.0f);

        g.setColour (colours::text);
        if (labelsLeft)
            caption (g, label, { labelX - 34.0f, y - 7.0f, 34.0f, 14.0f }, juce::Justification::centredRight);
        else
            caption (g, label, { labelX, y - 7.0f, 34.0f, 14.0f }, juce::Justification::centredLeft);
    }
}

} // namespace

void BrellumEditor::Artwork::drawPicture (juce::Graphics& g)
{
    g.setGradientFill (juce::ColourGradient (colours::bgTop, width / 2.0f, 120.0f, colours::bgBottom, width / 2.0f,
                                             height + 120.0f, true));
    g.fillAll();

    g.setColour (colours::topBar);
    g.fillRect (0.0f, 0.0f, width, 46.0f);
    g.setColour (juce::Colours::black);
    g.drawHorizontalLine (46, 0.0f, width);

    const std::tuple<const char*, float, float, float> titles[] {
        { "Tempo", 25.0f, 169.0f, 91.0f },     { "AM Depth", 214.0f, 357.0f, 91.0f },
        { "Rotation", 475.0f, 617.0f, 91.0f }, { "FM Depth", 736.0f, 878.0f, 91.0f },
        { "Output", 925.0f, 1067.0f, 91.0f },  { "Waveform", 25.0f, 169.0f, 494.0f },
    };
    for (const auto& [title, left, right, y] : titles)
        drawSectionTitle (g, title, left, right, y);

    g.setFont (br::ui::font (15.0f, false, false));
    g.setColour (colours::text);
    caption (g, "Sync", { 49.0f, 134.0f, 96.0f, 20.0f });
    caption (g, "Hz", { 49.0f, 215.0f, 96.0f, 20.0f });
    caption (g, "BPM", { 49.0f, 363.0f, 96.0f, 20.0f });

    // From the Hz box into the x Factor box, and out of it to the BPM box.
    juce::Path connector;
    connector.startNewSubPath (137.0f, 259.5f);
    connector.lineTo (159.5f, 259.5f);
    connector.lineTo (159.5f, 324.0f);
    connector.lineTo (148.0f, 324.0f);
    connector.startNewSubPath (148.0f, 341.0f);
    connector.lineTo (159.5f, 341.0f);
    connector.lineTo (159.5f, 403.5f);
    connector.lineTo (137.0f, 403.5f);
    g.setColour (colours::bracket);
    g.strokePath (connector, juce::PathStrokeType (1.0f));

    drawScale (g, 315.0f, 326.0f, 333.0f, false);

    g.setFont (br::ui::font (15.0f, false, false));
    g.setColour (colours::text);
    caption (g, "On/Off", { 304.0f, 449.0f, 60.0f, 20.0f }, juce::Justification::centredLeft);
    caption (g, "Phase", { 304.0f, 497.0f, 60.0f, 20.0f }, juce::Justification::centredLeft);

    caption (g, "Center", { 406.0f, 440.0f, 100.0f, 20.0f });
    caption (g, "Range", { 588.0f, 440.0f, 100.0f, 20.0f });
    caption (g, "On/Off", { 507.0f, 496.0f, 80.0f, 20.0f });

    drawScale (g, 762.0f, 773.0f, 758.0f, true);

    g.setFont (br::ui::font (15.0f, false, false));
    g.setColour (colours::text);
    caption (g, "On/Off", { 725.0f, 449.0f, 63.0f, 20.0f }, juce::Justification::centredRight);
    caption (g, "Phase", { 725.0f, 497.0f, 63.0f, 20.0f }, juce::Justification::centredRight);

    caption (g, "Gain", { 948.0f, 134.0f, 95.0f, 20.0f });
    caption (g, "Mix", { 948.0f, 215.0f, 95.0f, 20.0f });

    g.setFont (br::ui::font (25.0f, true, true));
    g.setColour (juce::Colours::black.withAlpha ((juce::uint8) 0x99));
    caption (g, "Quorvane", { 900.0f, 541.0f, 160.0f, 30.0f }, juce::Justification::centredRight);
    g.setColour (juce::Colour (0xffdfe5ee));
    caption (g, "Quorvane", { 899.0f, 539.0f, 160.0f, 30.0f }, juce::Justification::centredRight);
}

BrellumEditor::Artwork::Artwork()
{
    // It covers the editor completely: nothing behind it needs drawing.
    setOpaque (true);
}

void BrellumEditor::Artwork::paint (juce::Graphics& g)
{
    const auto pixelScale = g.getInternalContext().getPhysicalPixelScaleFactor();
    const auto cacheWidth = (int) std::ceil (width * pixelScale);
    const auto cacheHeight = (int) std::ceil (height * pixelScale);

    // Beyond this a cached copy would cost more memory than drawing saves time.
    if (cacheWidth > 6000 || cacheHeight > 4000)
    {
        drawPicture (g);
        return;
    }

    if (cache.isNull() || pixelScale != cacheScale)
    {
        // Opaque pixels: copying them needs no blending.
        cache = juce::Image (juce::Image::RGB, cacheWidth, cacheHeight, false, juce::SoftwareImageType());
        juce::Graphics cacheGraphics (cache);
        cacheGraphics.addTransform (juce::AffineTransform::scale (pixelScale));
        drawPicture (cacheGraphics);
        cacheScale = pixelScale;
    }

    // Only the part being drawn again is copied: the renderer works through the whole
    // of an image it is given, row by row, even where the clip leaves nothing to copy.
    const auto area = (g.getClipBounds().toFloat() * pixelScale).getSmallestIntegerContainer().expanded (1)
                          .getIntersection (cache.getBounds());
    if (area.isEmpty())
        return;

    // Back to device pixels: the copy is then a plain blit onto whole pixels.
    g.setImageResamplingQuality (juce::Graphics::lowResamplingQuality);
    g.drawImageTransformed (cache.getClippedImage (area),
                            juce::AffineTransform::translation ((float) area.getX(), (float) area.getY())
                                .scaled (1.0f / pixelScale));
}
