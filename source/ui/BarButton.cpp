#include "ui/BarButton.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"

#include <cmath>

namespace br::ui
{
namespace
{
const juce::PathStrokeType roundStroke (float thickness)
{
    return juce::PathStrokeType (thickness, juce::PathStrokeType::curved, juce::PathStrokeType::rounded);
}
} // namespace

BarButton::BarButton (const juce::String& name, Icon iconToDraw) : juce::Button (name), icon (iconToDraw)
{
    setMouseCursor (juce::MouseCursor::PointingHandCursor);
}

BarButton::~BarButton() = default;

void BarButton::paintButton (juce::Graphics& g, bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown)
{
    const auto w = (float) getWidth();
    const auto h = (float) getHeight();
    const auto cx = w / 2.0f;
    const auto cy = h / 2.0f;

    const auto foreground = ! isEnabled() ? colours::textDim.withAlpha ((juce::uint8) 0x59)
                            : (shouldDrawButtonAsHighlighted || shouldDrawButtonAsDown) ? juce::Colours::white
                                                                                         : colours::textDim.brighter (0.2f);

    if (framed || icon == Icon::none)
    {
        g.setColour (shouldDrawButtonAsHighlighted ? colours::topField.brighter (0.12f) : colours::topField);
        g.fillRoundedRectangle (0.0f, 0.0f, w, h, 5.0f);
        g.setColour (juce::Colours::black.withAlpha ((juce::uint8) 0x80));
        g.drawRoundedRectangle (0.5f, 0.5f, juce::jmax (w - 1.0f, 0.0f), juce::jmax (h - 1.0f, 0.0f), 5.0f, 1.0f);
    }

    g.setColour (foreground);

    switch (icon)
    {
        case Icon::none:
            g.setFont (font (14.0f, false, false));
            g.drawText (getButtonText(), getLocalBounds(), juce::Justification::centred, true);
            break;

        case Icon::logo:
        {
            // The logo keeps its own colours, enabled or not.
            juce::Path wave;
            wave.startNewSubPath (cx - 11.0f, cy);
            for (int k = 1; k <= 96; ++k)
            {
                const auto p = k / 48.0 - std::floor (k / 48.0);
                wave.lineTo (cx - 11.0f + 22.0f * (float) k / 96.0f,
                             cy - 6.0f * (float) std::sin (juce::MathConstants<double>::twoPi * p));
            }
            g.setColour (isMouseOver() ? juce::Colours::white : colours::accentBright);
            g.strokePath (wave, roundStroke (2.2f));
            break;
        }

        case Icon::undo:
        case Icon::redo:
        {
            const auto a = icon == Icon::undo ? 1.0f : -1.0f;
            juce::Path arc;
            arc.addCentredArc (cx, cy + 2.0f, 6.0f, 5.5f, 0.0f, -1.6f * a, 1.4f * a, true);
            g.strokePath (arc, roundStroke (1.8f));

            juce::Path head;
            head.addTriangle (cx - 6.0f * a - 3.5f, cy + 1.0f, cx - 6.0f * a + 3.5f, cy + 1.0f, cx - 6.0f * a, cy + 6.0f);
            g.fillPath (head);
            break;
        }

        case Icon::prev:
        case Icon::next:
        {
            const auto c = icon == Icon::next ? 1.0f : -1.0f;
            juce::Path triangle;
            triangle.addTriangle (cx - 4.0f * c, cy - 6.0f, cx - 4.0f * c, cy + 6.0f, cx + 5.0f * c, cy);
            g.fillPath (triangle);
            break;
        }

        case Icon::save:
            g.fillRoundedRectangle (cx - 7.0f, cy - 7.0f, 14.0f, 14.0f, 2.0f);
            g.setColour (colours::topBar);
            g.fillRect (juce::Rectangle<float> (cx - 3.5f, cy - 6.0f, 7.0f, 5.0f));
            g.fillRect (juce::Rectangle<float> (cx - 4.0f, cy + 2.0f, 8.0f, 3.5f));
            break;

        case Icon::menu:
            for (const auto y : { cy - 6.6f, cy - 1.1f, cy + 4.4f })
                g.fillRoundedRectangle (cx - 8.0f, y, 16.0f, 2.2f, 1.0f);
            break;

        default:
            break;
    }
}
} // namespace br::ui
