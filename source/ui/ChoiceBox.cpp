#include "ui/ChoiceBox.h"
#include "ui/Fonts.h"
#include "ui/ListMenuLookAndFeel.h"
#include "ui/Palette.h"
#include "ui/ValueBox.h"

#include <cmath>

namespace br::ui
{
namespace
{
constexpr int holdToOpenMs = 450;

double fractionalPart (double x) { return x - std::floor (x); }

double waveformValue (int shape, double p)
{
    switch (shape)
    {
        case 0:
            return p < 0.5 ? 1.0 : -1.0;
        case 1:
            return p < 0.25 ? 4.0 * p : (p < 0.75 ? 2.0 - 4.0 * p : 4.0 * p - 4.0);
        case 2:
            return 2.0 * fractionalPart (p + 0.5) - 1.0;
        case 3:
            return 1.0 - 2.0 * fractionalPart (p + 0.5);
        default:
            return std::sin (juce::MathConstants<double>::twoPi * p);
    }
}
} // namespace

juce::Path waveformPath (int shape, juce::Rectangle<float> area)
{
    const auto x = (double) area.getX();
    const auto w = (double) area.getWidth();
    const auto h = (double) area.getHeight();
    const auto yc = (double) area.getY() + h / 2.0;

    juce::Path path;
    path.startNewSubPath ((float) x, (float) (shape == 0 ? yc - h / 2.0 : yc));
    for (int k = 1; k <= 96; ++k)
    {
        const auto v = waveformValue (shape, fractionalPart (k / 48.0));
        path.lineTo ((float) (x + w * k / 96.0), (float) (yc - h * v / 2.0));
    }
    return path;
}

ChoiceBox::ChoiceBox (juce::RangedAudioParameter& parameterToEdit, Mode modeToUse, juce::UndoManager* undoManager)
    : parameter (parameterToEdit),
      attachment (parameterToEdit,
                  [this] (float newValue)
                  {
                      index = juce::roundToInt (newValue);
                      repaint();
                  },
                  undoManager),
      mode (modeToUse)
{
    if (auto* choice = dynamic_cast<juce::AudioParameterChoice*> (&parameter))
        numChoices = choice->choices.size();
    attachment.sendInitialUpdate();
    setMouseCursor (juce::MouseCursor::PointingHandCursor);
}

ChoiceBox::~ChoiceBox() = default;

juce::String ChoiceBox::choiceName (int choice) const
{
    if (choice >= 0 && choice < labels.size())
        return labels[choice];
    if (auto* choiceParameter = dynamic_cast<const juce::AudioParameterChoice*> (&parameter))
        return choiceParameter->choices[choice];
    return choice == 0 ? "Off" : "On";
}

void ChoiceBox::mouseEnter (const juce::MouseEvent&) { repaint(); }

void ChoiceBox::mouseExit (const juce::MouseEvent&) { repaint(); }

void ChoiceBox::mouseDown (const juce::MouseEvent& e)
{
    if (! isEnabled())
        return;

    if (mode == Mode::menu || e.mods.isPopupMenu())
    {
        showMenu();
        return;
    }

    heldOpen = false;
    startTimer (holdToOpenMs);
}

void ChoiceBox::mouseUp (const juce::MouseEvent& e)
{
    if (mode != Mode::step || ! isTimerRunning())
        return;

    stopTimer();
    if (heldOpen || numChoices <= 0)
        return;

    // Letting go outside is the usual way to back out of a click.
    const auto pos = e.getPosition();
    if (pos.x < 0 || pos.y < 0 || pos.x >= getWidth() || pos.y >= getHeight())
        return;

    const int offset = e.mods.isShiftDown() ? -1 : 1;
    const int next = (index + numChoices + offset) % numChoices;
    attachment.setValueAsCompleteGesture ((float) next);
}

void ChoiceBox::timerCallback()
{
    stopTimer();
    heldOpen = true;
    showMenu();
}

void ChoiceBox::showMenu()
{
    // Declared before the menu, which refers to it until the end of this function.
    std::shared_ptr<ListMenuLookAndFeel> listLook;
    juce::PopupMenu menu;
    int iconWidth = 0;
    for (int i = 0; i < numChoices; ++i)
    {
        if (showWaveform)
        {
            auto icon = std::make_unique<juce::DrawablePath>();
            icon->setPath (waveformPath (i, { 0.0f, 0.0f, 28.0f, 12.0f }));
            icon->setFill (juce::Colours::transparentBlack);
            icon->setStrokeFill (colours::accentBright);
            icon->setStrokeType (juce::PathStrokeType (1.5f));
            iconWidth = juce::jmax (iconWidth, (int) std::ceil (icon->getDrawableBounds().getWidth()));
            menu.addItem (i + 1, choiceName (i), true, i == index, std::move (icon));
        }
        else
        {
            menu.addItem (i + 1, choiceName (i), true, i == index);
        }
    }

    // One look-and-feel per open list, owned by the list's callback: the framework
    // deletes the menu window before it lets go of the callback, so the look-and-feel
    // outlives every window drawn with it, even when the box goes first.
    listLook = std::make_shared<ListMenuLookAndFeel> (iconWidth);
    menu.setLookAndFeel (listLook.get());

    juce::Component::SafePointer<ChoiceBox> safeThis (this);
    menu.showMenuAsync (juce::PopupMenu::Options().withTargetComponent (this).withMinimumWidth (getWidth()),
                        [safeThis, listLook] (int result)
                        {
                            if (safeThis != nullptr && result > 0)
                                safeThis->attachment.setValueAsCompleteGesture ((float) (result - 1));
                        });
}

void ChoiceBox::paint (juce::Graphics& g)
{
    const auto w = (float) getWidth();
    const auto h = (float) getHeight();

    if (showWaveform)
    {
        const auto top = colours::accentDark.brighter (isMouseOver() ? 0.25f : 0.1f);
        g.setGradientFill (juce::ColourGradient (top, 0.0f, 0.0f, juce::Colour (0xff0d1d3d), 0.0f, h, false));
        g.fillRoundedRectangle (0.0f, 0.0f, w, h, 5.0f);
        g.setColour (colours::accent);
        g.drawRoundedRectangle (0.5f, 0.5f, juce::jmax (w - 1.0f, 0.0f), juce::jmax (h - 1.0f, 0.0f), 5.0f, 1.0f);
    }
    else
    {
        drawValueBox (g, { 0.0f, 0.0f, w, h }, isMouseOver(), isEnabled());
    }

    auto x0 = 0.0f;
    auto contentWidth = w;
    if (showArrow)
    {
        const auto a = juce::jmin (w, 22.0f);
        const auto c = a / 2.0f + 2.0f;
        juce::Path arrow;
        arrow.addTriangle (c - 4.5f, h / 2.0f - 2.5f, c + 4.5f, h / 2.0f - 2.5f, c, h / 2.0f + 3.5f);
        g.setColour (colours::text);
        g.fillPath (arrow);

        if (h > 10.0f)
        {
            const auto groove = (float) (int) a;
            g.setColour (juce::Colours::black.withAlpha ((juce::uint8) 0x80));
            g.fillRect (juce::Rectangle<float> (groove, 5.0f, 1.0f, h - 10.0f));
            g.setColour (juce::Colours::white.withAlpha ((juce::uint8) 0x14));
            g.fillRect (juce::Rectangle<float> (groove + 1.0f, 5.0f, 1.0f, h - 10.0f));
        }
        x0 = a;
        contentWidth = w - a;
    }

    if (showWaveform)
    {
        const juce::Rectangle<float> icon (x0 + 8.0f, 8.0f, juce::jmax (contentWidth - 16.0f, 0.0f),
                                           juce::jmax (h - 16.0f, 0.0f));
        if (icon.getWidth() > 0.0f)
        {
            g.setColour (colours::accentBright.withAlpha ((juce::uint8) 0x59));
            g.fillRect (juce::Rectangle<float> (x0 + 8.0f, std::floor (icon.getHeight() / 2.0f + 8.0f),
                                                icon.getWidth(), 1.0f));
        }
        g.setColour (colours::accentBright);
        g.strokePath (waveformPath (index, icon),
                      juce::PathStrokeType (1.8f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
    }
    else
    {
        g.setColour (isEnabled() ? colours::boxText : colours::textDim);
        g.setFont (font (15.0f, false, false));
        g.drawText (choiceName (index),
                    juce::Rectangle<int> (juce::roundToInt (x0), 0, juce::roundToInt (contentWidth), getHeight()),
                    juce::Justification::centred, true);
    }
}
} // namespace br::ui
