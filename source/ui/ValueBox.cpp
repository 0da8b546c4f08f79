#include "ui/ValueBox.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"

namespace br::ui
{
void drawValueBox (juce::Graphics& g, juce::Rectangle<float> bounds, bool highlighted, bool enabled)
{
    const auto x = bounds.getX();
    const auto y = bounds.getY();
    const auto w = bounds.getWidth();
    const auto h = bounds.getHeight();

    const auto base = (highlighted && enabled) ? colours::boxHover : colours::box;
    g.setGradientFill (juce::ColourGradient (base.brighter (0.08f), x, y, base.darker (0.15f), x, y + h, false));
    g.fillRoundedRectangle (bounds, 5.0f);

    g.setColour (juce::Colours::white.withAlpha ((juce::uint8) (enabled ? 0x12 : 0x08)));
    if (x + 4.0f < x + w - 4.0f)
        g.fillRect (juce::Rectangle<float> (x + 4.0f, (float) ((int) y + 1), w - 8.0f, 1.0f));

    g.setColour (juce::Colours::black.withAlpha ((juce::uint8) 0x73));
    g.drawRoundedRectangle (x + 0.5f, y + 0.5f, juce::jmax (w - 1.0f, 0.0f), juce::jmax (h - 1.0f, 0.0f), 5.0f, 1.0f);
}

/** Reports every mouse press in the application to the box while its field is open.
    A press elsewhere must commit what was typed, but the framework ends a field only
    when another component takes the keyboard focus, and in a plug-in panel almost
    nothing does: a press on the background, a meter, the sphere, a choice box or a
    button leaves the focus where it was. */
class ValueBox::PressElsewhere : public juce::MouseListener
{
public:
    explicit PressElsewhere (ValueBox& owner) : box (owner) { juce::Desktop::getInstance().addGlobalMouseListener (this); }
    ~PressElsewhere() override { juce::Desktop::getInstance().removeGlobalMouseListener (this); }

    void mouseDown (const juce::MouseEvent& e) override { box.pressedWhileEditing (e); }

private:
    ValueBox& box;
};

ValueBox::ValueBox() : juce::Slider (juce::Slider::RotaryVerticalDrag, juce::Slider::NoTextBox)
{
    setMouseDragSensitivity (250);
    setMouseCursor (juce::MouseCursor::UpDownResizeCursor);
}

ValueBox::~ValueBox() = default;

void ValueBox::pressedWhileEditing (const juce::MouseEvent& e)
{
    auto* pressed = e.eventComponent;
    if (editor == nullptr || pressed == nullptr || pressed == editor.get() || editor->isParentOf (pressed))
        return;

    // Another window (the field's own context menu, a dialog) takes the focus if it
    // needs it, and that loss of focus commits.
    if (pressed->getTopLevelComponent() != getTopLevelComponent())
        return;

    endEntry (entryNumber, true);
}

void ValueBox::mouseEnter (const juce::MouseEvent&) { repaint(); }

void ValueBox::mouseExit (const juce::MouseEvent&) { repaint(); }

void ValueBox::mouseDown (const juce::MouseEvent& e)
{
    if (e.mods.isAltDown() || e.mods.isCommandDown())
    {
        // A disabled box stands for a value the user cannot change right now.
        if (isEnabled())
            setValue (defaultValue, juce::sendNotificationSync);
        return;
    }
    juce::Slider::mouseDown (e);
}

void ValueBox::mouseDoubleClick (const juce::MouseEvent&) { showEditor(); }

juce::String ValueBox::formattedValue()
{
    const auto v = getValue();
    return textFromValue ? textFromValue (v) : getTextFromValue (v);
}

void ValueBox::paint (juce::Graphics& g)
{
    drawValueBox (g, getLocalBounds().toFloat(), isMouseOverOrDragging(), isEnabled());

    auto text = displayText ? displayText() : juce::String();
    if (text.isEmpty())
        text = formattedValue();

    g.setColour (isEnabled() ? colours::boxText : colours::textDim.withAlpha ((juce::uint8) 0xBF));
    g.setFont (font (15.0f, false, false));
    g.drawText (text, getLocalBounds(), juce::Justification::centred, true);
}

void ValueBox::showEditor()
{
    if (! isEnabled())
        return;

    editor = std::make_unique<juce::TextEditor>();
    const int entry = ++entryNumber;
    entryEnding = false;

    editor->setFont (font (15.0f, false, false));
    editor->setJustification (juce::Justification::centred);
    editor->setText (formattedValue(), false);
    editor->setBounds (getLocalBounds());
    addAndMakeVisible (*editor);
    editor->selectAll();
    editor->grabKeyboardFocus();
    pressElsewhere = std::make_unique<PressElsewhere> (*this);

    juce::Component::SafePointer<ValueBox> safeThis (this);
    editor->onReturnKey = [safeThis, entry]
    {
        if (safeThis != nullptr)
            safeThis->endEntry (entry, true);
    };
    editor->onEscapeKey = [safeThis, entry]
    {
        if (safeThis != nullptr)
            safeThis->endEntry (entry, false);
    };
    editor->onFocusLost = [safeThis, entry]
    {
        if (safeThis != nullptr)
            safeThis->endEntry (entry, true);
    };
}

void ValueBox::endEntry (int entry, bool commit)
{
    // Only the first of Return, Escape and focus loss ends a field: once Escape has
    // cancelled, the focus loss that follows must not commit the text after all.
    if (editor == nullptr || entry != entryNumber || entryEnding)
        return;
    entryEnding = true;

    const auto typed = editor->getText();
    if (commit && typed.trim().isNotEmpty())
        setValue (valueFromText ? valueFromText (typed) : getValueFromText (typed), juce::sendNotificationSync);

    // The field is inside its own callback here, so it is deleted later. A field opened
    // in the meantime carries a new number and is left alone.
    juce::Component::SafePointer<ValueBox> safeThis (this);
    juce::MessageManager::callAsync ([safeThis, entry]
    {
        if (safeThis != nullptr && safeThis->entryNumber == entry)
        {
            safeThis->pressElsewhere.reset();
            safeThis->editor.reset();
        }
    });
}
} // namespace br::ui
